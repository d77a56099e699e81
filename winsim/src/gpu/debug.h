// The debug layer: API misuse that the real runtime would reject or silently drop.
#pragma once
#include <string>

namespace winsim::gpu {
// Counts one misuse; `call` names the API ("ID3D11DeviceContext::CopySubresourceRegion").
void debugMessage(const std::string& call, const std::string& reason);
}  // namespace winsim::gpu
