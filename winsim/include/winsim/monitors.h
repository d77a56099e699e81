// winsim control API: monitors, their desktops and the mouse cursor, as tests and scenarios
// change them at run time. Outputs are named by id: their order across all adapters of the
// machine's configuration, from 0.
#pragma once
#include <cstdint>
#include <vector>

#include "../dxgi1_6.h"

namespace winsim {

// A change of mode, rotation or attachment makes the output's duplications lose access.
void setOutputMode(int output, UINT width, UINT height, DXGI_FORMAT format);
void setOutputRotation(int output, DXGI_MODE_ROTATION rotation);
void setOutputAttached(int output, bool attached);
// Desktop updates per second; 0: only presented images update it.
void setOutputUpdateRate(int output, double hz);
// Shows `pixels` (rows of the output's mode, tightly packed, in its format) as one update.
void presentImage(int output, std::vector<uint8_t> pixels);
// Desktop updates of the output so far.
uint64_t desktopVersion(int output);
// The secure desktop (a UAC prompt): while it shows, duplication is refused and existing
// duplications lose access.
void setSecureDesktop(bool shown);

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
