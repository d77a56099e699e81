// An output's desktop image: generated frames at the output's update rate, or images a test
// presents. Every update gets a new version; any version can be rendered into an image.
#pragma once
#include <chrono>
#include <cstdint>
#include <vector>

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
    // Shows `pixels` (tightly packed rows in the output's format) until the next generated update.
    void present(std::vector<uint8_t> pixels, Clock::time_point now);
    // Forgets a presented image (the mode changed under it).
    void dropPresented() {
        presented_.clear();
        ++revision_;
    }
    // Changes whenever a present or a dropped image may change what a version looks like, so an
    // image rendered for a version ahead of time can tell that it went stale.
    uint64_t revision() const { return revision_; }

    // Writes the content at version `v` into mip 0 of `target`. `white` is the level of white in
    // the desktop's format (1 for UNORM formats, the SDR white level in scRGB for FP16). A
    // presented image is in `desktopFormat` (unknown: the target's) and is converted, clipped to
    // the target format's range, when the target has another format.
    void render(gpu::Image& target, uint64_t v, float white, DXGI_FORMAT desktopFormat = DXGI_FORMAT_UNKNOWN) const;

private:
    uint64_t ticks(Clock::time_point now) const;

    double hz_ = 0;
    Clock::time_point rateStart_;
    uint64_t base_ = 0;          // versions before rateStart_
    uint64_t presentedAt_ = 0;   // version of the presented image
    std::vector<uint8_t> presented_;
    uint64_t revision_ = 0;
};

// The generated picture of version `v`: a grey level that changes with every version, and the
// version's low 32 bits as white (1) and black (0) pixels in the first 32 pixels of the first and
// the last row, so a reader can tell which frame it holds and that it holds one frame only.
void renderPattern(gpu::Image& target, uint64_t v, float white);
// The version that renderPattern stamped into a row of 8-bit BGRA pixels.
uint32_t readStamp(const uint8_t* bgraRow);

}  // namespace winsim
