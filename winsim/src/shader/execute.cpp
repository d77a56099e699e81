// The interpreter loop of the path in use: the baseline build here, or one built for a wider
// instruction set.
#include "shader/isa.h"
#include "shader/kernel.h"
#include "shader/machine.h"

namespace winsim::shader {

void Machine::execute(int groups) {
    const Op* ops = program_->ops.data();
    const size_t count = program_->ops.size();
    switch (activeIsa()) {
        case Isa::Avx512: return executeAvx512(ops, count, regs_.data(), groups, *this);
        case Isa::Avx2: return executeAvx2(ops, count, regs_.data(), groups, *this);
        case Isa::Sse2: break;
    }
    kernel::runGroups<F4>(ops, count, regs_.data(), groups, [this](const Op& op, int n) { sample(op, n); });
}

}  // namespace winsim::shader
