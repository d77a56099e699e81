// DPI awareness: the process's (from its manifest or SetProcessDpiAwarenessContext; unaware when
// neither said) and each thread's own, and what a thread sees of a scaled monitor. A new machine
// is a new process: every awareness set for an earlier one is forgotten.
#pragma once
#include <cstdint>

#include <windows.h>

#include "machine/machine.h"

namespace winsim {

// The contexts' values, -1 (unaware) to -5 (unaware, GDI scaled); 0 is no context.
intptr_t contextValue(DPI_AWARENESS_CONTEXT context);
bool validContext(intptr_t value);

// The awareness the calling thread runs with.
intptr_t threadDpiContext();
// Sets the calling thread's own awareness; returns the one it ran with before.
intptr_t setThreadDpiContext(intptr_t value);
// False when the process's awareness was already set (by the manifest or an earlier call).
bool setProcessDpiContext(intptr_t value, bool fromManifest);

// A new process (machine) starts with the awareness its application manifest declares
// (setApplicationManifest), if it declares one.
void applyManifestDpiAwareness(Machine& machine);

bool threadIsPerMonitorAware();
// A desktop point as the calling thread sees it: unchanged for a per-monitor-aware thread, else
// scaled down about the top-left corner of the monitor it lies on.
POINT logicalPoint(const Machine& machine, POINT physical);

}  // namespace winsim
