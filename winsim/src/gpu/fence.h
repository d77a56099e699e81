// A fence's value as the GPU queue advances it, and whoever waits for a value to be reached.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace winsim::gpu {

class FenceState {
public:
    explicit FenceState(uint64_t initial) : completed_(initial) {}
    uint64_t completed() const;
    // Run on the queue when it reaches a Signal: the fence takes `value` and tells every waiter
    // whose value it has now reached.
    void reach(uint64_t value);
    // Calls `reached` once the fence has reached `value`: at once (on the caller's thread) if it
    // has already, else on the queue's thread, outside the fence's lock.
    void notifyAt(uint64_t value, std::function<void()> reached);

private:
    mutable std::mutex mutex_;
    uint64_t completed_;
    std::vector<std::pair<uint64_t, std::function<void()>>> waiters_;
};

}  // namespace winsim::gpu
