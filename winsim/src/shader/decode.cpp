// Module structure, globals, blocks and control flow of the SPIR-V translation.
#include <algorithm>
#include <bit>
#include <cstring>

#include "shader/decoder.h"

namespace winsim::shader {

using spirv::Instruction;

bool Decoder::fail(std::string reason) {
    *error_ = std::move(reason);
    return false;
}

uint32_t Decoder::emit(Code code, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    const uint32_t dst = newRegister();
    p_.ops.push_back({code, masked_, dst, a, b, c, d});
    return dst;
}

uint32_t Decoder::constantRegister(uint32_t bits) {
    const auto [it, added] = constantRegisters_.try_emplace(bits, 0);
    if (added) {
        it->second = newRegister();
        p_.constants.emplace_back(it->second, bits);
    }
    return it->second;
}

uint32_t Decoder::uniformRegister(uint32_t slot, uint32_t offset) {
    const auto [it, added] = uniformRegisters_.try_emplace({slot, offset}, 0);
    if (added) {
        it->second = newRegister();
        p_.uniforms.push_back({it->second, slot, offset});
    }
    return it->second;
}

const std::vector<uint32_t>* Decoder::value(uint32_t id) {
    const auto it = values_.find(id);
    if (it != values_.end()) return &it->second;
    fail("value %" + std::to_string(id) + " used before it is defined");
    return nullptr;
}

uint32_t Decoder::components(uint32_t id) const {
    const Instruction* t = type(id);
    if (!t) return 0;
    switch (t->op) {
        case spv::OpTypeBool:
        case spv::OpTypeInt:
        case spv::OpTypeFloat: return 1;
        case spv::OpTypeVector: return t->operands[1];
        case spv::OpTypeMatrix: return t->operands[1] * components(t->operands[0]);
        case spv::OpTypeArray: {
            const Instruction* length = m_.definition(t->operands[1]);
            return length && length->op == spv::OpConstant ? length->operands[0] * components(t->operands[0]) : 0;
        }
        case spv::OpTypeStruct: {
            uint32_t n = 0;
            for (uint32_t member : t->operands) n += components(member);
            return n;
        }
        default: return 0;
    }
}

Scalar Decoder::scalar(uint32_t id) const {
    const Instruction* t = type(id);
    if (!t) return Scalar::None;
    switch (t->op) {
        case spv::OpTypeBool: return Scalar::Bool;
        case spv::OpTypeFloat: return Scalar::Float;
        case spv::OpTypeInt: return t->operands[1] ? Scalar::Int : Scalar::UInt;
        case spv::OpTypeVector:
        case spv::OpTypeMatrix:
        case spv::OpTypeArray: return scalar(t->operands[0]);
        default: return Scalar::None;
    }
}

bool Decoder::constant(const Instruction& inst) {
    std::vector<uint32_t> regs;
    switch (inst.op) {
        case spv::OpConstant: regs.push_back(constantRegister(inst.operands[0])); break;
        case spv::OpConstantTrue: regs.push_back(constantRegister(0xFFFFFFFF)); break;
        case spv::OpConstantFalse: regs.push_back(constantRegister(0)); break;
        case spv::OpConstantNull:
        case spv::OpUndef: regs.assign(components(inst.type), constantRegister(0)); break;
        case spv::OpConstantComposite:
            for (uint32_t part : inst.operands) {
                const auto* v = value(part);
                if (!v) return false;
                regs.insert(regs.end(), v->begin(), v->end());
            }
            break;
        default: return false;
    }
    values_[inst.result] = std::move(regs);
    return true;
}

bool Decoder::variable(const Instruction& inst) {
    const auto storage = static_cast<spv::StorageClass>(inst.operands[0]);
    const Instruction* pointer = type(inst.type);
    const uint32_t pointee = pointer->operands[1];
    const uint32_t slot = m_.decoration(inst.result, spv::DecorationBinding).value_or(0);
    if (storage == spv::StorageClassUniformConstant) {
        const Instruction* t = type(pointee);
        if (t->op == spv::OpTypeImage) textures_[inst.result] = slot;
        else samplers_[inst.result] = slot;
        return true;
    }
    pointers_[inst.result] = {storage, inst.result, 0, pointee, 0, slot, false, 16};
    if (storage == spv::StorageClassUniform) return true;
    std::vector<uint32_t> regs(components(pointee));
    for (uint32_t& r : regs) r = newRegister();
    if (storage == spv::StorageClassInput || storage == spv::StorageClassOutput) {
        if (std::find(m_.interface.begin(), m_.interface.end(), inst.result) == m_.interface.end()) return true;
        auto& list = storage == spv::StorageClassInput ? p_.inputs : p_.outputs;
        list.push_back({spirv::semanticOf(m_, inst.result, storage == spv::StorageClassOutput, p_.reflection.stage), regs});
    }
    variables_[inst.result] = std::move(regs);
    return true;
}

bool Decoder::global(const Instruction& inst) {
    switch (inst.op) {
        case spv::OpCapability:
            return inst.operands[0] == spv::CapabilityShader || inst.operands[0] == spv::CapabilityMatrix ||
                   fail("unsupported capability " + std::to_string(inst.operands[0]));
        case spv::OpExtension: {
            const std::string name = inst.string(0);
            return name == "SPV_GOOGLE_hlsl_functionality1" || name == "SPV_GOOGLE_user_type" ||
                   fail("unsupported extension " + name);
        }
        case spv::OpExtInstImport:
            if (inst.string(0) != "GLSL.std.450") return fail("unsupported instruction set " + inst.string(0));
            glsl_ = inst.result;
            return true;
        case spv::OpExecutionMode:
            return inst.operands[1] == spv::ExecutionModeOriginUpperLeft ||
                   inst.operands[1] == spv::ExecutionModeEarlyFragmentTests ||
                   fail("unsupported execution mode " + std::to_string(inst.operands[1]));
        case spv::OpMemoryModel: case spv::OpEntryPoint: case spv::OpSource: case spv::OpSourceContinued:
        case spv::OpSourceExtension: case spv::OpName: case spv::OpMemberName: case spv::OpString:
        case spv::OpModuleProcessed: case spv::OpDecorate: case spv::OpMemberDecorate: case spv::OpDecorateString:
        case spv::OpMemberDecorateString: case spv::OpLine: case spv::OpNoLine: case spv::OpNop:
        case spv::OpTypeVoid: case spv::OpTypeBool: case spv::OpTypeVector: case spv::OpTypeMatrix:
        case spv::OpTypeArray: case spv::OpTypeStruct: case spv::OpTypePointer: case spv::OpTypeFunction:
        case spv::OpTypeSampler: case spv::OpTypeSampledImage:
            return true;
        case spv::OpTypeInt:
        case spv::OpTypeFloat: return inst.operands[0] == 32 || fail("only 32-bit numbers are supported");
        case spv::OpTypeImage:
            return (inst.operands[1] == spv::Dim2D && inst.operands[3] == 0 && inst.operands[4] == 0 &&
                    type(inst.operands[0])->op == spv::OpTypeFloat) ||
                   fail("only 2D float textures are supported");
        case spv::OpConstant: case spv::OpConstantTrue: case spv::OpConstantFalse: case spv::OpConstantNull:
        case spv::OpConstantComposite: case spv::OpUndef:
            return constant(inst);
        case spv::OpVariable: return variable(inst);
        default: return fail("unsupported instruction " + spirv::opName(inst.op));
    }
}

bool Decoder::globals() {
    for (const Instruction& inst : m_.instructions) {
        if (inst.op == spv::OpFunction) break;
        if (!global(inst)) return false;
    }
    return true;
}

}  // namespace winsim::shader
