#include "gpu/fence.h"

namespace winsim::gpu {

uint64_t FenceState::completed() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void FenceState::reach(uint64_t value) {
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(mutex_);
        completed_ = value;
        std::erase_if(waiters_, [&](auto& waiter) {
            if (waiter.first > value) return false;
            ready.push_back(std::move(waiter.second));
            return true;
        });
    }
    for (auto& reached : ready) reached();
}

void FenceState::notifyAt(uint64_t value, std::function<void()> reached) {
    {
        std::lock_guard lock(mutex_);
        if (completed_ < value) {
            waiters_.emplace_back(value, std::move(reached));
            return;
        }
    }
    reached();
}

}  // namespace winsim::gpu
