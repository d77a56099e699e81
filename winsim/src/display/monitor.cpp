// GetMonitorInfoW over the outputs of the running machine.
#include <cwchar>

#include "display/paths.h"
#include "kernel/handles.h"
#include "machine/faults.h"

namespace {

BOOL failWith(DWORD error) {
    winsim::kernel::setLastError(error);
    return FALSE;
}

void describe(const winsim::OutputConfig& config, LPMONITORINFO info) {
    info->rcMonitor = config.desktopRect();
    info->rcWork = info->rcMonitor;
    info->dwFlags = info->rcMonitor.left == 0 && info->rcMonitor.top == 0 ? MONITORINFOF_PRIMARY : 0;
    if (info->cbSize != sizeof(MONITORINFOEXW)) return;
    auto* ex = static_cast<MONITORINFOEXW*>(info);
    std::wmemset(ex->szDevice, L'\0', CCHDEVICENAME);
    std::wcsncpy(ex->szDevice, config.deviceName.c_str(), CCHDEVICENAME - 1);
}

}  // namespace

// Fills MONITORINFO or, when cbSize says so, MONITORINFOEXW with the monitor's device name. A
// detached output's monitor is no longer valid.
BOOL WINAPI GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info) {
    if (!info || (info->cbSize != sizeof(MONITORINFO) && info->cbSize != sizeof(MONITORINFOEXW)))
        return failWith(ERROR_INVALID_PARAMETER);
    if (auto hr = winsim::fault("GetMonitorInfoW")) return failWith(static_cast<DWORD>(*hr));
    auto machine = winsim::display::currentState();
    auto output = machine ? winsim::display::outputWithMonitor(*machine, monitor) : nullptr;
    if (!output) return failWith(ERROR_INVALID_MONITOR_HANDLE);
    const winsim::OutputConfig config = output->config();
    if (!config.attached) return failWith(ERROR_INVALID_MONITOR_HANDLE);
    describe(config, info);
    return TRUE;
}
