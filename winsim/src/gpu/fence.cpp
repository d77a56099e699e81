#include "gpu/fence.h"

namespace winsim::gpu {

uint64_t FenceState::completed() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void FenceState::reach(uint64_t value) {
    std::vector<std::shared_ptr<kernel::Event>> ready;
    {
        std::lock_guard lock(mutex_);
        completed_ = value;
        std::erase_if(waiters_, [&](auto& waiter) {
            if (waiter.first > value) return false;
            ready.push_back(std::move(waiter.second));
            return true;
        });
    }
    for (auto& event : ready) event->set();
}

void FenceState::notifyAt(uint64_t value, std::shared_ptr<kernel::Event> event) {
    {
        std::lock_guard lock(mutex_);
        if (completed_ < value) {
            waiters_.emplace_back(value, std::move(event));
            return;
        }
    }
    event->set();
}

}  // namespace winsim::gpu
