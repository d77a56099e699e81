// The immediate context's bindings, constant-buffer mapping, fences and submission.
#include "d3d11/context.h"

#include "d3d11/pipeline.h"
#include "d3d11/resources.h"
#include "machine/faults.h"

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
    constexpr const char* kCall = "ID3D11DeviceContext::PSSetShaderResources";
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
    constexpr const char* kCall = "ID3D11DeviceContext::OMSetRenderTargets";
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

HRESULT Context::Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP type, UINT flags,
                     D3D11_MAPPED_SUBRESOURCE* mapped) {
    constexpr const char* kCall = "ID3D11DeviceContext::Map";
    if (!mapped) return invalid(kCall, "no output");
    if (auto hr = fault(kCall)) return *hr;
    if (device_->removed()) return device_->GetDeviceRemovedReason();
    if (Texture* texture = textureOf(resource)) return mapTexture(*texture, subresource, type, flags, *mapped);
    Buffer* buffer = bufferOf(resource);
    if (!buffer || buffer->device() != device()) return invalid(kCall, "not a resource of this device");
    BufferData& data = *buffer->data();
    if (subresource != 0) return invalid(kCall, "bad subresource");
    if (type != D3D11_MAP_WRITE_DISCARD || data.desc.Usage != D3D11_USAGE_DYNAMIC)
        return invalid(kCall, "only WRITE_DISCARD of a dynamic buffer is modelled");
    if (data.mapped) return invalid(kCall, "already mapped");
    data.mapped = true;
    *mapped = D3D11_MAPPED_SUBRESOURCE{data.bytes.data(), data.desc.ByteWidth, data.desc.ByteWidth};
    return S_OK;
}

// A staging texture maps once the work queued before it has run, so a copy into it is complete.
HRESULT Context::mapTexture(Texture& texture, UINT mip, D3D11_MAP type, UINT flags, D3D11_MAPPED_SUBRESOURCE& mapped) {
    constexpr const char* kCall = "ID3D11DeviceContext::Map";
    const D3D11_TEXTURE2D_DESC& desc = texture.desc();
    if (texture.device() != device()) return invalid(kCall, "a texture of another device" + nameSuffix(&texture));
    if (desc.Usage != D3D11_USAGE_STAGING) return invalid(kCall, "only staging textures map" + nameSuffix(&texture));
    if (mip >= desc.MipLevels) return invalid(kCall, "no such subresource" + nameSuffix(&texture));
    const bool reads = type == D3D11_MAP_READ || type == D3D11_MAP_READ_WRITE;
    const bool writes = type == D3D11_MAP_WRITE || type == D3D11_MAP_READ_WRITE;
    if (!reads && !writes) return invalid(kCall, "a staging texture maps for READ, WRITE or READ_WRITE" + nameSuffix(&texture));
    if ((reads && !(desc.CPUAccessFlags & D3D11_CPU_ACCESS_READ)) || (writes && !(desc.CPUAccessFlags & D3D11_CPU_ACCESS_WRITE)))
        return invalid(kCall, "the texture was not created with that CPU access" + nameSuffix(&texture));
    if (flags & ~D3D11_MAP_FLAG_DO_NOT_WAIT) return invalid(kCall, "unknown map flags" + nameSuffix(&texture));
    Flush();
    const bool dontWait = (flags & D3D11_MAP_FLAG_DO_NOT_WAIT) != 0;
    if (!device_->queue().waitIdle(std::chrono::milliseconds(dontWait ? 0 : kMapWaitMs))) {
        if (!dontWait) debug::message(kCall, "the GPU queue did not drain (stalled)");
        return DXGI_ERROR_WAS_STILL_DRAWING;
    }
    if (!texture.setMapped(mip, true)) return invalid(kCall, "already mapped" + nameSuffix(&texture));
    gpu::Image& image = *texture.image();
    mapped = D3D11_MAPPED_SUBRESOURCE{image.mips[mip].data(), image.rowPitch(mip), image.rowPitch(mip) * image.mipHeight(mip)};
    return S_OK;
}

void Context::Unmap(ID3D11Resource* resource, UINT subresource) {
    if (Texture* texture = textureOf(resource); texture && texture->desc().Usage == D3D11_USAGE_STAGING &&
                                                subresource < texture->desc().MipLevels) {
        if (!texture->setMapped(subresource, false)) debug::message("ID3D11DeviceContext::Unmap", "not mapped");
        return;
    }
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
    if (auto hr = fault("ID3D11DeviceContext4::Signal")) return *hr;
    record([state = known->state(), value] { state->reach(value); });
    return S_OK;
}

void Context::Flush() {
    auto recorded = std::exchange(state().recorded, {});
    if (!device_->removed()) device_->queue().submit(std::move(recorded));  // a removed device runs nothing
}

void Context::ClearState() {
    auto recorded = std::exchange(state().recorded, {});
    state() = ContextState{};
    state().recorded = std::move(recorded);
}

}  // namespace winsim::d3d11
