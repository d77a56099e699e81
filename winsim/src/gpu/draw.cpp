// Placeholder until the rasterizer lands: no draw can be run yet, which the debug layer reports.
#include "gpu/draw.h"

namespace winsim::gpu {
bool draw(const DrawCall&) { return false; }
}  // namespace winsim::gpu
