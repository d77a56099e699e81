// The cursor: a new pointer shape becomes the cursor texture; each frame blends it into the
// slot at the cursor's place.
#include "cursor_shape.h"
#include "impl.h"

namespace velda {

void DuplicationSource::Impl::updatePointerShape(unsigned size) {
    pointerShapeBuffer.resize(size);
    UINT required = 0;
    DXGI_OUTDUPL_POINTER_SHAPE_INFO info{};
    if (FAILED(duplication->GetFramePointerShape(static_cast<UINT>(pointerShapeBuffer.size()), pointerShapeBuffer.data(),
                                                 &required, &info)))
        return;
    // A shape whose description does not fit its bytes is ignored like a failed fetch.
    std::vector<uint32_t> image;
    uint32_t imageHeight = 0;
    if (!convertPointerShape(info, pointerShapeBuffer.data(), pointerShapeBuffer.size(), image, imageHeight)) return;
    hotspotX = info.HotSpot.x;
    hotspotY = info.HotSpot.y;
    if (!cursorTexture || info.Width != cursorTexWidth || imageHeight != cursorTexHeight) {
        if (!recreateCursorTexture(info.Width, imageHeight)) return;
    }
    context->UpdateSubresource(cursorTexture.Get(), 0, nullptr, image.data(), info.Width * 4, 0);
}

bool SourceCore::recreateCursorTexture(uint32_t w, uint32_t h) {
    cursorSrv.Reset();
    cursorTexture.Reset();
    D3D11_TEXTURE2D_DESC desc = textureDesc(w, h, 1, DXGI_FORMAT_B8G8R8A8_UNORM);
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    if (FAILED(device->CreateTexture2D(&desc, nullptr, cursorTexture.GetAddressOf())) ||
        FAILED(device->CreateShaderResourceView(cursorTexture.Get(), nullptr, cursorSrv.GetAddressOf()))) {
        // Texture, view and recorded size agree again: none of them, so the next shape re-creates.
        cursorSrv.Reset();
        cursorTexture.Reset();
        cursorTexWidth = 0;
        cursorTexHeight = 0;
        return false;
    }
    cursorTexWidth = w;
    cursorTexHeight = h;
    nameCursorImage();
    return true;
}

void SourceCore::drawCursorOverlay(int slot) {
    const float W = static_cast<float>(width.load()), H = static_cast<float>(height.load());
    const float w = static_cast<float>(cursorTexWidth), h = static_cast<float>(cursorTexHeight);
    const float X = static_cast<float>(cursorX), Y = static_cast<float>(cursorY);
    writeConstants(context.Get(), cursorConstants.Get(),
                   {X / W * 2 - 1, 1 - Y / H * 2, (w + X) / W * 2 - 1, 1 - (h + Y) / H * 2});
    ID3D11RenderTargetView* target = ringRtvs[slot].Get();
    context->OMSetRenderTargets(1, &target, nullptr);
    setViewport(context.Get(), width, height);
    context->IASetInputLayout(nullptr);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    context->VSSetShader(cursorVs.Get(), nullptr, 0);
    ID3D11Buffer* constants = cursorConstants.Get();
    context->VSSetConstantBuffers(0, 1, &constants);
    context->PSSetShader(cursorPs.Get(), nullptr, 0);
    ID3D11ShaderResourceView* image = cursorSrv.Get();
    context->PSSetShaderResources(0, 1, &image);
    ID3D11SamplerState* samplerState = sampler.Get();
    context->PSSetSamplers(0, 1, &samplerState);
    const float blendFactor[4] = {0, 0, 0, 0};
    context->OMSetBlendState(cursorBlend.Get(), blendFactor, 0xFFFFFFFFu);
    context->Draw(4, 0);

    ID3D11RenderTargetView* noTarget = nullptr;
    context->OMSetRenderTargets(1, &noTarget, nullptr);
    ID3D11ShaderResourceView* noView = nullptr;
    context->PSSetShaderResources(0, 1, &noView);
}

}  // namespace velda
