#include "gpu/queue.h"

#include <atomic>
#include <set>

namespace winsim::gpu {
namespace {
struct Knobs {
    std::atomic<uint32_t> latencyMs{0};
    std::atomic<bool> stalled{false};
    std::mutex mutex;  // guards the set of live queues
    std::set<Queue*> queues;
};
Knobs& knobs() {
    static Knobs* instance = new Knobs;  // queues may outlive static destruction
    return *instance;
}
void wakeAll() {
    std::lock_guard lock(knobs().mutex);
    for (Queue* queue : knobs().queues) queue->wake();
}
}  // namespace

void setGlobalLatencyMs(uint32_t latency) {
    knobs().latencyMs = latency;
    wakeAll();
}

void setGlobalStalled(bool stalled) {
    knobs().stalled = stalled;
    wakeAll();
}

void resetKnobs() {
    knobs().latencyMs = 0;
    knobs().stalled = false;
    std::lock_guard lock(knobs().mutex);
    for (Queue* queue : knobs().queues) {
        queue->setLatencyMs(std::nullopt);
        queue->setStalled(std::nullopt);
    }
}

Queue::Queue() {
    worker_ = std::thread([this] { run(); });
    std::lock_guard lock(knobs().mutex);
    knobs().queues.insert(this);
}

Queue::~Queue() {
    {
        std::lock_guard lock(knobs().mutex);
        knobs().queues.erase(this);
    }
    {
        std::lock_guard lock(mutex_);
        shutdown_ = true;
    }
    changed_.notify_all();
    worker_.join();
    // pending_ goes with the object: the dropped commands free what they held.
}

void Queue::submit(std::vector<Command> batch) {
    if (batch.empty()) return;
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(Batch{std::move(batch), std::chrono::steady_clock::now()});
    }
    submissions_.fetch_add(1, std::memory_order_release);
    changed_.notify_all();
}

bool Queue::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return pending_.empty() && !busy_; });
}

void Queue::setLatencyMs(std::optional<uint32_t> latency) {
    {
        std::lock_guard lock(mutex_);
        latencyMs_ = latency;
    }
    changed_.notify_all();
}

void Queue::setStalled(std::optional<bool> stalled) {
    {
        std::lock_guard lock(mutex_);
        stalled_ = stalled;
    }
    changed_.notify_all();
}

void Queue::wake() {
    { std::lock_guard lock(mutex_); }  // orders the knob's store before the worker's next check
    changed_.notify_all();
}

bool Queue::stalledLocked() const { return stalled_.value_or(knobs().stalled.load()); }

std::chrono::milliseconds Queue::latencyLocked() const {
    return std::chrono::milliseconds(latencyMs_.value_or(knobs().latencyMs.load()));
}

// A queue that has just run out of work looks for more for a moment before it sleeps: the next
// submission usually follows the wait for the last one within microseconds, and a sleeping
// worker takes much longer than that to wake. It yields meanwhile, so that a submitter on the
// same core gets to run.
void Queue::lingerForWork(std::unique_lock<std::mutex>& lock) {
    if (!pending_.empty() || shutdown_) return;
    const uint64_t seen = submissions_.load(std::memory_order_relaxed);
    lock.unlock();
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(100);
    while (submissions_.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    lock.lock();
}

void Queue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        lingerForWork(lock);
        changed_.wait(lock, [this] { return shutdown_ || (!pending_.empty() && !stalledLocked()); });
        if (shutdown_) return;
        const auto due = pending_.front().submitted + latencyLocked();
        if (std::chrono::steady_clock::now() < due) {
            // Only shutdown cuts the latency short; a stall set meanwhile is seen when it is over.
            changed_.wait_until(lock, due, [this] { return shutdown_; });
            continue;
        }
        Batch batch = std::move(pending_.front());
        pending_.pop_front();
        busy_ = true;
        lock.unlock();
        for (Command& command : batch.commands) command();
        batch.commands.clear();  // frees what the work held before it counts as done
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace winsim::gpu
