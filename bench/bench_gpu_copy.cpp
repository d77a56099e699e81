// The software GPU's copy and mip generation against memcpy of the same bytes, measured side by
// side: CopySubresourceRegion of a whole B8G8R8A8 texture (goal: at most 1.1 times memcpy) and
// GenerateMips of its chain (goal: at most 0.8 times one memcpy of level 0). Each GPU iteration
// records the work, signals a fence, flushes and waits for the fence, as the capture loop does.
#include <benchmark/benchmark.h>

#include <d3d11_4.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <cstring>
#include <vector>

#include "winsim/control.h"

using Microsoft::WRL::ComPtr;

namespace {

struct Gpu {
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11Device5> device5;
    ComPtr<ID3D11DeviceContext> context;
    ComPtr<ID3D11DeviceContext4> context4;
    ComPtr<ID3D11Fence> fence;
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    uint64_t value = 0;

    Gpu() {
        winsim::useScenario("default");
        D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, nullptr, 0,
                          D3D11_SDK_VERSION, device.GetAddressOf(), nullptr, context.GetAddressOf());
        device.As(&device5);
        context.As(&context4);
        device5->CreateFence(0, D3D11_FENCE_FLAG_NONE, IID_PPV_ARGS(fence.GetAddressOf()));
    }
    ~Gpu() { CloseHandle(event); }

    ComPtr<ID3D11Texture2D> texture(UINT width, UINT height, UINT mips, UINT misc) {
        D3D11_TEXTURE2D_DESC desc{width, height, mips, 1, DXGI_FORMAT_B8G8R8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                  D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, 0, misc};
        ComPtr<ID3D11Texture2D> t;
        device->CreateTexture2D(&desc, nullptr, t.GetAddressOf());
        return t;
    }
    void finish() {
        context4->Signal(fence.Get(), ++value);
        fence->SetEventOnCompletion(value, event);
        context->Flush();
        WaitForSingleObject(event, INFINITE);
    }
};

void copyBytes(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> from(bytes, 1), to(bytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_Memcpy(benchmark::State& state) {
    copyBytes(state, static_cast<size_t>(state.range(0)) * static_cast<size_t>(state.range(1)) * 4);
}

void BM_CopySubresourceRegion(benchmark::State& state) {
    Gpu gpu;
    const UINT width = static_cast<UINT>(state.range(0)), height = static_cast<UINT>(state.range(1));
    auto source = gpu.texture(width, height, 1, 0);
    auto target = gpu.texture(width, height, 1, 0);
    for (auto _ : state) {
        gpu.context->CopySubresourceRegion(target.Get(), 0, 0, 0, 0, source.Get(), 0, nullptr);
        gpu.finish();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size_t{width} * height * 4));
}

void BM_GenerateMips(benchmark::State& state) {
    Gpu gpu;
    const UINT width = static_cast<UINT>(state.range(0)), height = static_cast<UINT>(state.range(1));
    auto texture = gpu.texture(width, height, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS);
    ComPtr<ID3D11ShaderResourceView> view;
    gpu.device->CreateShaderResourceView(texture.Get(), nullptr, view.GetAddressOf());
    for (auto _ : state) {
        gpu.context->GenerateMips(view.Get());
        gpu.finish();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size_t{width} * height * 4));
}

// The fixed cost both GPU measurements include: a fence signalled, flushed and waited for, with
// no work (two hand-offs between threads).
void BM_EmptySubmission(benchmark::State& state) {
    Gpu gpu;
    for (auto _ : state) gpu.finish();
}

BENCHMARK(BM_EmptySubmission)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Memcpy)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CopySubresourceRegion)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_GenerateMips)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

// main: Google Benchmark's, printing the vector path first.
#include "isa_main.h"
