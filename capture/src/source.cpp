// The source object: construction, lifecycle operations, accessors and publication reads.
#include <chrono>

#include "impl.h"

namespace velda {

DuplicationSource::DuplicationSource(int32_t outputIndex) : impl_(std::make_unique<Impl>(outputIndex)) {}

DuplicationSource::~DuplicationSource() {
    DuplicationSource::stop();
    impl_->closeWaiters();
}

bool DuplicationSource::start(ID3D12Device* device) { return impl_->start(device); }

void DuplicationSource::stop() { impl_->stop(); }

void DuplicationSource::setPaused(bool paused) { impl_->paused.exchange(paused); }

uint32_t DuplicationSource::width() const { return impl_->width; }

uint32_t DuplicationSource::height() const { return impl_->height; }

uint32_t DuplicationSource::mipLevels() const { return impl_->mipLevels; }

int32_t DuplicationSource::ringSize() const { return kRingSize; }

ID3D12Resource* DuplicationSource::texture(int32_t slot) const {
    if (slot < 0 || slot >= kRingSize) return nullptr;
    // Under the lock: a rebuild on the capture thread retires the ring's resources under it too.
    std::lock_guard lock(impl_->stateMutex);
    if (!impl_->ringComplete) return nullptr;
    impl_->ringHandedOut = true;
    return impl_->ringResources[static_cast<size_t>(slot)].Get();
}

int32_t DuplicationSource::latest(uint32_t* generation) const {
    std::lock_guard lock(impl_->stateMutex);
    if (generation) *generation = impl_->generation;
    return impl_->latestIndex;
}

FrameInfo DuplicationSource::Impl::frameLocked() const {
    FrameInfo info;
    info.slot = latestIndex;
    info.generation = generation;
    if (latestIndex < 0) return info;
    info.sequence = framesProduced;
    info.updateQpc = updateQpc;
    info.publishQpc = publishQpc;
    info.desktopChanged = desktopChanged;
    info.protectedContentMasked = protectedContentMasked;
    return info;
}

bool DuplicationSource::latestFrame(FrameInfo* info) const {
    std::lock_guard lock(impl_->stateMutex);
    const FrameInfo frame = impl_->frameLocked();
    if (info) *info = frame;
    return frame.slot >= 0;
}

bool DuplicationSource::waitForFrame(uint64_t afterSequence, uint32_t timeoutMs, FrameInfo* info) const {
    Impl& impl = *impl_;
    std::unique_lock lock(impl.stateMutex);
    const auto fresh = [&] { return impl.latestIndex >= 0 && impl.framesProduced > afterSequence; };
    const uint64_t stops = impl.stops;
    ++impl.waiters;
    impl.publicationChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return fresh() || impl.stops != stops || impl.closing; });
    const bool published = fresh() && !impl.closing;
    if (published && info) *info = impl.frameLocked();
    if (--impl.waiters == 0 && impl.closing) impl.waitersGone.notify_all();
    return published;
}

void DuplicationSource::Impl::closeWaiters() {
    std::unique_lock lock(stateMutex);
    closing = true;
    publicationChanged.notify_all();
    waitersGone.wait(lock, [&] { return waiters == 0; });
}

SourceState DuplicationSource::state() const {
    std::lock_guard lock(impl_->stateMutex);
    return SourceState{impl_->live, impl_->framesProduced, impl_->reacquireCount, CaptureMethod::DesktopDuplication};
}

void DuplicationSource::setMinFrameIntervalMs(double milliseconds) { impl_->minFrameIntervalMs = milliseconds; }

void DuplicationSource::setCursorDrawn(bool drawn) {
    std::lock_guard lock(impl_->stateMutex);  // as the ring build latches it
    impl_->cursorSetting = drawn ? 1 : 0;
    impl_->drawCursor = drawn;
}

void DuplicationSource::setRotationCorrected(bool corrected) { impl_->rotationCorrected = corrected; }

bool DuplicationSource::resume() {
    if (!impl_->d3d12Device) return false;
    // Only a running source has nothing to do. After a failed start the objects made before the
    // failing step are still held, but nothing runs: start again rather than report success.
    if (impl_->worker.joinable()) return true;
    return start(impl_->d3d12Device);
}

void DuplicationSource::Impl::stop() {
    stopRequested.exchange(true);
    {
        std::lock_guard lock(stateMutex);
        ++stops;
    }
    publicationChanged.notify_all();  // waiters return at once
    if (worker.joinable()) worker.join();

    dropDuplication();
    releaseRing(false);
    convertVs.Reset();
    convertPs.Reset();
    convertTurnedPs.Reset();
    convertConstants.Reset();
    cursorVs.Reset();
    cursorPs.Reset();
    cursorConstants.Reset();
    cursorBlend.Reset();
    sampler.Reset();
    cursorTexture.Reset();
    cursorSrv.Reset();
    fence.Reset();
    fenceEvent.reset();

    output.Reset();
    adapter.Reset();
    factory.Reset();
    context4.Reset();
    context.Reset();
    device5.Reset();
    device.Reset();

    {
        std::lock_guard lock(stateMutex);
        latestIndex = -1;
        live = false;
    }
    width = 0;
    height = 0;
    quarterTurns = 0;
    cursorTexWidth = 0;
    cursorTexHeight = 0;
}

}  // namespace velda
