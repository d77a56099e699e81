// The interpreter loop built for AVX2: a group of 16 lanes is two vectors.
#include "shader/kernel.h"
#include "shader/machine.h"

void winsim::shader::executeAvx2(const Op* ops, size_t count, Register* registers, int groups, Machine& machine) {
    typedef float F8 __attribute__((vector_size(32)));
    kernel::runGroups<F8>(ops, count, registers, groups, [&machine](const Op& op, int n) { machine.sampleOp(op, n); });
}
