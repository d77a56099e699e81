// What the compositor draws over an output's upright desktop picture before a duplication sees
// it: the pointer, on an output without a hardware cursor, and the black of protected content.
#pragma once
#include <windows.h>

#include "gpu/texture.h"
#include "winsim/monitors.h"

namespace winsim {

// Draws `shape` with its top-left corner at `topLeft` (the picture's pixels) as its type says: a
// colour shape alpha-blended, a masked-colour shape replacing or inverting (XOR) the pixels under
// it, a monochrome one through its AND and XOR masks. `white` is the picture's SDR white (see
// sdr_view.h). Clipped to the picture and to the shape's bytes, so a malformed shape draws what
// it has.
void drawPointer(gpu::Image& picture, const CursorShape& shape, POINT topLeft, float white);
// Blacks out `area` of the picture (clipped to it).
void blackOut(gpu::Image& picture, const RECT& area);

}  // namespace winsim
