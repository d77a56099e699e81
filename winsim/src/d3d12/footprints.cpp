// Footprints follow the documented placement rules: each subresource starts at a multiple of
// D3D12_TEXTURE_DATA_PLACEMENT_ALIGNMENT (512) and its rows are D3D12_TEXTURE_DATA_PITCH_ALIGNMENT
// (256) bytes apart; the last row of a subresource is not padded. A buffer is one row.
#include "d3d12/footprints.h"

#include <bit>

#include "d3d12/device.h"
#include "formats/dxgi_format.h"
#include "gpu/ledger.h"

namespace winsim::d3d12 {
namespace {

UINT fullChain(UINT64 width, UINT height) { return std::bit_width(std::max<UINT64>(width, height)); }

HRESULT checkBuffer(const char* call, const D3D12_RESOURCE_DESC& desc) {
    if (desc.Width == 0 || desc.Width > UINT32_MAX) return refuse(call, "a buffer of 1 byte to 4 GiB is modelled", desc.Width ? E_NOTIMPL : E_INVALIDARG);
    if (desc.Height != 1 || desc.DepthOrArraySize != 1 || desc.MipLevels != 1 || desc.Format != DXGI_FORMAT_UNKNOWN ||
        desc.SampleDesc.Count != 1 || desc.SampleDesc.Quality != 0)
        return refuse(call, "a buffer has height, depth, mips and samples of 1 and no format");
    if (desc.Layout != D3D12_TEXTURE_LAYOUT_ROW_MAJOR) return refuse(call, "a buffer's layout is ROW_MAJOR");
    if (desc.Alignment != 0 && desc.Alignment != D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT)
        return refuse(call, "a buffer is aligned to 64 KiB");
    return S_OK;
}

HRESULT checkTexture(const char* call, D3D12_RESOURCE_DESC& desc) {
    if (desc.DepthOrArraySize != 1) return notModelled(call, "a texture array");
    if (desc.SampleDesc.Count != 1) return notModelled(call, "multisampling");
    if (desc.Format == DXGI_FORMAT_UNKNOWN) return refuse(call, "a texture needs a format");
    if (gpuFormat(desc.Format) == gpu::Format::Unknown) return notModelled(call, "format " + std::to_string(desc.Format));
    if (desc.Width == 0 || desc.Height == 0 || desc.Width > D3D12_REQ_TEXTURE2D_U_OR_V_DIMENSION ||
        desc.Height > D3D12_REQ_TEXTURE2D_U_OR_V_DIMENSION)
        return refuse(call, "a 2D texture is 1 to 16384 texels wide and high");
    if (desc.Layout != D3D12_TEXTURE_LAYOUT_UNKNOWN) return refuse(call, "a texture's layout is UNKNOWN");
    if (desc.Alignment != 0 && desc.Alignment != D3D12_SMALL_RESOURCE_PLACEMENT_ALIGNMENT &&
        desc.Alignment != D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT)
        return refuse(call, "a texture is aligned to 4 KiB or 64 KiB");
    const UINT chain = fullChain(desc.Width, desc.Height);
    if (desc.MipLevels > chain) return refuse(call, "more mips than the size has");
    if (desc.MipLevels == 0) desc.MipLevels = static_cast<UINT16>(chain);
    return S_OK;
}

}  // namespace

HRESULT checkDesc(const char* call, D3D12_RESOURCE_DESC& desc) {
    switch (desc.Dimension) {
        case D3D12_RESOURCE_DIMENSION_BUFFER: return checkBuffer(call, desc);
        case D3D12_RESOURCE_DIMENSION_TEXTURE2D: return checkTexture(call, desc);
        case D3D12_RESOURCE_DIMENSION_TEXTURE1D:
        case D3D12_RESOURCE_DIMENSION_TEXTURE3D: return notModelled(call, "a 1D or 3D texture");
        default: return refuse(call, "unknown dimension");
    }
}

Placed footprint(const D3D12_RESOURCE_DESC& desc, UINT subresource, UINT64 offset) {
    Placed placed{};
    placed.layout.Offset = offset;
    auto& f = placed.layout.Footprint;
    f.Format = desc.Format;
    f.Depth = 1;
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER) {
        f.Width = static_cast<UINT>(desc.Width);
        f.Height = 1;
        placed.rowBytes = desc.Width;
    } else {
        f.Width = std::max<UINT>(1, static_cast<UINT>(desc.Width >> subresource));
        f.Height = std::max<UINT>(1, desc.Height >> subresource);
        placed.rowBytes = UINT64(f.Width) * gpu::bytesPerPixel(desc.Format);
    }
    f.RowPitch = static_cast<UINT>(alignUp(placed.rowBytes, D3D12_TEXTURE_DATA_PITCH_ALIGNMENT));
    placed.rows = f.Height;
    return placed;
}

UINT64 committedBytes(const D3D12_RESOURCE_DESC& desc) {
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER) return gpu::roundToPage(desc.Width);
    return gpu::roundToPage(
        gpu::textureBytes(desc.Format, static_cast<uint32_t>(desc.Width), desc.Height, desc.MipLevels));
}

void Device::GetCopyableFootprints(const D3D12_RESOURCE_DESC* desc, UINT first, UINT count, UINT64 baseOffset,
                                   D3D12_PLACED_SUBRESOURCE_FOOTPRINT* layouts, UINT* numRows, UINT64* rowSizes,
                                   UINT64* totalBytes) {
    constexpr const char* kCall = "ID3D12Device::GetCopyableFootprints";
    D3D12_RESOURCE_DESC checked = desc ? *desc : D3D12_RESOURCE_DESC{};
    const bool valid = desc && SUCCEEDED(checkDesc(kCall, checked));
    const UINT subresources = checked.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER ? 1 : checked.MipLevels;
    if (!valid || first > subresources || count > subresources - first) {
        // As the runtime does: every output says "no such layout".
        if (valid) debug::message(kCall, "subresources out of range");
        for (UINT i = 0; i < count; ++i) {
            if (layouts) layouts[i].Offset = ~0ull;
            if (numRows) numRows[i] = ~0u;
            if (rowSizes) rowSizes[i] = ~0ull;
        }
        if (totalBytes) *totalBytes = ~0ull;
        return;
    }
    UINT64 total = 0;  // from the first subresource's start, which lies at baseOffset
    for (UINT i = 0; i < count; ++i) {
        Placed placed = footprint(checked, first + i, alignUp(total, D3D12_TEXTURE_DATA_PLACEMENT_ALIGNMENT));
        total = placed.end();
        placed.layout.Offset += baseOffset;
        if (layouts) layouts[i] = placed.layout;
        if (numRows) numRows[i] = placed.rows;
        if (rowSizes) rowSizes[i] = placed.rowBytes;
    }
    if (totalBytes) *totalBytes = total;
}

}  // namespace winsim::d3d12
