// The interpreter loop built for AVX-512: a group of 16 lanes is one vector.
#include "shader/kernel.h"
#include "shader/machine.h"

void winsim::shader::executeAvx512(const Op* ops, size_t count, Register* registers, int groups, Machine& machine) {
    typedef float F16 __attribute__((vector_size(64)));
    kernel::runGroups<F16>(ops, count, registers, groups, [&machine](const Op& op, int n) { machine.sampleOp(op, n); });
}
