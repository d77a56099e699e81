// Filling a ring slot: the image is copied in, or into its format's intermediate and drawn in by
// the conversion pass (one full-screen draw, tone-mapping HDR by the monitor's SDR white level and
// turning a rotated monitor's image upright where asked); then the cursor, the mips and the fence.
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
void SourceCore::convertToRing(int slot, ID3D11ShaderResourceView* source, DXGI_FORMAT format) {
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

// A frame's image goes into the slot as it is, or into the intermediate of its format for the pass.
bool SourceCore::stageImage(int slot, ID3D11Texture2D* frame, const D3D11_BOX* box) {
    stagedFormat = DXGI_FORMAT_UNKNOWN;
    D3D11_TEXTURE2D_DESC desc{};
    frame->GetDesc(&desc);
    ID3D11Resource* target = ringTextures[slot].Get();
    if (convertsFormat(desc.Format)) {
        const Intermediate* intermediate = intermediateFor(desc.Format);
        if (!intermediate) return false;
        target = intermediate->texture.Get();
    }
    context->CopySubresourceRegion(target, 0, 0, 0, 0, frame, 0, box);
    stagedFormat = desc.Format;
    return true;
}

void SourceCore::finishFrame(int slot) {
    if (stagedFormat != DXGI_FORMAT_UNKNOWN && convertsFormat(stagedFormat))
        if (const Intermediate* intermediate = intermediateFor(stagedFormat))
            convertToRing(slot, intermediate->view.Get(), stagedFormat);
    if (drawCursor && cursorVisible && cursorSrv) drawCursorOverlay(slot);
    if (mipLevels > 1) context->GenerateMips(ringSrvs[slot].Get());
    ++fenceValue;
    context4->Signal(fence.Get(), fenceValue);
    context->Flush();
    if (SUCCEEDED(fence->SetEventOnCompletion(fenceValue, fenceEvent.get()))) WaitForSingleObject(fenceEvent.get(), 1000);
}

}  // namespace velda
