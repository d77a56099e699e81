// The kernels built for AVX2; only reached where the processor has it.
#include "gpu/kernels_impl.h"

namespace winsim::gpu {

const Kernels& kernelsAvx2() {
    typedef float F8 __attribute__((vector_size(32)));
    static const Kernels k = kernelsFor<F8>();
    return k;
}

}  // namespace winsim::gpu
