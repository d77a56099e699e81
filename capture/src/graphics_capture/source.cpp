// The Windows.Graphics.Capture source object: lifecycle and the consumer's side, which the shared
// core answers; start-up on the caller's thread, the capture itself on the capture thread.
#include <cstdio>

#include "capture_impl.h"
#include "velda/monitors.h"

namespace velda {

std::unique_ptr<FrameSource> makeGraphicsCaptureSource(HMONITOR monitor) {
    return std::make_unique<GraphicsCaptureSource>(monitor);
}

GraphicsCaptureSource::GraphicsCaptureSource(HMONITOR monitor) : impl_(std::make_unique<Impl>(monitor)) {}

GraphicsCaptureSource::~GraphicsCaptureSource() {
    GraphicsCaptureSource::stop();
    impl_->closeWaiters();
}

bool GraphicsCaptureSource::start(ID3D12Device* device) { return impl_->start(device); }
void GraphicsCaptureSource::stop() { impl_->stop(); }
void GraphicsCaptureSource::setPaused(bool paused) { impl_->paused.exchange(paused); }
uint32_t GraphicsCaptureSource::width() const { return impl_->width; }
uint32_t GraphicsCaptureSource::height() const { return impl_->height; }
uint32_t GraphicsCaptureSource::mipLevels() const { return impl_->mipLevels; }
int32_t GraphicsCaptureSource::ringSize() const { return kRingSize; }
ID3D12Resource* GraphicsCaptureSource::texture(int32_t slot) const { return impl_->slotResource(slot); }
int32_t GraphicsCaptureSource::latest(uint32_t* generation) const { return impl_->latestSlot(generation); }
bool GraphicsCaptureSource::latestFrame(FrameInfo* info) const { return impl_->latestFrameInfo(info); }

bool GraphicsCaptureSource::waitForFrame(uint64_t afterSequence, uint32_t timeoutMs, FrameInfo* info) const {
    return impl_->waitFor(afterSequence, timeoutMs, info);
}

SourceState GraphicsCaptureSource::state() const { return impl_->stateNow(CaptureMethod::GraphicsCapture); }
void GraphicsCaptureSource::setMinFrameIntervalMs(double milliseconds) { impl_->minFrameIntervalMs = milliseconds; }
void GraphicsCaptureSource::setCursorDrawn(bool drawn) { impl_->setCursorDrawn(drawn); }

bool GraphicsCaptureSource::resume() { return impl_->resume(); }

bool GraphicsCaptureSource::Impl::findMonitor() {
    for (const MonitorInfo& known : monitors()) {
        if (known.handle != monitor && known.deviceName != deviceName) continue;
        monitor = known.handle;
        deviceName = known.deviceName;
        monitorHdr = known.hdr;
        return true;
    }
    return false;
}

// The private device is multithread-protected: the frame pool's thread uses it too. The capture
// thread makes the Windows Runtime objects in its own apartment and tells how its first capture
// went; the caller's thread keeps the apartment it was in.
bool GraphicsCaptureSource::Impl::start(ID3D12Device* caller) {
    if (worker.joinable()) return false;
    consumerLost = false;
    deviceLost = false;
    d3d12Device = caller;
    if (!findMonitor()) {
        std::fputs("capture: monitor to capture not found (unplugged?)\n", stderr);
        return false;
    }
    if (const AdapterLookup found = openAdapter(caller, true); found != AdapterLookup::Found) {
        if (found == AdapterLookup::NotFound) startupFailure("capture: render adapter not found by LUID\n");
        return false;
    }
    if (!createDevice(true) || !createPipeline(false)) return false;
    LARGE_INTEGER frequency{};
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) qpcFrequency = frequency.QuadPart;
    started = std::promise<bool>();
    std::future<bool> first = started.get_future();
    stopRequested.exchange(false);
    worker = std::thread([this] { run(); });
    if (!first.get()) {
        worker.join();
        return false;
    }
    std::printf("capture: monitor \"%ls\" %ux%u, %u mips, %d-buffer ring (graphics capture)\n", deviceName.c_str(),
                width.load(), height.load(), mipLevels.load(), kRingSize);
    return true;
}

void GraphicsCaptureSource::Impl::stop() {
    endWorker();  // the thread closes the capture and leaves its apartment
    releaseDeviceObjects();
}

bool GraphicsCaptureSource::Impl::failed(const char* what, HRESULT hr) {
    if (!failureReported) std::fprintf(stderr, "capture: monitor \"%ls\" %s failed (0x%08lx)\n", deviceName.c_str(), what, hex(hr));
    failureReported = true;
    return false;
}

// The pool delivers FP16 only for an HDR monitor, which is tone-mapped by its SDR white level.
void GraphicsCaptureSource::Impl::noticeConversion(DXGI_FORMAT format) {
    if (format != DXGI_FORMAT_R16G16B16A16_FLOAT) return;
    isHdr = monitorHdr;
    sdrWhiteScale = isHdr ? querySdrWhiteScale(monitor) : 1.0f;
    std::printf("capture: monitor \"%ls\" HDR (scRGB FP16) — tone-mapping to sRGB, SDR white %.0f nits\n",
                deviceName.c_str(), static_cast<double>(sdrWhiteScale * 80.0f));
}

}  // namespace velda
