// Reflection of a compiled module, and the blob that carries it with the SPIR-V words.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "shader/spirv.h"

namespace winsim::shader {
namespace spirv {
namespace {

uint32_t typeBytes(const Module& module, uint32_t typeId);

uint32_t structBytes(const Module& module, const Instruction& type) {
    uint32_t end = 0;
    for (uint32_t m = 0; m < type.operands.size(); ++m) {
        const uint32_t offset = module.memberDecoration(type.result, m, spv::DecorationOffset).value_or(0);
        uint32_t bytes = typeBytes(module, type.operands[m]);
        const Instruction* member = module.definition(type.operands[m]);
        if (member && member->op == spv::OpTypeMatrix) {
            const uint32_t stride = module.memberDecoration(type.result, m, spv::DecorationMatrixStride).value_or(16);
            const bool rowMajor = module.memberDecoration(type.result, m, spv::DecorationRowMajor).has_value();
            const Instruction* column = module.definition(member->operands[0]);
            bytes = stride * (rowMajor && column ? column->operands[1] : member->operands[1]);
        }
        end = std::max(end, offset + bytes);
    }
    return end;
}

uint32_t typeBytes(const Module& module, uint32_t typeId) {
    const Instruction* type = module.definition(typeId);
    if (!type) return 0;
    switch (type->op) {
        case spv::OpTypeFloat:
        case spv::OpTypeInt:
        case spv::OpTypeBool: return 4;
        case spv::OpTypeVector: return 4 * type->operands[1];
        case spv::OpTypeMatrix: return 16 * type->operands[1];
        case spv::OpTypeArray: {
            const Instruction* length = module.definition(type->operands[1]);
            const uint32_t stride = module.decoration(typeId, spv::DecorationArrayStride).value_or(16);
            return length && !length->operands.empty() ? stride * length->operands[0] : 0;
        }
        case spv::OpTypeStruct: return structBytes(module, *type);
        default: return 0;
    }
}

// "SV_Target" and "TEXCOORD" name index 0 of their semantic.
std::string canonical(std::string semantic) {
    if (!semantic.empty() && !std::isdigit(static_cast<unsigned char>(semantic.back()))) semantic += '0';
    return semantic;
}

}  // namespace

std::string semanticOf(const Module& module, uint32_t id, bool output, Stage stage) {
    if (const auto builtin = module.decoration(id, spv::DecorationBuiltIn)) {
        switch (*builtin) {
            case spv::BuiltInPosition:
            case spv::BuiltInFragCoord: return "SV_POSITION0";
            case spv::BuiltInVertexIndex: return "SV_VERTEXID0";
            case spv::BuiltInInstanceIndex: return "SV_INSTANCEID0";
            default: return {};
        }
    }
    const std::string named = module.semantic(id);
    if (!named.empty()) return canonical(named);
    const auto location = module.decoration(id, spv::DecorationLocation);
    if (output && stage == Stage::Pixel && location) return "SV_TARGET" + std::to_string(*location);
    return {};
}

namespace {

bool reflectVariable(const Module& module, const Instruction& var, Stage stage, Reflection& out, std::string* error) {
    const auto storage = static_cast<spv::StorageClass>(var.operands[0]);
    const Instruction* pointer = module.definition(var.type);
    const Instruction* pointee = pointer ? module.definition(pointer->operands[1]) : nullptr;
    if (!pointee) return false;
    const uint32_t slot = module.decoration(var.result, spv::DecorationBinding).value_or(0);
    switch (storage) {
        case spv::StorageClassUniform:
            if (pointee->op != spv::OpTypeStruct) break;
            out.bindings.push_back({BindingKind::ConstantBuffer, slot, (typeBytes(module, pointee->result) + 15) / 16 * 16});
            return true;
        case spv::StorageClassUniformConstant:
            if (pointee->op == spv::OpTypeImage) out.bindings.push_back({BindingKind::Texture, slot, 0});
            else if (pointee->op == spv::OpTypeSampler) out.bindings.push_back({BindingKind::Sampler, slot, 0});
            else break;
            return true;
        case spv::StorageClassInput:
        case spv::StorageClassOutput: {
            const bool output = storage == spv::StorageClassOutput;
            const std::string semantic = semanticOf(module, var.result, output, stage);
            const bool vector = pointee->op == spv::OpTypeVector;
            if (semantic.empty() || (!vector && pointee->op != spv::OpTypeFloat && pointee->op != spv::OpTypeInt)) break;
            out.signature.push_back({output, vector ? pointee->operands[1] : 1, semantic});
            return true;
        }
        default: break;
    }
    *error = "unsupported shader variable of storage class " + std::to_string(storage);
    return false;
}

}  // namespace

std::optional<Reflection> reflect(const Module& module, Stage stage, std::string* error) {
    const auto expected = stage == Stage::Vertex ? spv::ExecutionModelVertex : spv::ExecutionModelFragment;
    if (module.model != expected) {
        *error = "entry point of another stage";
        return std::nullopt;
    }
    Reflection out;
    out.stage = stage;
    for (const Instruction& inst : module.instructions) {
        if (inst.op == spv::OpFunction) break;
        if (inst.op != spv::OpVariable) continue;
        const auto storage = static_cast<spv::StorageClass>(inst.operands[0]);
        const bool io = storage == spv::StorageClassInput || storage == spv::StorageClassOutput;
        if (io && std::find(module.interface.begin(), module.interface.end(), inst.result) == module.interface.end()) continue;
        if (!reflectVariable(module, inst, stage, out, error)) return std::nullopt;
    }
    return out;
}

}  // namespace spirv

std::optional<Reflection> reflect(const std::vector<uint32_t>& words, Stage stage, std::string* error) {
    const auto module = spirv::read(words, error);
    if (!module) return std::nullopt;
    return spirv::reflect(*module, stage, error);
}

namespace {

void put(std::vector<uint8_t>& out, uint32_t word) {
    const size_t at = out.size();
    out.resize(at + 4);
    std::memcpy(&out[at], &word, 4);
}

struct Reader {
    const uint8_t* at;
    const uint8_t* end;
    bool ok = true;
    uint32_t word() {
        if (end - at < 4) {
            ok = false;
            return 0;
        }
        uint32_t w;
        std::memcpy(&w, at, 4);
        at += 4;
        return w;
    }
    std::string text(uint32_t length) {
        if (static_cast<size_t>(end - at) < length) {
            ok = false;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(at), length);
        at += length;
        return s;
    }
};

}  // namespace

std::vector<uint8_t> writeBlob(const Reflection& reflection, const std::vector<uint32_t>& spirv) {
    std::vector<uint8_t> out;
    for (uint32_t w : {kBlobMagic, kBlobVersion, static_cast<uint32_t>(reflection.stage),
                       static_cast<uint32_t>(reflection.bindings.size()), static_cast<uint32_t>(reflection.signature.size()),
                       static_cast<uint32_t>(spirv.size())})
        put(out, w);
    for (const Binding& b : reflection.bindings) {
        put(out, static_cast<uint32_t>(b.kind));
        put(out, b.slot);
        put(out, b.bytes);
    }
    for (const Signature& s : reflection.signature) {
        put(out, s.output ? 1 : 0);
        put(out, s.components);
        put(out, static_cast<uint32_t>(s.semantic.size()));
        out.insert(out.end(), s.semantic.begin(), s.semantic.end());
    }
    for (uint32_t w : spirv) put(out, w);
    return out;
}

std::optional<std::pair<Reflection, std::vector<uint32_t>>> readBlob(const void* code, size_t size) {
    Reader in{static_cast<const uint8_t*>(code), static_cast<const uint8_t*>(code) + size};
    if (in.word() != kBlobMagic || in.word() != kBlobVersion) return std::nullopt;
    Reflection reflection;
    const uint32_t stage = in.word();
    if (stage > 1) return std::nullopt;
    reflection.stage = static_cast<Stage>(stage);
    const uint32_t bindings = in.word(), signatures = in.word(), words = in.word();
    for (uint32_t i = 0; i < bindings && in.ok && bindings <= size; ++i) {
        const uint32_t kind = in.word(), slot = in.word(), bytes = in.word();
        if (kind > 2) return std::nullopt;
        reflection.bindings.push_back({static_cast<BindingKind>(kind), slot, bytes});
    }
    for (uint32_t i = 0; i < signatures && in.ok && signatures <= size; ++i) {
        const uint32_t output = in.word(), components = in.word(), length = in.word();
        reflection.signature.push_back({output != 0, components, in.text(length)});
    }
    if (!in.ok || static_cast<size_t>(in.end - in.at) != static_cast<size_t>(words) * 4) return std::nullopt;
    std::vector<uint32_t> spirv(words);
    if (words) std::memcpy(spirv.data(), in.at, static_cast<size_t>(words) * 4);
    return std::make_pair(std::move(reflection), std::move(spirv));
}

}  // namespace winsim::shader
