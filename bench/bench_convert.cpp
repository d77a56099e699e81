// The conversion pass, FP16 scRGB to B8G8R8A8 with tone mapping, on one core: winsim's
// interpreter and rasterizer against the same arithmetic written in plain C++ with std::pow.
#include <benchmark/benchmark.h>
#include <d3dcompiler.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/dxgi_format.h"
#include "gpu/draw.h"
#include "shader/program.h"
#include "shaders.h"

namespace {

using winsim::gpu::Image;

std::shared_ptr<const winsim::shader::Program> load(const char* entry, const char* target, winsim::shader::Stage stage) {
    Microsoft::WRL::ComPtr<ID3DBlob> code;
    if (FAILED(D3DCompile(velda::kConvertShader, velda::kConvertShaderLength, nullptr, nullptr, nullptr, entry, target, 0,
                          0, code.GetAddressOf(), nullptr)))
        return nullptr;
    return winsim::shader::loadProgram(code->GetBufferPointer(), code->GetBufferSize(), stage, nullptr);
}

std::shared_ptr<Image> image(DXGI_FORMAT format, uint32_t width, uint32_t height) {
    return winsim::gpu::makeImage({winsim::gpuFormat(format), width, height, 1}, nullptr);
}

// A desktop-like HDR image: gradients from black to four times SDR white.
std::shared_ptr<Image> hdrSource(uint32_t width, uint32_t height) {
    auto img = image(DXGI_FORMAT_R16G16B16A16_FLOAT, width, height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const float t = 10.0f * static_cast<float>(x ^ y) / static_cast<float>(width);
            winsim::gpu::encodePixel(img->format, {t, t * 0.5f, 10.0f - t, 1.0f}, img->pixel(0, x, y));
        }
    return img;
}

void setPixelCounter(benchmark::State& state, uint64_t pixels) {
    state.counters["ns_per_pixel"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate |
                                                                                      benchmark::Counter::kInvert);
}

void Interpreter(benchmark::State& state) {
    const auto width = static_cast<uint32_t>(state.range(0)), height = static_cast<uint32_t>(state.range(1));
    winsim::gpu::DrawCall call;
    call.vertexShader = load("vsmain", "vs_5_0", winsim::shader::Stage::Vertex);
    call.pixelShader = load("psmain", "ps_5_0", winsim::shader::Stage::Pixel);
    if (!call.vertexShader || !call.pixelShader) return state.SkipWithError("conversion shader did not load");
    call.resources[0].image = hdrSource(width, height);
    call.renderTarget = image(DXGI_FORMAT_B8G8R8A8_UNORM, width, height);
    call.viewport = {0, 0, static_cast<float>(width), static_cast<float>(height), 0, 1};
    call.vertexCount = 3;
    const float constants[4] = {1.0f / 2.5f, 1.0f, 0, 0};
    call.pixelConstants.resize(16);
    std::memcpy(call.pixelConstants.data(), constants, 16);
    for (auto _ : state) benchmark::DoNotOptimize(winsim::gpu::draw(call));
    setPixelCounter(state, static_cast<uint64_t>(width) * height);
}

float encode(float c) { return c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f; }

// The same pass as a plain loop: decode each texel, scale, clamp, encode, write BGRA.
void PlainCpp(benchmark::State& state) {
    const auto width = static_cast<uint32_t>(state.range(0)), height = static_cast<uint32_t>(state.range(1));
    const auto source = hdrSource(width, height);
    const auto target = image(DXGI_FORMAT_B8G8R8A8_UNORM, width, height);
    const float scale = 1.0f / 2.5f;
    for (auto _ : state) {
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                const auto c = winsim::gpu::decodePixel(source->format, source->pixel(0, x, y));
                const winsim::gpu::Float4 out{encode(std::clamp(c.r * scale, 0.0f, 1.0f)),
                                              encode(std::clamp(c.g * scale, 0.0f, 1.0f)),
                                              encode(std::clamp(c.b * scale, 0.0f, 1.0f)), 1.0f};
                winsim::gpu::encodePixel(target->format, out, target->pixel(0, x, y));
            }
        benchmark::ClobberMemory();
    }
    setPixelCounter(state, static_cast<uint64_t>(width) * height);
}

}  // namespace

BENCHMARK(Interpreter)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainCpp)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();

// main: Google Benchmark's, printing the vector path first.
#include "isa_main.h"
