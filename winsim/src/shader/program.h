// A shader program as the GPU back-end runs it: decoded once from the compiler's blob into a
// flat register program, then run over spans of pixels (or a few vertices) at a time.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

namespace winsim::shader {

enum class Stage { Vertex, Pixel };

class Program;

// Decodes a blob that D3DCompile produced for `stage`. Null, with the reason in `error`, for
// anything else, including an instruction the interpreter cannot run.
std::shared_ptr<const Program> loadProgram(const void* code, size_t size, Stage stage, std::string* error);

}  // namespace winsim::shader
