// The consumer's side that every source shares: the ring's resources, the newest publication,
// waits for the next one, and the publication itself on the capture thread.
#include <chrono>

#include "impl.h"

namespace velda {

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t qpcNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

ID3D12Resource* SourceCore::slotResource(int32_t slot) const {
    if (slot < 0 || slot >= kRingSize) return nullptr;
    // Under the lock: a rebuild on the capture thread retires the ring's resources under it too.
    std::lock_guard lock(stateMutex);
    if (!ringComplete) return nullptr;
    ringHandedOut = true;
    return ringResources[static_cast<size_t>(slot)].Get();
}

int32_t SourceCore::latestSlot(uint32_t* generationOut) const {
    std::lock_guard lock(stateMutex);
    if (generationOut) *generationOut = generation;
    return latestIndex;
}

FrameInfo SourceCore::frameLocked() const {
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

bool SourceCore::latestFrameInfo(FrameInfo* info) const {
    std::lock_guard lock(stateMutex);
    const FrameInfo frame = frameLocked();
    if (info) *info = frame;
    return frame.slot >= 0;
}

bool SourceCore::waitFor(uint64_t afterSequence, uint32_t timeoutMs, FrameInfo* info) const {
    std::unique_lock lock(stateMutex);
    const auto fresh = [&] { return latestIndex >= 0 && framesProduced > afterSequence; };
    const uint64_t stopsBefore = stops;
    ++waiters;
    publicationChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return fresh() || stops != stopsBefore || closing; });
    const bool published = fresh() && !closing;
    if (published && info) *info = frameLocked();
    if (--waiters == 0 && closing) waitersGone.notify_all();
    return published;
}

void SourceCore::closeWaiters() {
    std::unique_lock lock(stateMutex);
    closing = true;
    publicationChanged.notify_all();
    waitersGone.wait(lock, [&] { return waiters == 0; });
}

SourceState SourceCore::stateNow(CaptureMethod method) const {
    std::lock_guard lock(stateMutex);
    return SourceState{live, framesProduced, reacquireCount, method};
}

void SourceCore::setCursorDrawn(bool drawn) {
    std::lock_guard lock(stateMutex);  // as the ring build latches it
    cursorSetting = drawn ? 1 : 0;
    drawCursor = drawn;
}

void SourceCore::setLive(bool value) {
    std::lock_guard lock(stateMutex);
    live = value;
}

bool SourceCore::ringReady() const {
    std::lock_guard lock(stateMutex);
    return ringComplete;
}

void SourceCore::publish(int slot, bool imageChanged, int64_t updated, bool masked) {
    const int64_t published = qpcNow();
    {
        std::lock_guard lock(stateMutex);
        latestIndex = slot;
        ++framesProduced;
        live = true;
        desktopChanged = imageChanged;
        protectedContentMasked = masked;
        updateQpc = updated;
        publishQpc = published;
    }
    publicationChanged.notify_all();
    lastPublishNs = nowNs();
    pointerPending = false;
    stagedFormat = DXGI_FORMAT_UNKNOWN;
}

bool SourceCore::resume() {
    if (!d3d12Device) return false;
    // Only a running source has nothing to do. After a failed start the objects made before the
    // failing step are still held, but nothing runs: start again rather than report success.
    if (worker.joinable()) return true;
    return start(d3d12Device);
}

void SourceCore::withdrawPublication() {
    std::lock_guard lock(stateMutex);
    latestIndex = -1;
    live = false;
}

void SourceCore::endWorker() {
    stopRequested.exchange(true);
    {
        std::lock_guard lock(stateMutex);
        ++stops;
    }
    publicationChanged.notify_all();  // waiters return at once
    if (worker.joinable()) worker.join();
}

}  // namespace velda
