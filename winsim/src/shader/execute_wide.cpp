// The interpreter loop built for AVX-512 (x86-64-v4): a 16-lane value is one vector. Only
// reached after a check of the processor; nothing here is shared with the baseline build.
#include "shader/kernel.h"
#include "shader/machine.h"

namespace winsim::shader {

typedef float F16 __attribute__((vector_size(64)));

void executeWide(const Op* ops, size_t count, Lanes* registers, Machine& machine) {
    kernel::run<F16>(ops, count, registers, [&machine](const Op& op) { machine.sampleOp(op); });
}

}  // namespace winsim::shader
