// Memory, composites, matrix products and sampling in the SPIR-V translation.
#include "shader/decoder.h"

namespace winsim::shader {

using spirv::Instruction;

namespace {
std::optional<uint32_t> literalOf(const spirv::Module& m, uint32_t id) {
    const Instruction* c = m.definition(id);
    if (!c || c->op != spv::OpConstant) return std::nullopt;
    return c->operands[0];
}
}  // namespace

bool Decoder::accessChain(const Instruction& inst) {
    const auto base = pointers_.find(inst.operands[0]);
    if (base == pointers_.end()) return fail("access chain on an unsupported pointer");
    Pointer p = base->second;
    uint32_t vectorStride = 4;
    for (size_t i = 1; i < inst.operands.size(); ++i) {
        const auto index = literalOf(m_, inst.operands[i]);
        if (!index) return fail("dynamic indexing is not supported");
        const Instruction* t = type(p.type);
        switch (t->op) {
            case spv::OpTypeStruct:
                if (*index >= t->operands.size()) return fail("member index out of range");
                for (uint32_t m = 0; m < *index; ++m) p.first += components(t->operands[m]);
                p.offset += m_.memberDecoration(p.type, *index, spv::DecorationOffset).value_or(0);
                p.rowMajor = m_.memberDecoration(p.type, *index, spv::DecorationRowMajor).has_value();
                p.matrixStride = m_.memberDecoration(p.type, *index, spv::DecorationMatrixStride).value_or(16);
                p.type = t->operands[*index];
                break;
            case spv::OpTypeVector:
                p.first += *index;
                p.offset += *index * vectorStride;
                p.type = t->operands[0];
                break;
            case spv::OpTypeMatrix:
                p.first += *index * components(t->operands[0]);
                p.offset += *index * (p.rowMajor ? 4 : p.matrixStride);
                vectorStride = p.rowMajor ? p.matrixStride : 4;
                p.type = t->operands[0];
                break;
            case spv::OpTypeArray:
                p.first += *index * components(t->operands[0]);
                p.offset += *index * m_.decoration(p.type, spv::DecorationArrayStride).value_or(16);
                p.type = t->operands[0];
                break;
            default: return fail("access chain into a scalar");
        }
    }
    if (type(p.type)->op == spv::OpTypeVector && vectorStride != 4) return fail("row of a row-major matrix");
    pointers_[inst.result] = p;
    return true;
}

namespace {
void uniformOffsets(const spirv::Module& m, uint32_t typeId, uint32_t offset, bool rowMajor, uint32_t stride,
                    std::vector<uint32_t>& out) {
    const Instruction* t = m.definition(typeId);
    switch (t->op) {
        case spv::OpTypeVector:
            for (uint32_t i = 0; i < t->operands[1]; ++i) out.push_back(offset + 4 * i);
            return;
        case spv::OpTypeMatrix: {
            const uint32_t rows = m.definition(t->operands[0])->operands[1];
            for (uint32_t c = 0; c < t->operands[1]; ++c)
                for (uint32_t r = 0; r < rows; ++r) out.push_back(offset + (rowMajor ? r * stride + c * 4 : c * stride + r * 4));
            return;
        }
        case spv::OpTypeArray: {
            const uint32_t count = m.definition(t->operands[1])->operands[0];
            const uint32_t step = m.decoration(typeId, spv::DecorationArrayStride).value_or(16);
            for (uint32_t i = 0; i < count; ++i) uniformOffsets(m, t->operands[0], offset + i * step, rowMajor, stride, out);
            return;
        }
        case spv::OpTypeStruct:
            for (uint32_t i = 0; i < t->operands.size(); ++i)
                uniformOffsets(m, t->operands[i], offset + m.memberDecoration(typeId, i, spv::DecorationOffset).value_or(0),
                               m.memberDecoration(typeId, i, spv::DecorationRowMajor).has_value(),
                               m.memberDecoration(typeId, i, spv::DecorationMatrixStride).value_or(16), out);
            return;
        default: out.push_back(offset); return;
    }
}
}  // namespace

bool Decoder::load(const Instruction& inst) {
    if (textures_.count(inst.operands[0])) {
        textures_[inst.result] = textures_[inst.operands[0]];
        return true;
    }
    if (samplers_.count(inst.operands[0])) {
        samplers_[inst.result] = samplers_[inst.operands[0]];
        return true;
    }
    const auto found = pointers_.find(inst.operands[0]);
    if (found == pointers_.end()) return fail("load through an unsupported pointer");
    const Pointer& p = found->second;
    std::vector<uint32_t> regs;
    if (p.storage == spv::StorageClassUniform) {
        std::vector<uint32_t> offsets;
        uniformOffsets(m_, p.type, p.offset, p.rowMajor, p.matrixStride, offsets);
        for (uint32_t offset : offsets) regs.push_back(uniformRegister(p.slot, offset));
    } else {
        const auto& var = variables_.at(p.variable);
        for (uint32_t c = 0; c < components(p.type); ++c) {
            const uint32_t reg = var.at(p.first + c);
            regs.push_back(p.storage == spv::StorageClassInput ? reg : emit(Code::Copy, reg));
        }
    }
    values_[inst.result] = std::move(regs);
    return true;
}

bool Decoder::store(const Instruction& inst) {
    const auto found = pointers_.find(inst.operands[0]);
    const auto* v = value(inst.operands[1]);
    if (!v) return false;
    if (found == pointers_.end() || found->second.storage == spv::StorageClassUniform ||
        found->second.storage == spv::StorageClassInput)
        return fail("store through an unsupported pointer");
    const Pointer& p = found->second;
    const auto& var = variables_.at(p.variable);
    for (size_t c = 0; c < v->size(); ++c) p_.ops.push_back({Code::Store, false, var.at(p.first + c), (*v)[c]});
    return true;
}

bool Decoder::composite(const Instruction& inst) {
    std::vector<uint32_t> out;
    const auto* a = value(inst.operands[0]);
    if (!a) return false;
    switch (inst.op) {
        case spv::OpVectorShuffle: {
            const auto* b = value(inst.operands[1]);
            if (!b) return false;
            for (size_t i = 2; i < inst.operands.size(); ++i) {
                const uint32_t k = inst.operands[i];
                out.push_back(k == 0xFFFFFFFF ? constantRegister(0) : k < a->size() ? (*a)[k] : b->at(k - a->size()));
            }
            break;
        }
        case spv::OpCompositeExtract:
        case spv::OpCompositeInsert: {
            const bool insert = inst.op == spv::OpCompositeInsert;
            const auto* whole = insert ? value(inst.operands[1]) : a;
            if (!whole) return false;
            uint32_t t = m_.definition(inst.operands[insert ? 1 : 0])->type, first = 0;
            for (size_t i = insert ? 2 : 1; i < inst.operands.size(); ++i) {
                const Instruction* ti = type(t);
                const uint32_t k = inst.operands[i];
                if (ti->op == spv::OpTypeStruct) {
                    for (uint32_t mbr = 0; mbr < k; ++mbr) first += components(ti->operands[mbr]);
                    t = ti->operands[k];
                } else {
                    first += k * components(ti->operands[0]);
                    t = ti->operands[0];
                }
            }
            const uint32_t n = components(t);
            if (first + n > whole->size()) return fail("composite index out of range");
            out = insert ? *whole : std::vector<uint32_t>(whole->begin() + first, whole->begin() + first + n);
            if (insert) std::copy(a->begin(), a->end(), out.begin() + first);
            break;
        }
        case spv::OpCompositeConstruct:
            for (uint32_t part : inst.operands) {
                const auto* v = value(part);
                if (!v) return false;
                out.insert(out.end(), v->begin(), v->end());
            }
            break;
        case spv::OpCopyObject:
        case spv::OpBitcast:
            if (a->size() != components(inst.type)) return fail("bit cast between sizes");
            out = *a;
            break;
        case spv::OpTranspose: {
            const uint32_t cols = type(inst.type)->operands[1], rows = static_cast<uint32_t>(a->size()) / cols;
            for (uint32_t c = 0; c < cols; ++c)
                for (uint32_t r = 0; r < rows; ++r) out.push_back((*a)[r * cols + c]);
            break;
        }
        case spv::OpSelect: {
            const auto *x = value(inst.operands[1]), *y = value(inst.operands[2]);
            if (!x || !y) return false;
            for (size_t c = 0; c < x->size(); ++c) out.push_back(emit(Code::Select, (*a)[a->size() == 1 ? 0 : c], (*x)[c], (*y)[c]));
            break;
        }
        case spv::OpAny:
        case spv::OpAll: {
            uint32_t r = (*a)[0];
            for (size_t c = 1; c < a->size(); ++c) r = emit(inst.op == spv::OpAny ? Code::Or : Code::And, r, (*a)[c]);
            out.push_back(a->size() == 1 ? emit(Code::Copy, r) : r);
            break;
        }
        case spv::OpDot: {
            const auto* b = value(inst.operands[1]);
            if (!b) return false;
            uint32_t sum = emit(Code::FMul, (*a)[0], (*b)[0]);
            for (size_t c = 1; c < a->size(); ++c) sum = emit(Code::FAdd, sum, emit(Code::FMul, (*a)[c], (*b)[c]));
            out.push_back(sum);
            break;
        }
        default: {  // VectorTimesScalar, MatrixTimesScalar
            const auto* s = value(inst.operands[1]);
            if (!s) return false;
            for (uint32_t c : *a) out.push_back(emit(Code::FMul, c, (*s)[0]));
        }
    }
    values_[inst.result] = std::move(out);
    return true;
}

// Products over column-major registers: matrix component (column c, row r) is c * rows + r.
bool Decoder::matrixProduct(const Instruction& inst) {
    const auto *a = value(inst.operands[0]), *b = value(inst.operands[1]);
    if (!a || !b) return false;
    const auto dot = [&](auto left, auto right, uint32_t n) {
        uint32_t sum = emit(Code::FMul, left(0), right(0));
        for (uint32_t k = 1; k < n; ++k) sum = emit(Code::FAdd, sum, emit(Code::FMul, left(k), right(k)));
        return sum;
    };
    std::vector<uint32_t> out;
    if (inst.op == spv::OpMatrixTimesVector) {  // a: n columns of r rows, b: n
        const uint32_t n = static_cast<uint32_t>(b->size()), rows = static_cast<uint32_t>(a->size()) / n;
        for (uint32_t r = 0; r < rows; ++r) out.push_back(dot([&](uint32_t k) { return (*a)[k * rows + r]; }, [&](uint32_t k) { return (*b)[k]; }, n));
    } else if (inst.op == spv::OpVectorTimesMatrix) {  // a: r, b: columns of r rows
        const uint32_t rows = static_cast<uint32_t>(a->size()), cols = static_cast<uint32_t>(b->size()) / rows;
        for (uint32_t c = 0; c < cols; ++c) out.push_back(dot([&](uint32_t k) { return (*a)[k]; }, [&](uint32_t k) { return (*b)[c * rows + k]; }, rows));
    } else {  // a: n columns of r rows, b: c columns of n rows
        const uint32_t cols = type(inst.type)->operands[1];
        const uint32_t n = static_cast<uint32_t>(b->size()) / cols, rows = static_cast<uint32_t>(a->size()) / n;
        for (uint32_t c = 0; c < cols; ++c)
            for (uint32_t r = 0; r < rows; ++r)
                out.push_back(dot([&](uint32_t k) { return (*a)[k * rows + r]; }, [&](uint32_t k) { return (*b)[c * n + k]; }, n));
    }
    values_[inst.result] = std::move(out);
    return true;
}

bool Decoder::image(const Instruction& inst) {
    if (inst.op == spv::OpSampledImage) {
        if (!textures_.count(inst.operands[0]) || !samplers_.count(inst.operands[1])) return fail("unknown texture or sampler");
        sampled_[inst.result] = {textures_[inst.operands[0]], samplers_[inst.operands[1]]};
        return true;
    }
    if (inst.op == spv::OpImage) {
        if (!sampled_.count(inst.operands[0])) return fail("unknown sampled image");
        textures_[inst.result] = sampled_[inst.operands[0]].first;
        return true;
    }
    const bool fetch = inst.op == spv::OpImageFetch;
    const uint32_t mask = inst.operands.size() > 2 ? inst.operands[2] : 0;
    const bool explicitLod = inst.op == spv::OpImageSampleExplicitLod;
    if ((explicitLod && mask != spv::ImageOperandsLodMask) || (!explicitLod && mask != 0 && !(fetch && mask == spv::ImageOperandsLodMask)))
        return fail("unsupported image operands");
    const auto* coord = value(inst.operands[1]);
    if (!coord || coord->size() < 2) return false;
    uint32_t lod = kNone;
    if (mask) {
        const auto* l = value(inst.operands[3]);
        if (!l) return false;
        lod = (*l)[0];
    }
    uint32_t slots;
    if (fetch) {
        if (!textures_.count(inst.operands[0])) return fail("unknown texture");
        slots = textures_[inst.operands[0]];
        if (lod == kNone) lod = constantRegister(0);
    } else {
        if (!sampled_.count(inst.operands[0])) return fail("unknown sampled image");
        slots = sampled_[inst.operands[0]].first | sampled_[inst.operands[0]].second << 8;
    }
    const uint32_t dst = p_.registerCount;
    p_.registerCount += 4;
    p_.ops.push_back({fetch ? Code::Fetch : Code::Sample, masked_, dst, (*coord)[0], (*coord)[1], slots, lod});
    values_[inst.result] = {dst, dst + 1, dst + 2, dst + 3};
    return true;
}

}  // namespace winsim::shader
