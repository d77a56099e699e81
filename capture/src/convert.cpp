// The conversion pass: one full-screen draw from the desktop-format intermediate into a ring
// slot, tone-mapping HDR by the monitor's SDR white level and turning a rotated monitor's image
// upright where asked.
#include <cstring>

#include "impl.h"

namespace velda {

void writeConstants(ID3D11DeviceContext* context, ID3D11Buffer* buffer, const float (&values)[4]) {
    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (FAILED(context->Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) return;  // keep the last values
    std::memcpy(mapped.pData, values, sizeof values);
    context->Unmap(buffer, 0);
}

void setViewport(ID3D11DeviceContext* context, uint32_t w, uint32_t h) {
    D3D11_VIEWPORT viewport{0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h), 0.0f, 1.0f};
    context->RSSetViewports(1, &viewport);
}

// FP16 images are linear scRGB: divided by the white level they are converted at and encoded as
// sRGB. 10-bit and 8-bit images are gamma-encoded already and pass through.
void DuplicationSource::Impl::convertToRing(int slot, ID3D11ShaderResourceView* source, DXGI_FORMAT format) {
    ID3D11PixelShader* pixel = quarterTurns ? convertTurnedPs.Get() : convertPs.Get();
    if (!convertVs || !pixel) return;
    const bool linear = format == DXGI_FORMAT_R16G16B16A16_FLOAT;
    writeConstants(context.Get(), convertConstants.Get(),
                   {1.0f / sdrWhiteScale, linear ? 1.0f : 0.0f, static_cast<float>(quarterTurns), 0.0f});
    ID3D11RenderTargetView* target = ringRtvs[slot].Get();
    context->OMSetRenderTargets(1, &target, nullptr);
    context->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFFu);
    setViewport(context.Get(), width, height);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->VSSetShader(convertVs.Get(), nullptr, 0);
    context->PSSetShader(pixel, nullptr, 0);
    ID3D11Buffer* constants = convertConstants.Get();
    context->PSSetConstantBuffers(0, 1, &constants);
    context->PSSetShaderResources(0, 1, &source);
    ID3D11SamplerState* samplerState = sampler.Get();
    context->PSSetSamplers(0, 1, &samplerState);
    context->Draw(3, 0);

    ID3D11ShaderResourceView* noView = nullptr;
    context->PSSetShaderResources(0, 1, &noView);
    ID3D11RenderTargetView* noTarget = nullptr;
    context->OMSetRenderTargets(1, &noTarget, nullptr);
}

}  // namespace velda
