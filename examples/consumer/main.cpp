// velda_consumer [MONITOR]: captures a few frames of a monitor (an index into velda::monitors())
// with the source velda picks for it, as an application that streams or shows them would: it
// renders on the high-performance adapter, sets the source's controls, waits for each frame and
// prints its record, prints the source's state, and reads the newest frame back through a
// Direct3D 12 command list. Exits 0 when a frame with content was read back.
#include <windows.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <velda/duplication_source.h>
#include <velda/monitors.h>

using Microsoft::WRL::ComPtr;

namespace {

int fail(const char* what, HRESULT hr = S_OK) {
    std::fprintf(stderr, "velda_consumer: %s (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return 1;
}

// Copies mip 0 of `texture` into a read-back buffer, waits for the GPU and hands back the buffer
// with the footprint of the copy.
HRESULT copyToReadback(ID3D12Device* device, ID3D12Resource* texture, ComPtr<ID3D12Resource>& buffer,
                       D3D12_PLACED_SUBRESOURCE_FOOTPRINT& footprint, UINT& rows, UINT64& rowBytes) {
    const D3D12_RESOURCE_DESC desc = texture->GetDesc();
    UINT64 total = 0;
    device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowBytes, &total);

    D3D12_HEAP_PROPERTIES heap{};
    heap.Type = D3D12_HEAP_TYPE_READBACK;
    D3D12_RESOURCE_DESC bufferDesc{};
    bufferDesc.Dimension = D3D12_RESOURCE_DIMENSION_BUFFER;
    bufferDesc.Width = total;
    bufferDesc.Height = 1;
    bufferDesc.DepthOrArraySize = 1;
    bufferDesc.MipLevels = 1;
    bufferDesc.Format = DXGI_FORMAT_UNKNOWN;
    bufferDesc.SampleDesc.Count = 1;
    bufferDesc.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
    HRESULT hr = device->CreateCommittedResource(&heap, D3D12_HEAP_FLAG_NONE, &bufferDesc,
                                                 D3D12_RESOURCE_STATE_COPY_DEST, nullptr, IID_PPV_ARGS(&buffer));
    if (FAILED(hr)) return hr;

    D3D12_COMMAND_QUEUE_DESC queueDesc{};
    queueDesc.Type = D3D12_COMMAND_LIST_TYPE_DIRECT;
    ComPtr<ID3D12CommandQueue> queue;
    ComPtr<ID3D12CommandAllocator> allocator;
    ComPtr<ID3D12GraphicsCommandList> list;
    ComPtr<ID3D12Fence> fence;
    if (FAILED(hr = device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&queue)))) return hr;
    if (FAILED(hr = device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&allocator)))) return hr;
    if (FAILED(hr = device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, allocator.Get(), nullptr,
                                              IID_PPV_ARGS(&list))))
        return hr;
    if (FAILED(hr = device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence)))) return hr;

    // The ring's textures are shared and simultaneous-access: they are copied from COMMON directly.
    D3D12_TEXTURE_COPY_LOCATION source{};
    source.pResource = texture;
    source.Type = D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
    source.SubresourceIndex = 0;
    D3D12_TEXTURE_COPY_LOCATION target{};
    target.pResource = buffer.Get();
    target.Type = D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
    target.PlacedFootprint = footprint;
    list->CopyTextureRegion(&target, 0, 0, 0, &source, nullptr);
    if (FAILED(hr = list->Close())) return hr;
    ID3D12CommandList* lists[] = {list.Get()};
    queue->ExecuteCommandLists(1, lists);
    if (FAILED(hr = queue->Signal(fence.Get(), 1))) return hr;

    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!done) return HRESULT_FROM_WIN32(GetLastError());
    hr = fence->SetEventOnCompletion(1, done);
    if (SUCCEEDED(hr) && WaitForSingleObject(done, 10000) != WAIT_OBJECT_0) hr = HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    CloseHandle(done);
    return hr;
}

}  // namespace

