// How the compositor draws a duplication's images: in which format, with what over the desktop.
#include "machine/compositor.h"
#include "machine/overlays.h"

namespace winsim {
namespace {

bool inside(const RECT& r, const POINT& p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

// Users of capture tools report that on HDR and 10-bit desktops DuplicateOutput1 hands out some
// images in B8G8R8A8 and others in the desktop's own format, above all on frames where only the
// pointer moved, and that DuplicateOutput on an HDR desktop alternates between B8G8R8A8 and FP16
// (hundreds of changes within minutes, some 78 ms apart). format-flicker: pointer-only frames and
// every third image frame come in B8G8R8A8.
DXGI_FORMAT Compositor::frameFormat(uint64_t imageFrame) const {
    if (!flickers_) return format_;
    return imageFrame % 3 == 0 ? DXGI_FORMAT_B8G8R8A8_UNORM : config_.format;
}

FrameContent Compositor::content(uint64_t version, DXGI_FORMAT format) const {
    return {version, output_->desktop.revision(), output_->whiteLevel(), format, overlay()};
}

Overlay Compositor::overlay() const {
    Overlay drawn;
    drawn.masked = output_->field.protectedArea;
    if (config_.softwareCursor && pointerOver()) {
        const CursorState& cursor = machine_->cursor;
        drawn.pointer = true;
        drawn.x = cursor.position.x;
        drawn.y = cursor.position.y;
        drawn.shape = cursor.shapes;
    }
    return drawn;
}

void Compositor::draw(gpu::Image& target, const FrameContent& content) {
    if (!flickers_ || content.format == config_.format) return render(target, content.version);
    // A flickering duplication's B8G8R8A8 image: the desktop in its own format, as an SDR
    // application sees it.
    const gpu::TextureDesc desc{gpuFormat(config_.format), target.width, target.height, 1};
    if (!scratch_ || scratch_->width != desc.width || scratch_->height != desc.height)
        scratch_ = gpu::makeImage(desc, nullptr, gpu::Contents::Undefined);  // drawn whole below
    render(*scratch_, content.version);
    sdr_.convert(*scratch_, target, content.white);
}

void Compositor::render(gpu::Image& target, uint64_t version) const {
    output_->desktop.render(target, version, output_->whiteLevel(), output_->current.format, config_.rotation,
                            [this](gpu::Image& upright) { drawOverlay(upright); });
}

void Compositor::drawOverlay(gpu::Image& upright) const {
    blackOut(upright, output_->field.protectedArea);
    if (!config_.softwareCursor || !pointerOver()) return;
    const CursorState& cursor = machine_->cursor;
    const RECT rect = config_.desktopRect();
    const POINT topLeft{cursor.position.x - rect.left - cursor.shape.hotSpot.x,
                        cursor.position.y - rect.top - cursor.shape.hotSpot.y};
    drawPointer(upright, cursor.shape, topLeft, output_->whiteLevel());
}

bool Compositor::pointerOver() const {
    const CursorState& cursor = machine_->cursor;
    return cursor.visible && inside(config_.desktopRect(), cursor.position);
}

}  // namespace winsim
