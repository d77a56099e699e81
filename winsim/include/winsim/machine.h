// winsim control API: the simulated machine's description and the scenario catalogue.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <dxgi1_6.h>

namespace winsim {

struct OutputConfig {
    std::wstring deviceName = L"\\\\.\\DISPLAY1";
    POINT position{0, 0};  // top-left corner in desktop coordinates
    UINT width = 1920;     // mode size, before rotation
    UINT height = 1080;
    DXGI_FORMAT format = DXGI_FORMAT_B8G8R8A8_UNORM;
    DXGI_MODE_ROTATION rotation = DXGI_MODE_ROTATION_IDENTITY;
    float sdrWhiteNits = 80.0f;  // the SDR white level of its monitor
    bool attached = true;
    double updateHz = 30.0;  // desktop updates per second; 0 = only when a test presents an image
    int drivenByAdapter = -1;  // adapter whose devices may duplicate it; -1 = the one that enumerates it
    // Clone mode: further monitors that show this output's desktop, each one more display
    // configuration path on the output's source, given by its SDR white level in nits.
    std::vector<float> cloneSdrWhiteNits;
    bool hasDisplayPath = true;  // false: the display configuration lists no path for its source
    float dpiScale = 1.0f;       // the monitor's scale (1.5: 150 %), which DPI-unaware threads see virtualised

    // Desktop coordinates: the mode at `position`, with width and height swapped by a 90 or 270
    // degree rotation.
    RECT desktopRect() const;
};

struct AdapterConfig {
    std::wstring description = L"winsim GPU";
    LUID luid{0x1000, 0};
    uint64_t dedicatedBytes = 8ull << 30;
    uint64_t sharedSystemBytes = 16ull << 30;  // system memory it may use: the non-local segment group
    bool exposesAdapter3 = true;  // IDXGIAdapter3 (video memory queries) available
    bool exposesOutput5 = true;   // IDXGIOutput5 (DuplicateOutput1) available on its outputs
    bool supportsD3D12 = true;
    bool exposesDevice5 = true;           // ID3D11Device5 (fence creation) available on its Direct3D 11 devices
    bool exposesContext4 = true;          // ID3D11DeviceContext4 (fence signalling) available
    bool mipsOnSharedTextures = true;     // false: refuses GENERATE_MIPS on shared textures, as some drivers do
    std::vector<OutputConfig> outputs;
};

// Changes a scenario makes by itself over time, counted from its first duplication.
enum class Timeline {
    None,
    Hotplug,        // output 1 unplugged 2 s after the first duplication, back 2 s later, again and again
    ModeSwitch,     // output 0 goes 1920x1080 -> 2560x1440 -> 2560x1440 FP16 -> ..., one step every 3 s
    SecureDesktop,  // the secure desktop shows for 2 s every 5 s
    DeviceRemoval,  // adapter 0's devices are removed 3 s after the first duplication; new ones can be made 1 s later
};

struct MachineConfig {
    std::string name = "custom";
    std::vector<AdapterConfig> adapters;
    uint64_t leakPerDuplicationBytes = 0;  // video memory a duplication leaks for good (a faulty driver)
    // Other processes that duplicate outputs meanwhile: at four or more, this process can start
    // no duplication while it holds none (winsim::setOtherDuplicatingProcesses changes it later).
    int otherDuplicatingProcesses = 0;
    Timeline timeline = Timeline::None;
    bool movingCursor = false;  // the cursor wanders across the desktop and changes shape by itself
    double cursorHz = 4.0;      // its moves per second
    double cursorShapeSeconds = 3.0;  // time between its shape changes
    // Every wait a program asks of the platform (Sleep, the time-outs of WaitForSingleObject and
    // AcquireNextFrame) lasts this fraction of what it asks: 0.1 runs a program's sleeps and
    // time-outs ten times as fast. Desktop updates, the cursor and the timelines keep real time.
    double waitScale = 1.0;
};

// The scenario catalogue. `scenario` returns false for an unknown name.
bool scenario(std::string_view name, MachineConfig& out);
std::vector<std::string> scenarioNames();

}  // namespace winsim
