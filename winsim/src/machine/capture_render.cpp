// When a frame pool's feed makes a frame, and how it draws it. The screen capture page: the pool's surface is always
// the size it was created with, larger content is clipped and a smaller one leaves the rest of
// the surface as it was (ContentSize gives the part that holds the frame). The picture is the
// monitor's desktop upright, as the user sees it. B8G8R8A8 pools get the desktop as an SDR
// application sees it (sdr_view.h), as a duplication's B8G8R8A8 image does; R16G16B16A16Float
// pools the desktop's scRGB (an 8- or 10-bit desktop's values made linear).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/dxgi_format.h"
#include "machine/capture_feed.h"
#include "machine/overlays.h"

namespace winsim {
namespace {

float linear(float encoded) {
    return encoded <= 0.04045f ? encoded / 12.92f : std::pow((encoded + 0.055f) / 1.055f, 2.4f);
}

// `from` into the top-left corner of `to` (same format), clipped to both.
void copyClipped(const gpu::Image& from, gpu::Image& to) {
    const uint32_t w = std::min(from.width, to.width), h = std::min(from.height, to.height);
    const size_t bytes = size_t{w} * gpu::bytesPerPixel(to.format);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(to.mips[0].data() + size_t{y} * to.rowPitch(0), from.mips[0].data() + size_t{y} * from.rowPitch(0),
                    bytes);
}

// An 8- or 10-bit desktop's gamma-encoded values as scRGB, into the corner of `to`.
void linearClipped(const gpu::Image& from, gpu::Image& to) {
    const uint32_t w = std::min(from.width, to.width), h = std::min(from.height, to.height);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            gpu::Float4 v = gpu::decodePixel(from.format, const_cast<gpu::Image&>(from).pixel(0, x, y));
            v = {linear(v.r), linear(v.g), linear(v.b), 1.0f};
            gpu::encodePixel(to.format, v, to.pixel(0, x, y));
        }
}

std::shared_ptr<gpu::Image> scratch(std::shared_ptr<gpu::Image>& kept, gpu::Format format, uint32_t w, uint32_t h) {
    if (!kept || kept->format != format || kept->width != w || kept->height != h)
        kept = gpu::makeImage({format, w, h, 1}, nullptr, gpu::Contents::Undefined);  // drawn whole
    return kept;
}

}  // namespace

// The refresh rate caps the compositor's frames; MinUpdateInterval (Session5) slows them further.
Clock::time_point CaptureFeed::dueAt() const {
    const UINT hz = output_->current.refreshHz;
    const Clock::duration refresh =
        hz ? std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / hz)) : Clock::duration{};
    return lastFrame_ + std::max(refresh, minInterval_);
}

bool CaptureFeed::deliverable() const {
    if (machine_->secureDesktop || output_->field.asleep) return false;
    return !(config_.deviceLost && config_.deviceLost());
}

bool CaptureFeed::changed(Clock::time_point now) const {
    // A mode change (a new content size) is a new frame too, as is the end of a secure desktop.
    if (output_->desktop.version(now) != lastVersion_ || output_->epoch != seenEpoch_) return true;
    if (!cursor_) return false;
    const CursorState& cursor = machine_->cursor;
    const bool moved = cursor.moves != seenMoves_ || cursor.shapes != seenShapes_;
    return (moved && pointerOver()) || pointerOver() != wasOver_;
}

void CaptureFeed::render(gpu::Image& target, uint64_t version) {
    const OutputConfig& config = output_->current;
    const RECT rect = config.desktopRect();
    const auto w = static_cast<uint32_t>(rect.right - rect.left), h = static_cast<uint32_t>(rect.bottom - rect.top);
    auto upright = scratch(upright_, gpuFormat(config.format), w, h);
    const float white = output_->whiteLevel();
    output_->desktop.render(*upright, version, white, config.format, DXGI_MODE_ROTATION_IDENTITY,
                            [this](gpu::Image& picture) {
                                blackOut(picture, output_->field.protectedArea);
                                drawCursor(picture);
                            });
    std::unique_lock guard(target.guard);
    if (upright->format == target.format) return copyClipped(*upright, target);
    if (target.format == gpu::Format::Bgra8Unorm) {
        auto bgra = scratch(sdr_, target.format, w, h);
        sdrView_.convert(*upright, *bgra, white);
        return copyClipped(*bgra, target);
    }
    linearClipped(*upright, target);
}

// IsCursorCaptureEnabled's page: whether the cursor is drawn into the captured content.
void CaptureFeed::drawCursor(gpu::Image& upright) const {
    if (!cursor_ || !pointerOver()) return;
    const CursorState& cursor = machine_->cursor;
    const RECT rect = output_->current.desktopRect();
    const POINT topLeft{cursor.position.x - rect.left - cursor.shape.hotSpot.x,
                        cursor.position.y - rect.top - cursor.shape.hotSpot.y};
    drawPointer(upright, cursor.shape, topLeft, output_->whiteLevel());
}

bool CaptureFeed::pointerOver() const {
    const CursorState& cursor = machine_->cursor;
    const RECT r = output_->current.desktopRect();
    const POINT p = cursor.position;
    return cursor.visible && p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace winsim
