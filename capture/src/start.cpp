// Capture start-up.
#include "impl.h"

namespace velda {

bool DuplicationSource::Impl::start(ID3D12Device* caller) {
    // Stored before anything can fail, so that resume can always retry on it.
    d3d12Device = caller;
    return false;
}

}  // namespace velda
