// The GPU queue of a Direct3D 11 device: a worker thread that runs submitted batches of commands
// in order. A command owns whatever it uses (images, their allocations, fences), so all of it
// stays alive, and charged to the ledger, until the command has run or been dropped.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace winsim::gpu {

using Command = std::function<void()>;

class Queue {
public:
    Queue();
    // Stops the worker without waiting for a stalled queue or a pending latency; work not yet run
    // is dropped, which frees everything it held.
    ~Queue();
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;

    void submit(std::vector<Command> batch);
    // True once everything submitted so far has run; false after `timeout`.
    bool waitIdle(std::chrono::milliseconds timeout);

    // Per-queue overrides of the global knobs; nullopt follows the global value.
    void setLatencyMs(std::optional<uint32_t> latency);
    void setStalled(std::optional<bool> stalled);
    // Re-reads the knobs (a global knob changed).
    void wake();

private:
    struct Batch {
        std::vector<Command> commands;
        std::chrono::steady_clock::time_point submitted;
    };
    void run();
    void lingerForWork(std::unique_lock<std::mutex>& lock);
    bool stalledLocked() const;
    std::chrono::milliseconds latencyLocked() const;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> pending_;
    std::atomic<uint64_t> submissions_{0};
    bool busy_ = false;
    bool shutdown_ = false;
    std::optional<uint32_t> latencyMs_;
    std::optional<bool> stalled_;
    std::thread worker_;
};

// The global knobs, which every queue follows unless it overrides them.
void setGlobalLatencyMs(uint32_t latency);
void setGlobalStalled(bool stalled);
// No latency and no stall, globally and on every live queue.
void resetKnobs();

}  // namespace winsim::gpu
