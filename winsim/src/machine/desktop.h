// An output's desktop image: generated frames at the output's update rate, or images a test
// presents. Every update gets a new version; any version can be rendered into an image. The
// content is the upright picture a user sees (the desktop rectangle's size); a rotated output's
// images hold it turned into the orientation of the display mode, as the duplication delivers it.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <dxgi.h>

#include "formats/dxgi_format.h"

namespace winsim {

using Clock = std::chrono::steady_clock;

class Desktop {
public:
    explicit Desktop(double hz, Clock::time_point now) { setRate(hz, now); }

    // The version of the content at `now`: one more for every generated or presented update.
    uint64_t version(Clock::time_point now) const;
    // When the next generated update is due after `now`; time_point::max() at a rate of 0.
    Clock::time_point nextUpdate(Clock::time_point now) const;
    void setRate(double hz, Clock::time_point now);
    // Shows `pixels` (an upright `width` x `height` picture, tightly packed rows in the output's
    // format) until the next generated update.
    void present(std::vector<uint8_t> pixels, uint32_t width, uint32_t height, Clock::time_point now);
    // Forgets a presented image (the mode changed under it).
    void dropPresented() {
        presented_.clear();
        ++revision_;
    }
    // Changes whenever a present or a dropped image may change what a version looks like, so an
    // image rendered for a version ahead of time can tell that it went stale.
    uint64_t revision() const { return revision_; }

    // Writes the content at version `v` into mip 0 of `target`, an image of the display mode
    // turned by `rotation` from the upright desktop. `white` is the level of white in the
    // desktop's format (1 for UNORM formats, the SDR white level in scRGB for FP16). A presented
    // image is in `desktopFormat` (unknown: the target's) and is converted, clipped to the target
    // format's range, when the target has another format; one of another size than the desktop
    // shows the generated picture instead. `overlay` then draws over the upright picture (the
    // pointer, protected content) before it is turned. Callers hold the machine's lock (a rotated
    // output's upright picture is drawn into a scratch image first).
    void render(gpu::Image& target, uint64_t v, float white, DXGI_FORMAT desktopFormat = DXGI_FORMAT_UNKNOWN,
                DXGI_MODE_ROTATION rotation = DXGI_MODE_ROTATION_IDENTITY,
                const std::function<void(gpu::Image&)>& overlay = nullptr) const;

private:
    uint64_t ticks(Clock::time_point now) const;
    // The upright content at `v` into `target`, which has the desktop's size.
    void renderUpright(gpu::Image& target, uint64_t v, float white, DXGI_FORMAT desktopFormat) const;

    double hz_ = 0;
    Clock::time_point rateStart_;
    uint64_t base_ = 0;          // versions before rateStart_
    uint64_t presentedAt_ = 0;   // version of the presented image
    std::vector<uint8_t> presented_;
    uint32_t presentedWidth_ = 0, presentedHeight_ = 0;
    uint64_t revision_ = 0;
    mutable std::shared_ptr<gpu::Image> upright_;  // a rotated output's scratch picture
};

// Writes `upright`, a picture of the desktop, into `target`, an image of the display mode, turned
// as an output of `rotation` shows it (width and height swapped for 90 and 270 degrees). Leaves
// `target` alone unless both have the same format and matching sizes.
void rotateDesktop(const gpu::Image& upright, gpu::Image& target, DXGI_MODE_ROTATION rotation);
// Whether an output of `rotation` turns its desktop at all.
inline bool turnsDesktop(DXGI_MODE_ROTATION rotation) {
    return rotation == DXGI_MODE_ROTATION_ROTATE90 || rotation == DXGI_MODE_ROTATION_ROTATE180 ||
           rotation == DXGI_MODE_ROTATION_ROTATE270;
}

// The generated picture of version `v` (upright): a grey level that changes with every version, and the
// version's low 32 bits as white (1) and black (0) pixels in the first 32 pixels of the first and
// the last row, so a reader can tell which frame it holds and that it holds one frame only.
void renderPattern(gpu::Image& target, uint64_t v, float white);
// The version that renderPattern stamped into a row of 8-bit BGRA pixels.
uint32_t readStamp(const uint8_t* bgraRow);

}  // namespace winsim
