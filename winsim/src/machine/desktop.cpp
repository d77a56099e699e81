#include "machine/desktop.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace winsim {

uint64_t Desktop::ticks(Clock::time_point now) const {
    if (hz_ <= 0 || now <= rateStart_) return 0;
    return static_cast<uint64_t>(std::chrono::duration<double>(now - rateStart_).count() * hz_);
}

uint64_t Desktop::version(Clock::time_point now) const { return std::max(base_ + ticks(now), presentedAt_); }

Clock::time_point Desktop::nextUpdate(Clock::time_point now) const {
    if (hz_ <= 0) return Clock::time_point::max();
    const auto period = std::chrono::duration<double>((static_cast<double>(ticks(now)) + 1) / hz_);
    return rateStart_ + std::chrono::duration_cast<Clock::duration>(period) + Clock::duration(1);
}

void Desktop::setRate(double hz, Clock::time_point now) {
    base_ = version(now);
    presentedAt_ = std::min(presentedAt_, base_);
    hz_ = hz;
    rateStart_ = now;
}

void Desktop::present(std::vector<uint8_t> pixels, uint32_t width, uint32_t height, Clock::time_point now) {
    presentedAt_ = version(now) + 1;
    base_ = presentedAt_;
    rateStart_ = now;
    presented_ = std::move(pixels);
    presentedWidth_ = width;
    presentedHeight_ = height;
    ++revision_;
}

void Desktop::render(gpu::Image& target, uint64_t v, float white, DXGI_FORMAT desktopFormat, DXGI_MODE_ROTATION rotation,
                     const std::function<void(gpu::Image&)>& overlay) const {
    if (!turnsDesktop(rotation)) {
        renderUpright(target, v, white, desktopFormat);
        if (overlay) overlay(target);
        return;
    }
    const bool sideways = rotation != DXGI_MODE_ROTATION_ROTATE180;
    const gpu::TextureDesc desc{target.format, sideways ? target.height : target.width,
                                sideways ? target.width : target.height, 1};
    if (!upright_ || upright_->format != desc.format || upright_->width != desc.width || upright_->height != desc.height)
        upright_ = gpu::makeImage(desc, nullptr, gpu::Contents::Undefined);  // drawn whole below
    renderUpright(*upright_, v, white, desktopFormat);
    if (overlay) overlay(*upright_);
    rotateDesktop(*upright_, target, rotation);
}

void Desktop::renderUpright(gpu::Image& target, uint64_t v, float white, DXGI_FORMAT desktopFormat) const {
    const gpu::Format format = desktopFormat == DXGI_FORMAT_UNKNOWN ? target.format : gpuFormat(desktopFormat);
    const size_t pixels = size_t{target.width} * target.height;
    if (presented_.empty() || v != presentedAt_ || presentedWidth_ != target.width || presentedHeight_ != target.height ||
        presented_.size() != pixels * gpu::bytesPerPixel(format)) {
        renderPattern(target, v, white);
    } else if (format == target.format) {
        std::memcpy(target.mips[0].data(), presented_.data(), presented_.size());
    } else {
        const size_t from = gpu::bytesPerPixel(format);
        const size_t to = gpu::bytesPerPixel(target.format);
        for (size_t i = 0; i < pixels; ++i)
            gpu::encodePixel(target.format, gpu::decodePixel(format, &presented_[i * from]), &target.mips[0][i * to]);
    }
}