int main(int argc, char** argv) {
    const int output = argc > 1 ? std::atoi(argv[1]) : 0;
    const std::vector<velda::MonitorInfo> monitors = velda::monitors();
    if (output < 0 || static_cast<size_t>(output) >= monitors.size()) return fail("no such monitor");

    ComPtr<IDXGIFactory6> factory;
    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D12Device> device;
    HRESULT hr = CreateDXGIFactory1(IID_PPV_ARGS(&factory));
    if (SUCCEEDED(hr))
        hr = factory->EnumAdapterByGpuPreference(0, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE, IID_PPV_ARGS(&adapter));
    if (SUCCEEDED(hr)) hr = D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_11_0, IID_PPV_ARGS(&device));
    if (FAILED(hr)) return fail("no Direct3D 12 device on the high-performance adapter", hr);

    // The device outlives the source: the source borrows it. A monitor that this adapter cannot
    // duplicate (another GPU drives it) is captured through Windows.Graphics.Capture.
    const std::unique_ptr<velda::FrameSource> chosen = velda::makeSource(monitors[output].handle, device.Get());
    velda::FrameSource& source = *chosen;
    source.setMinFrameIntervalMs(1000.0 / 30);  // at most 30 frames a second
    source.setCursorDrawn(true);                // the pointer is part of the picture
    if (auto* duplication = dynamic_cast<velda::DuplicationSource*>(chosen.get()))
        duplication->setRotationCorrected(true);  // a rotated monitor's frames arrive upright
    if (!source.start(device.Get())) return fail("the capture source did not start");

    LARGE_INTEGER ticksPerSecond{};
    QueryPerformanceFrequency(&ticksPerSecond);
    velda::FrameInfo frame;
    for (int i = 0; i < 5; ++i) {
        // Passing the last sequence seen misses no frame published in between.
        if (!source.waitForFrame(frame.sequence, 5000, &frame)) return fail("no frame within 5 s");
        const double micros = static_cast<double>(frame.publishQpc - frame.updateQpc) * 1e6 /
                              static_cast<double>(ticksPerSecond.QuadPart);
        std::printf("velda_consumer: frame %llu, generation %u, slot %d, %s, %.0f us from update to publication\n",
                    static_cast<unsigned long long>(frame.sequence), frame.generation, frame.slot,
                    frame.desktopChanged ? "desktop changed" : "pointer moved", micros);
    }
    const velda::SourceState state = source.state();
    std::printf("velda_consumer: source (%s) %s, %llu frames published, %llu re-acquisitions\n",
                state.method == velda::CaptureMethod::GraphicsCapture ? "graphics capture" : "desktop duplication",
                state.live ? "live" : "not live", static_cast<unsigned long long>(state.framesProduced),
                static_cast<unsigned long long>(state.reacquireCount));

    source.setPaused(true);  // the newest slot stays as published while it is read
    if (!source.latestFrame(&frame)) return fail("no frame to read back");
    const int32_t slot = frame.slot;
    ID3D12Resource* texture = source.texture(slot);  // on this device; borrowed
    if (!texture) return fail("the ring is being rebuilt");

    ComPtr<ID3D12Resource> buffer;
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    UINT rows = 0;
    UINT64 rowBytes = 0;
    if (FAILED(hr = copyToReadback(device.Get(), texture, buffer, footprint, rows, rowBytes)))
        return fail("the copy of the frame failed", hr);

    void* mapped = nullptr;
    const D3D12_RANGE everything{0, static_cast<SIZE_T>(footprint.Offset + UINT64{footprint.Footprint.RowPitch} * rows)};
    if (FAILED(hr = buffer->Map(0, &everything, &mapped))) return fail("Map failed", hr);
    uint64_t lit = 0;  // pixels with any colour in them
    for (UINT y = 0; y < rows; ++y) {
        const auto* row = static_cast<const uint8_t*>(mapped) + footprint.Offset + UINT64{y} * footprint.Footprint.RowPitch;
        for (UINT64 x = 0; x + 3 < rowBytes; x += 4) lit += (row[x] | row[x + 1] | row[x + 2]) != 0;
    }
    const D3D12_RANGE nothingWritten{0, 0};
    buffer->Unmap(0, &nothingWritten);

    std::printf("velda_consumer: monitor %d, %ux%u frame in slot %d, %llu of %llu pixels lit\n", output,
                footprint.Footprint.Width, rows, slot, static_cast<unsigned long long>(lit),
                static_cast<unsigned long long>(UINT64{footprint.Footprint.Width} * rows));
    if (footprint.Footprint.Width != source.width() || rows != source.height()) return fail("the frame's size is off");
    return lit ? 0 : fail("the frame is black");
}
