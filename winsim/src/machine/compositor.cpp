#include "machine/compositor.h"

#include <algorithm>
#include <utility>

namespace winsim {
namespace {

bool empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

std::unique_ptr<Compositor> Compositor::open(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
                                             const AdapterState& deviceAdapter, DXGI_FORMAT format, bool flickers,
                                             Clock::time_point now) {
    const OutputConfig& config = output->current;
    auto surface = gpu::Allocation::make(deviceAdapter.ledger, gpu::textureBytes(format, config.width, config.height, 1));
    if (!surface) return nullptr;
    if (const uint64_t leak = machine->config().leakPerDuplicationBytes) gpu::Allocation::leak(*deviceAdapter.ledger, leak);
    machine->noteDuplication(now);
    return std::unique_ptr<Compositor>(
        new Compositor(std::move(machine), std::move(output), std::move(surface), format, flickers));
}

Compositor::Compositor(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
                       std::shared_ptr<gpu::Allocation> surface, DXGI_FORMAT format, bool flickers)
    : machine_(std::move(machine)),
      output_(std::move(output)),
      epoch_(output_->epoch),
      config_(output_->current),
      format_(format),
      flickers_(flickers),
      images_(std::move(surface), format, config_.width, config_.height) {
    ++output_->duplications;
    ++machine_->activeDuplications;
}

Compositor::~Compositor() {
    auto lock = machine_->lock();
    --output_->duplications;
    --machine_->activeDuplications;
    machine_->notify();
}

NextFrame Compositor::waitForUpdate(std::unique_lock<std::mutex>& lock, Clock::time_point deadline) {
    for (;;) {
        const auto now = Clock::now();
        machine_->advance(now);
        if (accessLost()) return {FrameWait::AccessLost, {}, nullptr};
        if (FrameUpdate update = pending(now); update.any()) return take(update, now);
        if (now >= deadline) return {FrameWait::Timeout, {}, nullptr};
        const auto next = drawAhead(now);
        machine_->waitUntil(lock, std::min({deadline, next, machine_->nextEvent(now)}));
    }
}

bool Compositor::jammed() {
    if (!acquired_) {
        acquired_ = true;
        jammed_ = std::exchange(output_->field.invalidCallOwed, false);
    }
    return jammed_;
}

// A software cursor (no hardware cursor: virtual displays, some window drags) is part of the
// image, so each of its moves changes the image; a change of the masked area does too.
FrameUpdate Compositor::pending(Clock::time_point now) const {
    const CursorState& cursor = machine_->cursor;
    FrameUpdate update;
    if (output_->field.asleep) return update;  // a sleeping monitor delivers nothing
    update.version = output_->desktop.version(now);
    update.over = pointerOver();
    update.masked = !empty(output_->field.protectedArea);
    update.pointerDrawn = config_.softwareCursor;
    update.shape = !delivered_ || cursor.shapes != seenShapes_;
    update.pointer = update.shape || update.over != wasOver_ || (update.over && cursor.moves != seenMoves_);
    const bool redrawn = update.pointerDrawn && update.pointer && (update.over || wasOver_);
    const bool remasked = !same(output_->field.protectedArea, lastMask_);
    update.desktop = !delivered_ || update.version != lastVersion_ || remasked || redrawn;
    return update;
}

NextFrame Compositor::take(FrameUpdate update, Clock::time_point now) {
    const CursorState& cursor = machine_->cursor;
    const RECT rect = config_.desktopRect();
    if (update.desktop) ++imageFrames_;
    const FrameContent wanted = content(update.version, frameFormat(update.desktop ? imageFrames_ : 0));
    auto image = images_.image(wanted, [&](gpu::Image& target) { draw(target, wanted); });
    update.time = now;
    update.accumulatedFrames = delivered_ ? std::max<uint64_t>(update.version - lastVersion_, 1) : 1;
    update.pointerPosition = POINT{cursor.position.x - rect.left, cursor.position.y - rect.top};
    if (update.shape) shape_ = cursor.shape;
    delivered_ = true;
    lastVersion_ = update.version;
    seenMoves_ = cursor.moves;
    seenShapes_ = cursor.shapes;
    wasOver_ = update.over;
    lastMask_ = output_->field.protectedArea;
    return {FrameWait::Updated, update, std::move(image), wanted.format};
}

Clock::time_point Compositor::drawAhead(Clock::time_point now) {
    // A present before the version is due makes this drawing stale: the image is drawn again then.
    const auto next = output_->desktop.nextUpdate(now);
    if (next != Clock::time_point::max() && !output_->field.asleep) {
        const FrameContent ahead = content(output_->desktop.version(next), frameFormat(imageFrames_ + 1));
        images_.prepare(ahead, [&](gpu::Image& target) { draw(target, ahead); });
    }
    return next;
}

}  // namespace winsim
