// A fence's value as the GPU queue advances it, and the kernel events waiting for values.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "kernel/handles.h"

namespace winsim::gpu {

class FenceState {
public:
    explicit FenceState(uint64_t initial) : completed_(initial) {}
    uint64_t completed() const;
    // Run on the queue when it reaches a Signal: the fence takes `value` and sets every event
    // that waits for a value it has now reached.
    void reach(uint64_t value);
    // Sets `event` once the fence has reached `value` (at once if it has already).
    void notifyAt(uint64_t value, std::shared_ptr<kernel::Event> event);

private:
    mutable std::mutex mutex_;
    uint64_t completed_;
    std::vector<std::pair<uint64_t, std::shared_ptr<kernel::Event>>> waiters_;
};

}  // namespace winsim::gpu
