// The interpreter loop built for AVX-512 (x86-64-v4): a group of 16 lanes is one vector. Only
// reached after a check of the processor; nothing here is shared with the baseline build.
#include "shader/kernel.h"
#include "shader/machine.h"

namespace winsim::shader {

typedef float F16 __attribute__((vector_size(64)));

void executeWide(const Op* ops, size_t count, Register* registers, int groups, Machine& machine) {
    const auto sample = [&machine](const Op& op, int n) { machine.sampleOp(op, n); };
    if (groups == 1) return kernel::run<F16, 1>(ops, count, registers, sample);
    kernel::run<F16, kGroups>(ops, count, registers, sample);
}

}  // namespace winsim::shader
