// Win32 user: monitors and the cursor.
#pragma once
#include "windef.h"

#define CCHDEVICENAME 32
#define MONITORINFOF_PRIMARY 0x00000001u

struct MONITORINFO {
    DWORD cbSize;  // sizeof(MONITORINFO) or sizeof(MONITORINFOEXW): says which the caller passes
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
using LPMONITORINFO = MONITORINFO*;

struct MONITORINFOEXW : MONITORINFO {
    WCHAR szDevice[CCHDEVICENAME];
};
using LPMONITORINFOEXW = MONITORINFOEXW*;

// 40 and 104 bytes where WCHAR has the 2 bytes it has on Windows.
static_assert(sizeof(MONITORINFO) == 40);
static_assert(sizeof(MONITORINFOEXW) == sizeof(MONITORINFO) + CCHDEVICENAME * sizeof(WCHAR));

BOOL WINAPI GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info);

#define CURSOR_SHOWING 0x00000001u
#define CURSOR_SUPPRESSED 0x00000002u

struct CURSORINFO {
    DWORD cbSize;
    DWORD flags;
    HCURSOR hCursor;
    POINT ptScreenPos;
};
using PCURSORINFO = CURSORINFO*;
static_assert(sizeof(CURSORINFO) == 24);

BOOL WINAPI GetCursorInfo(PCURSORINFO info);

// DPI awareness. A thread without an awareness of its own follows the process's, which its
// application manifest or SetProcessDpiAwarenessContext set (unaware when neither did). A thread
// that is not per-monitor aware sees the desktop in logical coordinates: positions on a scaled
// monitor are virtualised.
DPI_AWARENESS_CONTEXT WINAPI SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT context);
DPI_AWARENESS_CONTEXT WINAPI GetThreadDpiAwarenessContext();
BOOL WINAPI AreDpiAwarenessContextsEqual(DPI_AWARENESS_CONTEXT a, DPI_AWARENESS_CONTEXT b);
BOOL WINAPI IsValidDpiAwarenessContext(DPI_AWARENESS_CONTEXT context);
BOOL WINAPI SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT context);
