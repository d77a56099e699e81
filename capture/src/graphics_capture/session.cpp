// The capture's Windows Runtime objects: the factories, the device wrapper, the item for the
// monitor, a free-threaded frame pool of two buffers on the private device, and the session with
// its cursor, border and update-interval properties where the system has them.
#include <winstring.h>

#include <cmath>
#include <cstdio>

#include "capture_impl.h"

namespace velda {
namespace {

namespace Foundation = ABI::Windows::Foundation;
using ABI::Windows::Graphics::DirectX::DirectXPixelFormat;
using ABI::Windows::Graphics::SizeInt32;

template <class Interface, size_t N>
HRESULT factoryOf(const WCHAR (&runtimeClass)[N], ComPtr<Interface>& factory) {
    HSTRING_HEADER header{};
    HSTRING name = nullptr;
    const HRESULT hr = WindowsCreateStringReference(runtimeClass, static_cast<UINT32>(N - 1), &header, &name);
    if (FAILED(hr)) return hr;
    return RoGetActivationFactory(name, IID_PPV_ARGS(factory.ReleaseAndGetAddressOf()));
}

// An event handler that wakes the capture thread; it is called on the system's threads.
template <class Handler, class Sender>
class SignalHandler final : public Handler {
public:
    SignalHandler(std::shared_ptr<CaptureSignal> signal, bool closes) : signal_(std::move(signal)), closes_(closes) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, __uuidof(IUnknown)) && !IsEqualIID(riid, __uuidof(Handler))) return E_NOINTERFACE;
        AddRef();
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(Sender, IInspectable*) override {
        if (closes_) signal_->closed = true;
        SetEvent(signal_->event.get());
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{1};
    std::shared_ptr<CaptureSignal> signal_;
    bool closes_;
};

using ArrivedHandler = SignalHandler<Foundation::ITypedEventHandler<wgc::Direct3D11CaptureFramePool*, IInspectable*>,
                                     wgc::IDirect3D11CaptureFramePool*>;
using ClosedHandler = SignalHandler<Foundation::ITypedEventHandler<wgc::GraphicsCaptureItem*, IInspectable*>,
                                    wgc::IGraphicsCaptureItem*>;

}  // namespace

void closeObject(IUnknown* object) {
    ComPtr<Foundation::IClosable> closable;
    if (object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(closable.GetAddressOf())))) closable->Close();
}

DirectXPixelFormat poolFormat(bool hdr) {
    return hdr ? ABI::Windows::Graphics::DirectX::DirectXPixelFormat_R16G16B16A16Float
               : ABI::Windows::Graphics::DirectX::DirectXPixelFormat_B8G8R8A8UIntNormalized;
}

bool GraphicsCaptureSource::Impl::activate() {
    ComPtr<wgc::IGraphicsCaptureSessionStatics> sessions;
    HRESULT hr = factoryOf(RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureSession, sessions);
    boolean supported = 0;
    if (SUCCEEDED(hr)) hr = sessions->IsSupported(&supported);
    if (SUCCEEDED(hr) && !supported) {
        std::fputs("capture: Windows.Graphics.Capture is not supported on this system\n", stderr);
        return false;
    }
    if (SUCCEEDED(hr)) hr = factoryOf(RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureItem, itemInterop);
    if (SUCCEEDED(hr)) hr = factoryOf(RuntimeClass_Windows_Graphics_Capture_Direct3D11CaptureFramePool, poolStatics);
    if (FAILED(hr)) std::fprintf(stderr, "capture: Windows.Graphics.Capture unavailable (0x%08lx)\n", hex(hr));
    return SUCCEEDED(hr);
}

bool GraphicsCaptureSource::Impl::createWinrtDevice() {
    ComPtr<IDXGIDevice> dxgi;
    ComPtr<IInspectable> wrapped;
    HRESULT hr = device.As(&dxgi);
    if (SUCCEEDED(hr)) hr = CreateDirect3D11DeviceFromDXGIDevice(dxgi.Get(), wrapped.GetAddressOf());
    if (SUCCEEDED(hr)) hr = wrapped.As(&winrtDevice);
    return SUCCEEDED(hr) || failed("CreateDirect3D11DeviceFromDXGIDevice", hr);
}

