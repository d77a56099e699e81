// The capture thread: pull a desktop frame, copy (and convert) it into the next ring slot, draw
// the cursor, make mips, wait for the GPU through the fence, publish the slot.
#include <chrono>

#include "impl.h"

namespace velda {
namespace {

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int32_t frameCapSleepMs(double minFrameIntervalMs, int64_t elapsedNs) {
    if (!(minFrameIntervalMs > 0)) return -1;  // 0, negative or NaN: no cap
    const double elapsedMs = static_cast<double>(elapsedNs) / 1000000.0;
    if (!(minFrameIntervalMs > elapsedMs)) return -1;
    return static_cast<int32_t>(minFrameIntervalMs - elapsedMs);
}

bool placeCursor(const RECT& desktop, int32_t hotspotX, int32_t hotspotY, bool& visible, int32_t& x, int32_t& y) {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor) {
        visible = false;
        return false;
    }
    const POINT p = info.ptScreenPos;
    visible = desktop.left <= p.x && p.x < desktop.right && desktop.top <= p.y && p.y < desktop.bottom;
    x = p.x - hotspotX - desktop.left;
    y = p.y - desktop.top - hotspotY;
    return true;
}

void DuplicationSource::Impl::setLive(bool value) {
    std::lock_guard lock(stateMutex);
    live = value;
}

bool DuplicationSource::Impl::ringReady() const {
    std::lock_guard lock(stateMutex);
    return ringComplete;
}

int64_t qpcNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// The frame carries the desktop update it shows: a new image, or else a pointer that moved.
void DuplicationSource::Impl::publish(int slot, const DXGI_OUTDUPL_FRAME_INFO& frame) {
    const bool imageChanged = frame.LastPresentTime.QuadPart != 0;
    const int64_t published = qpcNow();
    {
        std::lock_guard lock(stateMutex);
        latestIndex = slot;
        ++framesProduced;
        live = true;
        desktopChanged = imageChanged;
        updateQpc = imageChanged ? frame.LastPresentTime.QuadPart : frame.LastMouseUpdateTime.QuadPart;
        publishQpc = published;
    }
    publicationChanged.notify_all();
}

bool DuplicationSource::Impl::ensureDuplication() {
    if (duplication && ringReady()) return true;
    // A duplication over an incomplete ring is never used: acquire again, which rebuilds it.
    duplication.Reset();
    if (!recoverLostDevices() || !acquireDuplication(false) || !ringReady()) {
        duplication.Reset();
        setLive(false);
        return false;
    }
    std::lock_guard lock(stateMutex);
    ++reacquireCount;
    return true;
}

HRESULT DuplicationSource::Impl::renderFrame(int slot, ID3D11Texture2D* frame) {
    if (frame) {
        ID3D11Resource* target = needsConvert ? convertSource.Get() : ringTextures[slot].Get();
        context->CopySubresourceRegion(target, 0, 0, 0, 0, frame, 0, nullptr);
    }
    // The desktop frame is held only until its copy is queued.
    const HRESULT released = duplication->ReleaseFrame();
    if (needsConvert) convertToRing(slot);
    if (drawCursor && cursorVisible && cursorSrv) drawCursorOverlay(slot);
    if (mipLevels > 1) context->GenerateMips(ringSrvs[slot].Get());
    ++fenceValue;
    context4->Signal(fence.Get(), fenceValue);
    context->Flush();
    if (SUCCEEDED(fence->SetEventOnCompletion(fenceValue, fenceEvent.get()))) WaitForSingleObject(fenceEvent.get(), 1000);
    return released;
}

void DuplicationSource::Impl::run() {
    // Physical pixels throughout: the cursor's place on a scaled monitor, format-aware duplication.
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    int64_t lastFrameTime = nowNs() - 1000000000;
    int slot = 0;
    while (!stopRequested) {
        if (paused || consumerLost) {
            if (duplication) {
                duplication.Reset();
                setLive(false);
            }
            Sleep(100);
            continue;
        }
        if (const int32_t ms = frameCapSleepMs(minFrameIntervalMs.load(), nowNs() - lastFrameTime); ms >= 0)
            Sleep(static_cast<DWORD>(ms));
        if (!ensureDuplication()) {
            Sleep(250);
            continue;
        }
        DXGI_OUTDUPL_FRAME_INFO info{};
        ComPtr<IDXGIResource> resource;
        const HRESULT hr = duplication->AcquireNextFrame(100, &info, resource.GetAddressOf());
        if (hr == DXGI_ERROR_WAIT_TIMEOUT) continue;
        if (FAILED(hr)) {
            duplication.Reset();
            setLive(false);
            continue;
        }
        if (info.PointerShapeBufferSize != 0) updatePointerShape(info.PointerShapeBufferSize);
        placeCursor(desktopRect, hotspotX, hotspotY, cursorVisible, cursorX, cursorY);
        ComPtr<ID3D11Texture2D> frame;
        if (resource) resource.As(&frame);
        if (frame && !imageFitsRing(frame.Get())) continue;  // no ring for it: handed back
        const HRESULT released = renderFrame(slot, frame.Get());
        publish(slot, info);
        lastFrameTime = nowNs();
        slot = (slot + 1) % kRingSize;
        // Access lost while the frame was held (a mode change, say): the copy was queued while it
        // was still ours; the duplication is re-acquired from the next iteration.
        if (released == DXGI_ERROR_ACCESS_LOST) {
            duplication.Reset();
            setLive(false);
        }
    }
}

}  // namespace velda
