// The interpreter loop in the baseline build, or the AVX-512 one where the processor has it.
#include "shader/kernel.h"
#include "shader/machine.h"

namespace winsim::shader {

bool wideKernelUsable() {
    static const bool usable = __builtin_cpu_supports("x86-64-v4");
    return usable;
}

void Machine::execute(int groups) {
    const auto sample = [this](const Op& op, int n) { this->sample(op, n); };
    if (wideKernelUsable()) return executeWide(program_->ops.data(), program_->ops.size(), regs_.data(), groups, *this);
    if (groups == 1) return kernel::run<F4, 1>(program_->ops.data(), program_->ops.size(), regs_.data(), sample);
    kernel::run<F4, kGroups>(program_->ops.data(), program_->ops.size(), regs_.data(), sample);
}

}  // namespace winsim::shader
