// The capture thread of a Windows.Graphics.Capture source: woken by the pool's FrameArrived, it
// takes the newest frame, copies it into the next ring slot (FP16 through the conversion pass),
// makes mips, waits for the GPU and publishes. A paused source closes its capture; a monitor
// that went away is waited for; a removed device is replaced.
#include <cstdio>

#include "capture_impl.h"

namespace velda {
namespace {

namespace Direct3D11 = ABI::Windows::Graphics::DirectX::Direct3D11;

HRESULT textureOf(wgc::IDirect3D11CaptureFrame* frame, ComPtr<ID3D11Texture2D>& texture) {
    ComPtr<Direct3D11::IDirect3DSurface> surface;
    ComPtr<::Windows::Graphics::DirectX::Direct3D11::IDirect3DDxgiInterfaceAccess> access;
    HRESULT hr = frame->get_Surface(surface.GetAddressOf());
    if (SUCCEEDED(hr)) hr = surface.As(&access);
    if (SUCCEEDED(hr)) hr = access->GetInterface(IID_PPV_ARGS(texture.GetAddressOf()));
    return hr;
}

// A TimeSpan of SystemRelativeTime (100 ns units of the performance counter's time) in ticks.
int64_t qpcTicks(int64_t hundredNs, int64_t frequency) {
    constexpr int64_t kPerSecond = 10000000;
    return hundredNs / kPerSecond * frequency + hundredNs % kPerSecond * frequency / kPerSecond;
}

}  // namespace

void GraphicsCaptureSource::Impl::run() {
    if (const HRESULT hr = RoInitialize(RO_INIT_MULTITHREADED); FAILED(hr)) {
        std::fprintf(stderr, "capture: RoInitialize failed (0x%08lx)\n", hex(hr));
        started.set_value(false);
        return;
    }
    const bool opened = activate() && openCapture(true);
    started.set_value(opened);
    int slot = 0;
    while (opened && !stopRequested) {
        if (paused || consumerLost) {
            if (pool) {
                closeCapture(false);
                setLive(false);
            }
            Sleep(100);
            continue;
        }
        if (!recoverLostDevices() || !waitForMonitor() || (!session && !reopenCapture())) {
            setLive(false);
            Sleep(250);
            continue;
        }
        applyControls();
        if (!followColourSpace()) continue;
        WaitForSingleObject(signal->event.get(), waitTimeoutMs());
        ComPtr<wgc::IDirect3D11CaptureFrame> frame = newestFrame();
        if (!frame) continue;
        if (capLeftMs() >= 0) {
            heldFrame = frame;  // frames that come sooner replace it; published when the cap allows
            continue;
        }
        if (takeFrame(slot, frame.Get())) slot = (slot + 1) % kRingSize;
    }
    closeCapture(true);
    winrtDevice.Reset();
    itemInterop.Reset();
    poolStatics.Reset();
    signal.reset();
    RoUninitialize();
}

// The capture taken again after a pause, a replug or a new device.
bool GraphicsCaptureSource::Impl::reopenCapture() {
    if (!openCapture(newRing)) return false;
    newRing = false;
    std::lock_guard lock(stateMutex);
    ++reacquireCount;
    return true;
}

ComPtr<wgc::IDirect3D11CaptureFrame> GraphicsCaptureSource::Impl::newestFrame() {
    ComPtr<wgc::IDirect3D11CaptureFrame> newest;
    newest.Swap(heldFrame);
    for (;;) {
        ComPtr<wgc::IDirect3D11CaptureFrame> next;
        if (!pool || FAILED(pool->TryGetNextFrame(next.GetAddressOf())) || !next) return newest;
        closeObject(newest.Get());  // its buffer goes back to the pool at once
        newest = next;
    }
}

int32_t GraphicsCaptureSource::Impl::capLeftMs() const {
    return frameCapSleepMs(minFrameIntervalMs.load(), nowNs() - lastPublishNs);
}

// Up to 100 ms, and no longer than a held frame may wait for the cap.
UINT GraphicsCaptureSource::Impl::waitTimeoutMs() const {
    if (!heldFrame) return 100;
    const int32_t left = capLeftMs();
    return left < 0 ? 0 : left >= 100 ? 100 : static_cast<UINT>(left) + 1;
}

bool GraphicsCaptureSource::Impl::takeFrame(int slot, wgc::IDirect3D11CaptureFrame* frame) {
    ABI::Windows::Graphics::SizeInt32 content{};
    ComPtr<ID3D11Texture2D> texture;
    HRESULT hr = frame->get_ContentSize(&content);
    if (SUCCEEDED(hr)) hr = textureOf(frame, texture);
    if (FAILED(hr)) {
        closeObject(frame);
        return failed("frame access", hr);
    }
    D3D11_TEXTURE2D_DESC desc{};
    texture->GetDesc(&desc);
    const bool resized = content.Width > 0 && content.Height > 0 &&
                         (static_cast<uint32_t>(content.Width) != poolWidth || static_cast<uint32_t>(content.Height) != poolHeight);
    if (resized && !followContentSize(content)) {
        closeObject(frame);
        return false;
    }
    // The frame of a new size holds its content in its surface's corner, when it fits there.
    const D3D11_BOX box{0, 0, 0, width, height, 1};
    const bool fits = desc.Format == desktopFormat &&  // a frame from before the pool changed format goes
                      (resized ? width <= desc.Width && height <= desc.Height : desc.Width == width && desc.Height == height);
    if (!fits || !ringReady() || !stageImage(slot, texture.Get(), resized ? &box : nullptr)) {
        closeObject(frame);
        return false;
    }
    finishFrame(slot);
    publishFrame(slot, frame);
    closeObject(frame);
    return true;
}

void GraphicsCaptureSource::Impl::publishFrame(int slot, wgc::IDirect3D11CaptureFrame* frame) {
    ABI::Windows::Foundation::TimeSpan time{};
    const int64_t updated = SUCCEEDED(frame->get_SystemRelativeTime(&time)) ? qpcTicks(time.Duration, qpcFrequency) : qpcNow();
    publish(slot, true, updated, false);
}

// The pool's buffers keep their size until it is recreated: the ring follows the content.
bool GraphicsCaptureSource::Impl::followContentSize(const ABI::Windows::Graphics::SizeInt32& size) {
    std::printf("capture: monitor \"%ls\" size change %ux%u -> %dx%d — ring rebuilt\n", deviceName.c_str(), width.load(),
                height.load(), static_cast<int>(size.Width), static_cast<int>(size.Height));
    if (const HRESULT hr = pool->Recreate(winrtDevice.Get(), poolFormat(monitorHdr), kPoolBuffers, size); FAILED(hr)) {
        closeCapture(false);  // made again, at the item's size, from the next iteration
        return failed("Recreate", hr);
    }
    poolWidth = static_cast<uint32_t>(size.Width);
    poolHeight = static_cast<uint32_t>(size.Height);
    if (adoptSize(poolWidth, poolHeight)) return true;
    closeCapture(false);
    return false;
}

// Nothing tells a capture that its monitor entered or left HDR: its colour space is looked at
// once a second.
bool GraphicsCaptureSource::Impl::followColourSpace() {
    const int64_t now = nowNs();
    if (now - colourCheckedNs < 1000000000) return true;
    colourCheckedNs = now;
    const bool wasHdr = monitorHdr;
    if (!findMonitor() || monitorHdr == wasHdr) return true;  // a monitor gone is the item's Closed
    std::printf("capture: monitor \"%ls\" %s HDR — ring rebuilt\n", deviceName.c_str(), monitorHdr ? "entered" : "left");
    const ABI::Windows::Graphics::SizeInt32 size{static_cast<INT32>(poolWidth), static_cast<INT32>(poolHeight)};
    const HRESULT hr = pool->Recreate(winrtDevice.Get(), poolFormat(monitorHdr), kPoolBuffers, size);
    if (SUCCEEDED(hr) && adoptSize(poolWidth, poolHeight)) return true;
    if (FAILED(hr)) failed("Recreate", hr);
    closeCapture(false);  // made again in the new format from the next iteration
    return false;
}

bool GraphicsCaptureSource::Impl::waitForMonitor() {
    if (signal->closed.exchange(false)) {
        closeCapture(true);
        setLive(false);
        newRing = true;
    }
    if (item) return true;
    if (findMonitor()) {
        goneReported = false;
        return true;
    }
    if (!goneReported) std::fprintf(stderr, "capture: monitor \"%ls\" gone — waiting for replug\n", deviceName.c_str());
    goneReported = true;
    return false;
}

bool GraphicsCaptureSource::Impl::recoverLostDevices() {
    if (consumerRemoved()) {
        std::fprintf(stderr, "capture: monitor \"%ls\" consumer device removed — stop and start the source on a new device\n",
                     deviceName.c_str());
        closeCapture(true);
        return false;
    }
    if (!deviceLost) {
        const HRESULT reason = device ? device->GetDeviceRemovedReason() : S_OK;
        if (SUCCEEDED(reason)) return true;
        std::fprintf(stderr, "capture: monitor \"%ls\" device removed (0x%08lx) — recreating\n", deviceName.c_str(),
                     hex(reason));
        deviceLost = true;
    }
    return recreateDevice();
}

// Everything made on the removed device goes, the capture with it; the consumer's resources of the
// old ring stay retired until the new ring's are handed out.
bool GraphicsCaptureSource::Impl::recreateDevice() {
    closeCapture(true);
    winrtDevice.Reset();
    releaseRing(true);
    if (const AdapterLookup found = openAdapter(d3d12Device, true); found != AdapterLookup::Found) {
        if (found == AdapterLookup::NotFound) startupFailure("capture: render adapter not found by LUID\n");
        return false;
    }
    if (!createDevice(true) || !createPipeline(false)) return false;
    deviceLost = false;
    recreateReported = false;
    newRing = true;
    return true;
}

}  // namespace velda
