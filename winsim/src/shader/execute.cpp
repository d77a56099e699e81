// The interpreter loop in the baseline build, or the AVX-512 one where the processor has it.
#include "shader/kernel.h"
#include "shader/machine.h"

namespace winsim::shader {

bool wideKernelUsable() {
    static const bool usable = __builtin_cpu_supports("x86-64-v4");
    return usable;
}

void Machine::execute() {
    const auto sample = [this](const Op& op) { this->sample(op); };
    if (wideKernelUsable()) return executeWide(program_.ops.data(), program_.ops.size(), regs_.data(), *this);
    kernel::run<F4>(program_.ops.data(), program_.ops.size(), regs_.data(), sample);
}

}  // namespace winsim::shader
