// The copy commands, checked as the runtime checks them when they are recorded.
#include "d3d12/command_list.h"
#include "d3d12/device.h"
#include "d3d12/resource.h"
#include "formats/dxgi_format.h"
#include "gpu/ops.h"

namespace winsim::d3d12 {
namespace {
constexpr const char* kRegion = "ID3D12GraphicsCommandList::CopyTextureRegion";

// One side of CopyTextureRegion: a texture's subresource, or a buffer laid out by a footprint.
struct Side {
    Resource* resource = nullptr;
    bool placed = false;
    UINT subresource = 0;
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    gpu::Format format = gpu::Format::Unknown;
    UINT width = 0, height = 0;
};

// Describes one side, or says why it cannot take part (empty when it can).
std::string describe(Resource& resource, const D3D12_TEXTURE_COPY_LOCATION& location, Side& side) {
    side.resource = &resource;
    side.placed = location.Type == D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
    if (!side.placed && location.Type != D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX) return "unknown location type";
    if (side.placed != resource.isBuffer()) return "a footprint locates a buffer and a subresource index a texture";
    if (!side.placed) {
        if (location.SubresourceIndex >= resource.subresources()) return "subresource out of range";
        side.subresource = location.SubresourceIndex;
        side.format = resource.image()->format;
        side.width = resource.image()->mipWidth(side.subresource);
        side.height = resource.image()->mipHeight(side.subresource);
        return {};
    }
    const auto& f = location.PlacedFootprint.Footprint;
    side.footprint = location.PlacedFootprint;
    side.format = gpuFormat(f.Format);
    side.width = f.Width;
    side.height = f.Height;
    const UINT64 rowBytes = UINT64(f.Width) * gpu::bytesPerPixel(side.format);
    if (side.format == gpu::Format::Unknown) return "the footprint's format is not a texture format winsim stores";
    if (f.Depth != 1 || f.Width == 0 || f.Height == 0) return "the footprint is empty or deeper than one slice";
    if (f.RowPitch % D3D12_TEXTURE_DATA_PITCH_ALIGNMENT || f.RowPitch < rowBytes)
        return "the footprint's row pitch is not a multiple of 256 bytes that holds a row";
    if (location.PlacedFootprint.Offset % D3D12_TEXTURE_DATA_PLACEMENT_ALIGNMENT)
        return "the footprint's offset is not a multiple of 512 bytes";
    const UINT64 end = location.PlacedFootprint.Offset + UINT64(f.RowPitch) * (f.Height - 1) + rowBytes;
    if (end > resource.desc().Width) return "the footprint reaches past the end of the buffer";
    return {};
}

// Where a region of `side` starts in its buffer.
size_t bufferOffset(const Side& side, UINT x, UINT y) {
    return side.footprint.Offset + size_t(y) * side.footprint.Footprint.RowPitch + size_t(x) * gpu::bytesPerPixel(side.format);
}

}  // namespace

void CommandList::CopyTextureRegion(const D3D12_TEXTURE_COPY_LOCATION* dst, UINT dstX, UINT dstY, UINT dstZ,
                                    const D3D12_TEXTURE_COPY_LOCATION* src, const D3D12_BOX* srcBox) {
    if (!recording(kRegion)) return;
    if (!dst || !src) return debug::message(kRegion, "no location");
    if (dstZ != 0) return debug::message(kRegion, "z is 0 for 2D resources");
    copyTexture(*dst, dstX, dstY, *src, srcBox);
}

void CommandList::copyTexture(const D3D12_TEXTURE_COPY_LOCATION& dst, UINT x, UINT y,
                              const D3D12_TEXTURE_COPY_LOCATION& src, const D3D12_BOX* box) {
    Resource* to = own(kRegion, dst.pResource);
    Resource* from = own(kRegion, src.pResource);
    if (!to || !from) return;
    Side target, source;
    for (const auto& reason : {describe(*to, dst, target), describe(*from, src, source)})
        if (!reason.empty()) return debug::message(kRegion, reason);
    if (target.placed && source.placed) return debug::message(kRegion, "one side must be a texture");
    if (target.format != source.format) return debug::message(kRegion, "formats do not match");
    const D3D12_BOX whole{0, 0, 0, source.width, source.height, 1};
    const D3D12_BOX b = box ? *box : whole;
    if (b.front != 0 || b.back != 1 || b.left >= b.right || b.top >= b.bottom || b.right > source.width ||
        b.bottom > source.height)
        return debug::message(kRegion, "the box is empty or outside the source");
    const gpu::Rect rect{b.left, b.top, b.right, b.bottom};
    if (UINT64(x) + rect.width() > target.width || UINT64(y) + rect.height() > target.height)
        return debug::message(kRegion, "the region reaches outside the destination");
    tracker_.use(kRegion, to->states(), target.subresource, D3D12_RESOURCE_STATE_COPY_DEST);
    tracker_.use(kRegion, from->states(), source.subresource, D3D12_RESOURCE_STATE_COPY_SOURCE);
    if (source.placed) {  // upload: buffer rows into the texture
        const size_t at = bufferOffset(source, rect.left, rect.top);
        const size_t pitch = source.footprint.Footprint.RowPitch;
        const gpu::Rect into{x, y, x + rect.width(), y + rect.height()};
        record(*to, *from, [at, pitch, into, mip = target.subresource](gpu::Image& t, const gpu::Image& f) {
            gpu::writeRegion(t, mip, into, f.mips[0].data() + at, pitch);
        });
    } else if (target.placed) {  // read-back: texture rows into the buffer
        const size_t at = bufferOffset(target, x, y);
        const size_t pitch = target.footprint.Footprint.RowPitch;
        record(*to, *from, [at, pitch, rect, mip = source.subresource](gpu::Image& t, const gpu::Image& f) {
            gpu::readRegion(f, mip, rect, t.mips[0].data() + at, pitch);
        });
    } else {
        if (to == from && target.subresource == source.subresource)
            return debug::message(kRegion, "source and destination are one subresource");
        record(*to, *from, [x, y, rect, dm = target.subresource, sm = source.subresource](gpu::Image& t, const gpu::Image& f) {
            gpu::copyRegion(t, dm, x, y, f, sm, rect);
        });
    }
}

void CommandList::CopyResource(ID3D12Resource* dst, ID3D12Resource* src) {
    constexpr const char* kCall = "ID3D12GraphicsCommandList::CopyResource";
    if (!recording(kCall)) return;
    Resource* to = own(kCall, dst);
    Resource* from = own(kCall, src);
    if (!to || !from) return;
    if (to == from) return debug::message(kCall, "source and destination are one resource");
    const auto &a = to->desc(), &b = from->desc();
    if (a.Dimension != b.Dimension || a.Width != b.Width || a.Height != b.Height || a.MipLevels != b.MipLevels ||
        to->image()->format != from->image()->format)
        return debug::message(kCall, "the resources differ in dimension, size, mips or format");
    for (UINT sub = 0; sub < to->subresources(); ++sub) {
        tracker_.use(kCall, to->states(), sub, D3D12_RESOURCE_STATE_COPY_DEST);
        tracker_.use(kCall, from->states(), sub, D3D12_RESOURCE_STATE_COPY_SOURCE);
    }
    record(*to, *from, [](gpu::Image& t, const gpu::Image& f) {
        for (uint32_t mip = 0; mip < f.mipLevels; ++mip) t.mips[mip] = f.mips[mip];
    });
}

void CommandList::CopyBufferRegion(ID3D12Resource* dst, UINT64 dstOffset, ID3D12Resource* src, UINT64 srcOffset,
                                   UINT64 numBytes) {
    constexpr const char* kCall = "ID3D12GraphicsCommandList::CopyBufferRegion";
    if (!recording(kCall)) return;
    Resource* to = own(kCall, dst);
    Resource* from = own(kCall, src);
    if (!to || !from) return;
    if (!to->isBuffer() || !from->isBuffer()) return debug::message(kCall, "both resources must be buffers");
    if (numBytes == 0 || dstOffset + numBytes > to->desc().Width || srcOffset + numBytes > from->desc().Width ||
        dstOffset + numBytes < dstOffset || srcOffset + numBytes < srcOffset)
        return debug::message(kCall, "the range is empty or reaches past a buffer's end");
    tracker_.use(kCall, to->states(), 0, D3D12_RESOURCE_STATE_COPY_DEST);
    tracker_.use(kCall, from->states(), 0, D3D12_RESOURCE_STATE_COPY_SOURCE);
    const gpu::Rect range{static_cast<uint32_t>(srcOffset), 0, static_cast<uint32_t>(srcOffset + numBytes), 1};
    record(*to, *from, [range, at = static_cast<uint32_t>(dstOffset)](gpu::Image& t, const gpu::Image& f) {
        gpu::copyRegion(t, 0, at, 0, f, 0, range);
    });
}

}  // namespace winsim::d3d12
