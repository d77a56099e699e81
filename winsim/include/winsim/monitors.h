// winsim control API: monitors, their desktops and the mouse cursor, as tests and scenarios
// change them at run time. Outputs are named by id: their order across all adapters of the
// machine's configuration, from 0.
#pragma once
#include <cstdint>
#include <vector>

#include <dxgi1_6.h>

namespace winsim {

// A change of mode, rotation or attachment makes the output's duplications lose access, and is a
// display change: factories made before it are no longer current (IDXGIFactory1::IsCurrent).
void setOutputMode(int output, UINT width, UINT height, DXGI_FORMAT format);
void setOutputRotation(int output, DXGI_MODE_ROTATION rotation);
void setOutputAttached(int output, bool attached);
// Desktop updates per second; 0: only presented images update it.
void setOutputUpdateRate(int output, double hz);
// The SDR white level of the output's monitor (`target` 0) or of its clones (1 and up, in the
// order of OutputConfig::cloneSdrWhiteNits), in nits; the display configuration reports it in
// thousandths of 80 nits (nits / 80 * 1000). No duplication loses access over it.
void setSdrWhiteNits(int output, float nits, int target = 0);
// The same, given as the display configuration's raw answer in thousandths of 80 nits.
void setSdrWhiteLevel(int output, UINT32 thousandths, int target = 0);
// The output's monitor handle, as DXGI_OUTPUT_DESC and GetMonitorInfoW know it; null for no output.
HMONITOR outputMonitor(int output);
// Shows `pixels` as one update: the upright picture a user sees, rows of the output's desktop
// rectangle (the mode's size, width and height swapped for a 90 or 270 degree rotation), tightly
// packed, in the mode's format. A rotated output's duplication delivers it turned into the
// mode's orientation, as Windows does. A picture of another size shows the generated desktop.
void presentImage(int output, std::vector<uint8_t> pixels);
// Desktop updates of the output so far.
uint64_t desktopVersion(int output);
// The secure desktop (a UAC prompt): while it shows, duplication is refused and existing
// duplications lose access.
void setSecureDesktop(bool shown);
// The output's monitor falls asleep or wakes. A sleeping output delivers no frames; under the
// sleep-denies variant its duplications lose access as it falls asleep, duplication is refused
// while it sleeps, and for 300 ms after it wakes new factories see it with an empty desktop
// rectangle and duplication fails. A sleep is no display change.
void setOutputAsleep(int output, bool asleep);
// An exclusive-fullscreen game takes the output at 1280x720 (true) or gives it back in the mode it
// had (false). Each switch is a mode change, and the first new duplication whose
// AcquireNextFrame is called after it answers DXGI_ERROR_INVALID_CALL until it is released.
void setFullscreenGame(int output, bool running);
// Protected content (a DRM-protected video) over `area` of the output's desktop, relative to its
// top-left corner: duplication delivers it blacked out with ProtectedContentMaskedOut. An empty
// area: none.
void setProtectedContent(int output, RECT area);
// How many other processes duplicate outputs now. Four at once use up the platform's limit: then
// this process can start a duplication only while it already holds one.
void setOtherDuplicatingProcesses(int count);

// The DPI awareness the process's application manifest declares: the process default, which
// SetProcessDpiAwarenessContext can then no longer change.
void setManifestDpiAwareness(DPI_AWARENESS_CONTEXT context);

struct CursorShape {
    UINT type = DXGI_OUTDUPL_POINTER_SHAPE_TYPE_COLOR;
    UINT width = 0;
    UINT height = 0;  // a monochrome shape's AND and XOR masks: twice the image's height
    UINT pitch = 0;
    POINT hotSpot{0, 0};
    std::vector<uint8_t> bytes;
};
enum class CursorKind { Color, Monochrome, MaskedColor };
// A well-formed 32x32 arrow of each kind.
CursorShape standardCursor(CursorKind kind);

// The cursor in desktop coordinates. A move or a new shape is a pointer update for the outputs
// it is (or was) over.
void setCursorPosition(LONG x, LONG y);
void setCursorVisible(bool visible);
void setCursorShape(CursorShape shape);
// Whether the machine moves the cursor and changes its shape by itself (scenarios do).
void setCursorMoving(bool moving);

}  // namespace winsim
