// The GPU back-end's image storage, shared by copies, mips, sampling and render targets.
#pragma once
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "gpu/format.h"
#include "gpu/ledger.h"
#include "gpu/pixels.h"

namespace winsim::gpu {

struct Float4 {
    float r, g, b, a;
};

// One pixel to and from linear float RGBA (UNORM formats map to 0..1; encode clamps and rounds
// to nearest).
Float4 decodePixel(Format format, const uint8_t* pixel);
void encodePixel(Format format, const Float4& value, uint8_t* pixel);

// What a texture is: its pixel layout, size and number of mip levels.
struct TextureDesc {
    Format format = Format::Unknown;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mipLevels = 1;
};

// A 2D texture's pixels: every mip level tightly packed (row pitch = width x bytes per pixel).
// The allocation charges the ledger for the driver's layout (rows aligned to 256 bytes, the
// whole chain rounded to 64 KiB) for as long as anything holds the image.
struct Image {
    Format format = Format::Unknown;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mipLevels = 1;
    std::vector<Pixels> mips;
    std::shared_ptr<Allocation> allocation;
    // Held by each operation on the pixels for its whole run: a shared image is worked on by the
    // queues of several devices (and read back by the CPU), which the real GPU does without
    // ordering but which must not race here. Shared by readers, exclusive for writers.
    struct Guard : std::shared_mutex {
        Guard() = default;
        Guard(const Guard&) {}  // a copy of an image is a new image with a guard of its own
        Guard& operator=(const Guard&) { return *this; }
    };
    mutable Guard guard;

    uint32_t mipWidth(uint32_t mip) const { return width >> mip ? width >> mip : 1; }
    uint32_t mipHeight(uint32_t mip) const { return height >> mip ? height >> mip : 1; }
    uint32_t rowPitch(uint32_t mip) const { return mipWidth(mip) * bytesPerPixel(format); }
    uint8_t* pixel(uint32_t mip, uint32_t x, uint32_t y) {
        return mips[mip].data() + static_cast<size_t>(y) * rowPitch(mip) + static_cast<size_t>(x) * bytesPerPixel(format);
    }
};

// The ledger's charge for a texture: the sum over its mips of (row pitch aligned to 256 bytes x
// rows), before the 64 KiB rounding.
uint64_t textureBytes(Format format, uint32_t width, uint32_t height, uint32_t mipLevels);

// An image of `desc` over `allocation`, which may be shared with other images (a duplication's
// frames share its one desktop surface) or null (an image nobody charges for). Zeroed, unless
// the caller writes every pixel of every level before anything reads it.
std::shared_ptr<Image> makeImage(const TextureDesc& desc, std::shared_ptr<Allocation> allocation,
                                 Contents contents = Contents::Zeroed);
// A zeroed image of `desc` with an allocation of its own charged to `ledger`; null when the
// ledger is full.
std::shared_ptr<Image> allocateImage(std::shared_ptr<Ledger> ledger, const TextureDesc& desc);

}  // namespace winsim::gpu
