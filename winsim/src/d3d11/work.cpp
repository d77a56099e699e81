// The context's GPU work: copies, uploads, clears, mip generation and draws. Each call is checked
// as the runtime checks it (a refused call is dropped and counted by the debug layer), then
// recorded as a command that owns the images it touches.
#include <cstring>

#include "d3d11/context.h"
#include "d3d11/resources.h"
#include "d3d11/translate.h"
#include "gpu/ops.h"

namespace winsim::d3d11 {
namespace {

// The texture a copy or upload writes: one of this device's that the GPU may write.
Texture* writableTexture(Device* device, ID3D11Resource* resource, const char* call) {
    Texture* texture = textureOf(resource);
    if (!texture || texture->device() != device) debug::message(call, "destination is not a texture of this device");
    else if (texture->desc().Usage == D3D11_USAGE_IMMUTABLE)
        debug::message(call, "destination is immutable" + nameSuffix(texture));
    else return texture;
    return nullptr;
}

bool inside(const gpu::Image& image, uint32_t mip, uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    return x <= image.mipWidth(mip) && width <= image.mipWidth(mip) - x && y <= image.mipHeight(mip) &&
           height <= image.mipHeight(mip) - y;
}

}  // namespace

void Context::CopySubresourceRegion(ID3D11Resource* dst, UINT dstSub, UINT x, UINT y, UINT z, ID3D11Resource* src,
                                    UINT srcSub, const D3D11_BOX* box) {
    constexpr const char* kCall = "ID3D11DeviceContext::CopySubresourceRegion";
    Texture* to = writableTexture(device(), dst, kCall);
    Texture* from = textureOf(src);
    if (!to) return;
    if (!from || from->device() != device()) return debug::message(kCall, "source is not a texture of this device" + copyNames(to, from));
    const gpu::Image& source = *from->image();
    const gpu::Image& target = *to->image();
    if (dstSub >= target.mipLevels || srcSub >= source.mipLevels || z != 0)
        return debug::message(kCall, "subresource out of range" + copyNames(to, from));
    if (source.format != target.format) return debug::message(kCall, "formats do not match" + copyNames(to, from));
    if (to == from && dstSub == srcSub) return debug::message(kCall, "source and destination are one subresource" + copyNames(to, from));
    gpu::Rect rect{0, 0, source.mipWidth(srcSub), source.mipHeight(srcSub)};
    if (box) {
        if (box->right <= box->left || box->bottom <= box->top || box->back <= box->front) return;  // empty: nothing
        if (box->front != 0 || box->back != 1) return debug::message(kCall, "box depth out of range" + copyNames(to, from));
        rect = gpu::Rect{box->left, box->top, box->right, box->bottom};
        if (!inside(source, srcSub, rect.left, rect.top, rect.width(), rect.height()))
            return debug::message(kCall, "box outside the source" + copyNames(to, from));
    }
    if (!inside(target, dstSub, x, y, rect.width(), rect.height()))
        return debug::message(kCall, "region outside the destination" + copyNames(to, from));
    record([dstImage = to->image(), srcImage = from->image(), dstSub, x, y, srcSub, rect] {
        gpu::copyRegion(*dstImage, dstSub, x, y, *srcImage, srcSub, rect);
    });
}

void Context::CopyResource(ID3D11Resource* dst, ID3D11Resource* src) {
    constexpr const char* kCall = "ID3D11DeviceContext::CopyResource";
    Texture* to = writableTexture(device(), dst, kCall);
    Texture* from = textureOf(src);
    if (!to) return;
    if (!from || from->device() != device() || from == to)
        return debug::message(kCall, "source is not another texture of this device" + copyNames(to, from));
    const auto& a = to->desc();
    const auto& b = from->desc();
    if (a.Width != b.Width || a.Height != b.Height || a.MipLevels != b.MipLevels || gpuFormat(a.Format) != gpuFormat(b.Format))
        return debug::message(kCall, "textures differ in size, mips or format" + copyNames(to, from));
    record([dstImage = to->image(), srcImage = from->image()] {
        for (uint32_t mip = 0; mip < srcImage->mipLevels; ++mip)
            gpu::copyRegion(*dstImage, mip, 0, 0, *srcImage, mip,
                            gpu::Rect{0, 0, srcImage->mipWidth(mip), srcImage->mipHeight(mip)});
    });
}

void Context::UpdateSubresource(ID3D11Resource* dst, UINT sub, const D3D11_BOX* box, const void* data, UINT rowPitch,
                                UINT) {
    constexpr const char* kCall = "ID3D11DeviceContext::UpdateSubresource";
    if (!data) return debug::message(kCall, "no data");
    if (Buffer* buffer = bufferOf(dst)) {  // constant bytes live on the CPU side: draws copy them when recorded
        if (buffer->device() != device() || buffer->data()->desc.Usage != D3D11_USAGE_DEFAULT || sub != 0 || box)
            return debug::message(kCall, "only whole default-usage buffers of this device are updated");
        std::memcpy(buffer->data()->bytes.data(), data, buffer->data()->bytes.size());
        return;
    }
    Texture* to = writableTexture(device(), dst, kCall);
    if (!to) return;
    const gpu::Image& target = *to->image();
    if (sub >= target.mipLevels) return debug::message(kCall, "subresource out of range");
    gpu::Rect rect{0, 0, target.mipWidth(sub), target.mipHeight(sub)};
    if (box) {
        if (box->right <= box->left || box->bottom <= box->top || box->back <= box->front) return;
        rect = gpu::Rect{box->left, box->top, box->right, box->bottom};
        if (!inside(target, sub, rect.left, rect.top, rect.width(), rect.height()))
            return debug::message(kCall, "box outside the texture");
    }
    const size_t rowBytes = static_cast<size_t>(rect.width()) * gpu::bytesPerPixel(target.format);
    if (rowPitch < rowBytes) return debug::message(kCall, "row pitch shorter than a row");
    std::vector<uint8_t> rows(rowBytes * rect.height());  // the caller's memory is copied now, as the runtime does
    for (uint32_t row = 0; row < rect.height(); ++row)
        std::memcpy(rows.data() + row * rowBytes, static_cast<const uint8_t*>(data) + row * size_t{rowPitch}, rowBytes);
    record([image = to->image(), sub, rect, rows = std::move(rows), rowBytes] {
        gpu::writeRegion(*image, sub, rect, rows.data(), rowBytes);
    });
}

void Context::ClearRenderTargetView(ID3D11RenderTargetView* view, const FLOAT colour[4]) {
    RenderTargetView* known = viewOf(view);
    if (!known || known->texture()->device() != device() || !colour)
        return debug::message("ID3D11DeviceContext::ClearRenderTargetView", "not a view of this device");
    record([image = known->texture()->image(), c = gpu::Float4{colour[0], colour[1], colour[2], colour[3]}] {
        gpu::fillMip(*image, 0, c);
    });
}

void Context::GenerateMips(ID3D11ShaderResourceView* view) {
    constexpr const char* kCall = "ID3D11DeviceContext::GenerateMips";
    ShaderResourceView* known = viewOf(view);
    if (!known || known->texture()->device() != device()) return debug::message(kCall, "not a view of this device");
    if (!(known->texture()->desc().MiscFlags & D3D11_RESOURCE_MISC_GENERATE_MIPS))
        return debug::message(kCall, "texture not created with GENERATE_MIPS");
    const uint32_t first = known->desc().Texture2D.MostDetailedMip;
    const uint32_t last = first + known->desc().Texture2D.MipLevels - 1;
    if (last == first) return;
    record([image = known->texture()->image(), first, last] { gpu::generateMips(*image, first, last); });
}

void Context::Draw(UINT vertexCount, UINT startVertex) {
    constexpr const char* kCall = "ID3D11DeviceContext::Draw";
    ContextState& s = state();
    if (!s.vertexShader || !s.pixelShader || !s.renderTarget)
        return debug::message(kCall, "nothing bound (shaders and a render target are needed)");
    for (const auto* constants : {s.vertexConstants.get(), s.pixelConstants.get()})
        if (constants && constants->mapped) return debug::message(kCall, "a bound constant buffer is mapped");
    gpu::DrawCall call;
    call.vertexShader = s.vertexShader;
    call.pixelShader = s.pixelShader;
    if (s.vertexConstants) call.vertexConstants = s.vertexConstants->bytes;
    if (s.pixelConstants) call.pixelConstants = s.pixelConstants->bytes;
    call.resources = s.resources;
    call.samplers = s.samplers;
    call.renderTarget = s.renderTarget;
    call.viewport = s.viewport;
    call.blend = s.blend;
    call.topology = translate(s.topology);
    call.vertexCount = vertexCount;
    call.startVertex = startVertex;
    record([call = std::move(call)] {
        if (!gpu::draw(call)) debug::message("ID3D11DeviceContext::Draw", "the draw could not be run");
    });
}

}  // namespace winsim::d3d11
