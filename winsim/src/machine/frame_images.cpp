#include "machine/frame_images.h"

#include <algorithm>

namespace winsim {

std::shared_ptr<gpu::Image> FrameImages::image(const FrameContent& wanted, const std::function<void(gpu::Image&)>& render) {
    const FrameContent content = filled(wanted);
    // Readers may share an image: the last one is handed out again while it holds this content.
    if (content == lastContent_)
        if (auto still = last_.lock()) return still;
    std::shared_ptr<Slot> slot = freeSlot(content);
    if (!slot) slot = addSlot(content.format);
    if (!(slot->content == content)) {
        render(*slot->image);
        slot->content = content;
    }
    auto image = handOut(slot);
    last_ = image;
    lastContent_ = content;
    return image;
}

void FrameImages::prepare(const FrameContent& wanted, const std::function<void(gpu::Image&)>& render) {
    const FrameContent content = filled(wanted);
    std::shared_ptr<Slot> target;
    for (const auto& slot : pool_) {
        if (slot->content == content) return;  // ready already
        if (!target && slot->format == content.format && !slot->held.load(std::memory_order_acquire) &&
            !(slot->content == lastContent_))
            target = slot;
    }
    if (!target) {
        if (slotsOf(content.format) >= kPoolSize) return;
        target = addSlot(content.format);
    }
    render(*target->image);
    target->content = content;
}

FrameContent FrameImages::filled(const FrameContent& content) const {
    FrameContent full = content;
    if (full.format == DXGI_FORMAT_UNKNOWN) full.format = format_;
    return full;
}

std::shared_ptr<FrameImages::Slot> FrameImages::freeSlot(const FrameContent& content) {
    std::shared_ptr<Slot> found;
    for (const auto& slot : pool_) {
        if (slot->format != content.format || slot->held.load(std::memory_order_acquire)) continue;
        if (slot->content == content) return slot;
        if (!found) found = slot;
    }
    return found;
}

std::shared_ptr<FrameImages::Slot> FrameImages::newSlot(DXGI_FORMAT format) const {
    auto slot = std::make_shared<Slot>();
    // Shares the surface; every slot is rendered whole before anyone sees it.
    slot->image = gpu::makeImage({gpuFormat(format), width_, height_, 1}, surface_, gpu::Contents::Undefined);
    slot->format = format;
    return slot;
}

std::shared_ptr<FrameImages::Slot> FrameImages::addSlot(DXGI_FORMAT format) {
    auto slot = newSlot(format);
    if (slotsOf(format) < kPoolSize) pool_.push_back(slot);
    return slot;
}

size_t FrameImages::slotsOf(DXGI_FORMAT format) const {
    return static_cast<size_t>(
        std::count_if(pool_.begin(), pool_.end(), [&](const auto& slot) { return slot->format == format; }));
}

std::shared_ptr<gpu::Image> FrameImages::handOut(const std::shared_ptr<Slot>& slot) {
    slot->held.store(true, std::memory_order_relaxed);
    // The pointer aliases the slot's image and keeps the slot (and so the surface) alive.
    return std::shared_ptr<gpu::Image>(slot->image.get(), [slot](gpu::Image*) { slot->held.store(false, std::memory_order_release); });
}

}  // namespace winsim
