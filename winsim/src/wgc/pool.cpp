// The free-threaded frame pool. The screen capture page: TryGetNextFrame checks a frame out and
// it goes back when it is closed or released; Recreate discards every frame; its surfaces are
// always the pool's size. TryGetNextFrame's page: null when no frame is there.
// CreateFreeThreaded's page: FrameArrived is raised on the pool's internal worker thread.
#include "machine/faults.h"
#include "wgc/capture.h"
#include "winrt/apartment.h"

namespace winsim::wgc {

using ABI::Windows::Graphics::SizeInt32;
using ABI::Windows::Graphics::DirectX::DirectXPixelFormat;

HRESULT checkPool(IDirect3DDevice* device, DirectXPixelFormat format, INT32 buffers, SizeInt32 size, PoolSettings& out) {
    out.device = deviceBehind(device);
    if (!out.device) return E_INVALIDARG;
    if (format != DirectX::DirectXPixelFormat_B8G8R8A8UIntNormalized &&
        format != DirectX::DirectXPixelFormat_R16G16B16A16Float) {
        debug::message("Direct3D11CaptureFramePool", "winsim models B8G8R8A8UIntNormalized and R16G16B16A16Float pools");
        return E_NOTIMPL;
    }
    if (buffers < 1 || size.Width < 1 || size.Height < 1) return E_INVALIDARG;
    out.format = static_cast<DXGI_FORMAT>(format);
    out.buffers = buffers;
    out.width = static_cast<UINT>(size.Width);
    out.height = static_cast<UINT>(size.Height);
    return S_OK;
}

FeedBuffers Pool::buffersFor(const PoolSettings& settings) {
    ComPtr<d3d11::Device> device = settings.device;
    return {device->adapter()->ledger, settings.format, settings.buffers, settings.width, settings.height,
            [device] { return device->removed(); }};
}

ComPtr<Pool> Pool::make(std::shared_ptr<Machine> machine, PoolSettings settings) {
    auto feed = CaptureFeed::open(machine, buffersFor(settings));
    if (!feed) return nullptr;
    ComPtr<Pool> pool;
    pool.Attach(new Pool(std::move(machine), std::move(settings), std::move(feed)));
    return pool;
}

Pool::~Pool() {
    if (feed_) feed_->stop();
}

std::shared_ptr<CaptureFeed> Pool::feed() {
    std::lock_guard lock(mutex_);
    return feed_;
}

HRESULT Pool::Recreate(IDirect3DDevice* device, DirectXPixelFormat format, INT32 buffers, SizeInt32 size) {
    if (auto hr = fault("IDirect3D11CaptureFramePool::Recreate")) return *hr;
    PoolSettings next;
    if (auto hr = checkPool(device, format, buffers, size, next); FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    if (!feed_) return RO_E_CLOSED;
    if (!feed_->rebuffer(buffersFor(next))) return E_OUTOFMEMORY;
    settings_ = std::move(next);
    return S_OK;
}

HRESULT Pool::TryGetNextFrame(capture::IDirect3D11CaptureFrame** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (auto hr = fault("IDirect3D11CaptureFramePool::TryGetNextFrame")) return *hr;
    std::lock_guard lock(mutex_);
    if (!feed_) return RO_E_CLOSED;
    auto frame = feed_->take();
    if (frame) *result = frameOf(std::move(*frame));
    return S_OK;
}

Frame* Pool::frameOf(FeedFrame frame) {
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = frame.image->width;
    desc.Height = frame.image->height;
    desc.MipLevels = desc.ArraySize = desc.SampleDesc.Count = 1;
    desc.Format = settings_.format;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    ComPtr<Surface> surface;
    surface.Attach(new Surface(d3d11::makeTexture(settings_.device.Get(), std::move(frame.image), desc)));
    // SystemRelativeTime's page: the QPC time of the frame, as a TimeSpan (100 ns units).
    const INT64 time = std::chrono::duration_cast<std::chrono::nanoseconds>(frame.time.time_since_epoch()).count() / 100;
    const SizeInt32 content{static_cast<INT32>(frame.contentWidth), static_cast<INT32>(frame.contentHeight)};
    return new Frame(std::move(surface), time, content);
}

HRESULT Pool::CreateCaptureSession(capture::IGraphicsCaptureItem* item, capture::IGraphicsCaptureSession** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (auto hr = fault("IDirect3D11CaptureFramePool::CreateCaptureSession")) return *hr;
    ComPtr<Item> ours(dynamic_cast<Item*>(item));
    if (!ours) return E_INVALIDARG;
    if (!feed()) return RO_E_CLOSED;
    *result = new Session(ComPtr<Pool>(this), std::move(ours), machine_->config().windowsBuild);
    return S_OK;
}

// A free-threaded pool has no DispatcherQueue.
HRESULT Pool::get_DispatcherQueue(ABI::Windows::System::IDispatcherQueue** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return S_OK;
}

// Direct3D11CaptureFramePool.Close: "disposes of the capture frame pool and releases its resources".
HRESULT Pool::Close() {
    std::shared_ptr<CaptureFeed> gone;
    {
        std::lock_guard lock(mutex_);
        gone.swap(feed_);
    }
    if (gone) gone->stop();
    arrived_.clear();
    return S_OK;
}

HRESULT Pool::start(ComPtr<Item> item, bool cursor, Clock::duration minInterval) {
    auto running = feed();
    if (!running) return RO_E_CLOSED;
    running->setCursor(cursor);
    running->setMinInterval(minInterval);
    // The events hold the pool only while they run: a pool being destroyed is not raised on.
    FeedEvents events;
    events.arrived = [this] {
        winrt::enterSystemApartment();
        if (!tryAddRef()) return;
        ComPtr<Pool> keep;
        keep.Attach(this);
        arrived_.raise(static_cast<capture::IDirect3D11CaptureFramePool*>(this));
    };
    // GraphicsCaptureItem.Closed: "raised when the target of the capture has been closed".
    events.closed = [item] {
        winrt::enterSystemApartment();
        item->raiseClosed();
    };
    running->start(item->output(), std::move(events));
    return S_OK;
}

void Pool::setCursor(bool drawn) {
    if (auto running = feed()) running->setCursor(drawn);
}

void Pool::setMinInterval(Clock::duration interval) {
    if (auto running = feed()) running->setMinInterval(interval);
}

void Pool::stop() {
    if (auto running = feed()) running->stop();
}

}  // namespace winsim::wgc
