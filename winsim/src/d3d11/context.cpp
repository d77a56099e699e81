// The immediate context's bindings, constant-buffer mapping, fences and submission.
#include "d3d11/context.h"

#include "d3d11/pipeline.h"
#include "d3d11/resources.h"

namespace winsim::d3d11 {
namespace {

// Bindings are modelled for slot 0 of constant buffers and slots 0 and 1 of resources and
// samplers: what both draw passes use.
bool slotsModelled(const char* call, UINT startSlot, UINT count, UINT modelled) {
    if (startSlot + count <= modelled) return true;
    debug::message(call, "slots beyond " + std::to_string(modelled - 1) + " are not modelled");
    return false;
}

}  // namespace

void Context::setConstants(std::shared_ptr<BufferData>& slot, const char* call, UINT startSlot, UINT count,
                           ID3D11Buffer* const* buffers) {
    if (count == 0 || !slotsModelled(call, startSlot, count, 1)) return;
    Buffer* buffer = buffers ? dynamic_cast<Buffer*>(buffers[0]) : nullptr;
    if (buffers && buffers[0] && (!buffer || buffer->device() != device())) {
        debug::message(call, "not a buffer of this device");
        return;
    }
    slot = buffer ? buffer->data() : nullptr;
}

void Context::VSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) {
    setConstants(state().vertexConstants, "ID3D11DeviceContext::VSSetConstantBuffers", startSlot, count, buffers);
}

void Context::PSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) {
    setConstants(state().pixelConstants, "ID3D11DeviceContext::PSSetConstantBuffers", startSlot, count, buffers);
}

void Context::PSSetShaderResources(UINT startSlot, UINT count, ID3D11ShaderResourceView* const* views) {
    static const char* kCall = "ID3D11DeviceContext::PSSetShaderResources";
    if (!slotsModelled(kCall, startSlot, count, 2)) return;
    for (UINT i = 0; i < count; ++i) {
        ShaderResourceView* view = views ? viewOf(views[i]) : nullptr;
        if (views && views[i] && (!view || view->texture()->device() != device())) {
            debug::message(kCall, "not a view of this device");
            continue;
        }
        auto& slot = state().resources[startSlot + i];
        slot = view ? gpu::ShaderResource{view->texture()->image(), view->desc().Texture2D.MostDetailedMip}
                    : gpu::ShaderResource{};
    }
}

void Context::PSSetSamplers(UINT startSlot, UINT count, ID3D11SamplerState* const* samplers) {
    if (!slotsModelled("ID3D11DeviceContext::PSSetSamplers", startSlot, count, 2)) return;
    for (UINT i = 0; i < count; ++i) {
        auto* sampler = samplers ? dynamic_cast<SamplerState*>(samplers[i]) : nullptr;
        state().samplers[startSlot + i] = sampler ? sampler->sampler() : gpu::SamplerDesc{};
    }
}

void Context::VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const*, UINT) {
    auto* known = dynamic_cast<VertexShader*>(shader);
    state().vertexShader = known ? known->program() : nullptr;
}

void Context::PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const*, UINT) {
    auto* known = dynamic_cast<PixelShader*>(shader);
    state().pixelShader = known ? known->program() : nullptr;
}

void Context::IASetInputLayout(ID3D11InputLayout* layout) {
    if (layout) debug::message("ID3D11DeviceContext::IASetInputLayout", "input layouts are not modelled");
}

void Context::IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) { state().topology = topology; }

void Context::OMSetRenderTargets(UINT count, ID3D11RenderTargetView* const* views, ID3D11DepthStencilView* depth) {
    static const char* kCall = "ID3D11DeviceContext::OMSetRenderTargets";
    if (count > 1 || depth) debug::message(kCall, "one render target without depth is modelled");
    RenderTargetView* view = count && views ? viewOf(views[0]) : nullptr;
    if (view && view->texture()->device() != device()) {
        debug::message(kCall, "view of another device");
        view = nullptr;
    }
    state().renderTarget = view ? view->texture()->image() : nullptr;
}

void Context::OMSetBlendState(ID3D11BlendState* blend, const FLOAT*, UINT) {
    auto* known = dynamic_cast<BlendState*>(blend);
    state().blend = known ? known->blend() : gpu::BlendDesc{};
}

void Context::RSSetViewports(UINT count, const D3D11_VIEWPORT* viewports) {
    if (count == 0 || !viewports) {
        state().viewport = {};
        return;
    }
    const D3D11_VIEWPORT& v = viewports[0];
    state().viewport = gpu::Viewport{v.TopLeftX, v.TopLeftY, v.Width, v.Height, v.MinDepth, v.MaxDepth};
}

HRESULT Context::Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP type, UINT, D3D11_MAPPED_SUBRESOURCE* mapped) {
    static const char* kCall = "ID3D11DeviceContext::Map";
    Buffer* buffer = bufferOf(resource);
    if (!buffer || buffer->device() != device()) return invalid(kCall, "not a buffer of this device (textures are not mapped)");
    BufferData& data = *buffer->data();
    if (subresource != 0 || !mapped) return invalid(kCall, "bad subresource or no output");
    if (type != D3D11_MAP_WRITE_DISCARD || data.desc.Usage != D3D11_USAGE_DYNAMIC)
        return invalid(kCall, "only WRITE_DISCARD of a dynamic buffer is modelled");
    if (data.mapped) return invalid(kCall, "already mapped");
    data.mapped = true;
    *mapped = D3D11_MAPPED_SUBRESOURCE{data.bytes.data(), data.desc.ByteWidth, data.desc.ByteWidth};
    return S_OK;
}

void Context::Unmap(ID3D11Resource* resource, UINT subresource) {
    Buffer* buffer = bufferOf(resource);
    if (!buffer || subresource != 0 || !buffer->data()->mapped) {
        debug::message("ID3D11DeviceContext::Unmap", "not mapped");
        return;
    }
    buffer->data()->mapped = false;
}

HRESULT Context::Signal(ID3D11Fence* fence, UINT64 value) {
    auto* known = dynamic_cast<Fence*>(fence);
    if (!known) return invalid("ID3D11DeviceContext4::Signal", "not a fence");
    record([state = known->state(), value] { state->reach(value); });
    return S_OK;
}

void Context::Flush() { device_->queue().submit(std::exchange(state().recorded, {})); }

void Context::ClearState() {
    auto recorded = std::exchange(state().recorded, {});
    state() = ContextState{};
    state().recorded = std::move(recorded);
}

}  // namespace winsim::d3d11
