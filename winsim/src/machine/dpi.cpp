#include "machine/dpi.h"

#include <atomic>
#include <cmath>

#include "machine/manifest.h"

namespace winsim {
namespace {

struct ThreadAwareness {
    uint64_t machine = 0;  // the serial of the process (machine) the value was set in
    intptr_t value = 0;                // 0: follows the process
};
thread_local ThreadAwareness threadAwareness;

}  // namespace

intptr_t contextValue(DPI_AWARENESS_CONTEXT context) { return reinterpret_cast<intptr_t>(context); }
bool validContext(intptr_t value) { return value <= -1 && value >= -5; }

intptr_t threadDpiContext() {
    auto machine = currentMachine();
    if (!machine) return contextValue(DPI_AWARENESS_CONTEXT_UNAWARE);
    if (threadAwareness.machine == machine->serial && threadAwareness.value != 0) return threadAwareness.value;
    return machine->processDpiContext.load();
}

intptr_t setThreadDpiContext(intptr_t value) {
    const intptr_t before = threadDpiContext();
    auto machine = currentMachine();
    threadAwareness = {machine ? machine->serial : 0, value};
    return before;
}

bool setProcessDpiContext(intptr_t value, bool fromManifest) {
    auto machine = currentMachine();
    if (!machine) return false;
    if (machine->processDpiSet.exchange(true) && !fromManifest) return false;
    machine->processDpiContext = value;
    return true;
}

void applyManifestDpiAwareness(Machine& machine) {
    const intptr_t context = applicationManifestDpiContext();
    if (!validContext(context)) return;
    machine.processDpiContext = context;
    machine.processDpiSet = true;
}

bool threadIsPerMonitorAware() {
    const intptr_t context = threadDpiContext();
    return context == contextValue(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE) ||
           context == contextValue(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

POINT logicalPoint(const Machine& machine, POINT physical) {
    if (threadIsPerMonitorAware()) return physical;
    for (const auto& output : machine.outputs()) {
        const OutputConfig& config = output->current;
        const RECT r = config.desktopRect();
        if (!config.attached || physical.x < r.left || physical.x >= r.right || physical.y < r.top || physical.y >= r.bottom)
            continue;
        const float scale = config.dpiScale > 0 ? config.dpiScale : 1.0f;
        return POINT{r.left + static_cast<LONG>(std::floor((physical.x - r.left) / scale)),
                     r.top + static_cast<LONG>(std::floor((physical.y - r.top) / scale))};
    }
    return physical;
}

}  // namespace winsim
