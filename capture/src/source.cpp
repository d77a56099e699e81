// The source object: construction, lifecycle operations, accessors and publication reads.
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

ID3D12Resource* DuplicationSource::texture(int32_t slot) const { return impl_->slotResource(slot); }

int32_t DuplicationSource::latest(uint32_t* generation) const { return impl_->latestSlot(generation); }


bool DuplicationSource::latestFrame(FrameInfo* info) const { return impl_->latestFrameInfo(info); }

bool DuplicationSource::waitForFrame(uint64_t afterSequence, uint32_t timeoutMs, FrameInfo* info) const {
    return impl_->waitFor(afterSequence, timeoutMs, info);
}

SourceState DuplicationSource::state() const { return impl_->stateNow(CaptureMethod::DesktopDuplication); }

void DuplicationSource::setMinFrameIntervalMs(double milliseconds) { impl_->minFrameIntervalMs = milliseconds; }

void DuplicationSource::setCursorDrawn(bool drawn) { impl_->setCursorDrawn(drawn); }

void DuplicationSource::setRotationCorrected(bool corrected) { impl_->rotationCorrected = corrected; }

bool DuplicationSource::resume() { return impl_->resume(); }

void DuplicationSource::Impl::stop() {
    endWorker();
    dropDuplication();
    output.Reset();
    releaseDeviceObjects();
}

}  // namespace velda
