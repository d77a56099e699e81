// Win32 user: monitors.
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
