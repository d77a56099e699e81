// The kernels built for AVX-512; only reached where the processor has it.
#include "gpu/kernels_impl.h"

namespace winsim::gpu {

const Kernels& kernelsAvx512() {
    typedef float F16 __attribute__((vector_size(64)));
    static const Kernels k = kernelsFor<F16>();
    return k;
}

}  // namespace winsim::gpu
