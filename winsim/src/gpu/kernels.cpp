// The baseline build of the kernels, and the choice among the builds.
#include "gpu/kernels_impl.h"
#include "shader/isa.h"

namespace winsim::gpu {

const Kernels& kernelsSse2() {
    typedef float F4 __attribute__((vector_size(16)));
    static const Kernels k = kernelsFor<F4>();
    return k;
}

const Kernels& kernels() {
    // Indexed by shader::Isa; a path the processor lacks is never in use.
    static const Kernels* const builds[] = {&kernelsSse2(), shader::processorIsa() >= shader::Isa::Avx2 ? &kernelsAvx2() : nullptr,
                                            shader::processorIsa() >= shader::Isa::Avx512 ? &kernelsAvx512() : nullptr};
    return *builds[static_cast<int>(shader::activeIsa())];
}

}  // namespace winsim::gpu
