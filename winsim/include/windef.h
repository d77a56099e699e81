// Win32 base types with the sizes they have on Windows, whatever the host's long is.
#pragma once
#include <cstddef>
#include <cstdint>

#define WINAPI
#define STDMETHODCALLTYPE
#define CONST const

using BYTE = uint8_t;
using UINT8 = uint8_t;
using USHORT = uint16_t;
using UINT16 = uint16_t;
using WORD = uint16_t;
using INT = int32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using BOOL = int32_t;
using boolean = unsigned char;  // the Windows Runtime ABI's bool (rpcndr.h)
using INT32 = int32_t;
using UINT32 = uint32_t;
using INT64 = int64_t;
using UINT64 = uint64_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using SIZE_T = size_t;
using FLOAT = float;
using WCHAR = wchar_t;
using CHAR = char;
using LPCSTR = const char*;
using LPCWSTR = const wchar_t*;
using PCWSTR = const wchar_t*;
using PCNZWCH = const wchar_t*;
using LPVOID = void*;
using LPCVOID = const void*;
using HRESULT = int32_t;
using HANDLE = void*;
using UINT_PTR = uintptr_t;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define DECLARE_HANDLE(name) \
    struct name##__ {        \
        int unused;          \
    };                       \
    using name = name##__*
DECLARE_HANDLE(HMONITOR);
DECLARE_HANDLE(DPI_AWARENESS_CONTEXT);
#define DPI_AWARENESS_CONTEXT_UNAWARE ((DPI_AWARENESS_CONTEXT)-1)
#define DPI_AWARENESS_CONTEXT_SYSTEM_AWARE ((DPI_AWARENESS_CONTEXT)-2)
#define DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE ((DPI_AWARENESS_CONTEXT)-3)
#define DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 ((DPI_AWARENESS_CONTEXT)-4)
#define DPI_AWARENESS_CONTEXT_UNAWARE_GDISCALED ((DPI_AWARENESS_CONTEXT)-5)
DECLARE_HANDLE(HCURSOR);
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HMODULE);
using HINSTANCE = HMODULE;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct POINT {
    LONG x;
    LONG y;
};
struct LUID {
    DWORD LowPart;
    LONG HighPart;
};
union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
