#include "machine/compositor.h"

#include <algorithm>

namespace winsim {
namespace {

bool inside(const RECT& r, const POINT& p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

std::unique_ptr<Compositor> Compositor::open(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
                                             const AdapterState& deviceAdapter, DXGI_FORMAT format, Clock::time_point now) {
    const OutputConfig& config = output->current;
    auto surface = gpu::Allocation::make(deviceAdapter.ledger, gpu::textureBytes(format, config.width, config.height, 1));
    if (!surface) return nullptr;
    if (const uint64_t leak = machine->config().leakPerDuplicationBytes) gpu::Allocation::leak(*deviceAdapter.ledger, leak);
    machine->noteDuplication(now);
    return std::unique_ptr<Compositor>(new Compositor(std::move(machine), std::move(output), std::move(surface), format));
}

Compositor::Compositor(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output,
                       std::shared_ptr<gpu::Allocation> surface, DXGI_FORMAT format)
    : machine_(std::move(machine)),
      output_(std::move(output)),
      epoch_(output_->epoch),
      config_(output_->current),
      format_(format),
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

FrameUpdate Compositor::pending(Clock::time_point now) const {
    const CursorState& cursor = machine_->cursor;
    FrameUpdate update;
    update.version = output_->desktop.version(now);
    update.over = cursor.visible && inside(config_.desktopRect(), cursor.position);
    update.desktop = !delivered_ || update.version != lastVersion_;
    update.shape = !delivered_ || cursor.shapes != seenShapes_;
    update.pointer = update.shape || update.over != wasOver_ || (update.over && cursor.moves != seenMoves_);
    return update;
}

NextFrame Compositor::take(FrameUpdate update, Clock::time_point now) {
    const CursorState& cursor = machine_->cursor;
    const RECT rect = config_.desktopRect();
    auto image = images_.image(content(update.version), [&](gpu::Image& target) { draw(target, update.version); });
    update.time = now;
    update.accumulatedFrames = delivered_ ? update.version - lastVersion_ : 1;
    update.pointerPosition = POINT{cursor.position.x - rect.left, cursor.position.y - rect.top};
    if (update.shape) shape_ = cursor.shape;
    delivered_ = true;
    lastVersion_ = update.version;
    seenMoves_ = cursor.moves;
    seenShapes_ = cursor.shapes;
    wasOver_ = update.over;
    return {FrameWait::Updated, update, std::move(image)};
}

Clock::time_point Compositor::drawAhead(Clock::time_point now) {
    // A present before the version is due makes this drawing stale: the image is drawn again then.
    const auto next = output_->desktop.nextUpdate(now);
    if (next != Clock::time_point::max()) {
        const uint64_t version = output_->desktop.version(next);
        images_.prepare(content(version), [&](gpu::Image& target) { draw(target, version); });
    }
    return next;
}

FrameContent Compositor::content(uint64_t version) const {
    return {version, output_->desktop.revision(), output_->whiteLevel()};
}

void Compositor::draw(gpu::Image& target, uint64_t version) const {
    output_->desktop.render(target, version, output_->whiteLevel(), output_->current.format, config_.rotation);
}

}  // namespace winsim
