// A draw: the vertex shader over the generated vertices, primitive assembly, the rasterizer,
// the pixel shader over spans of up to 16 pixels, the output merger.
#include "gpu/draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "gpu/output.h"
#include "gpu/rasterizer.h"
#include "gpu/sampling.h"
#include "shader/code.h"
#include "shader/machine.h"

namespace winsim::gpu {
namespace {

using shader::kLanes;
using shader::Machine;
using shader::Varying;

// The pixel-shader inputs, each fed from the vertex shader's output of the same semantic.
using Links = std::vector<const Varying*>;

struct Vertex {
    float x, y, z, w;
    std::vector<float> attributes;  // the linked components, in link order
};

bool link(const shader::Program& vs, const shader::Program& ps, Links& links) {
    for (const Varying& in : ps.inputs) {
        if (in.semantic == "SV_POSITION0") continue;
        const Varying* out = vs.output(in.semantic);
        if (!out || out->registers.size() < in.registers.size()) return false;
        links.push_back(&in);
    }
    return vs.output("SV_POSITION0") != nullptr;
}

std::vector<Vertex> runVertices(const DrawCall& call, const Links& links, const Bindings& units) {
    Machine vs(*call.vertexShader, call.vertexConstants, &units);
    const auto& program = vs.program();  // its outputs may have moved to other registers
    const Varying* id = program.input("SV_VERTEXID0");
    const Varying& position = *program.output("SV_POSITION0");
    std::vector<const Varying*> sources;
    for (const Varying* in : links) sources.push_back(program.output(in->semantic));
    std::vector<Vertex> vertices(call.vertexCount);
    for (uint32_t first = 0; first < call.vertexCount; first += kLanes) {
        const int count = static_cast<int>(std::min<uint32_t>(kLanes, call.vertexCount - first));
        if (id) {
            for (int i = 0; i < kLanes; ++i) vs.reg(id->registers[0]).u[i] = call.startVertex + first + static_cast<uint32_t>(i);
        }
        vs.run(count);
        for (int i = 0; i < count; ++i) {
            Vertex& v = vertices[first + static_cast<uint32_t>(i)];
            v.x = vs.reg(position.registers[0]).f[i];
            v.y = vs.reg(position.registers[1]).f[i];
            v.z = position.registers.size() > 2 ? vs.reg(position.registers[2]).f[i] : 0.0f;
            v.w = position.registers.size() > 3 ? vs.reg(position.registers[3]).f[i] : 1.0f;
            for (size_t l = 0; l < links.size(); ++l)
                for (size_t c = 0; c < links[l]->registers.size(); ++c)
                    v.attributes.push_back(vs.reg(sources[l]->registers[c]).f[i]);
        }
    }
    return vertices;
}

std::vector<std::array<uint32_t, 3>> assemble(const DrawCall& call) {
    std::vector<std::array<uint32_t, 3>> triangles;
    if (call.topology == Topology::TriangleList) {
        for (uint32_t i = 0; i + 2 < call.vertexCount; i += 3) triangles.push_back({i, i + 1, i + 2});
    } else if (call.topology == Topology::TriangleStrip) {
        // Odd triangles swap their first two vertices, so that all keep the winding of the first.
        for (uint32_t i = 0; i + 2 < call.vertexCount; ++i)
            triangles.push_back(i % 2 ? std::array<uint32_t, 3>{i + 1, i, i + 2} : std::array<uint32_t, 3>{i, i + 1, i + 2});
    }
    return triangles;
}

// Pixels whose centre lies inside both the viewport and the render target.
PixelRect clipRect(const Viewport& vp, const Image& target) {
    const auto edge = [](float v, uint32_t size) {
        const float c = std::ceil(v - 0.5f);
        return static_cast<int32_t>(std::fmax(0.0f, std::fmin(c, static_cast<float>(size))));
    };
    return {edge(vp.x, target.width), edge(vp.y, target.height), edge(vp.x + vp.width, target.width),
            edge(vp.y + vp.height, target.height)};
}

// The registers a program may read: operands of its operations, registers an operation writes
// (a masked write keeps the old value of inactive lanes) and its outputs.
std::vector<bool> registersRead(const shader::Program& program) {
    std::vector<bool> read(program.registerCount);
    const auto mark = [&](uint32_t r) {
        if (r < read.size()) read[r] = true;
    };
    for (const shader::Op& op : program.ops) {
        const bool resource = op.code == shader::Code::Sample || op.code == shader::Code::Fetch;
        for (uint32_t r : {op.a, op.b, op.d}) mark(r);
        if (!resource) mark(op.c);
        for (uint32_t c = 0; c < (resource ? 4u : 1u) && op.dst != shader::kNone; ++c) mark(op.dst + c);
    }
    for (const Varying& out : program.outputs)
        for (uint32_t r : out.registers) mark(r);
    return read;
}

class PixelStage {
public:
    PixelStage(const DrawCall& call, const Links& links, const Bindings& units)
        : call_(call), links_(links), ps_(*call.pixelShader, call.pixelConstants, &units),
          position_(ps_.program().input("SV_POSITION0")), target_(ps_.program().output("SV_TARGET0")),
          read_(registersRead(ps_.program())) {}

