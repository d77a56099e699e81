// The capture thread: pull a desktop frame, copy (and convert) it into the next ring slot, draw
// the cursor, make mips, wait for the GPU through the fence, publish the slot.
#include <chrono>

#include "impl.h"

namespace velda {

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





// The frame carries the desktop update it shows: a new image, or else a pointer that moved.
void DuplicationSource::Impl::publishDuplicated(int slot, const DXGI_OUTDUPL_FRAME_INFO& frame) {
    const bool imageChanged = frame.LastPresentTime.QuadPart != 0;
    if (imageChanged) imageMasked = frame.ProtectedContentMaskedOut != FALSE;
    publish(slot, imageChanged, imageChanged ? frame.LastPresentTime.QuadPart : frame.LastMouseUpdateTime.QuadPart,
            imageMasked);
}

bool DuplicationSource::Impl::ensureDuplication() {
    if (duplication && ringReady()) return true;
    // A duplication over an incomplete ring is never used: acquire again, which rebuilds it.
    dropDuplication();
    if (!recoverLostDevices() || !acquireDuplication(false) || !ringReady()) {
        dropDuplication();
        setLive(false);
        return false;
    }
    std::lock_guard lock(stateMutex);
    ++reacquireCount;
    return true;
}



HRESULT DuplicationSource::Impl::renderFrame(int slot, ID3D11Texture2D* frame) {
    if (frame) stageImage(slot, frame);
    // The desktop frame is held only until its copy is queued.
    const HRESULT released = duplication->ReleaseFrame();
    finishFrame(slot);
    return released;
}

void DuplicationSource::Impl::placeCursorNow() {
    placeCursor(desktopRect, hotspotX, hotspotY, cursorVisible, cursorX, cursorY);
    // A pointer the duplication reports hidden is not drawn: Windows may have drawn it into the
    // image itself (a software cursor).
    if (pointerReported && !pointerShown) cursorVisible = false;
}

bool DuplicationSource::Impl::pointerEarly(const DXGI_OUTDUPL_FRAME_INFO& info) const {
    return info.LastPresentTime.QuadPart == 0 && nowNs() - lastPublishNs < refreshIntervalNs;
}

bool DuplicationSource::Impl::takeFrame(int slot, const DXGI_OUTDUPL_FRAME_INFO& info, ID3D11Texture2D* frame) {
    if (info.LastMouseUpdateTime.QuadPart != 0) {
        pointerReported = true;
        pointerShown = info.PointerPosition.Visible != FALSE;
    }
    if (info.PointerShapeBufferSize != 0) updatePointerShape(info.PointerShapeBufferSize);
    if (frame && !imageFitsRing(frame)) return false;  // no ring for it: handed back
    HRESULT released = S_OK;
    const bool early = frame && pointerEarly(info);
    if (early) {
        // Its image is the desktop already staged, if anything is: staged once per burst.
        if (stagedFormat == DXGI_FORMAT_UNKNOWN) stageImage(slot, frame);
        released = duplication->ReleaseFrame();
        pointerPending = stagedFormat != DXGI_FORMAT_UNKNOWN;
        pendingInfo = info;
    } else {
        placeCursorNow();
        released = renderFrame(slot, frame);
        publishDuplicated(slot, info);
    }
    // Access lost while the frame was held (a mode change, say): the copy was queued while it
    // was still ours; the duplication is re-acquired from the next iteration.
    if (released == DXGI_ERROR_ACCESS_LOST) {
        dropDuplication();
        setLive(false);
    }
    return !early;
}

bool DuplicationSource::Impl::publishPendingPointer(int slot) {
    if (!pointerPending || nowNs() - lastPublishNs < refreshIntervalNs) return false;
    placeCursorNow();
    finishFrame(slot);
    publishDuplicated(slot, pendingInfo);
    return true;
}

// The time to wait for the next frame: up to 100 ms, and no longer than a staged pointer update
// may wait for its publication.
UINT DuplicationSource::Impl::acquireTimeoutMs() const {
    if (!pointerPending) return 100;
    const int64_t left = lastPublishNs + refreshIntervalNs - nowNs();
    return left <= 0 ? 0 : static_cast<UINT>((left + 999999) / 1000000);
}

void DuplicationSource::Impl::run() {
    // Physical pixels throughout: the cursor's place on a scaled monitor, format-aware duplication.
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    int64_t lastFrameTime = nowNs() - 1000000000;
    int slot = 0;
    while (!stopRequested) {
        if (paused || consumerLost) {
            if (duplication) {
                dropDuplication();
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
        bool published = publishPendingPointer(slot);
        if (!published) {
            DXGI_OUTDUPL_FRAME_INFO info{};
            ComPtr<IDXGIResource> resource;
            const HRESULT hr = duplication->AcquireNextFrame(acquireTimeoutMs(), &info, resource.GetAddressOf());
            if (hr == DXGI_ERROR_WAIT_TIMEOUT) continue;
            if (FAILED(hr)) {
                dropDuplication();
                setLive(false);
                continue;
            }
            ComPtr<ID3D11Texture2D> frame;
            if (resource) resource.As(&frame);
            published = takeFrame(slot, info, frame.Get());
        }
        if (!published) continue;
        lastFrameTime = nowNs();
        slot = (slot + 1) % kRingSize;
    }
}

}  // namespace velda
