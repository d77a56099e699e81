// Placeholder until the shader interpreter lands: every blob is refused.
#include "shader/program.h"

namespace winsim::shader {
std::shared_ptr<const Program> loadProgram(const void*, size_t, Stage, std::string* error) {
    if (error) *error = "no shader interpreter";
    return nullptr;
}
}  // namespace winsim::shader
