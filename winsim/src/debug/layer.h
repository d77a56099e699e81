// The debug layer: API misuse that the real runtime would reject or silently drop, whichever
// front-end (Direct3D 11, Direct3D 12, DXGI) sees it.
#pragma once
#include <string>

namespace winsim::debug {
// Counts one misuse; `call` names the API ("ID3D11DeviceContext::CopySubresourceRegion",
// "ID3D12GraphicsCommandList::ResourceBarrier").
void message(const std::string& call, const std::string& reason);
}  // namespace winsim::debug
