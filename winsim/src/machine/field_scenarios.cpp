// Scenarios of what users of capture tools report of real Windows machines beyond the
// documentation: FP16 desktops that are SDR, cursors drawn into the image, protected video,
// monitors that sleep, fullscreen games and fast mice.
#include "machine/scenarios.h"

namespace winsim {

// Advanced Color on an SDR display (or a 10-bpc output with HDR off): an FP16 scRGB desktop in
// the sRGB colour space, where scRGB 1.0 is SDR white.
MachineConfig advancedColorSdr() {
    MachineConfig machine = singleMachine();
    machine.adapters[0].outputs[0].format = DXGI_FORMAT_R16G16B16A16_FLOAT;
    machine.adapters[0].outputs[0].hdr = false;
    return machine;
}

MachineConfig softwareCursor() {
    MachineConfig machine = singleMachine();
    machine.adapters[0].outputs[0].softwareCursor = true;
    machine.movingCursor = true;
    return machine;
}

namespace {
MachineConfig withTimeline(MachineConfig machine, Timeline timeline) {
    machine.timeline = timeline;
    return machine;
}
}  // namespace

MachineConfig protectedVideo() { return withTimeline(singleMachine(), Timeline::ProtectedVideo); }
MachineConfig displaySleep() { return withTimeline(defaultMachine(), Timeline::DisplaySleep); }
MachineConfig fullscreenGame() { return withTimeline(singleMachine(), Timeline::FullscreenGame); }

MachineConfig fastPointer() {
    MachineConfig machine = defaultMachine();
    machine.cursorHz = 1000.0;
    return machine;
}

}  // namespace winsim
