// The interface through which a Direct3D 12 renderer consumes the captured frames of one monitor.
#pragma once
#include <cstdint>

struct ID3D12Device;
struct ID3D12Resource;

namespace velda {

// One publication, read as a whole: every field belongs to the same frame.
struct FrameInfo {
    int32_t slot = -1;          // the ring slot it is in (as `latest`); -1 while there is none
    uint32_t generation = 0;    // the ring's generation (as `latest`)
    uint64_t sequence = 0;      // how many frames the source had published with this one (1, 2, ...)
    int64_t updateQpc = 0;      // QueryPerformanceCounter time of the desktop update it carries: when
                                // the desktop image last changed, or when the pointer moved for a
                                // frame that only moved the pointer
    int64_t publishQpc = 0;     // QueryPerformanceCounter time of its publication
    bool desktopChanged = false;  // the desktop image changed (false: only the pointer moved)
    bool protectedContentMasked = false;  // Windows blacked out protected content (video) in the image
};

// How a source captures its monitor.
enum class CaptureMethod {
    DesktopDuplication,  // DXGI Desktop Duplication, on the adapter that drives the monitor
    GraphicsCapture,     // Windows.Graphics.Capture, from any adapter
};

// Whether a source captures now, and its counts since it was made.
struct SourceState {
    bool live = false;            // frames are being published (false while paused, stopped,
                                  // waiting for its monitor, or when the last attempt failed)
    uint64_t framesProduced = 0;  // frames published
    uint64_t reacquireCount = 0;  // times the capture thread took its capture again (a duplication,
                                  // or a capture session after a pause, a replug or a new device)
    CaptureMethod method = CaptureMethod::DesktopDuplication;
};

// A source publishes frames into a ring of shared textures and tells its consumer which slot is
// newest. The consumer's protocol:
//   1. `latest(&generation)` gives the newest complete slot (or -1 for none) and the generation.
//   2. When the generation differs from the last one seen, the ring was re-created: fetch
//      `texture`, `width`, `height` and `mipLevels` again before using any slot.
//   3. `texture(slot)` is the slot's Direct3D 12 resource on the consumer's own device.
// Slots are filled in the order 0, 1, 2, 0, ...; a slot that `latest` returned is not written
// again until two more frames have been published.
//
// Lifetime of the resources. A mode change re-creates the ring on the capture thread, at any
// moment. The resources of the ring being replaced are not released then if `texture` handed any
// of them out: they are kept until a later ring's resources have been handed out and that ring is
// replaced in turn, or until `stop`. So a consumer that calls `latest` before each use and, once
// the generation has changed, fetches the new resources and no longer uses the old ones, never
// touches a released resource, even when a re-creation happens between its `latest` and its use.
// Its own GPU work on the old resources must be finished before it starts to use the new ones.
// While a re-creation is under way, or after one that failed, `texture` returns null. `stop` (and
// destruction) releases every resource at once: the owner lets its consumer finish with them
// first, and the consumer fetches them again after the next start.
class FrameSource {
public:
    virtual ~FrameSource() = default;

    // Brings the source up on `device`, which must outlive the source (it is borrowed, never
    // referenced). True once the capture thread runs.
    virtual bool start(ID3D12Device* device) = 0;
    // Ends the capture thread and releases every device object. Safe in every state, repeatable.
    virtual void stop() = 0;
    // Dozes (true) or wakes (false) the capture thread. Survives stop and start.
    virtual void setPaused(bool paused) = 0;

    virtual uint32_t width() const = 0;
    virtual uint32_t height() const = 0;
    virtual uint32_t mipLevels() const = 0;
    virtual int32_t ringSize() const = 0;
    // The Direct3D 12 resource of ring slot 0..2; null for any other index, and for every slot
    // while the ring is not completely built. Borrowed: no reference is added; see above for how
    // long it stays valid. Safe on any thread.
    virtual ID3D12Resource* texture(int32_t slot) const = 0;
    // The newest complete slot, or -1; writes the ring's generation through `generation` unless
    // it is null.
    virtual int32_t latest(uint32_t* generation) const = 0;
    // The newest complete frame with its generation, sequence number and times; false (and `slot`
    // -1) while there is none. Safe on any thread.
    virtual bool latestFrame(FrameInfo* info) const = 0;
    // Blocks until a frame with a sequence number above `afterSequence` is published (true, with
    // `info` filled unless it is null), `timeoutMs` pass or `stop` is called (false). A frame
    // published before the call counts: pass the last sequence seen to miss none. On a source that
    // does not run it waits as well, for the frames of a later start or resume. Safe on any
    // thread; never polls. Destroying the source wakes its waiters and lets them return first.
    virtual bool waitForFrame(uint64_t afterSequence, uint32_t timeoutMs, FrameInfo* info) const = 0;
    // Whether frames are being published, and the counts so far. Safe on any thread.
    virtual SourceState state() const = 0;

    // Controls. Each takes effect from the next frame, is safe on any thread at any time, and is
    // kept across stop and resume.
    //
    // The least time between two publications, in milliseconds (measured from the last one); 0,
    // a negative value or NaN: no cap (the default).
    virtual void setMinFrameIntervalMs(double milliseconds) = 0;
    // Whether the mouse cursor is drawn into the frames (the default) or left out.
    virtual void setCursorDrawn(bool drawn) = 0;

protected:
    FrameSource() = default;
    FrameSource(const FrameSource&) = default;
    FrameSource& operator=(const FrameSource&) = default;
};

}  // namespace velda
