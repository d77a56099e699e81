// DXGI 1.6: outputs' colour description, adapters by GPU preference.
#pragma once
#include "dxgi1_5.h"

struct DXGI_OUTPUT_DESC1 {
    WCHAR DeviceName[32];
    RECT DesktopCoordinates;
    BOOL AttachedToDesktop;
    DXGI_MODE_ROTATION Rotation;
    HMONITOR Monitor;
    UINT BitsPerColor;
    DXGI_COLOR_SPACE_TYPE ColorSpace;
    FLOAT RedPrimary[2];
    FLOAT GreenPrimary[2];
    FLOAT BluePrimary[2];
    FLOAT WhitePoint[2];
    FLOAT MinLuminance;
    FLOAT MaxLuminance;
    FLOAT MaxFullFrameLuminance;
};

struct IDXGIOutput6 : IDXGIOutput5 {
    virtual HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_OUTPUT_DESC1* desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckHardwareCompositionSupport(UINT* flags) = 0;
};
WINSIM_INTERFACE(IDXGIOutput6, IDXGIOutput5, "068346e8-aaec-4b84-add7-137f513f77a1")

enum DXGI_GPU_PREFERENCE : int {  // a fixed type: a caller's out-of-range value is refused, not undefined
    DXGI_GPU_PREFERENCE_UNSPECIFIED = 0,
    DXGI_GPU_PREFERENCE_MINIMUM_POWER = 1,
    DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE = 2
};

struct IDXGIFactory6 : IDXGIFactory5 {
    virtual HRESULT STDMETHODCALLTYPE EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE preference,
                                                                 REFIID riid, void** adapter) = 0;
};
WINSIM_INTERFACE(IDXGIFactory6, IDXGIFactory5, "c1b6694f-ff09-44a9-b03c-77900a0a1d17")
