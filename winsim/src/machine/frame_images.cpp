#include "machine/frame_images.h"

namespace winsim {

std::shared_ptr<gpu::Image> FrameImages::image(const FrameContent& content, const std::function<void(gpu::Image&)>& render) {
    // Readers may share an image: the last one is handed out again while it holds this content.
    if (content == lastContent_)
        if (auto still = last_.lock()) return still;
    std::shared_ptr<Slot> slot = freeSlot(content);
    if (!slot) {
        slot = newSlot();
        if (pool_.size() < kPoolSize) pool_.push_back(slot);
    }
    if (!(slot->content == content)) {
        render(*slot->image);
        slot->content = content;
    }
    auto image = handOut(slot);
    last_ = image;
    lastContent_ = content;
    return image;
}

void FrameImages::prepare(const FrameContent& content, const std::function<void(gpu::Image&)>& render) {
    std::shared_ptr<Slot> target;
    for (const auto& slot : pool_) {
        if (slot->content == content) return;  // ready already
        if (!target && !slot->held.load(std::memory_order_acquire) && !(slot->content == lastContent_)) target = slot;
    }
    if (!target) {
        if (pool_.size() >= kPoolSize) return;
        pool_.push_back(target = newSlot());
    }
    render(*target->image);
    target->content = content;
}

std::shared_ptr<FrameImages::Slot> FrameImages::freeSlot(const FrameContent& content) {
    std::shared_ptr<Slot> found;
    for (const auto& slot : pool_) {
        if (slot->held.load(std::memory_order_acquire)) continue;
        if (slot->content == content) return slot;
        if (!found) found = slot;
    }
    return found;
}

std::shared_ptr<FrameImages::Slot> FrameImages::newSlot() const {
    auto slot = std::make_shared<Slot>();
    // Shares the surface; every slot is rendered whole before anyone sees it.
    slot->image = gpu::makeImage({gpuFormat(format_), width_, height_, 1}, surface_, gpu::Contents::Undefined);
    return slot;
}

std::shared_ptr<gpu::Image> FrameImages::handOut(const std::shared_ptr<Slot>& slot) {
    slot->held.store(true, std::memory_order_relaxed);
    // The pointer aliases the slot's image and keeps the slot (and so the surface) alive.
    return std::shared_ptr<gpu::Image>(slot->image.get(), [slot](gpu::Image*) { slot->held.store(false, std::memory_order_release); });
}

}  // namespace winsim
