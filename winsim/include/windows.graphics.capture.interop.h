// Desktop interop of Windows.Graphics.Capture: capture items for a window or a monitor, from the
// GraphicsCaptureItem class's activation factory. A classic COM interface at global scope.
#pragma once
#include "unknwn.h"
#include "windef.h"

struct IGraphicsCaptureItemInterop : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateForWindow(HWND window, REFIID riid, void** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateForMonitor(HMONITOR monitor, REFIID riid, void** result) = 0;
};
WINSIM_INTERFACE(IGraphicsCaptureItemInterop, IUnknown, "3628e81b-3cac-4c60-b7f4-23ce0e0c3356")
