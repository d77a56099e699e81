// A SPIR-V module read into instructions with their result ids, decorations and names, shared
// by the compiler's reflection and the interpreter's decoder.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#define SPV_ENABLE_UTILITY_CODE
#include <glslang/SPIRV/spirv.hpp>

#include "shader/blob_format.h"

namespace winsim::shader::spirv {

struct Instruction {
    spv::Op op;
    uint32_t type = 0;    // result type id, 0 when none
    uint32_t result = 0;  // result id, 0 when none
    std::vector<uint32_t> operands;  // the words after the opcode, result type and result

    // The literal string that starts at operand `first`.
    std::string string(size_t first) const;
};

struct Decoration {
    spv::Decoration kind;
    std::vector<uint32_t> literals;
    std::string text;  // OpDecorateString
};

struct Module {
    std::vector<Instruction> instructions;
    std::unordered_map<uint32_t, size_t> definitions;  // result id -> instruction index
    std::map<uint32_t, std::vector<Decoration>> decorations;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<Decoration>> memberDecorations;
    uint32_t entryFunction = 0;
    spv::ExecutionModel model = spv::ExecutionModelMax;
    std::vector<uint32_t> interface;  // the entry point's input and output variables

    const Instruction* definition(uint32_t id) const;
    // The first literal of decoration `kind` on `id` (or on member `member` of it).
    std::optional<uint32_t> decoration(uint32_t id, spv::Decoration kind) const;
    std::optional<uint32_t> memberDecoration(uint32_t id, uint32_t member, spv::Decoration kind) const;
    std::string semantic(uint32_t id) const;  // the HLSL semantic, upper case, "" when none
};

// The name of an opcode, for messages ("OpKill").
std::string opName(spv::Op op);

// Reads the words of a module with exactly one entry point; null with a reason otherwise.
std::optional<Module> read(const std::vector<uint32_t>& words, std::string* error);

// The HLSL semantic of an input or output variable, canonical ("TEXCOORD0"); "" when none.
std::string semanticOf(const Module& module, uint32_t id, bool output, Stage stage);

// The reflection of a module: resource bindings and the entry point's signature.
std::optional<Reflection> reflect(const Module& module, Stage stage, std::string* error);

}  // namespace winsim::shader::spirv

namespace winsim::shader {
// Reads `spirv` and reflects it (for the compiler).
std::optional<Reflection> reflect(const std::vector<uint32_t>& spirv, Stage stage, std::string* error);
}  // namespace winsim::shader
