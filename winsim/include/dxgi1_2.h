// DXGI 1.2: desktop duplication, NT-handle sharing.
#pragma once
#include "dxgi.h"

enum DXGI_OUTDUPL_POINTER_SHAPE_TYPE {
    DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME = 1,
    DXGI_OUTDUPL_POINTER_SHAPE_TYPE_COLOR = 2,
    DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MASKED_COLOR = 4
};

struct DXGI_OUTDUPL_DESC {
    DXGI_MODE_DESC ModeDesc;
    DXGI_MODE_ROTATION Rotation;
    BOOL DesktopImageInSystemMemory;
};

struct DXGI_OUTDUPL_POINTER_POSITION {
    POINT Position;
    BOOL Visible;
};

struct DXGI_OUTDUPL_FRAME_INFO {
    LARGE_INTEGER LastPresentTime;
    LARGE_INTEGER LastMouseUpdateTime;
    UINT AccumulatedFrames;
    BOOL RectsCoalesced;
    BOOL ProtectedContentMaskedOut;
    DXGI_OUTDUPL_POINTER_POSITION PointerPosition;
    UINT TotalMetadataBufferSize;
    UINT PointerShapeBufferSize;
};

struct DXGI_OUTDUPL_POINTER_SHAPE_INFO {
    UINT Type;
    UINT Width;
    UINT Height;
    UINT Pitch;
    POINT HotSpot;
};

struct DXGI_OUTDUPL_MOVE_RECT {
    POINT SourcePoint;
    RECT DestinationRect;
};

struct IDXGIOutputDuplication : IDXGIObject {
    virtual void STDMETHODCALLTYPE GetDesc(DXGI_OUTDUPL_DESC* desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE AcquireNextFrame(UINT timeoutMs, DXGI_OUTDUPL_FRAME_INFO* frameInfo,
                                                       IDXGIResource** desktopResource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFramePointerShape(UINT bufferSize, void* buffer, UINT* requiredSize,
                                                           DXGI_OUTDUPL_POINTER_SHAPE_INFO* shapeInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrameDirtyRects(UINT bufferSize, RECT* rects, UINT* requiredSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrameMoveRects(UINT bufferSize, DXGI_OUTDUPL_MOVE_RECT* rects,
                                                        UINT* requiredSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseFrame() = 0;
};
WINSIM_INTERFACE(IDXGIOutputDuplication, IDXGIObject, "191cfac3-a341-470d-b26e-a864f428319c")

struct IDXGIOutput1 : IDXGIOutput {
    virtual HRESULT STDMETHODCALLTYPE DuplicateOutput(IUnknown* device, IDXGIOutputDuplication** duplication) = 0;
};
WINSIM_INTERFACE(IDXGIOutput1, IDXGIOutput, "00cddea8-939b-4b83-a340-a685226666cc")

struct IDXGIResource1 : IDXGIResource {
    virtual HRESULT STDMETHODCALLTYPE CreateSharedHandle(const SECURITY_ATTRIBUTES* attributes, DWORD access,
                                                         LPCWSTR name, HANDLE* handle) = 0;
};
WINSIM_INTERFACE(IDXGIResource1, IDXGIResource, "30961379-4609-4a41-998e-54fe567ee0c1")

struct IDXGIAdapter2 : IDXGIAdapter1 {};
WINSIM_INTERFACE(IDXGIAdapter2, IDXGIAdapter1, "0aa1ae0a-fa0e-4b84-8644-e05ff8e5acb5")

struct IDXGIFactory2 : IDXGIFactory1 {};
WINSIM_INTERFACE(IDXGIFactory2, IDXGIFactory1, "50c83a1c-e072-4c48-87b0-3630fa36a6d0")
