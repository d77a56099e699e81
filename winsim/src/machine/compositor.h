// The compositor's side of one duplication of an output. It holds the duplication's slot among
// the output's and the machine's duplications and its desktop surface, draws the output's desktop
// into the duplication's images (ahead of an update while the duplication waits for it; turned
// into the display mode's orientation on a rotated output), and works out what changed since
// the frame it handed out last: the desktop's version, the pointer's moves and shape changes. Any
// change of the output's mode, rotation or attachment costs the duplication its access.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>

#include <windows.h>

#include "machine/frame_images.h"
#include "machine/machine.h"

namespace winsim {

// What changed since the last frame.
struct FrameUpdate {
    Clock::time_point time;          // when the machine took the update
    uint64_t version = 0;            // the desktop version the frame shows
    uint64_t accumulatedFrames = 0;  // desktop versions since the last frame (1 for the first)
    bool desktop = false;            // the desktop changed
    bool pointer = false;            // the pointer moved over the output, came, went or changed shape
    bool shape = false;              // the pointer's shape changed (the first frame always has one)
    bool over = false;               // the pointer shows over this output
    POINT pointerPosition{};         // relative to the output's top left corner
    bool any() const { return desktop || pointer; }
};

enum class FrameWait { Updated, Timeout, AccessLost };

struct NextFrame {
    FrameWait outcome = FrameWait::Timeout;
    // When updated: what changed, and the desktop at update.version.
    FrameUpdate update;
    std::shared_ptr<gpu::Image> image;
};

class Compositor {
public:
    // Charges a desktop surface in `format` to the ledger of `deviceAdapter` (and the leak the
    // machine's driver adds to it), starts the machine's timelines and takes a slot among the
    // duplications. Null when the ledger is full. The machine's lock is held.
    static std::unique_ptr<Compositor> open(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
                                            const AdapterState& deviceAdapter, DXGI_FORMAT format, Clock::time_point now);
    // Gives the slot back (takes the machine's lock).
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // Waits until the desktop or the pointer changes, `deadline` passes or access is lost, with
    // the machine running meanwhile (`lock` is the machine's, held).
    NextFrame waitForUpdate(std::unique_lock<std::mutex>& lock, Clock::time_point deadline);

    // The output's configuration and the delivered format, fixed at creation.
    const OutputConfig& config() const { return config_; }
    DXGI_FORMAT format() const { return format_; }
    // The pointer's shape as of the last update that reported one (lock held).
    const CursorShape& pointerShape() const { return shape_; }
    // Whether the output changed (or the secure desktop showed) since the duplication began
    // (lock held): it has lost access for good.
    bool accessLost() const { return output_->epoch != epoch_; }

private:
    Compositor(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
               std::shared_ptr<gpu::Allocation> surface, DXGI_FORMAT format);

    FrameUpdate pending(Clock::time_point now) const;
    NextFrame take(FrameUpdate update, Clock::time_point now);
    // Draws the desktop's next version ahead, as a compositor draws a frame before it shows it;
    // returns when that version is due.
    Clock::time_point drawAhead(Clock::time_point now);
    // The desktop at `version` as it is drawn now, and how to draw it.
    FrameContent content(uint64_t version) const;
    void draw(gpu::Image& target, uint64_t version) const;

    std::shared_ptr<Machine> machine_;
    std::shared_ptr<OutputState> output_;
    // Fixed at creation: any change to them costs access.
    const uint64_t epoch_;
    const OutputConfig config_;
    const DXGI_FORMAT format_;

    // Guarded by the machine's lock:
    FrameImages images_;
    bool delivered_ = false;  // a frame was handed out
    uint64_t lastVersion_ = 0;
    uint64_t seenMoves_ = 0;
    uint64_t seenShapes_ = 0;
    bool wasOver_ = false;
    CursorShape shape_;
};

}  // namespace winsim
