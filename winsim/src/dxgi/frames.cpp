// A duplication's frames: the caller's arguments and held frame, the compositor's updates as
// frame information and a texture, the pointer shape, and handing the frame back.
#include <algorithm>
#include <cstring>

#include "dxgi/duplication.h"
#include "machine/faults.h"

namespace winsim::dxgi {
namespace {

// A time stamp as the performance counter gives it (100 ns units of the machine's clock).
LARGE_INTEGER stamp(Clock::time_point t) {
    LARGE_INTEGER value{};
    value.QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count() / 100;
    return value;
}

void describe(const FrameUpdate& update, DXGI_OUTDUPL_FRAME_INFO& info, const CursorShape& shape) {
    if (update.desktop) {
        info.LastPresentTime = stamp(update.time);
        info.AccumulatedFrames = static_cast<UINT>(std::min<uint64_t>(update.accumulatedFrames, UINT32_MAX));
    }
    if (update.pointer) info.LastMouseUpdateTime = stamp(update.time);
    // The position of the shape's top-left corner, the hot spot being where the pointer points.
    info.PointerPosition.Position = POINT{update.pointerPosition.x - shape.hotSpot.x, update.pointerPosition.y - shape.hotSpot.y};
    // A pointer the compositor drew into the image is reported invisible: PointerPosition's page
    // says an application does not show the cursor when Visible is FALSE.
    info.PointerPosition.Visible = update.over && !update.pointerDrawn ? TRUE : FALSE;
    info.ProtectedContentMaskedOut = update.masked ? TRUE : FALSE;
    if (update.shape) info.PointerShapeBufferSize = static_cast<UINT>(shape.bytes.size());
    // The machine redraws a changed desktop whole and never moves parts of it.
    info.TotalMetadataBufferSize = update.desktop ? sizeof(RECT) : 0;
}

}  // namespace

HRESULT Duplication::AcquireNextFrame(UINT timeoutMs, DXGI_OUTDUPL_FRAME_INFO* info, IDXGIResource** resource) {
    if (resource) *resource = nullptr;
    if (!info || !resource) return E_INVALIDARG;
    *info = DXGI_OUTDUPL_FRAME_INFO{};
    if (auto hr = fault("IDXGIOutputDuplication::AcquireNextFrame")) return *hr;
    auto lock = machine_->lock();
    machine_->advance(Clock::now());
    // Lost access outranks a held frame: the caller must make a new duplication either way.
    if (accessLost()) return DXGI_ERROR_ACCESS_LOST;
    if (frameHeld_) return DXGI_ERROR_INVALID_CALL;
    if (compositor_->jammed()) return DXGI_ERROR_INVALID_CALL;  // after a fullscreen switch: make it again
    const auto start = Clock::now();
    const auto deadline = timeoutMs == INFINITE ? Clock::time_point::max() : start + programWait(timeoutMs);
    NextFrame frame = compositor_->waitForUpdate(lock, deadline);
    switch (frame.outcome) {
    case FrameWait::AccessLost: return DXGI_ERROR_ACCESS_LOST;
    case FrameWait::Timeout: return DXGI_ERROR_WAIT_TIMEOUT;
    case FrameWait::Updated: break;
    }
    return deliver(std::move(frame), *info, resource);
}

HRESULT Duplication::deliver(NextFrame frame, DXGI_OUTDUPL_FRAME_INFO& info, IDXGIResource** resource) {
    describe(frame.update, info, compositor_->pointerShape());
    frameHeld_ = true;
    frameRedrawn_ = frame.update.desktop;
    const OutputConfig& config = compositor_->config();
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = config.width;
    desc.Height = config.height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = frame.format;  // the image's own, which may change from frame to frame
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;  // as Windows makes the desktop image
    auto texture = d3d11::makeTexture(device_.Get(), std::move(frame.image), desc);
    return texture->QueryInterface(IID_PPV_ARGS(resource));
}

bool Duplication::accessLost() const { return device_->removed() || compositor_->accessLost(); }

// ReleaseFrame's page: DXGI_ERROR_ACCESS_LOST "if the desktop duplication interface is invalid"
// (a desktop switch, a mode change); the frame is handed back all the same.
HRESULT Duplication::ReleaseFrame() {
    if (auto hr = fault("IDXGIOutputDuplication::ReleaseFrame")) return *hr;
    auto lock = machine_->lock();
    if (!frameHeld_) return DXGI_ERROR_INVALID_CALL;
    frameHeld_ = false;
    machine_->advance(Clock::now());
    return accessLost() ? DXGI_ERROR_ACCESS_LOST : S_OK;
}

HRESULT Duplication::GetFrameDirtyRects(UINT bufferSize, RECT* rects, UINT* requiredSize) {
    if (!requiredSize) return E_INVALIDARG;
    auto lock = machine_->lock();
    if (!frameHeld_) return DXGI_ERROR_INVALID_CALL;
    const OutputConfig& config = compositor_->config();
    const RECT whole{0, 0, static_cast<LONG>(config.width), static_cast<LONG>(config.height)};
    *requiredSize = frameRedrawn_ ? sizeof(RECT) : 0;
    if (bufferSize < *requiredSize) return DXGI_ERROR_MORE_DATA;
    if (frameRedrawn_) {
        if (!rects) return E_INVALIDARG;
        rects[0] = whole;
    }
    return S_OK;
}

HRESULT Duplication::GetFrameMoveRects(UINT, DXGI_OUTDUPL_MOVE_RECT*, UINT* requiredSize) {
    if (!requiredSize) return E_INVALIDARG;
    auto lock = machine_->lock();
    if (!frameHeld_) return DXGI_ERROR_INVALID_CALL;
    *requiredSize = 0;
    return S_OK;
}

HRESULT Duplication::GetFramePointerShape(UINT bufferSize, void* buffer, UINT* requiredSize,
                                          DXGI_OUTDUPL_POINTER_SHAPE_INFO* info) {
    if (!requiredSize || !info) return E_INVALIDARG;
    if (auto hr = fault("IDXGIOutputDuplication::GetFramePointerShape")) return *hr;
    auto lock = machine_->lock();
    if (!frameHeld_) return DXGI_ERROR_INVALID_CALL;
    machine_->advance(Clock::now());
    // GetFramePointerShape's page lists DXGI_ERROR_ACCESS_LOST as ReleaseFrame's does.
    if (accessLost()) return DXGI_ERROR_ACCESS_LOST;
    const CursorShape& shape = compositor_->pointerShape();
    *requiredSize = static_cast<UINT>(shape.bytes.size());
    if (bufferSize < shape.bytes.size()) return DXGI_ERROR_MORE_DATA;
    if (!shape.bytes.empty() && !buffer) return E_INVALIDARG;
    if (!shape.bytes.empty()) std::memcpy(buffer, shape.bytes.data(), shape.bytes.size());
    *info = DXGI_OUTDUPL_POINTER_SHAPE_INFO{shape.type, shape.width, shape.height, shape.pitch, shape.hotSpot};
    return S_OK;
}

}  // namespace winsim::dxgi
