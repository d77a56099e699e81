// The body instructions of the SPIR-V translation: arithmetic component by component, memory
// through constant access chains, composites as register lists, sampling.
#include <bit>

#include <glslang/SPIRV/GLSL.std.450.h>

#include "shader/decoder.h"

namespace winsim::shader {

using spirv::Instruction;

bool Decoder::componentwise(const Instruction& inst, Code code, size_t count, size_t first) {
    const std::vector<uint32_t>* in[3] = {};
    for (size_t i = 0; i < count; ++i)
        if (!(in[i] = value(inst.operands[first + i]))) return false;
    std::vector<uint32_t> out(components(inst.type));
    for (size_t c = 0; c < out.size(); ++c) {
        uint32_t r[3] = {kNone, kNone, kNone};
        for (size_t i = 0; i < count; ++i) {
            if (c >= in[i]->size()) return fail("operand size mismatch");
            r[i] = (*in[i])[c];
        }
        out[c] = emit(code, r[0], r[1], r[2]);
    }
    values_[inst.result] = std::move(out);
    return true;
}

namespace {

struct Mapping {
    spv::Op op;
    Code code;
    int operands;
};

constexpr Mapping kDirect[] = {
    {spv::OpFAdd, Code::FAdd, 2}, {spv::OpFSub, Code::FSub, 2}, {spv::OpFMul, Code::FMul, 2},
    {spv::OpFDiv, Code::FDiv, 2}, {spv::OpFMod, Code::FMod, 2}, {spv::OpFRem, Code::FRem, 2},
    {spv::OpFNegate, Code::FNeg, 1}, {spv::OpFOrdEqual, Code::FEq, 2}, {spv::OpFOrdNotEqual, Code::FNe, 2},
    {spv::OpFOrdLessThan, Code::FLt, 2}, {spv::OpFOrdGreaterThan, Code::FGt, 2},
    {spv::OpFOrdLessThanEqual, Code::FLe, 2}, {spv::OpFOrdGreaterThanEqual, Code::FGe, 2},
    {spv::OpFUnordNotEqual, Code::FUnordNe, 2}, {spv::OpIsNan, Code::IsNan, 1}, {spv::OpIsInf, Code::IsInf, 1},
    {spv::OpIAdd, Code::IAdd, 2}, {spv::OpISub, Code::ISub, 2}, {spv::OpIMul, Code::IMul, 2},
    {spv::OpUDiv, Code::UDiv, 2}, {spv::OpSDiv, Code::SDiv, 2}, {spv::OpUMod, Code::UMod, 2},
    {spv::OpSRem, Code::SRem, 2}, {spv::OpSNegate, Code::INeg, 1}, {spv::OpBitwiseAnd, Code::And, 2},
    {spv::OpBitwiseOr, Code::Or, 2}, {spv::OpBitwiseXor, Code::Xor, 2}, {spv::OpNot, Code::Not, 1},
    {spv::OpShiftLeftLogical, Code::Shl, 2}, {spv::OpShiftRightLogical, Code::ShrL, 2},
    {spv::OpShiftRightArithmetic, Code::ShrA, 2}, {spv::OpIEqual, Code::IEq, 2}, {spv::OpINotEqual, Code::INe, 2},
    {spv::OpULessThan, Code::ULt, 2}, {spv::OpUGreaterThan, Code::UGt, 2}, {spv::OpULessThanEqual, Code::ULe, 2},
    {spv::OpUGreaterThanEqual, Code::UGe, 2}, {spv::OpSLessThan, Code::SLt, 2}, {spv::OpSGreaterThan, Code::SGt, 2},
    {spv::OpSLessThanEqual, Code::SLe, 2}, {spv::OpSGreaterThanEqual, Code::SGe, 2},
    {spv::OpLogicalAnd, Code::And, 2}, {spv::OpLogicalOr, Code::Or, 2}, {spv::OpLogicalNot, Code::Not, 1},
    {spv::OpLogicalNotEqual, Code::Xor, 2}, {spv::OpConvertUToF, Code::UToF, 1}, {spv::OpConvertSToF, Code::SToF, 1},
    {spv::OpConvertFToU, Code::FToU, 1}, {spv::OpConvertFToS, Code::FToS, 1},
};

// Unordered comparisons are the negation of the opposite ordered one.
constexpr Mapping kNegated[] = {
    {spv::OpFUnordEqual, Code::FNe, 2}, {spv::OpFUnordLessThan, Code::FGe, 2},
    {spv::OpFUnordGreaterThan, Code::FLe, 2}, {spv::OpFUnordLessThanEqual, Code::FGt, 2},
    {spv::OpFUnordGreaterThanEqual, Code::FLt, 2}, {spv::OpLogicalEqual, Code::Xor, 2},
};

constexpr Mapping kGlsl[] = {
    {spv::Op(GLSLstd450Round), Code::Round, 1}, {spv::Op(GLSLstd450RoundEven), Code::Round, 1},
    {spv::Op(GLSLstd450Trunc), Code::Trunc, 1}, {spv::Op(GLSLstd450FAbs), Code::FAbs, 1},
    {spv::Op(GLSLstd450SAbs), Code::SAbs, 1}, {spv::Op(GLSLstd450FSign), Code::FSign, 1},
    {spv::Op(GLSLstd450Floor), Code::Floor, 1}, {spv::Op(GLSLstd450Ceil), Code::Ceil, 1},
    {spv::Op(GLSLstd450Fract), Code::Fract, 1}, {spv::Op(GLSLstd450Sin), Code::Sin, 1},
    {spv::Op(GLSLstd450Cos), Code::Cos, 1}, {spv::Op(GLSLstd450Pow), Code::Pow, 2},
    {spv::Op(GLSLstd450Exp2), Code::Exp2, 1}, {spv::Op(GLSLstd450Log2), Code::Log2, 1},
    {spv::Op(GLSLstd450Sqrt), Code::Sqrt, 1}, {spv::Op(GLSLstd450InverseSqrt), Code::InvSqrt, 1},
    {spv::Op(GLSLstd450FMin), Code::FMin, 2}, {spv::Op(GLSLstd450NMin), Code::FMin, 2},
    {spv::Op(GLSLstd450UMin), Code::UMin, 2}, {spv::Op(GLSLstd450SMin), Code::SMin, 2},
    {spv::Op(GLSLstd450FMax), Code::FMax, 2}, {spv::Op(GLSLstd450NMax), Code::FMax, 2},
    {spv::Op(GLSLstd450UMax), Code::UMax, 2}, {spv::Op(GLSLstd450SMax), Code::SMax, 2},
    {spv::Op(GLSLstd450FClamp), Code::FClamp, 3}, {spv::Op(GLSLstd450NClamp), Code::FClamp, 3},
    {spv::Op(GLSLstd450FMix), Code::FMix, 3}, {spv::Op(GLSLstd450Step), Code::Step, 2},
    {spv::Op(GLSLstd450Fma), Code::Fma, 3},
};

template <size_t N>
const Mapping* find(const Mapping (&table)[N], spv::Op op) {
    for (const Mapping& m : table)
        if (m.op == op) return &m;
    return nullptr;
}

}  // namespace

bool Decoder::extInst(const Instruction& inst) {
    if (inst.operands[0] != glsl_) return fail("unsupported extended instruction set");
    const auto op = static_cast<spv::Op>(inst.operands[1]);
    if (const Mapping* m = find(kGlsl, op)) return componentwise(inst, m->code, m->operands, 2);
    const auto clampWith = [&](Code low, Code high) {
        const auto *x = value(inst.operands[2]), *lo = value(inst.operands[3]), *hi = value(inst.operands[4]);
        if (!x || !lo || !hi) return false;
        std::vector<uint32_t> out;
        for (size_t c = 0; c < x->size(); ++c) out.push_back(emit(high, emit(low, (*x)[c], (*lo)[c]), (*hi)[c]));
        values_[inst.result] = std::move(out);
        return true;
    };
    switch (static_cast<int>(op)) {
        case GLSLstd450UClamp: return clampWith(Code::UMax, Code::UMin);
        case GLSLstd450SClamp: return clampWith(Code::SMax, Code::SMin);
        case GLSLstd450Exp:
        case GLSLstd450Log: {
            const auto* x = value(inst.operands[2]);
            if (!x) return false;
            const bool exp = op == spv::Op(GLSLstd450Exp);
            const uint32_t k = constantRegister(std::bit_cast<uint32_t>(exp ? 1.44269504f : 0.693147181f));
            std::vector<uint32_t> out;
            for (uint32_t c : *x) out.push_back(exp ? emit(Code::Exp2, emit(Code::FMul, c, k)) : emit(Code::FMul, emit(Code::Log2, c), k));
            values_[inst.result] = std::move(out);
            return true;
        }
        case GLSLstd450Length:
        case GLSLstd450Normalize: {
            const auto* x = value(inst.operands[2]);
            if (!x) return false;
            uint32_t sum = emit(Code::FMul, (*x)[0], (*x)[0]);
            for (size_t c = 1; c < x->size(); ++c) sum = emit(Code::FAdd, sum, emit(Code::FMul, (*x)[c], (*x)[c]));
            if (op == spv::Op(GLSLstd450Length)) {
                values_[inst.result] = {emit(Code::Sqrt, sum)};
                return true;
            }
            const uint32_t inv = emit(Code::InvSqrt, sum);
            std::vector<uint32_t> out;
            for (uint32_t c : *x) out.push_back(emit(Code::FMul, c, inv));
            values_[inst.result] = std::move(out);
            return true;
        }
        default: return fail("unsupported GLSL.std.450 instruction " + std::to_string(inst.operands[1]));
    }
}

bool Decoder::instruction(const Instruction& inst) {
    if (const Mapping* m = find(kDirect, inst.op)) return componentwise(inst, m->code, m->operands);
    if (const Mapping* m = find(kNegated, inst.op)) {
        if (!componentwise(inst, m->code, m->operands)) return false;
        for (uint32_t& r : values_[inst.result]) r = emit(Code::Not, r);
        return true;
    }
    switch (inst.op) {
        case spv::OpSelectionMerge: case spv::OpLoopMerge: case spv::OpLine: case spv::OpNoLine: case spv::OpNop:
            return true;
        case spv::OpExtInst: return extInst(inst);
        case spv::OpLoad: return load(inst);
        case spv::OpStore: return store(inst);
        case spv::OpAccessChain: case spv::OpInBoundsAccessChain: return accessChain(inst);
        case spv::OpVariable: {
            if (!variable(inst)) return false;
            if (inst.operands.size() < 2) return true;
            const auto* init = value(inst.operands[1]);
            if (!init) return false;
            const auto& regs = variables_[inst.result];
            for (size_t c = 0; c < regs.size(); ++c) p_.ops.push_back({Code::Store, false, regs[c], (*init)[c]});
            return true;
        }
        case spv::OpVectorShuffle: case spv::OpCompositeExtract: case spv::OpCompositeConstruct:
        case spv::OpCompositeInsert: case spv::OpCopyObject: case spv::OpBitcast: case spv::OpTranspose:
        case spv::OpSelect: case spv::OpAny: case spv::OpAll: case spv::OpDot: case spv::OpVectorTimesScalar:
        case spv::OpMatrixTimesScalar:
            return composite(inst);
        case spv::OpMatrixTimesVector: case spv::OpVectorTimesMatrix: case spv::OpMatrixTimesMatrix:
            return matrixProduct(inst);
        case spv::OpSampledImage: case spv::OpImage: case spv::OpImageSampleImplicitLod:
        case spv::OpImageSampleExplicitLod: case spv::OpImageFetch:
            return image(inst);
        default: return fail("unsupported instruction " + spirv::opName(inst.op));
    }
}

}  // namespace winsim::shader
