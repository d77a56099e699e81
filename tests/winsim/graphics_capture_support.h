// Windows.Graphics.Capture as a program uses it: items for monitors, free-threaded pools on a
// Direct3D 11 device, sessions, and handlers that count their calls.
#pragma once
#include <roapi.h>
#include <windows.graphics.capture.h>
#include <windows.graphics.capture.interop.h>
#include <windows.graphics.directx.direct3d11.interop.h>
#include <winstring.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "d3d11_support.h"

namespace wgc = ABI::Windows::Graphics::Capture;
using ABI::Windows::Graphics::SizeInt32;

template <class Handler, class Sender>
class CountingHandler final : public Handler {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!IsEqualIID(riid, __uuidof(IUnknown)) && !IsEqualIID(riid, __uuidof(Handler))) return E_NOINTERFACE;
        AddRef();
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(Sender, IInspectable*) override {
        ++calls;
        return S_OK;
    }
    std::atomic<int> calls{0};

private:
    std::atomic<ULONG> refs_{1};
};
using ArrivedHandler = CountingHandler<ABI::Windows::Foundation::ITypedEventHandler<wgc::Direct3D11CaptureFramePool*, IInspectable*>,
                                       wgc::IDirect3D11CaptureFramePool*>;
using ClosedHandler = CountingHandler<__FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable,
                                      wgc::IGraphicsCaptureItem*>;

// Waits up to 20 s for `condition`.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

template <class I>
ComPtr<I> factoryOf(const wchar_t* name) {
    HSTRING_HEADER header;
    HSTRING string = nullptr;
    ComPtr<I> factory;
    UINT32 length = 0;
    while (name[length]) ++length;
    EXPECT_EQ(WindowsCreateStringReference(name, length, &header, &string), S_OK);
    EXPECT_EQ(RoGetActivationFactory(string, IID_PPV_ARGS(&factory)), S_OK);
    return factory;
}

struct Capture {
    ComPtr<wgc::IGraphicsCaptureItem> item;
    ComPtr<wgc::IDirect3D11CaptureFramePool> pool;
    ComPtr<wgc::IGraphicsCaptureSession> session;
    ComPtr<ArrivedHandler> arrived;
    EventRegistrationToken token{};

    // A pool of `buffers` on `device` for output `output`, its size the item's unless given.
    Capture(ID3D11Device* device, int output, ABI::Windows::Graphics::DirectX::DirectXPixelFormat format,
            int buffers = 2, SizeInt32 size = {0, 0}) {
        auto interop = factoryOf<IGraphicsCaptureItemInterop>(RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureItem);
        EXPECT_EQ(interop->CreateForMonitor(winsim::outputMonitor(output), IID_PPV_ARGS(&item)), S_OK);
        if (!size.Width) {
            EXPECT_EQ(item->get_Size(&size), S_OK);
        }
        ComPtr<IDXGIDevice> dxgi;
        ComPtr<IInspectable> inspectable;
        ComPtr<ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DDevice> winrtDevice;
        EXPECT_EQ(device->QueryInterface(IID_PPV_ARGS(&dxgi)), S_OK);
        EXPECT_EQ(CreateDirect3D11DeviceFromDXGIDevice(dxgi.Get(), &inspectable), S_OK);
        EXPECT_EQ(inspectable.As(&winrtDevice), S_OK);
        auto statics = factoryOf<wgc::IDirect3D11CaptureFramePoolStatics2>(
            RuntimeClass_Windows_Graphics_Capture_Direct3D11CaptureFramePool);
        EXPECT_EQ(statics->CreateFreeThreaded(winrtDevice.Get(), format, buffers, size, &pool), S_OK);
        arrived.Attach(new ArrivedHandler);
        EXPECT_EQ(pool->add_FrameArrived(arrived.Get(), &token), S_OK);
        EXPECT_EQ(pool->CreateCaptureSession(item.Get(), &session), S_OK);
    }
    ~Capture() {
        close(session.Get());
        close(pool.Get());
    }
    static void close(IUnknown* object) {
        ComPtr<ABI::Windows::Foundation::IClosable> closable;
        if (object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&closable)))) closable->Close();
    }
    // Waits for the next frame.
    ComPtr<wgc::IDirect3D11CaptureFrame> next() {
        ComPtr<wgc::IDirect3D11CaptureFrame> frame;
        eventually([&] { return SUCCEEDED(pool->TryGetNextFrame(&frame)) && frame; });
        return frame;
    }
    static ComPtr<ID3D11Texture2D> texture(wgc::IDirect3D11CaptureFrame* frame) {
        ComPtr<ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DSurface> surface;
        ComPtr<ID3D11Texture2D> texture;
        EXPECT_EQ(frame->get_Surface(&surface), S_OK);
        ComPtr<Windows::Graphics::DirectX::Direct3D11::IDirect3DDxgiInterfaceAccess> access;
        EXPECT_EQ(surface.As(&access), S_OK);
        EXPECT_EQ(access->GetInterface(IID_PPV_ARGS(&texture)), S_OK);
        return texture;
    }
};

// A thread in the multithreaded apartment for as long as it lives.
struct Apartment {
    Apartment() { EXPECT_EQ(RoInitialize(RO_INIT_MULTITHREADED), S_OK); }
    ~Apartment() { RoUninitialize(); }
};