bool GraphicsCaptureSource::Impl::createItem() {
    HRESULT hr = itemInterop->CreateForMonitor(monitor, IID_PPV_ARGS(item.ReleaseAndGetAddressOf()));
    if (SUCCEEDED(hr)) {
        signal->closed = false;
        ComPtr<ClosedHandler> handler;
        handler.Attach(new ClosedHandler(signal, true));
        hr = item->add_Closed(handler.Get(), &closedToken);
    }
    if (FAILED(hr)) item.Reset();
    return SUCCEEDED(hr) || failed("CreateForMonitor", hr);
}

bool GraphicsCaptureSource::Impl::createPool() {
    SizeInt32 size{};
    HRESULT hr = item->get_Size(&size);
    if (SUCCEEDED(hr) && (size.Width < 1 || size.Height < 1)) hr = E_UNEXPECTED;  // never a ring of no pixels
    if (SUCCEEDED(hr))
        hr = poolStatics->CreateFreeThreaded(winrtDevice.Get(), poolFormat(monitorHdr), kPoolBuffers, size,
                                             pool.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr)) {
        ComPtr<ArrivedHandler> handler;
        handler.Attach(new ArrivedHandler(signal, false));
        hr = pool->add_FrameArrived(handler.Get(), &arrivedToken);
    }
    if (SUCCEEDED(hr)) hr = pool->CreateCaptureSession(item.Get(), session.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return failed("frame pool creation", hr);  // the caller closes what was made
    poolWidth = static_cast<uint32_t>(size.Width);
    poolHeight = static_cast<uint32_t>(size.Height);
    return true;
}

bool GraphicsCaptureSource::Impl::openCapture(bool initial) {
    if (!signal) {
        signal = std::make_shared<CaptureSignal>();
        signal->event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!signal->event) return failed("CreateEvent", HRESULT_FROM_WIN32(GetLastError()));
    }
    if (!winrtDevice && !createWinrtDevice()) return false;
    if (!item && !createItem()) return false;
    if (!createPool()) {
        closeCapture(true);  // an item whose monitor went away is found again by its name
        return false;
    }
    // The border stays off where the system lets an application ask (Windows 11).
    ComPtr<wgc::IGraphicsCaptureSession3> bordered;
    if (SUCCEEDED(session.As(&bordered))) bordered->put_IsBorderRequired(false);
    appliedCursor = -1;
    appliedIntervalMs = -1.0;
    const bool changed = poolWidth != width || poolHeight != height || desktopFormat != ringFormat();
    if ((initial || changed || !ringReady()) && !adoptSize(poolWidth, poolHeight)) {
        closeCapture(false);
        return false;
    }
    applyControls();
    if (const HRESULT hr = session->StartCapture(); FAILED(hr)) {
        closeCapture(false);
        return failed("StartCapture", hr);
    }
    failureReported = false;
    return true;
}

bool GraphicsCaptureSource::Impl::adoptSize(uint32_t w, uint32_t h) {
    quarterTurns = 0;  // the system's frames are upright
    width = w;
    height = h;
    desktopFormat = ringFormat();
    return buildGeneration();
}

void GraphicsCaptureSource::Impl::closeCapture(bool withItem) {
    heldFrame.Reset();
    if (pool) pool->remove_FrameArrived(arrivedToken);
    closeObject(session.Get());
    closeObject(pool.Get());
    session.Reset();
    pool.Reset();
    if (!withItem) return;
    if (item) item->remove_Closed(closedToken);
    item.Reset();
}

// Where the session has no cursor property (before Windows 10 2004) the system always draws it;
// where it has no update interval (before Windows 11 24H2) frames that come too soon wait.
void GraphicsCaptureSource::Impl::applyControls() {
    const int32_t cursor = drawCursor ? 1 : 0;
    if (cursor != appliedCursor) {
        ComPtr<wgc::IGraphicsCaptureSession2> cursorable;
        if (SUCCEEDED(session.As(&cursorable))) cursorable->put_IsCursorCaptureEnabled(cursor != 0);
        appliedCursor = cursor;
    }
    double interval = minFrameIntervalMs.load();
    if (!(interval > 0)) interval = 0;  // 0, negative or NaN: no cap
    if (interval > 3600000.0) interval = 3600000.0;  // an hour: more is no different, and fits a TimeSpan
    if (interval != appliedIntervalMs) {
        ComPtr<wgc::IGraphicsCaptureSession5> paced;
        if (SUCCEEDED(session.As(&paced)))
            paced->put_MinUpdateInterval(Foundation::TimeSpan{static_cast<INT64>(std::llround(interval * 10000.0))});
        appliedIntervalMs = interval;
    }
}

}  // namespace velda
