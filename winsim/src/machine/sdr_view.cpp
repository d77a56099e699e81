#include "machine/sdr_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace winsim {
namespace {

uint8_t toByte(float unit) { return static_cast<uint8_t>(std::lround(std::clamp(unit, 0.0f, 1.0f) * 255.0f)); }

// The sRGB curve, as an SDR application's 8-bit values encode light.
float srgbEncode(float c) { return c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f; }
float srgbDecode(float s) { return s <= 0.04045f ? s / 12.92f : std::pow((s + 0.055f) / 1.055f, 2.4f); }

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint8_t tenToEight(uint32_t channel) { return static_cast<uint8_t>(((channel & 0x3FF) * 255 + 511) / 1023); }

void put(uint8_t* bgra, uint8_t b, uint8_t g, uint8_t r) {
    bgra[0] = b;
    bgra[1] = g;
    bgra[2] = r;
    bgra[3] = 255;
}

// A pixel of a desktop in a UNORM format, whose values are gamma-encoded already, in 8 bits.
void putSdr(gpu::Format format, const uint8_t* from, uint8_t* bgra) {
    if (format == gpu::Format::Rgb10A2Unorm) {
        const uint32_t v = load32(from);
        return put(bgra, tenToEight(v >> 20), tenToEight(v >> 10), tenToEight(v));
    }
    const gpu::Float4 v = gpu::decodePixel(format, from);
    put(bgra, toByte(v.b), toByte(v.g), toByte(v.r));
}

}  // namespace

uint8_t sdrByte(gpu::Format format, float value, float white) {
    if (format != gpu::Format::Rgba16Float) return toByte(value);
    const float c = value / white;
    if (!(c > 0.0f)) return 0;  // black, negative values and NaN
    return c >= 1.0f ? 255 : toByte(srgbEncode(c));
}

float desktopValue(gpu::Format format, uint8_t sdr, float white) {
    const float s = static_cast<float>(sdr) / 255.0f;
    return format == gpu::Format::Rgba16Float ? srgbDecode(s) * white : s;
}

const std::vector<uint8_t>& SdrView::halfTable(float white) {
    if (table_.empty() || tableWhite_ != white) {
        table_.resize(65536);
        for (uint32_t h = 0; h < 65536; ++h) {
            const uint8_t pixel[8] = {static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8)};
            table_[h] = sdrByte(gpu::Format::Rgba16Float, gpu::decodePixel(gpu::Format::Rgba16Float, pixel).r, white);
        }
        tableWhite_ = white;
    }
    return table_;
}

void SdrView::convert(const gpu::Image& desktop, gpu::Image& bgra, float white) {
    if (bgra.format != gpu::Format::Bgra8Unorm || bgra.width != desktop.width || bgra.height != desktop.height) return;
    const size_t pixels = size_t{desktop.width} * desktop.height;
    const size_t step = gpu::bytesPerPixel(desktop.format);
    const uint8_t* from = desktop.mips[0].data();
    uint8_t* to = bgra.mips[0].data();
    if (desktop.format == gpu::Format::Rgba16Float) {
        const std::vector<uint8_t>& sdr = halfTable(white);
        uint16_t h[4];
        for (size_t i = 0; i < pixels; ++i, from += step, to += 4) {
            std::memcpy(h, from, 8);
            put(to, sdr[h[2]], sdr[h[1]], sdr[h[0]]);
        }
        return;
    }
    for (size_t i = 0; i < pixels; ++i, from += step, to += 4) putSdr(desktop.format, from, to);
}

}  // namespace winsim
