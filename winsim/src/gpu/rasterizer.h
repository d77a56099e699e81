// Triangle coverage: vertices snapped to 1/256 pixel, pixel centres at .5, the top-left fill
// rule, clockwise triangles front-facing and counter-clockwise ones culled (the default
// rasterizer state). Coverage comes out as one run of pixels per row.
#pragma once
#include <array>
#include <cstdint>
#include <functional>

namespace winsim::gpu {

struct ScreenPoint {
    float x, y;  // pixels, y down
};

struct PixelRect {
    int32_t x0, y0, x1, y1;  // x0 <= x < x1, y0 <= y < y1
};

// Calls `row(y, x0, x1)` for every row with covered pixels x0 <= x < x1 inside `clip`. False
// when the triangle is culled, degenerate or beyond the guard band (a million pixels).
bool rasterize(const std::array<ScreenPoint, 3>& v, const PixelRect& clip,
               const std::function<void(int32_t y, int32_t x0, int32_t x1)>& row);

// Linear interpolation of one attribute over a triangle's plane: value = at + dx * (x - x0) +
// dy * (y - y0), relative to vertex 0.
struct Plane {
    double at, dx, dy, x0, y0;
    double value(double x, double y) const { return at + dx * (x - x0) + dy * (y - y0); }
};
Plane plane(const std::array<ScreenPoint, 3>& v, float a0, float a1, float a2);

}  // namespace winsim::gpu
