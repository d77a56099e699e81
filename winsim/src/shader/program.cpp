// loadProgram: checks a compiled blob and decodes it into the interpreter's program.
#include "shader/program.h"

#include "shader/code.h"
#include "shader/decoder.h"
#include "shader/spirv.h"

namespace winsim::shader {

namespace {

// The draw call carries constant buffer b0, textures t0..t1 and samplers s0..s1.
bool bindingsSupported(const Reflection& reflection, std::string* error) {
    for (const Binding& b : reflection.bindings) {
        const uint32_t limit = b.kind == BindingKind::ConstantBuffer ? 1 : 2;
        if (b.slot >= limit) {
            *error = "unsupported resource register " + std::to_string(b.slot);
            return false;
        }
    }
    return true;
}

}  // namespace

const Varying* Program::input(const std::string& semantic) const {
    for (const Varying& v : inputs)
        if (v.semantic == semantic) return &v;
    return nullptr;
}

const Varying* Program::output(const std::string& semantic) const {
    for (const Varying& v : outputs)
        if (v.semantic == semantic) return &v;
    return nullptr;
}

std::shared_ptr<const Program> loadProgram(const void* code, size_t size, Stage stage, std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    const auto blob = code ? readBlob(code, size) : std::nullopt;
    if (!blob) {
        *error = "not a compiled shader";
        return nullptr;
    }
    if (blob->first.stage != stage) {
        *error = "shader compiled for another stage";
        return nullptr;
    }
    const auto module = spirv::read(blob->second, error);
    if (!module) return nullptr;
    const auto reflection = spirv::reflect(*module, stage, error);
    if (!reflection) return nullptr;
    if (!(*reflection == blob->first)) {
        *error = "shader reflection does not match its code";
        return nullptr;
    }
    if (!bindingsSupported(*reflection, error)) return nullptr;
    auto program = std::make_shared<Program>();
    program->reflection = *reflection;
    Decoder decoder(*module, *program, error);
    if (!decoder.run()) return nullptr;
    return program;
}

}  // namespace winsim::shader
