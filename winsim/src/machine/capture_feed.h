// The compositor's side of one Windows.Graphics.Capture frame pool: it renders the monitor's
// desktop, as the user sees it (upright), into the pool's buffers on a thread of its own, and
// queues a frame whenever the desktop or, while cursor capture is on, the pointer changed, at
// most once per refresh interval (and per minimum update interval). A buffer is free again once
// nothing holds its image (the frame was closed or released); while every buffer is held no
// frame comes. No frames come while the secure desktop shows, the monitor sleeps or the pool's
// device is removed. The buffers are charged to the ledger of the pool device's adapter: a
// monitor of another adapter is copied across by the system.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "machine/machine.h"
#include "machine/sdr_view.h"

namespace winsim {

struct FeedFrame {
    std::shared_ptr<gpu::Image> image;  // a buffer of the pool's size and format
    Clock::time_point time;             // when the compositor rendered it
    UINT contentWidth = 0, contentHeight = 0;  // the desktop's size then
};

struct FeedBuffers {
    std::shared_ptr<gpu::Ledger> ledger;
    DXGI_FORMAT format = DXGI_FORMAT_B8G8R8A8_UNORM;
    int count = 1;
    UINT width = 0, height = 0;
    std::function<bool()> deviceLost;  // the device they are on was removed
};

struct FeedEvents {
    std::function<void()> arrived;  // a frame was queued
    std::function<void()> closed;   // the monitor went away (raised once)
};

class CaptureFeed : public std::enable_shared_from_this<CaptureFeed> {
public:
    // Null when the ledger cannot hold the buffers.
    static std::shared_ptr<CaptureFeed> open(std::shared_ptr<Machine> machine, FeedBuffers buffers);
    ~CaptureFeed();
    CaptureFeed(const CaptureFeed&) = delete;
    CaptureFeed& operator=(const CaptureFeed&) = delete;

    // Starts rendering `output`; the events are raised on the feed's thread, without the lock.
    void start(std::shared_ptr<OutputState> output, FeedEvents events);
    // Stops the thread (which may be the caller's: it then ends after the current event).
    void stop();
    // New buffers (the queued frames are dropped); false when the ledger cannot hold them.
    bool rebuffer(FeedBuffers buffers);
    void setCursor(bool drawn);
    void setMinInterval(Clock::duration interval);
    // The oldest queued frame, if any.
    std::optional<FeedFrame> take();

private:
    explicit CaptureFeed(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}
    static bool allocate(FeedBuffers& buffers, std::vector<std::shared_ptr<gpu::Image>>& images);
    void run(std::shared_ptr<CaptureFeed> self);
    // One step of the thread (lock held): raises what is due; false when nothing was.
    bool step(std::unique_lock<std::mutex>& lock, Clock::time_point now);
    // Queues a frame of the desktop now in `buffer`.
    void queue(std::shared_ptr<gpu::Image> buffer, Clock::time_point now);
    // Raises `event` without the lock; true.
    static bool raise(std::unique_lock<std::mutex>& lock, std::function<void()> event);
    bool changed(Clock::time_point now) const;
    bool deliverable() const;
    Clock::time_point dueAt() const;
    std::shared_ptr<gpu::Image> freeBuffer() const;
    void render(gpu::Image& target, uint64_t version);
    void drawCursor(gpu::Image& upright) const;
    bool pointerOver() const;

    std::shared_ptr<Machine> machine_;
    std::thread thread_;
    // Guarded by the machine's lock:
    std::shared_ptr<OutputState> output_;
    FeedEvents events_;
    FeedBuffers config_;
    std::vector<std::shared_ptr<gpu::Image>> buffers_;
    std::deque<FeedFrame> ready_;
    bool stopping_ = false, closedRaised_ = false, cursor_ = true;
    Clock::duration minInterval_{};
    Clock::time_point lastFrame_{};
    uint64_t lastVersion_ = UINT64_MAX, seenMoves_ = 0, seenShapes_ = 0, seenEpoch_ = 0;
    bool wasOver_ = false;
    std::shared_ptr<gpu::Image> upright_, sdr_;
    SdrView sdrView_;
};

}  // namespace winsim