    void triangle(const std::array<const Vertex*, 3>& v, const std::array<ScreenPoint, 3>& screen) {
        planes_.clear();
        for (size_t a = 0; a < v[0]->attributes.size(); ++a)
            planes_.push_back(plane(screen, v[0]->attributes[a], v[1]->attributes[a], v[2]->attributes[a]));
        depth_ = plane(screen, v[0]->z / v[0]->w, v[1]->z / v[1]->w, v[2]->z / v[2]->w);
        rasterize(screen, clipRect(call_.viewport, *call_.renderTarget), [this](int32_t y, int32_t x0, int32_t x1) {
            // Runs of kGroups groups while more than two groups are left, then 16 pixels at a time.
            for (int32_t x = x0; x < x1;) {
                const int groups = x1 - x > 2 * kLanes ? shader::kGroups : 1;
                const int count = std::min<int32_t>(groups * kLanes, x1 - x);
                span(y, x, count, groups);
                x += count;
            }
        });
    }

private:
    // Lane i of group g holds pixel x + 16g + i: each group is interpolated from its own first
    // pixel, so that the values do not depend on how spans are grouped.
    void fill(uint32_t reg, int groups, const Plane& plane, int32_t x, double cy) {
        for (int g = 0; g < groups; ++g) fill(ps_.reg(reg, g), plane.value(x + g * kLanes + 0.5, cy), plane.dx);
    }

    static void fill(shader::Lanes& lanes, double first, double step) {
        static constexpr shader::Lanes kIndex = {.f = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}};
        const float base = static_cast<float>(first), delta = static_cast<float>(step);
        for (int k = 0; k < shader::kQuads; ++k) lanes.q[k] = base + delta * kIndex.q[k];
    }

    void span(int32_t y, int32_t x, int count, int groups) {
        const double cy = y + 0.5;
        size_t a = 0;
        for (const Varying* in : links_)
            for (uint32_t reg : in->registers) {
                if (read_[reg]) fill(reg, groups, planes_[a], x, cy);
                ++a;
            }
        if (position_) {
            const auto& r = position_->registers;
            const auto wanted = [&](size_t c) { return r.size() > c && read_[r[c]]; };
            for (int g = 0; g < groups; ++g) {
                const double cx = x + g * kLanes + 0.5;
                if (wanted(0)) fill(ps_.reg(r[0], g), cx, 1.0);
                if (wanted(1)) fill(ps_.reg(r[1], g), cy, 0.0);
                if (wanted(2)) fill(ps_.reg(r[2], g), depth_.value(cx, cy), depth_.dx);
                if (wanted(3)) fill(ps_.reg(r[3], g), 1.0, 0.0);
            }
        }
        uint16_t active[shader::kGroups], alive[shader::kGroups];
        for (int g = 0; g < groups; ++g) {
            const int n = std::clamp(count - g * kLanes, 0, kLanes);
            active[g] = static_cast<uint16_t>(n == kLanes ? 0xFFFFu : (1u << n) - 1);
        }
        ps_.run(groups, active, alive);
        if (!target_) return;
        // A register's groups lie side by side: channel c of pixel x + i is lane i of the register.
        static const float kZero[kLanes * shader::kGroups] = {};
        const float* channels[4] = {kZero, kZero, kZero, kZero};
        for (size_t c = 0; c < target_->registers.size() && c < 4; ++c) channels[c] = ps_.reg(target_->registers[c]).f;
        writeSpan(*call_.renderTarget, call_.blend, y, x, count, alive, channels);
    }

    const DrawCall& call_;
    const Links& links_;
    Machine ps_;
    const Varying* position_;
    const Varying* target_;
    std::vector<bool> read_;  // inputs the program never reads are not filled in
    std::vector<Plane> planes_;
    Plane depth_{};
};

ScreenPoint toScreen(const Vertex& v, const Viewport& vp) {
    const float x = v.x / v.w, y = v.y / v.w;
    return {vp.x + (x + 1.0f) * 0.5f * vp.width, vp.y + (1.0f - y) * 0.5f * vp.height};
}

}  // namespace

bool draw(const DrawCall& call) {
    if (!call.vertexShader || !call.pixelShader || !call.renderTarget || call.renderTarget->mips.empty() ||
        bytesPerPixel(call.renderTarget->format) == 0)
        return false;
    Links links;
    if (!link(*call.vertexShader, *call.pixelShader, links)) return false;
    const std::unique_lock writing(call.renderTarget->guard);
    const auto triangles = assemble(call);
    if (triangles.empty()) return call.topology != Topology::Unsupported;
    const Bindings units(call.resources, call.samplers);
    const std::vector<Vertex> vertices = runVertices(call, links, units);
    PixelStage pixels(call, links, units);
    for (const auto& t : triangles) {
        const std::array<const Vertex*, 3> v = {&vertices[t[0]], &vertices[t[1]], &vertices[t[2]]};
        if (!(v[0]->w > 0 && v[1]->w > 0 && v[2]->w > 0)) continue;  // behind the eye: no clipping
        pixels.triangle(v, {toScreen(*v[0], call.viewport), toScreen(*v[1], call.viewport), toScreen(*v[2], call.viewport)});
    }
    return true;
}

}  // namespace winsim::gpu
