// How resources lie in memory: the copyable footprints of their subresources and what a committed
// resource of a description occupies.
#pragma once
#include <optional>

#include <d3d12.h>

namespace winsim::d3d12 {

// What a resource description asks for, checked as CreateCommittedResource checks it: E_NOTIMPL
// (with the debug layer's message) for what winsim does not model, E_INVALIDARG for what the
// runtime refuses. The mip count of a texture is resolved (0: the full chain).
HRESULT checkDesc(const char* call, D3D12_RESOURCE_DESC& desc);

// The footprint of one subresource placed at `offset`, with its rows and their unpadded size.
struct Placed {
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT layout;
    UINT rows;
    UINT64 rowBytes;
    UINT64 end() const { return layout.Offset + UINT64(layout.Footprint.RowPitch) * (rows - 1) + rowBytes; }
};
Placed footprint(const D3D12_RESOURCE_DESC& desc, UINT subresource, UINT64 offset);

// The bytes the ledger charges for a committed resource of a checked description.
UINT64 committedBytes(const D3D12_RESOURCE_DESC& desc);

constexpr UINT64 alignUp(UINT64 value, UINT64 alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace winsim::d3d12
