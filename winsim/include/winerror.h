// Status codes, with the values Windows gives them.
#pragma once
#include "windef.h"

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define HRESULT_CODE(hr) ((hr) & 0xFFFF)
#define HRESULT_FACILITY(hr) (((hr) >> 16) & 0x1FFF)
#define HRESULT_SEVERITY(hr) ((static_cast<uint32_t>(hr) >> 31) & 0x1)
#define MAKE_HRESULT(severity, facility, code)                                                              \
    static_cast<HRESULT>((static_cast<uint32_t>(severity) << 31) | (static_cast<uint32_t>(facility) << 16) | \
                         static_cast<uint32_t>(code))

#define SEVERITY_SUCCESS 0
#define SEVERITY_ERROR 1

#define FACILITY_NULL 0
#define FACILITY_RPC 1
#define FACILITY_DISPATCH 2
#define FACILITY_STORAGE 3
#define FACILITY_ITF 4
#define FACILITY_WIN32 7
#define FACILITY_WINDOWS 8
#define FACILITY_DXGI 0x87A
#define FACILITY_DXGI_DDI 0x87B
#define FACILITY_DIRECT3D11 0x87C
#define FACILITY_DIRECT3D12 0x87E

// A Win32 error code as an HRESULT: zero and negative values stay as they are.
inline HRESULT HRESULT_FROM_WIN32(unsigned long error) {
    return static_cast<HRESULT>(error) <= 0
               ? static_cast<HRESULT>(error)
               : static_cast<HRESULT>((error & 0x0000FFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001u)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002u)
#define E_POINTER static_cast<HRESULT>(0x80004003u)
#define E_ABORT static_cast<HRESULT>(0x80004004u)
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_UNEXPECTED static_cast<HRESULT>(0x8000FFFFu)
#define E_ACCESSDENIED static_cast<HRESULT>(0x80070005u)
#define E_HANDLE static_cast<HRESULT>(0x80070006u)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000Eu)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)
#define E_ILLEGAL_METHOD_CALL static_cast<HRESULT>(0x8000000Eu)
#define RO_E_CLOSED static_cast<HRESULT>(0x80000013u)
#define CO_E_NOTINITIALIZED static_cast<HRESULT>(0x800401F0u)
#define RPC_E_CHANGED_MODE static_cast<HRESULT>(0x80010106u)
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154u)

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_GEN_FAILURE 31L
#define ERROR_INVALID_MONITOR_HANDLE 1461L

#define DXGI_ERROR_INVALID_CALL static_cast<HRESULT>(0x887A0001u)
#define DXGI_ERROR_NOT_FOUND static_cast<HRESULT>(0x887A0002u)
#define DXGI_ERROR_MORE_DATA static_cast<HRESULT>(0x887A0003u)
#define DXGI_ERROR_WAS_STILL_DRAWING static_cast<HRESULT>(0x887A000Au)
#define DXGI_ERROR_UNSUPPORTED static_cast<HRESULT>(0x887A0004u)
#define DXGI_ERROR_DEVICE_REMOVED static_cast<HRESULT>(0x887A0005u)
#define DXGI_ERROR_DEVICE_HUNG static_cast<HRESULT>(0x887A0006u)
#define DXGI_ERROR_DEVICE_RESET static_cast<HRESULT>(0x887A0007u)
#define DXGI_ERROR_NOT_CURRENTLY_AVAILABLE static_cast<HRESULT>(0x887A0022u)
#define DXGI_ERROR_ACCESS_LOST static_cast<HRESULT>(0x887A0026u)
#define DXGI_ERROR_WAIT_TIMEOUT static_cast<HRESULT>(0x887A0027u)
#define DXGI_ERROR_SESSION_DISCONNECTED static_cast<HRESULT>(0x887A0028u)
#define DXGI_ERROR_ACCESS_DENIED static_cast<HRESULT>(0x887A002Bu)
#define DXGI_ERROR_SDK_COMPONENT_MISSING static_cast<HRESULT>(0x887A002Du)
