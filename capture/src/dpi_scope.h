// Runs a scope per-monitor DPI aware (V2) and gives the thread its own awareness back after it:
// format-aware duplication needs a per-monitor-aware caller, whatever the host process declared.
#pragma once
#include <windows.h>

namespace velda {

class PerMonitorDpiScope {
public:
    PerMonitorDpiScope() : previous_(SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {}
    ~PerMonitorDpiScope() {
        if (previous_) SetThreadDpiAwarenessContext(previous_);
    }
    PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
    PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

private:
    DPI_AWARENESS_CONTEXT previous_;  // null when the call failed: nothing to restore
};

}  // namespace velda
