// Compiling HLSL into winsim's interpreter and drawing straight into back-end images, for tests
// of the compiler, the interpreter and the rasterizer.
#pragma once
#include <d3dcompiler.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <string_view>

#include "formats/dxgi_format.h"
#include "gpu/draw.h"
#include "shader/program.h"

namespace shader_test {

// Compiles and loads one entry point; null (with a test failure) when either step fails.
inline std::shared_ptr<const winsim::shader::Program> load(std::string_view source, const char* entry, const char* target) {
    Microsoft::WRL::ComPtr<ID3DBlob> code, errors;
    const HRESULT hr = D3DCompile(source.data(), source.size(), nullptr, nullptr, nullptr, entry, target, 0, 0,
                                  code.GetAddressOf(), errors.GetAddressOf());
    if (FAILED(hr)) {
        ADD_FAILURE() << "compile " << entry << ": " << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        return nullptr;
    }
    std::string error;
    const auto stage = target[0] == 'v' ? winsim::shader::Stage::Vertex : winsim::shader::Stage::Pixel;
    auto program = winsim::shader::loadProgram(code->GetBufferPointer(), code->GetBufferSize(), stage, &error);
    if (!program) ADD_FAILURE() << "load " << entry << ": " << error;
    return program;
}

inline std::shared_ptr<winsim::gpu::Image> image(DXGI_FORMAT format, uint32_t width, uint32_t height) {
    return winsim::gpu::makeImage({winsim::gpuFormat(format), width, height, 1}, nullptr);
}

inline void fill(winsim::gpu::Image& img, const winsim::gpu::Float4& value) {
    for (uint32_t y = 0; y < img.height; ++y)
        for (uint32_t x = 0; x < img.width; ++x) winsim::gpu::encodePixel(img.format, value, img.pixel(0, x, y));
}

inline winsim::gpu::Float4 at(winsim::gpu::Image& img, uint32_t x, uint32_t y) {
    return winsim::gpu::decodePixel(img.format, img.pixel(0, x, y));
}

// A draw of `vertices` generated vertices into the whole of `target`.
inline winsim::gpu::DrawCall drawInto(std::shared_ptr<winsim::gpu::Image> target, uint32_t vertices) {
    winsim::gpu::DrawCall call;
    call.viewport = {0, 0, static_cast<float>(target->width), static_cast<float>(target->height), 0, 1};
    call.renderTarget = std::move(target);
    call.vertexCount = vertices;
    return call;
}

template <class T>
std::vector<uint8_t> bytesOf(const T& value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

}  // namespace shader_test
