// The catalogue of built-in machines that WINSIM_SCENARIO picks from.
#include <functional>
#include <utility>

#include "machine/scenarios.h"

namespace winsim {
namespace {

OutputConfig display(int number, LONG x, UINT width, UINT height, DXGI_FORMAT format) {
    OutputConfig output;
    output.deviceName = L"\\\\.\\DISPLAY" + std::to_wstring(number);
    output.position = POINT{x, 0};
    output.width = width;
    output.height = height;
    output.format = format;
    return output;
}

AdapterConfig gpu(std::vector<OutputConfig> outputs) {
    AdapterConfig adapter;
    adapter.description = L"winsim discrete GPU";
    adapter.luid = LUID{0x1000, 0};
    adapter.outputs = std::move(outputs);
    return adapter;
}

MachineConfig headless() {
    MachineConfig machine;
    machine.adapters.push_back(gpu({}));
    return machine;
}

MachineConfig noVramQuery() {
    MachineConfig machine = defaultMachine();
    machine.adapters[0].exposesAdapter3 = false;
    return machine;
}

MachineConfig noD3d12() {
    MachineConfig machine = defaultMachine();
    machine.adapters[0].supportsD3D12 = false;
    return machine;
}

MachineConfig leakyDriver() {
    MachineConfig machine = defaultMachine();
    machine.leakPerDuplicationBytes = 8ull << 20;
    return machine;
}

MachineConfig noMips() {
    MachineConfig machine = defaultMachine();
    machine.adapters[0].mipsOnSharedTextures = false;
    return machine;
}

MachineConfig hybrid() {
    MachineConfig machine;
    AdapterConfig discrete = gpu({display(1, 0, 1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM)});
    discrete.outputs[0].drivenByAdapter = 1;
    AdapterConfig integrated;
    integrated.description = L"winsim integrated GPU";
    integrated.luid = LUID{0x2000, 0};
    integrated.dedicatedBytes = 512ull << 20;
    machine.adapters = {discrete, integrated};
    return machine;
}

MachineConfig turned(DXGI_MODE_ROTATION rotation) {
    MachineConfig machine = singleMachine();
    machine.adapters[0].outputs[0].rotation = rotation;
    return machine;
}

MachineConfig rotated() { return turned(DXGI_MODE_ROTATION_ROTATE90); }
MachineConfig rotated180() { return turned(DXGI_MODE_ROTATION_ROTATE180); }
MachineConfig rotated270() { return turned(DXGI_MODE_ROTATION_ROTATE270); }

MachineConfig rotatedHdr() {
    MachineConfig machine = rotated();
    machine.adapters[0].outputs[0].format = DXGI_FORMAT_R16G16B16A16_FLOAT;
    machine.adapters[0].outputs[0].sdrWhiteNits = 240.0f;
    return machine;
}

MachineConfig hotplug() {
    MachineConfig machine = defaultMachine();
    machine.timeline = Timeline::Hotplug;
    return machine;
}

MachineConfig modeSwitch() {
    MachineConfig machine = singleMachine();
    machine.timeline = Timeline::ModeSwitch;
    return machine;
}

MachineConfig secureDesktop() {
    MachineConfig machine = defaultMachine();
    machine.timeline = Timeline::SecureDesktop;
    return machine;
}

MachineConfig deviceRemoved() {
    MachineConfig machine = singleMachine();
    machine.timeline = Timeline::DeviceRemoval;
    return machine;
}

MachineConfig dpiScaled() {
    MachineConfig machine = defaultMachine();
    machine.adapters[0].outputs[1].dpiScale = 1.5f;
    return machine;
}

MachineConfig tenBit() {
    MachineConfig machine = singleMachine();
    machine.adapters[0].outputs[0].format = DXGI_FORMAT_R10G10B10A2_UNORM;
    return machine;
}

const std::vector<std::pair<std::string, std::function<MachineConfig()>>>& catalogue() {
    static const std::vector<std::pair<std::string, std::function<MachineConfig()>>> entries = {
        {"default", defaultMachine},
        {"single", singleMachine},
        {"headless", headless},
        {"no-vram-query", noVramQuery},
        {"no-d3d12", noD3d12},
        {"leaky-driver", leakyDriver},
        {"no-mips", noMips},
        {"hybrid", hybrid},
        {"rotated", rotated},
        {"rotated-180", rotated180},
        {"rotated-270", rotated270},
        {"rotated-hdr", rotatedHdr},
        {"ten-bit", tenBit},
        {"hotplug", hotplug},
        {"mode-switch", modeSwitch},
        {"secure-desktop", secureDesktop},
        {"device-removed", deviceRemoved},
        {"dpi-scaled", dpiScaled},
        {"advanced-color-sdr", advancedColorSdr},
        {"software-cursor", softwareCursor},
        {"protected-video", protectedVideo},
        {"display-sleep", displaySleep},
        {"fullscreen-game", fullscreenGame},
        {"fast-pointer", fastPointer},
        {"hybrid-laptop", hybridLaptop},
        {"windows-10-1903", windows10v1903},
        {"windows-10-2004", windows10v2004},
    };
    return entries;
}

}  // namespace

MachineConfig defaultMachine() {
    OutputConfig sdr = display(1, 0, 1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM);
    sdr.updateHz = 10.0;
    OutputConfig hdr = display(2, 1920, 2560, 1440, DXGI_FORMAT_R16G16B16A16_FLOAT);
    hdr.sdrWhiteNits = 240.0f;
    hdr.updateHz = 4.0;
    MachineConfig machine;
    machine.adapters.push_back(gpu({sdr, hdr}));
    machine.movingCursor = true;
    return machine;
}

MachineConfig singleMachine() {
    OutputConfig output = display(1, 0, 1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM);
    output.updateHz = 10.0;
    MachineConfig machine;
    machine.adapters.push_back(gpu({output}));
    return machine;
}

bool scenario(std::string_view name, MachineConfig& out) {
    for (const auto& [known, make] : catalogue()) {
        if (known != name) continue;
        out = make();
        out.name = known;
        return true;
    }
    return false;
}

std::vector<std::string> scenarioNames() {
    std::vector<std::string> names;
    for (const auto& entry : catalogue()) names.push_back(entry.first);
    return names;
}

}  // namespace winsim
