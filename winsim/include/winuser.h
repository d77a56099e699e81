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
