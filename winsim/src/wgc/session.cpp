// The capture session and its frames. Which session interfaces answer depends on the machine's
// Windows build: IsCursorCaptureEnabled's page gives 10.0.19041 (Session2), IsBorderRequired's
// 10.0.20348 (Session3); MinUpdateInterval (Session5) came with 10.0.26100.
#include "machine/faults.h"
#include "wgc/capture.h"

namespace winsim::wgc {

bool Session::hides(REFIID riid) const {
    if (IsEqualIID(riid, __uuidof(capture::IGraphicsCaptureSession2))) return build_ < 19041;
    if (IsEqualIID(riid, __uuidof(capture::IGraphicsCaptureSession3))) return build_ < 20348;
    if (IsEqualIID(riid, __uuidof(capture::IGraphicsCaptureSession5))) return build_ < 26100;
    return false;
}

// StartCapture: "starts the capture session, allowing the application to capture frames".
HRESULT Session::StartCapture() {
    if (auto hr = fault("IGraphicsCaptureSession::StartCapture")) return *hr;
    std::lock_guard lock(mutex_);
    if (!pool_) return RO_E_CLOSED;
    if (started_) return S_OK;
    started_ = true;
    return pool_->start(item_, cursor_, std::chrono::nanoseconds(minInterval_ * 100));
}

// The cursor is captured unless the session is told otherwise (before build 19041, always).
HRESULT Session::get_IsCursorCaptureEnabled(boolean* value) {
    if (!value) return E_POINTER;
    std::lock_guard lock(mutex_);
    *value = cursor_;
    return S_OK;
}

HRESULT Session::put_IsCursorCaptureEnabled(boolean value) {
    std::lock_guard lock(mutex_);
    if (!pool_) return RO_E_CLOSED;
    cursor_ = value != 0;
    if (started_) pool_->setCursor(cursor_);
    return S_OK;
}

// IsBorderRequired's page: turning the border off needs the user's consent, and without it the
// setting succeeds and is ignored. winsim draws no border either way; the value is kept.
HRESULT Session::get_IsBorderRequired(boolean* value) {
    if (!value) return E_POINTER;
    std::lock_guard lock(mutex_);
    *value = border_;
    return S_OK;
}

HRESULT Session::put_IsBorderRequired(boolean value) {
    std::lock_guard lock(mutex_);
    if (!pool_) return RO_E_CLOSED;
    border_ = value != 0;
    return S_OK;
}

HRESULT Session::get_MinUpdateInterval(ABI::Windows::Foundation::TimeSpan* value) {
    if (!value) return E_POINTER;
    std::lock_guard lock(mutex_);
    value->Duration = minInterval_;
    return S_OK;
}

HRESULT Session::put_MinUpdateInterval(ABI::Windows::Foundation::TimeSpan value) {
    if (value.Duration < 0) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    if (!pool_) return RO_E_CLOSED;
    minInterval_ = value.Duration;
    if (started_) pool_->setMinInterval(std::chrono::nanoseconds(minInterval_ * 100));
    return S_OK;
}

// GraphicsCaptureSession.Close: "closes the capture session and releases resources".
HRESULT Session::Close() {
    ComPtr<Pool> pool;
    {
        std::lock_guard lock(mutex_);
        pool.Swap(pool_);
    }
    if (pool && started_) pool->stop();
    return S_OK;
}

HRESULT Frame::get_Surface(IDirect3DSurface** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    std::lock_guard lock(mutex_);
    if (!surface_) return RO_E_CLOSED;
    return surface_->QueryInterface(IID_PPV_ARGS(value));
}

HRESULT Frame::get_SystemRelativeTime(ABI::Windows::Foundation::TimeSpan* value) {
    if (!value) return E_POINTER;
    value->Duration = time_;
    return S_OK;
}

HRESULT Frame::get_ContentSize(ABI::Windows::Graphics::SizeInt32* value) {
    if (!value) return E_POINTER;
    *value = content_;
    return S_OK;
}

// The screen capture page: closing a frame checks its buffer back in (with its surface).
HRESULT Frame::Close() {
    ComPtr<Surface> surface;
    {
        std::lock_guard lock(mutex_);
        surface.Swap(surface_);
    }
    if (surface) surface->Close();
    return S_OK;
}

}  // namespace winsim::wgc
