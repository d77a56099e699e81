// DPI awareness of the process and its threads, and the monitors' DPI.
#include <shellscalingapi.h>
#include <windows.h>

#include <cmath>

#include "display/paths.h"
#include "kernel/handles.h"
#include "machine/dpi.h"
#include "machine/faults.h"
#include "winsim/monitors.h"

using winsim::contextValue;

DPI_AWARENESS_CONTEXT WINAPI SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT context) {
    if (auto error = winsim::fault("SetThreadDpiAwarenessContext")) {
        winsim::kernel::setLastError(static_cast<DWORD>(*error));
        return nullptr;
    }
    if (!winsim::validContext(contextValue(context))) {
        winsim::kernel::setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<DPI_AWARENESS_CONTEXT>(winsim::setThreadDpiContext(contextValue(context)));
}

DPI_AWARENESS_CONTEXT WINAPI GetThreadDpiAwarenessContext() {
    return reinterpret_cast<DPI_AWARENESS_CONTEXT>(winsim::threadDpiContext());
}

BOOL WINAPI AreDpiAwarenessContextsEqual(DPI_AWARENESS_CONTEXT a, DPI_AWARENESS_CONTEXT b) {
    return contextValue(a) == contextValue(b) && winsim::validContext(contextValue(a)) ? TRUE : FALSE;
}

BOOL WINAPI IsValidDpiAwarenessContext(DPI_AWARENESS_CONTEXT context) {
    return winsim::validContext(contextValue(context)) ? TRUE : FALSE;
}

// Once per process: a second call, or one after the manifest has spoken, is denied.
BOOL WINAPI SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT context) {
    if (!winsim::validContext(contextValue(context))) {
        winsim::kernel::setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!winsim::setProcessDpiContext(contextValue(context), false)) {
        winsim::kernel::setLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

HRESULT WINAPI GetDpiForMonitor(HMONITOR monitor, MONITOR_DPI_TYPE type, UINT* dpiX, UINT* dpiY) {
    if (!dpiX || !dpiY || type < MDT_EFFECTIVE_DPI || type > MDT_RAW_DPI) return E_INVALIDARG;
    auto machine = winsim::display::currentState();
    auto output = machine ? winsim::display::outputWithMonitor(*machine, monitor) : nullptr;
    if (!output) return E_INVALIDARG;
    const float scale = winsim::threadIsPerMonitorAware() ? output->config().dpiScale : 1.0f;
    *dpiX = *dpiY = static_cast<UINT>(std::lround(96.0f * scale));
    return S_OK;
}

namespace winsim {
void setManifestDpiAwareness(DPI_AWARENESS_CONTEXT context) { setProcessDpiContext(contextValue(context), true); }
}  // namespace winsim
