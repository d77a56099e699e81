// Machines for Windows.Graphics.Capture: a hybrid laptop, and earlier Windows builds.
#include "machine/scenarios.h"

namespace winsim {

// A laptop's integrated GPU drives its 1920x1080 panel; the discrete GPU, with more memory and
// more performance, an external 2560x1440 HDR monitor.
MachineConfig hybridLaptop() {
    MachineConfig machine = defaultMachine();
    OutputConfig panel = machine.adapters[0].outputs[0];
    OutputConfig external = machine.adapters[0].outputs[1];
    AdapterConfig integrated;
    integrated.description = L"winsim integrated GPU";
    integrated.luid = LUID{0x2000, 0};
    integrated.dedicatedBytes = 512ull << 20;
    integrated.hybrid = HybridRole::Integrated;
    integrated.outputs = {panel};
    AdapterConfig discrete = machine.adapters[0];
    discrete.description = L"winsim discrete GPU";
    discrete.hybrid = HybridRole::Discrete;
    discrete.outputs = {external};
    machine.adapters = {integrated, discrete};
    return machine;
}

// Windows 10 1903, the first build with IGraphicsCaptureItemInterop: no cursor or border
// property (the system always draws the cursor).
MachineConfig windows10v1903() {
    MachineConfig machine = defaultMachine();
    machine.windowsBuild = 18362;
    return machine;
}

// Windows 10 2004: IsCursorCaptureEnabled, no IsBorderRequired.
MachineConfig windows10v2004() {
    MachineConfig machine = defaultMachine();
    machine.windowsBuild = 19041;
    return machine;
}

}  // namespace winsim