// Windows delivers a rotated output's desktop image in the orientation of its display mode, with
// the desktop's content turned so that the rotated monitor shows it upright. Microsoft's
// DesktopDuplication sample (DisplayManager.cpp, SetDirtyVert) turns such an image back: an image
// pixel (x, y) is the desktop's pixel (W - 1 - y, x) for DXGI_MODE_ROTATION_ROTATE90,
// (W - 1 - x, H - 1 - y) for ROTATE180 and (y, H - 1 - x) for ROTATE270, where W x H is the
// desktop rectangle (DXGI_OUTPUT_DESC::DesktopCoordinates). So ROTATE90 turns the desktop a
// quarter turn anticlockwise into the image: the desktop's top row is the image's left column,
// read upwards.
void rotateDesktop(const gpu::Image& upright, gpu::Image& target, DXGI_MODE_ROTATION rotation) {
    const uint32_t w = upright.width, h = upright.height;
    const bool sideways = rotation == DXGI_MODE_ROTATION_ROTATE90 || rotation == DXGI_MODE_ROTATION_ROTATE270;
    if (upright.format != target.format || target.width != (sideways ? h : w) || target.height != (sideways ? w : h)) return;
    if (!turnsDesktop(rotation)) {
        std::memcpy(target.mips[0].data(), upright.mips[0].data(), target.mips[0].size());
        return;
    }
    const size_t bpp = gpu::bytesPerPixel(target.format);
    const ptrdiff_t pixel = static_cast<ptrdiff_t>(bpp);
    const ptrdiff_t row = static_cast<ptrdiff_t>(w) * pixel;
    const uint8_t* source = upright.mips[0].data();
    for (uint32_t y = 0; y < target.height; ++y) {
        // Where the image's row y starts in the upright picture, and the step along it.
        const uint8_t* from = source + (h - 1) * row + y * pixel;  // ROTATE270: up the picture's column y
        ptrdiff_t step = -row;
        if (rotation == DXGI_MODE_ROTATION_ROTATE90) {  // down the picture's column w - 1 - y
            from = source + (w - 1 - y) * pixel;
            step = row;
        } else if (rotation == DXGI_MODE_ROTATION_ROTATE180) {  // along the picture's row h - 1 - y backwards
            from = source + (h - 1 - y) * row + (w - 1) * pixel;
            step = -pixel;
        }
        uint8_t* to = target.pixel(0, 0, y);
        for (uint32_t x = 0; x < target.width; ++x, from += step, to += bpp) std::memcpy(to, from, bpp);
    }
}

namespace {

// Fills `count` pixels of `bpp` bytes with the pixel at `row`, doubling the filled run each time.
void replicate(uint8_t* row, size_t count, size_t bpp) {
    size_t filled = 1;
    while (filled < count) {
        const size_t n = std::min(filled, count - filled);
        std::memcpy(row + filled * bpp, row, n * bpp);
        filled += n;
    }
}

void stamp(gpu::Image& target, uint32_t row, uint64_t v, float white) {
    const uint32_t bits = std::min<uint32_t>(32, target.width);
    for (uint32_t x = 0; x < bits; ++x) {
        const float level = (v >> x) & 1 ? white : 0.0f;
        gpu::encodePixel(target.format, gpu::Float4{level, level, level, 1.0f}, target.pixel(0, x, row));
    }
}

}  // namespace

void renderPattern(gpu::Image& target, uint64_t v, float white) {
    if (target.width == 0 || target.height == 0) return;
    const size_t bpp = gpu::bytesPerPixel(target.format);
    const float grey = white * (0.1f + 0.8f * static_cast<float>((v * 37) % 101) / 100.0f);
    gpu::encodePixel(target.format, gpu::Float4{grey, grey, grey, 1.0f}, target.pixel(0, 0, 0));
    replicate(target.pixel(0, 0, 0), target.width, bpp);
    const size_t rowBytes = size_t{target.width} * bpp;
    for (uint32_t y = 1; y < target.height; ++y) std::memcpy(target.pixel(0, 0, y), target.pixel(0, 0, 0), rowBytes);
    stamp(target, 0, v, white);
    stamp(target, target.height - 1, v, white);
}

uint32_t readStamp(const uint8_t* bgraRow) {
    uint32_t v = 0;
    for (uint32_t x = 0; x < 32; ++x)
        if (bgraRow[x * 4 + 1] >= 128) v |= 1u << x;
    return v;
}

}  // namespace winsim
