// Windows.Graphics.Capture as the Windows Runtime's ABI declares it: capture items, Direct3D 11
// frame pools, their frames and capture sessions, with the interfaces' IIDs and the methods in
// vtable order.
#pragma once
#include "windows.foundation.h"
#include "windows.graphics.directx.direct3d11.h"
#include "windows.graphics.h"

inline constexpr WCHAR RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureItem[] =
    L"Windows.Graphics.Capture.GraphicsCaptureItem";
inline constexpr WCHAR RuntimeClass_Windows_Graphics_Capture_Direct3D11CaptureFramePool[] =
    L"Windows.Graphics.Capture.Direct3D11CaptureFramePool";
inline constexpr WCHAR RuntimeClass_Windows_Graphics_Capture_Direct3D11CaptureFrame[] =
    L"Windows.Graphics.Capture.Direct3D11CaptureFrame";
inline constexpr WCHAR RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureSession[] =
    L"Windows.Graphics.Capture.GraphicsCaptureSession";

namespace ABI::Windows::System {
struct IDispatcherQueue;
}
namespace ABI::Windows::UI::Composition {
struct IVisual;
}

namespace ABI::Windows::Graphics::Capture {

// The runtime classes, passed as their default interfaces.
class GraphicsCaptureItem;
class Direct3D11CaptureFramePool;
class Direct3D11CaptureFrame;
class GraphicsCaptureSession;
struct IGraphicsCaptureItem;
struct IDirect3D11CaptureFramePool;

}  // namespace ABI::Windows::Graphics::Capture

namespace ABI::Windows::Foundation {
template <>
struct ITypedEventHandler<Graphics::Capture::Direct3D11CaptureFramePool*, IInspectable*>
    : ITypedEventHandler_impl<Graphics::Capture::IDirect3D11CaptureFramePool*, IInspectable*> {};
using __FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable_t =
    ITypedEventHandler<Graphics::Capture::Direct3D11CaptureFramePool*, IInspectable*>;
template <>
struct ITypedEventHandler<Graphics::Capture::GraphicsCaptureItem*, IInspectable*>
    : ITypedEventHandler_impl<Graphics::Capture::IGraphicsCaptureItem*, IInspectable*> {};
using __FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable_t =
    ITypedEventHandler<Graphics::Capture::GraphicsCaptureItem*, IInspectable*>;
}  // namespace ABI::Windows::Foundation

#define __FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable \
    ABI::Windows::Foundation::__FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable_t
#define __FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable \
    ABI::Windows::Foundation::__FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable_t

namespace ABI::Windows::Graphics::Capture {

using DirectX::DirectXPixelFormat;
using DirectX::Direct3D11::IDirect3DDevice;
using DirectX::Direct3D11::IDirect3DSurface;

struct IGraphicsCaptureItem : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(SizeInt32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Closed(
        __FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable* handler,
        EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Closed(EventRegistrationToken token) = 0;
};

struct IGraphicsCaptureItemStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateFromVisual(UI::Composition::IVisual* visual,
                                                       IGraphicsCaptureItem** result) = 0;
};

struct IDirect3D11CaptureFrame : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Surface(IDirect3DSurface** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SystemRelativeTime(Foundation::TimeSpan* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ContentSize(SizeInt32* value) = 0;
};

struct IGraphicsCaptureSession : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE StartCapture() = 0;
};
struct IGraphicsCaptureSession2 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_IsCursorCaptureEnabled(boolean* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsCursorCaptureEnabled(boolean value) = 0;
};
struct IGraphicsCaptureSession3 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_IsBorderRequired(boolean* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsBorderRequired(boolean value) = 0;
};
struct IGraphicsCaptureSession5 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_MinUpdateInterval(Foundation::TimeSpan* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MinUpdateInterval(Foundation::TimeSpan value) = 0;
};
struct IGraphicsCaptureSessionStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE IsSupported(boolean* result) = 0;
};

struct IDirect3D11CaptureFramePool : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Recreate(IDirect3DDevice* device, DirectXPixelFormat pixelFormat,
                                               INT32 numberOfBuffers, SizeInt32 size) = 0;
    virtual HRESULT STDMETHODCALLTYPE TryGetNextFrame(IDirect3D11CaptureFrame** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_FrameArrived(
        __FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable* handler,
        EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_FrameArrived(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCaptureSession(IGraphicsCaptureItem* item,
                                                           IGraphicsCaptureSession** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DispatcherQueue(System::IDispatcherQueue** value) = 0;
};
struct IDirect3D11CaptureFramePoolStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Create(IDirect3DDevice* device, DirectXPixelFormat pixelFormat,
                                             INT32 numberOfBuffers, SizeInt32 size,
                                             IDirect3D11CaptureFramePool** result) = 0;
};
struct IDirect3D11CaptureFramePoolStatics2 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateFreeThreaded(IDirect3DDevice* device, DirectXPixelFormat pixelFormat,
                                                         INT32 numberOfBuffers, SizeInt32 size,
                                                         IDirect3D11CaptureFramePool** result) = 0;
};

}  // namespace ABI::Windows::Graphics::Capture

#define WINSIM_CAPTURE_INTERFACE(I, ID) \
    WINSIM_INTERFACE_NAMED(ABI::Windows::Graphics::Capture::I, IInspectable, ID, \
                           IID___x_ABI_CWindows_CGraphics_CCapture_C##I)
WINSIM_CAPTURE_INTERFACE(IGraphicsCaptureItem, "79c3f95b-31f7-4ec2-a464-632ef5d30760")
WINSIM_CAPTURE_INTERFACE(IGraphicsCaptureItemStatics, "a87ebea5-457c-5788-ab47-0cf1d3637e74")
WINSIM_CAPTURE_INTERFACE(IDirect3D11CaptureFrame, "fa50c623-38da-4b32-acf3-fa9734ad800e")
WINSIM_CAPTURE_INTERFACE(IGraphicsCaptureSession, "814e42a9-f70f-4ad7-939b-fddcc6eb880d")
WINSIM_CAPTURE_INTERFACE(IGraphicsCaptureSession2, "2c39ae40-7d2e-5044-804e-8b6799d4cf9e")
WINSIM_CAPTURE_INTERFACE(IGraphicsCaptureSession3, "f2cdd966-22ae-5ea1-9596-3a289344c3be")
WINSIM_CAPTURE_INTERFACE(IGraphicsCaptureSession5, "67c0ea62-1f85-5061-925a-239be0ac09cb")
WINSIM_CAPTURE_INTERFACE(IGraphicsCaptureSessionStatics, "2224a540-5974-49aa-b232-0882536f4cb5")
WINSIM_CAPTURE_INTERFACE(IDirect3D11CaptureFramePool, "24eb6d22-1975-422e-82e7-780dbd8ddf24")
WINSIM_CAPTURE_INTERFACE(IDirect3D11CaptureFramePoolStatics, "7784056a-67aa-4d53-ae54-1088d5a8ca21")
WINSIM_CAPTURE_INTERFACE(IDirect3D11CaptureFramePoolStatics2, "589b103f-6bbc-5df5-a991-02e28b3b66d5")
#undef WINSIM_CAPTURE_INTERFACE
WINSIM_INTERFACE_NAMED(
    ABI::Windows::Foundation::__FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable_t,
    IUnknown, "51a947f7-79cf-5a3e-a3a5-1289cfa6dfe8",
    IID___FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable)
WINSIM_INTERFACE_NAMED(
    ABI::Windows::Foundation::__FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable_t,
    IUnknown, "e9c610c0-a68c-5bd9-8021-8589346eeee2",
    IID___FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable)
