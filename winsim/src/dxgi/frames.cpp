// A duplication's frames: waiting for a desktop or pointer update, the frame information and
// texture, the pointer shape, and handing the frame back.
#include <algorithm>
#include <cstring>

#include "dxgi/duplication.h"
#include "machine/faults.h"

namespace winsim::dxgi {
namespace {

bool inside(const RECT& r, const POINT& p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// A time stamp as the performance counter gives it (100 ns units of the machine's clock).
LARGE_INTEGER stamp(Clock::time_point t) {
    LARGE_INTEGER value{};
    value.QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count() / 100;
    return value;
}

}  // namespace

HRESULT Duplication::AcquireNextFrame(UINT timeoutMs, DXGI_OUTDUPL_FRAME_INFO* info, IDXGIResource** resource) {
    if (resource) *resource = nullptr;
    if (!info || !resource) return E_INVALIDARG;
    *info = DXGI_OUTDUPL_FRAME_INFO{};
    if (auto hr = fault("IDXGIOutputDuplication::AcquireNextFrame")) return *hr;
    auto lock = machine_->lock();
    if (frameHeld_) return DXGI_ERROR_INVALID_CALL;
    const auto start = Clock::now();
    const auto deadline = timeoutMs == INFINITE ? Clock::time_point::max() : start + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto now = Clock::now();
        machine_->advance(now);
        if (output_->epoch != epoch_) return DXGI_ERROR_ACCESS_LOST;
        if (const Update update = pending(now); update.any()) return deliver(update, now, *info, resource);
        if (now >= deadline) return DXGI_ERROR_WAIT_TIMEOUT;
        // The next version is drawn while the caller waits for it, as a compositor draws a frame
        // before it shows it; a present in between makes it stale.
        const auto next = output_->desktop.nextUpdate(now);
        if (next != Clock::time_point::max()) {
            const uint64_t version = output_->desktop.version(next);
            images_.prepare(content(version), [&](gpu::Image& target) { draw(target, version); });
        }
        machine_->waitUntil(lock, std::min({deadline, next, machine_->nextEvent(now)}));
    }
}

Duplication::Update Duplication::pending(Clock::time_point now) const {
    const CursorState& cursor = machine_->cursor;
    Update update;
    update.version = output_->desktop.version(now);
    update.over = cursor.visible && inside(config_.desktopRect(), cursor.position);
    update.desktop = !delivered_ || update.version != lastVersion_;
    update.shape = !delivered_ || cursor.shapes != seenShapes_;
    update.pointer = update.shape || update.over != wasOver_ || (update.over && cursor.moves != seenMoves_);
    return update;
}

HRESULT Duplication::deliver(const Update& update, Clock::time_point now, DXGI_OUTDUPL_FRAME_INFO& info,
                             IDXGIResource** resource) {
    const CursorState& cursor = machine_->cursor;
    const RECT rect = config_.desktopRect();
    auto image = images_.image(content(update.version), [&](gpu::Image& target) { draw(target, update.version); });
    if (update.desktop) {
        info.LastPresentTime = stamp(now);
        info.AccumulatedFrames = delivered_ ? static_cast<UINT>(std::min<uint64_t>(update.version - lastVersion_, UINT32_MAX)) : 1;
    }
    if (update.pointer) info.LastMouseUpdateTime = stamp(now);
    info.PointerPosition.Position = POINT{cursor.position.x - rect.left, cursor.position.y - rect.top};
    info.PointerPosition.Visible = update.over ? TRUE : FALSE;
    if (update.shape) {
        shape_ = cursor.shape;
        info.PointerShapeBufferSize = static_cast<UINT>(shape_.bytes.size());
    }
    delivered_ = true;
    lastVersion_ = update.version;
    seenMoves_ = cursor.moves;
    seenShapes_ = cursor.shapes;
    wasOver_ = update.over;
    frameHeld_ = true;

    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = config_.width;
    desc.Height = config_.height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = format_;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    auto texture = d3d11::makeTexture(device_.Get(), std::move(image), desc);
    return texture->QueryInterface(IID_PPV_ARGS(resource));
}

FrameContent Duplication::content(uint64_t version) const {
    return {version, output_->desktop.revision(), output_->whiteLevel()};
}

void Duplication::draw(gpu::Image& target, uint64_t version) const {
    output_->desktop.render(target, version, output_->whiteLevel(), output_->current.format);
}

HRESULT Duplication::ReleaseFrame() {
    auto lock = machine_->lock();
    if (!frameHeld_) return DXGI_ERROR_INVALID_CALL;
    frameHeld_ = false;
    return S_OK;
}

HRESULT Duplication::GetFramePointerShape(UINT bufferSize, void* buffer, UINT* requiredSize,
                                          DXGI_OUTDUPL_POINTER_SHAPE_INFO* info) {
    if (!requiredSize || !info) return E_INVALIDARG;
    if (auto hr = fault("IDXGIOutputDuplication::GetFramePointerShape")) return *hr;
    auto lock = machine_->lock();
    if (!frameHeld_) return DXGI_ERROR_INVALID_CALL;
    *requiredSize = static_cast<UINT>(shape_.bytes.size());
    if (bufferSize < shape_.bytes.size()) return DXGI_ERROR_MORE_DATA;
    if (!shape_.bytes.empty() && !buffer) return E_INVALIDARG;
    if (!shape_.bytes.empty()) std::memcpy(buffer, shape_.bytes.data(), shape_.bytes.size());
    *info = DXGI_OUTDUPL_POINTER_SHAPE_INFO{shape_.type, shape_.width, shape_.height, shape_.pitch, shape_.hotSpot};
    return S_OK;
}

}  // namespace winsim::dxgi
