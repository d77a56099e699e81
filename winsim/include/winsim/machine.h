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
    // An FP16 desktop's colour space: true, an HDR display's (PQ, BT.2020; SDR white is scRGB
    // sdrWhiteNits / 80); false, Advanced Color on an SDR display or a 10-bpc output with HDR off
    // (sRGB, BT.709; scRGB 1.0 is SDR white). Other formats are never HDR.
    bool hdr = true;
    UINT refreshHz = 60;  // its refresh rate; 0: duplication reports DXGI_RATIONAL{0, 0}, as some drivers do
    // No hardware cursor (a virtual display): the compositor draws the pointer into the desktop.
    bool softwareCursor = false;
    // False: duplication of it fails with DXGI_ERROR_UNSUPPORTED from any device, as on a hybrid
    // machine for a process that Windows runs on the discrete GPU (the reparented variant).
    bool duplicable = true;

    // Desktop coordinates: the mode at `position`, with width and height swapped by a 90 or 270
    // degree rotation.
    RECT desktopRect() const;
    // An HDR display: an FP16 desktop with `hdr` set.
    bool inHdr() const { return format == DXGI_FORMAT_R16G16B16A16_FLOAT && hdr; }
};

// Which GPU of a hybrid machine (an integrated one and a discrete one) an adapter is.
enum class HybridRole { None, Integrated, Discrete };

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
    HybridRole hybrid = HybridRole::None;
    std::vector<OutputConfig> outputs;
};

// Changes a scenario makes by itself over time, counted from its first duplication.
enum class Timeline {
    None,
    Hotplug,        // output 1 unplugged 2 s after the first duplication, back 2 s later, again and again
    ModeSwitch,     // output 0 goes 1920x1080 -> 2560x1440 -> 2560x1440 FP16 -> ..., one step every 3 s
    SecureDesktop,  // the secure desktop shows for 2 s every 5 s
    DeviceRemoval,  // adapter 0's devices are removed 3 s after the first duplication; new ones can be made 1 s later
    ProtectedVideo,  // a protected video covers 640x360 of output 0 at (200,200) for 2 s of every 4 s
    DisplaySleep,    // output 1's monitor sleeps for 3 s of every 6 s
    FullscreenGame,  // an exclusive-fullscreen game takes output 0 at 1280x720 for 2 s of every 4 s
};

// Behaviours Microsoft's documentation leaves open, where real machines may answer either way, and
// ones that some real machines show beyond it. A machine carries any of them; WINSIM_VARIANTS (a
// comma-separated list of their names, or "all") adds them to every machine a process makes.
struct Variants {
    // "mode-format-scanout": DXGI_OUTDUPL_DESC.ModeDesc.Format is the display mode's own format
    // (R10G10B10A2 for an FP16 desktop, B8G8R8A8 for the others), not that of the images the
    // duplication delivers.
    bool modeFormatScanout = false;
    // "d3d12-single-mip-sharing": ID3D12Device::OpenSharedHandle refuses a texture with more than
    // one mip (E_INVALIDARG); sharing is guaranteed for single-mip textures only.
    bool d3d12SingleMipSharing = false;
    // "dpi-process": DuplicateOutput1 checks the process's DPI awareness, not the thread's.
    bool dpiProcess = false;
    // "format-flicker": a duplication of a desktop that is not B8G8R8A8 (by DuplicateOutput, or by
    // DuplicateOutput1 listing the desktop's format) delivers B8G8R8A8, as an SDR application sees
    // the desktop, on pointer-only frames and every third image frame; the desktop's own format
    // on the others.
    bool formatFlicker = false;
    // "sdr-white-hdr-only": the SDR white level query fails (ERROR_INVALID_PARAMETER) for a
    // display that is not in HDR instead of answering its level.
    bool sdrWhiteHdrOnly = false;
    // "sleep-denies": a monitor that falls asleep costs its output's duplications their access,
    // duplication is refused while it sleeps (E_ACCESSDENIED), and for 300 ms after it wakes
    // the output describes an empty desktop rectangle and duplication fails (E_FAIL).
    bool sleepDenies = false;
    // "reparented": on a machine with an integrated and a discrete adapter (AdapterConfig::hybrid),
    // the process runs on the discrete GPU, as Windows runs one that prefers it: the discrete
    // adapter is listed first and enumerates every monitor, the integrated one none, and
    // duplicating the integrated adapter's panel fails with DXGI_ERROR_UNSUPPORTED.
    bool reparented = false;

    bool any() const {
        return modeFormatScanout || d3d12SingleMipSharing || dpiProcess || formatFlicker || sdrWhiteHdrOnly ||
               sleepDenies || reparented;
    }
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
    double cursorHz = 4.0;      // its moves per second, up to 1000 (a 1000 Hz mouse; more counts as 1000, 0 as none)
    double cursorShapeSeconds = 3.0;  // time between its shape changes
    // Every wait a program asks of the platform (Sleep, the time-outs of WaitForSingleObject and
    // AcquireNextFrame) lasts this fraction of what it asks: 0.1 runs a program's sleeps and
    // time-outs ten times as fast. Desktop updates, the cursor and the timelines keep real time.
    double waitScale = 1.0;
    Variants variants;
    // The Windows build the machine runs (26100: Windows 11 24H2). Windows.Graphics.Capture
    // answers for the session properties the build has: IsCursorCaptureEnabled from 19041,
    // IsBorderRequired from 20348, MinUpdateInterval from 26100; capture at all from 18362.
    unsigned windowsBuild = 26100;
    bool graphicsCapture = true;  // false: a machine where Windows.Graphics.Capture is not supported
    // False: WINSIM_VARIANTS leaves this machine as configured (a test of one documented behaviour).
    bool environmentVariants = true;
};

// The scenario catalogue. `scenario` returns false for an unknown name.
bool scenario(std::string_view name, MachineConfig& out);
std::vector<std::string> scenarioNames();

// Adds the variants a comma-separated list names ("all": every one) to `out`. False, with `bad`
// the first unknown name, when the list names one that is not a variant.
bool parseVariants(std::string_view list, Variants& out, std::string* bad = nullptr);
std::vector<std::string> variantNames();
// The variants of the machine that runs now (none when no machine runs).
Variants currentVariants();

}  // namespace winsim
