// The interface through which a Direct3D 12 renderer consumes the captured frames of one monitor.
#pragma once
#include <cstdint>

struct ID3D12Device;
struct ID3D12Resource;

namespace velda {

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

protected:
    FrameSource() = default;
    FrameSource(const FrameSource&) = default;
    FrameSource& operator=(const FrameSource&) = default;
};

}  // namespace velda
