// The compositor's side of one duplication of an output. It holds the duplication's slot among
// the output's and the machine's duplications and its desktop surface, draws the output's desktop
// into the duplication's images (ahead of an update while the duplication waits for it; turned
// into the display mode's orientation on a rotated output; with the pointer drawn in on an output
// without a hardware cursor and protected content blacked out), and works out what changed since
// the frame it handed out last: the desktop's version, the pointer's moves and shape changes, the
// masking. Any change of the output's mode, rotation or attachment costs the duplication its
// access; a sleeping monitor delivers no frames.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>

#include <windows.h>

#include "machine/frame_images.h"
#include "machine/machine.h"
#include "machine/sdr_view.h"

namespace winsim {

// What changed since the last frame.
struct FrameUpdate {
    Clock::time_point time;          // when the machine took the update
    uint64_t version = 0;            // the desktop version the frame shows
    uint64_t accumulatedFrames = 0;  // desktop versions since the last frame (at least 1 for a changed image)
    bool desktop = false;            // the image changed: the desktop, its masking, or a pointer drawn into it
    bool pointer = false;            // the pointer moved over the output, came, went or changed shape
    bool shape = false;              // the pointer's shape changed (the first frame always has one)
    bool over = false;               // the pointer is over this output
    bool pointerDrawn = false;       // the compositor draws the pointer into the image (no hardware cursor)
    bool masked = false;             // protected content is blacked out in the image
    POINT pointerPosition{};         // relative to the output's top left corner
    bool any() const { return desktop || pointer; }
};

enum class FrameWait { Updated, Timeout, AccessLost };

struct NextFrame {
    FrameWait outcome = FrameWait::Timeout;
    // When updated: what changed, and the desktop at update.version in `format`.
    FrameUpdate update;
    std::shared_ptr<gpu::Image> image;
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
};

class Compositor {
public:
    // Charges a desktop surface in `format` to the ledger of `deviceAdapter` (and the leak the
    // machine's driver adds to it), starts the machine's timelines and takes a slot among the
    // duplications. `flickers`: the format-flicker variant's images (duplication_policy.h). Null
    // when the ledger is full. The machine's lock is held.
    static std::unique_ptr<Compositor> open(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
                                            const AdapterState& deviceAdapter, DXGI_FORMAT format, bool flickers,
                                            Clock::time_point now);
    // Gives the slot back (takes the machine's lock).
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // Waits until the desktop or the pointer changes, `deadline` passes or access is lost, with
    // the machine running meanwhile (`lock` is the machine's, held).
    NextFrame waitForUpdate(std::unique_lock<std::mutex>& lock, Clock::time_point deadline);

    // The output's configuration and the delivered format (DXGI_OUTDUPL_DESC's), fixed at creation.
    const OutputConfig& config() const { return config_; }
    DXGI_FORMAT format() const { return format_; }
    // The pointer's shape as of the last update that reported one (lock held).
    const CursorShape& pointerShape() const { return shape_; }
    // Whether the output changed (or the secure desktop showed) since the duplication began
    // (lock held): it has lost access for good.
    bool accessLost() const { return output_->epoch != epoch_; }
    // Called as each AcquireNextFrame begins (lock held): true when the duplication is the one a
    // fullscreen switch left unable to deliver (machine/field.h), from its first call on.
    bool jammed();

private:
    Compositor(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
               std::shared_ptr<gpu::Allocation> surface, DXGI_FORMAT format, bool flickers);

    FrameUpdate pending(Clock::time_point now) const;
    NextFrame take(FrameUpdate update, Clock::time_point now);
    // Draws the desktop's next version ahead, as a compositor draws a frame before it shows it;
    // returns when that version is due.
    Clock::time_point drawAhead(Clock::time_point now);
    // The format of a frame: of an image frame numbered `imageFrame` (from 1), or of a
    // pointer-only frame (0).
    DXGI_FORMAT frameFormat(uint64_t imageFrame) const;
    // The desktop at `version` in `format` as it is drawn now, and how to draw it.
    FrameContent content(uint64_t version, DXGI_FORMAT format) const;
    Overlay overlay() const;
    void draw(gpu::Image& target, const FrameContent& content);
    void render(gpu::Image& target, uint64_t version) const;
    void drawOverlay(gpu::Image& upright) const;
    bool pointerOver() const;

    std::shared_ptr<Machine> machine_;
    std::shared_ptr<OutputState> output_;
    // Fixed at creation: any change to them costs access.
    const uint64_t epoch_;
    const OutputConfig config_;
    const DXGI_FORMAT format_;
    const bool flickers_;

    // Guarded by the machine's lock:
    FrameImages images_;
    bool delivered_ = false;  // a frame was handed out
    uint64_t lastVersion_ = 0;
    uint64_t seenMoves_ = 0;
    uint64_t seenShapes_ = 0;
    bool wasOver_ = false;
    RECT lastMask_{};  // the protected area the last frame masked
    uint64_t imageFrames_ = 0;  // frames handed out whose image changed
    CursorShape shape_;
    bool acquired_ = false;  // AcquireNextFrame was called
    bool jammed_ = false;
    SdrView sdr_;
    std::shared_ptr<gpu::Image> scratch_;  // the desktop in its own format, for its SDR view
};

}  // namespace winsim
