#include "machine/field.h"

#include "winsim/monitors.h"

namespace winsim {

// Users of capture tools report that a monitor that sleeps (power saving, a closed laptop lid)
// stops delivering frames: AcquireNextFrame times out until it wakes, and the duplication works
// on. Others report, on the same events, DXGI_ERROR_ACCESS_LOST as the monitor goes to sleep,
// E_ACCESSDENIED from DuplicateOutput while it sleeps, and, just after it wakes, outputs whose
// DesktopCoordinates are empty and duplications that fail with E_FAIL for a moment, after which
// the same mode works again: the sleep-denies variant. Neither changes the display mode.
void setAsleep(Machine& machine, OutputState& output, bool asleep, Clock::time_point now) {
    OutputField& field = output.field;
    if (field.asleep == asleep) return;
    field.asleep = asleep;
    if (machine.config().variants.sleepDenies) {
        if (asleep) ++output.epoch;
        field.waking = !asleep;
        field.settlesAt = now + kWakeSettle;
    }
    machine.notify();
}

void settle(OutputState& output, Clock::time_point now) {
    if (output.field.waking && now >= output.field.settlesAt) output.field.waking = false;
}

// An exclusive-fullscreen game changes the display mode as it starts and as it ends, so every
// duplication of the output loses access both ways, and a factory made before is stale. Users of
// capture tools also report that around these switches AcquireNextFrame of a duplication made
// again answers DXGI_ERROR_INVALID_CALL, and keeps answering it until that duplication is
// released and made once more: one such duplication per switch.
void setFullscreenGame(OutputState& output, bool running) {
    OutputField& field = output.field;
    if (running == (field.gameTookWidth != 0)) return;
    OutputConfig next = output.current;
    if (running) {
        field.gameTookWidth = next.width;
        field.gameTookHeight = next.height;
        next.width = kGameWidth;
        next.height = kGameHeight;
    } else {
        next.width = field.gameTookWidth;
        next.height = field.gameTookHeight;
        field.gameTookWidth = field.gameTookHeight = 0;
    }
    const uint64_t epoch = output.epoch;
    output.reconfigure(next);
    if (output.epoch == epoch) ++output.epoch;  // a game in the desktop's own mode switches all the same
    field.invalidCallOwed = true;
}

// DXGI_OUTDUPL_FRAME_INFO's page: ProtectedContentMaskedOut says whether the image has protected
// content that the system blacked out; users of capture tools see DRM-protected video as a black
// rectangle in the captured desktop while the rest shows.
void setProtectedArea(Machine& machine, OutputState& output, RECT area) {
    const bool empty = area.right <= area.left || area.bottom <= area.top;
    output.field.protectedArea = empty ? RECT{} : area;
    machine.notify();
}

namespace {
template <class F>
void changeField(int output, F&& change) {
    auto machine = currentMachine();
    auto state = currentOutput(output);
    if (!machine || !state) return;
    auto lock = machine->lock();
    machine->advance(Clock::now());
    change(*machine, *state);
}
}  // namespace

void setOutputAsleep(int output, bool asleep) {
    changeField(output, [&](Machine& m, OutputState& o) { setAsleep(m, o, asleep, Clock::now()); });
}

void setFullscreenGame(int output, bool running) {
    changeField(output, [&](Machine&, OutputState& o) { setFullscreenGame(o, running); });
}

void setProtectedContent(int output, RECT area) {
    changeField(output, [&](Machine& m, OutputState& o) { setProtectedArea(m, o, area); });
}

}  // namespace winsim
