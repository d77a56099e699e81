#include "readback.h"

#include <wrl/client.h>

#include <cstring>
#include <memory>

namespace velda::readback {
namespace {

using Microsoft::WRL::ComPtr;

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle) CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

bool fourBytesPerPixel(DXGI_FORMAT format) {
    switch (format) {
        case DXGI_FORMAT_B8G8R8A8_UNORM:
        case DXGI_FORMAT_B8G8R8A8_TYPELESS:
        case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB:
        case DXGI_FORMAT_R8G8B8A8_UNORM:
        case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
        case DXGI_FORMAT_R10G10B10A2_UNORM: return true;
        default: return false;
    }
}

HRESULT makeBuffer(ID3D12Device* device, UINT64 bytes, ComPtr<ID3D12Resource>& buffer) {
    D3D12_HEAP_PROPERTIES heap{};
    heap.Type = D3D12_HEAP_TYPE_READBACK;
    D3D12_RESOURCE_DESC desc{};
    desc.Dimension = D3D12_RESOURCE_DIMENSION_BUFFER;
    desc.Width = bytes;
    desc.Height = 1;
    desc.DepthOrArraySize = 1;
    desc.MipLevels = 1;
    desc.Format = DXGI_FORMAT_UNKNOWN;
    desc.SampleDesc.Count = 1;
    desc.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
    return device->CreateCommittedResource(&heap, D3D12_HEAP_FLAG_NONE, &desc, D3D12_RESOURCE_STATE_COPY_DEST, nullptr,
                                           IID_PPV_ARGS(&buffer));
}

// Records the copy of `mip` into `buffer` at `footprint`, runs it and waits for it.
HRESULT copyAndWait(ID3D12Device* device, ID3D12Resource* texture, UINT mip, ID3D12Resource* buffer,
                    const D3D12_PLACED_SUBRESOURCE_FOOTPRINT& footprint, DWORD timeoutMs) {
    D3D12_COMMAND_QUEUE_DESC queueDesc{};
    queueDesc.Type = D3D12_COMMAND_LIST_TYPE_DIRECT;
    ComPtr<ID3D12CommandQueue> queue;
    ComPtr<ID3D12CommandAllocator> allocator;
    ComPtr<ID3D12GraphicsCommandList> list;
    ComPtr<ID3D12Fence> fence;
    HRESULT hr = device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&queue));
    if (SUCCEEDED(hr)) hr = device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&allocator));
    if (SUCCEEDED(hr))
        hr = device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, allocator.Get(), nullptr, IID_PPV_ARGS(&list));
    if (SUCCEEDED(hr)) hr = device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence));
    if (FAILED(hr)) return hr;

    D3D12_TEXTURE_COPY_LOCATION source{};
    source.pResource = texture;
    source.Type = D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
    source.SubresourceIndex = mip;
    D3D12_TEXTURE_COPY_LOCATION target{};
    target.pResource = buffer;
    target.Type = D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
    target.PlacedFootprint = footprint;
    list->CopyTextureRegion(&target, 0, 0, 0, &source, nullptr);
    if (FAILED(hr = list->Close())) return hr;
    ID3D12CommandList* lists[] = {list.Get()};
    queue->ExecuteCommandLists(1, lists);
    if (FAILED(hr = queue->Signal(fence.Get(), 1))) return hr;

    UniqueHandle done(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!done) return HRESULT_FROM_WIN32(GetLastError());
    if (FAILED(hr = fence->SetEventOnCompletion(1, done.get()))) return hr;
    if (WaitForSingleObject(done.get(), timeoutMs) != WAIT_OBJECT_0) return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    return S_OK;
}

}  // namespace

HRESULT readMip(ID3D12Device* device, ID3D12Resource* texture, UINT mip, Pixels& out, DWORD timeoutMs) {
    if (!device || !texture) return E_INVALIDARG;
    const D3D12_RESOURCE_DESC desc = texture->GetDesc();
    if (desc.Dimension != D3D12_RESOURCE_DIMENSION_TEXTURE2D || mip >= desc.MipLevels || !fourBytesPerPixel(desc.Format))
        return E_INVALIDARG;
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    UINT rows = 0;
    UINT64 rowBytes = 0, total = 0;
    device->GetCopyableFootprints(&desc, mip, 1, 0, &footprint, &rows, &rowBytes, &total);
    ComPtr<ID3D12Resource> buffer;
    HRESULT hr = makeBuffer(device, total, buffer);
    if (SUCCEEDED(hr)) hr = copyAndWait(device, texture, mip, buffer.Get(), footprint, timeoutMs);
    if (FAILED(hr)) return hr;

    void* mapped = nullptr;
    const D3D12_RANGE everything{0, static_cast<SIZE_T>(total)};
    if (FAILED(hr = buffer->Map(0, &everything, &mapped))) return hr;
    out.width = footprint.Footprint.Width;
    out.height = rows;
    out.bytes.resize(static_cast<size_t>(rowBytes) * rows);
    for (UINT y = 0; y < rows; ++y)
        std::memcpy(out.bytes.data() + y * rowBytes,
                    static_cast<const uint8_t*>(mapped) + footprint.Offset + y * footprint.Footprint.RowPitch, rowBytes);
    const D3D12_RANGE nothingWritten{0, 0};
    buffer->Unmap(0, &nothingWritten);
    return S_OK;
}

}  // namespace velda::readback
