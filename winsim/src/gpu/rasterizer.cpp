#include "gpu/rasterizer.h"

#include <algorithm>
#include <cmath>

namespace winsim::gpu {
namespace {

constexpr int64_t kSubpixels = 256;
constexpr float kGuardBand = 1 << 20;

struct Fixed {
    int64_t x, y;
};

int64_t floorDiv(int64_t a, int64_t b) {  // b > 0
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// One edge a -> b of a clockwise triangle: a pixel is inside when its edge value reaches
// `threshold` (0 on top and left edges, which own the pixels centred on them, 1 elsewhere).
struct Edge {
    int64_t dx, dy, ax, ay, threshold;

    // Narrows [x0, x1) of row y to the pixels inside this edge.
    void limit(int32_t y, int64_t& x0, int64_t& x1) const {
        const int64_t py = y * kSubpixels + kSubpixels / 2;
        const int64_t k = dx * (py - ay) - dy * (kSubpixels / 2 - ax);
        const int64_t step = dy * kSubpixels;  // value(x) = k - step * x
        if (step == 0) {
            if (k < threshold) x1 = x0;
        } else if (step < 0) {
            x0 = std::max(x0, -floorDiv(k - threshold, -step));  // ceil((threshold - k) / -step)
        } else {
            x1 = std::min(x1, floorDiv(k - threshold, step) + 1);
        }
    }
};

Edge edge(Fixed a, Fixed b) {
    const int64_t dx = b.x - a.x, dy = b.y - a.y;
    const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    return {dx, dy, a.x, a.y, topLeft ? 0 : 1};
}

}  // namespace

bool rasterize(const std::array<ScreenPoint, 3>& v, const PixelRect& clip,
               const std::function<void(int32_t y, int32_t x0, int32_t x1)>& row) {
    std::array<Fixed, 3> p;
    for (int i = 0; i < 3; ++i) {
        if (!(std::fabs(v[i].x) < kGuardBand && std::fabs(v[i].y) < kGuardBand)) return false;
        p[i] = {std::llround(v[i].x * kSubpixels), std::llround(v[i].y * kSubpixels)};
    }
    const int64_t area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
    if (area <= 0) return false;
    const Edge edges[3] = {edge(p[0], p[1]), edge(p[1], p[2]), edge(p[2], p[0])};
    const int64_t top = std::min({p[0].y, p[1].y, p[2].y}), bottom = std::max({p[0].y, p[1].y, p[2].y});
    const int32_t y0 = static_cast<int32_t>(std::max<int64_t>(clip.y0, floorDiv(top, kSubpixels)));
    const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(clip.y1, floorDiv(bottom, kSubpixels) + 1));
    for (int32_t y = y0; y < y1; ++y) {
        int64_t x0 = clip.x0, x1 = clip.x1;
        for (const Edge& e : edges) e.limit(y, x0, x1);
        if (x0 < x1) row(y, static_cast<int32_t>(x0), static_cast<int32_t>(x1));
    }
    return true;
}

Plane plane(const std::array<ScreenPoint, 3>& v, float a0, float a1, float a2) {
    const double x1 = double(v[1].x) - v[0].x, y1 = double(v[1].y) - v[0].y;
    const double x2 = double(v[2].x) - v[0].x, y2 = double(v[2].y) - v[0].y;
    const double d1 = double(a1) - a0, d2 = double(a2) - a0;
    const double area = x1 * y2 - x2 * y1;
    return {a0, (d1 * y2 - d2 * y1) / area, (d2 * x1 - d1 * x2) / area, v[0].x, v[0].y};
}

}  // namespace winsim::gpu
