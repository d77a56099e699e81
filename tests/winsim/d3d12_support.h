// A Direct3D 12 device on adapter 0 with a direct queue, an allocator, a command list and a
// fence, and helpers to make resources and to run recorded work to completion, written as
// Windows code writes them.
#pragma once
#include <d3d12.h>
#include <d3d12sdklayers.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <cstring>
#include <vector>

#include "support/winsim_fixture.h"

using Microsoft::WRL::ComPtr;

class D3D12Test : public WinsimTest {
protected:
    // Whether the test's device is created with the debug layer enabled.
    virtual bool debugLayer() const { return true; }

    void SetUp() override {
        WinsimTest::SetUp();
        if (debugLayer()) {
            ComPtr<ID3D12Debug> debug;
            ASSERT_EQ(D3D12GetDebugInterface(IID_PPV_ARGS(&debug)), S_OK);
            debug->EnableDebugLayer();
        }
        ComPtr<IDXGIFactory4> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&factory)), S_OK);
        ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);
        ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_11_0, IID_PPV_ARGS(&device)), S_OK);
        D3D12_COMMAND_QUEUE_DESC queueDesc{};
        queueDesc.Type = D3D12_COMMAND_LIST_TYPE_DIRECT;
        ASSERT_EQ(device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&queue)), S_OK);
        ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&allocator)), S_OK);
        ASSERT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, allocator.Get(), nullptr,
                                            IID_PPV_ARGS(&list)),
                  S_OK);
        ASSERT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence)), S_OK);
    }
    void TearDown() override {
        fence.Reset();
        list.Reset();
        allocator.Reset();
        queue.Reset();
        device.Reset();
        adapter.Reset();
        WinsimTest::TearDown();
    }

    static D3D12_RESOURCE_DESC bufferDesc(UINT64 bytes) {
        D3D12_RESOURCE_DESC d{};
        d.Dimension = D3D12_RESOURCE_DIMENSION_BUFFER;
        d.Width = bytes;
        d.Height = 1;
        d.DepthOrArraySize = 1;
        d.MipLevels = 1;
        d.Format = DXGI_FORMAT_UNKNOWN;
        d.SampleDesc.Count = 1;
        d.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
        return d;
    }
    static D3D12_RESOURCE_DESC textureDesc(UINT width, UINT height, UINT16 mips = 1,
                                           DXGI_FORMAT format = DXGI_FORMAT_B8G8R8A8_UNORM) {
        D3D12_RESOURCE_DESC d{};
        d.Dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
        d.Width = width;
        d.Height = height;
        d.DepthOrArraySize = 1;
        d.MipLevels = mips;
        d.Format = format;
        d.SampleDesc.Count = 1;
        d.Layout = D3D12_TEXTURE_LAYOUT_UNKNOWN;
        return d;
    }
    HRESULT create(D3D12_HEAP_TYPE heap, const D3D12_RESOURCE_DESC& d, D3D12_RESOURCE_STATES state,
                   ComPtr<ID3D12Resource>& out) {
        D3D12_HEAP_PROPERTIES properties{};
        properties.Type = heap;
        return device->CreateCommittedResource(&properties, D3D12_HEAP_FLAG_NONE, &d, state, nullptr,
                                               IID_PPV_ARGS(&out));
    }
    ComPtr<ID3D12Resource> upload(UINT64 bytes) { return make(D3D12_HEAP_TYPE_UPLOAD, bufferDesc(bytes), D3D12_RESOURCE_STATE_GENERIC_READ); }
    ComPtr<ID3D12Resource> readback(UINT64 bytes) { return make(D3D12_HEAP_TYPE_READBACK, bufferDesc(bytes), D3D12_RESOURCE_STATE_COPY_DEST); }
    ComPtr<ID3D12Resource> make(D3D12_HEAP_TYPE heap, const D3D12_RESOURCE_DESC& d, D3D12_RESOURCE_STATES state) {
        ComPtr<ID3D12Resource> resource;
        EXPECT_EQ(create(heap, d, state, resource), S_OK);
        return resource;
    }

    // Closes the list, executes it, and waits (generously) until the queue has run it.
    bool run() {
        if (FAILED(list->Close())) return false;
        ID3D12CommandList* lists[] = {list.Get()};
        queue->ExecuteCommandLists(1, lists);
        return waitForQueue();
    }
    bool waitForQueue() {
        const UINT64 value = ++fenceValue;
        if (FAILED(queue->Signal(fence.Get(), value))) return false;
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        bool reached = SUCCEEDED(fence->SetEventOnCompletion(value, event)) &&
                       WaitForSingleObject(event, 20000) == WAIT_OBJECT_0;
        CloseHandle(event);
        return reached;
    }
    void restart() {
        ASSERT_EQ(allocator->Reset(), S_OK);
        ASSERT_EQ(list->Reset(allocator.Get(), nullptr), S_OK);
    }

    static std::vector<uint8_t> mapped(ID3D12Resource* buffer, size_t bytes) {
        void* data = nullptr;
        const D3D12_RANGE all{0, bytes};
        EXPECT_EQ(buffer->Map(0, &all, &data), S_OK);
        std::vector<uint8_t> out(bytes);
        if (data) std::memcpy(out.data(), data, bytes);
        const D3D12_RANGE none{0, 0};
        buffer->Unmap(0, &none);
        return out;
    }
    static D3D12_TEXTURE_COPY_LOCATION at(ID3D12Resource* texture, UINT subresource) {
        D3D12_TEXTURE_COPY_LOCATION l{};
        l.pResource = texture;
        l.Type = D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
        l.SubresourceIndex = subresource;
        return l;
    }
    static D3D12_TEXTURE_COPY_LOCATION at(ID3D12Resource* buffer, const D3D12_PLACED_SUBRESOURCE_FOOTPRINT& f) {
        D3D12_TEXTURE_COPY_LOCATION l{};
        l.pResource = buffer;
        l.Type = D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
        l.PlacedFootprint = f;
        return l;
    }
    static D3D12_RESOURCE_BARRIER transition(ID3D12Resource* resource, D3D12_RESOURCE_STATES before,
                                             D3D12_RESOURCE_STATES after,
                                             UINT subresource = D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES) {
        D3D12_RESOURCE_BARRIER b{};
        b.Type = D3D12_RESOURCE_BARRIER_TYPE_TRANSITION;
        b.Transition.pResource = resource;
        b.Transition.Subresource = subresource;
        b.Transition.StateBefore = before;
        b.Transition.StateAfter = after;
        return b;
    }

    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D12Device> device;
    ComPtr<ID3D12CommandQueue> queue;
    ComPtr<ID3D12CommandAllocator> allocator;
    ComPtr<ID3D12GraphicsCommandList> list;
    ComPtr<ID3D12Fence> fence;
    UINT64 fenceValue = 0;
};
