// The code blob D3DCompile hands out and loadProgram reads: a header, the reflection the runtime
// needs (resource bindings, input and output signatures) and the SPIR-V words.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shader/program.h"

namespace winsim::shader {

constexpr uint32_t kBlobMagic = 0x44485357;  // "WSHD"
constexpr uint32_t kBlobVersion = 1;

enum class BindingKind : uint32_t { ConstantBuffer, Texture, Sampler };

struct Binding {
    BindingKind kind;
    uint32_t slot;   // register number: b#, t# or s#
    uint32_t bytes;  // constant buffers only
    bool operator==(const Binding&) const = default;
};

// A stage input or output. `semantic` is the HLSL semantic in upper case ("TEXCOORD0",
// "SV_POSITION", "SV_VERTEXID", "SV_TARGET0").
struct Signature {
    bool output;
    uint32_t components;
    std::string semantic;
    bool operator==(const Signature&) const = default;
};

struct Reflection {
    Stage stage = Stage::Vertex;
    std::vector<Binding> bindings;
    std::vector<Signature> signature;
    bool operator==(const Reflection&) const = default;
};

std::vector<uint8_t> writeBlob(const Reflection& reflection, const std::vector<uint32_t>& spirv);
// Null when the bytes are not a well-formed blob.
std::optional<std::pair<Reflection, std::vector<uint32_t>>> readBlob(const void* code, size_t size);

}  // namespace winsim::shader
