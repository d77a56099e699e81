// A frame pool's feed: its buffers, its thread and when it queues a frame.
#include <algorithm>

#include "formats/dxgi_format.h"
#include "machine/capture_feed.h"

namespace winsim {
namespace {

// How often the thread looks for a buffer handed back, which no machine change signals.
constexpr auto kBufferPoll = std::chrono::milliseconds(2);

}  // namespace

std::shared_ptr<CaptureFeed> CaptureFeed::open(std::shared_ptr<Machine> machine, FeedBuffers buffers) {
    std::shared_ptr<CaptureFeed> feed(new CaptureFeed(std::move(machine)));
    if (!allocate(buffers, feed->buffers_)) return nullptr;
    feed->config_ = std::move(buffers);
    return feed;
}

bool CaptureFeed::allocate(FeedBuffers& buffers, std::vector<std::shared_ptr<gpu::Image>>& images) {
    std::vector<std::shared_ptr<gpu::Image>> made;
    const gpu::TextureDesc desc{gpuFormat(buffers.format), buffers.width, buffers.height, 1};
    for (int i = 0; i < buffers.count; ++i) {
        auto image = gpu::allocateImage(buffers.ledger, desc);
        if (!image) return false;
        made.push_back(std::move(image));
    }
    images = std::move(made);
    return true;
}

CaptureFeed::~CaptureFeed() {
    if (thread_.joinable()) thread_.detach();  // only the thread itself lets the last reference go
}

void CaptureFeed::start(std::shared_ptr<OutputState> output, FeedEvents events) {
    auto lock = machine_->lock();
    if (output_) return;
    output_ = std::move(output);
    events_ = std::move(events);
    machine_->noteDuplication(Clock::now());
    thread_ = std::thread([this, self = shared_from_this()]() mutable { run(std::move(self)); });
}

void CaptureFeed::stop() {
    std::deque<FeedFrame> dropped;
    {
        auto lock = machine_->lock();
        stopping_ = true;
        dropped.swap(ready_);
        machine_->notify();
    }
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
    else thread_.join();
}

bool CaptureFeed::rebuffer(FeedBuffers buffers) {
    std::vector<std::shared_ptr<gpu::Image>> images;
    if (!allocate(buffers, images)) return false;
    std::deque<FeedFrame> dropped;
    {
        auto lock = machine_->lock();
        buffers_.swap(images);
        std::swap(config_, buffers);
        dropped.swap(ready_);
        lastVersion_ = UINT64_MAX;  // the next frame shows the desktop in the new buffers
        machine_->notify();
    }
    return true;  // the old buffers and their device go here, outside the lock
}

void CaptureFeed::setCursor(bool drawn) {
    auto lock = machine_->lock();
    if (cursor_ != drawn) lastVersion_ = UINT64_MAX;  // the image changes
    cursor_ = drawn;
    machine_->notify();
}

void CaptureFeed::setMinInterval(Clock::duration interval) {
    auto lock = machine_->lock();
    minInterval_ = std::max(Clock::duration::zero(), interval);
}

std::optional<FeedFrame> CaptureFeed::take() {
    auto lock = machine_->lock();
    if (ready_.empty()) return std::nullopt;
    FeedFrame frame = std::move(ready_.front());
    ready_.pop_front();
    return frame;
}

void CaptureFeed::run(std::shared_ptr<CaptureFeed> self) {
    auto lock = machine_->lock();
    while (!stopping_) {
        const auto now = Clock::now();
        machine_->advance(now);
        if (step(lock, now)) continue;
        auto wake = std::min(machine_->nextEvent(now), now + kBufferPoll);
        if (const auto due = dueAt(); due > now) wake = std::min(wake, due);
        machine_->waitUntil(lock, wake);
    }
    lock.unlock();
    self.reset();  // may be the last reference
}

bool CaptureFeed::step(std::unique_lock<std::mutex>& lock, Clock::time_point now) {
    if (!output_->current.attached) {
        if (closedRaised_) return false;
        closedRaised_ = true;
        return raise(lock, events_.closed);
    }
    if (dueAt() > now || !deliverable() || !changed(now)) return false;
    auto buffer = freeBuffer();
    if (!buffer) return false;
    queue(std::move(buffer), now);
    return raise(lock, events_.arrived);
}

void CaptureFeed::queue(std::shared_ptr<gpu::Image> buffer, Clock::time_point now) {
    const uint64_t version = output_->desktop.version(now);
    render(*buffer, version);
    const RECT rect = output_->current.desktopRect();
    ready_.push_back({std::move(buffer), now, static_cast<UINT>(rect.right - rect.left),
                      static_cast<UINT>(rect.bottom - rect.top)});
    lastFrame_ = now;
    lastVersion_ = version;
    seenEpoch_ = output_->epoch;
    seenMoves_ = machine_->cursor.moves;
    seenShapes_ = machine_->cursor.shapes;
    wasOver_ = pointerOver();
}

bool CaptureFeed::raise(std::unique_lock<std::mutex>& lock, std::function<void()> event) {
    lock.unlock();
    if (event) event();
    lock.lock();
    return true;
}

std::shared_ptr<gpu::Image> CaptureFeed::freeBuffer() const {
    for (const auto& buffer : buffers_)
        if (buffer.use_count() == 1) return buffer;  // neither queued nor held by a frame
    return nullptr;
}

}  // namespace winsim
