// The immediate context: calls are checked at once and recorded; Flush hands the recording to the
// device's GPU queue. Every recorded command owns what it uses.
#pragma once
#include <d3d11_4.h>

#include "d3d11/device.h"

namespace winsim::d3d11 {

class Context final : public com::Object<Context, ID3D11DeviceContext4, ID3D11Multithread> {
public:
    static constexpr const char* kKind = "ID3D11DeviceContext";
    explicit Context(ComPtr<Device> device) : device_(std::move(device)) {}
    ~Context() override { device_->forgetImmediateContext(this); }

    bool hides(REFIID riid) const;
    void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) override { handOutDevice(device_, device); }
    // ID3D11Multithread's page: it is queried from the immediate context; it guards the device.
    void STDMETHODCALLTYPE Enter() override { device_->Enter(); }
    void STDMETHODCALLTYPE Leave() override { device_->Leave(); }
    BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL on) override { return device_->SetMultithreadProtected(on); }
    BOOL STDMETHODCALLTYPE GetMultithreadProtected() override { return device_->GetMultithreadProtected(); }

    void STDMETHODCALLTYPE VSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) override;
    void STDMETHODCALLTYPE PSSetShaderResources(UINT startSlot, UINT count, ID3D11ShaderResourceView* const* views) override;
    void STDMETHODCALLTYPE PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const*, UINT) override;
    void STDMETHODCALLTYPE PSSetSamplers(UINT startSlot, UINT count, ID3D11SamplerState* const* samplers) override;
    void STDMETHODCALLTYPE VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const*, UINT) override;
    void STDMETHODCALLTYPE Draw(UINT vertexCount, UINT startVertex) override;
    HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType, UINT mapFlags,
                                  D3D11_MAPPED_SUBRESOURCE* mapped) override;
    void STDMETHODCALLTYPE Unmap(ID3D11Resource* resource, UINT subresource) override;
    void STDMETHODCALLTYPE PSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) override;
    void STDMETHODCALLTYPE IASetInputLayout(ID3D11InputLayout* layout) override;
    void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) override;
    void STDMETHODCALLTYPE OMSetRenderTargets(UINT count, ID3D11RenderTargetView* const* views,
                                              ID3D11DepthStencilView* depthStencil) override;
    void STDMETHODCALLTYPE OMSetBlendState(ID3D11BlendState* state, const FLOAT blendFactor[4], UINT sampleMask) override;
    void STDMETHODCALLTYPE RSSetViewports(UINT count, const D3D11_VIEWPORT* viewports) override;
    void STDMETHODCALLTYPE CopySubresourceRegion(ID3D11Resource* dst, UINT dstSubresource, UINT dstX, UINT dstY, UINT dstZ,
                                                 ID3D11Resource* src, UINT srcSubresource, const D3D11_BOX* srcBox) override;
    void STDMETHODCALLTYPE CopyResource(ID3D11Resource* dst, ID3D11Resource* src) override;
    void STDMETHODCALLTYPE UpdateSubresource(ID3D11Resource* dst, UINT dstSubresource, const D3D11_BOX* dstBox,
                                             const void* data, UINT rowPitch, UINT depthPitch) override;
    void STDMETHODCALLTYPE ClearRenderTargetView(ID3D11RenderTargetView* view, const FLOAT colour[4]) override;
    void STDMETHODCALLTYPE GenerateMips(ID3D11ShaderResourceView* view) override;
    void STDMETHODCALLTYPE ClearState() override;
    void STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE Signal(ID3D11Fence* fence, UINT64 value) override;

    Device* device() const { return device_.Get(); }

private:
    // How long a Map waits for the GPU before it reports the queue as stalled.
    static constexpr int kMapWaitMs = 30000;

    ContextState& state() { return device_->contextState(); }
    HRESULT mapTexture(class Texture& texture, UINT mip, D3D11_MAP type, UINT flags, D3D11_MAPPED_SUBRESOURCE& mapped);
    void record(gpu::Command command) { state().recorded.push_back(std::move(command)); }
    void setConstants(std::shared_ptr<BufferData>& slot, const char* call, UINT startSlot, UINT count,
                      ID3D11Buffer* const* buffers);

    ComPtr<Device> device_;
};

}  // namespace winsim::d3d11
