#include "shader/machine.h"

#include <cmath>
#include <limits>

#include "gpu/sampling.h"

namespace winsim::shader {

Machine::Machine(const Program& program, const std::vector<uint8_t>& constants,
                 const std::array<gpu::ShaderResource, 2>& resources, const std::array<gpu::SamplerDesc, 2>& samplers)
    : program_(program), regs_(program.registerCount), resources_(resources), samplers_(samplers) {
    for (const auto& [reg, bits] : program.constants)
        for (uint32_t& lane : regs_[reg].u) lane = bits;
    for (const UniformSource& u : program.uniforms) {
        uint32_t bits = 0;
        if (u.slot == 0 && u.offset + 4 <= constants.size()) std::memcpy(&bits, constants.data() + u.offset, 4);
        for (uint32_t& lane : regs_[u.reg].u) lane = bits;
    }
}

uint32_t Machine::run(int count) {
    for (int i = 0; i < kLanes; ++i) regs_[kEntryRegister].u[i] = i < count ? ~0u : 0u;
    regs_[kKilledRegister] = Lanes{};
    for (uint32_t r : program_.clearedEachRun) regs_[r] = Lanes{};
    execute();
    uint32_t mask = 0;
    for (int i = 0; i < count; ++i) mask |= regs_[kKilledRegister].u[i] ? 0u : 1u << i;
    return mask;
}

void Machine::sample(const Op& op) {
    float u[kLanes], v[kLanes], lod[kLanes], texel[4][kLanes];
    float* const out[4] = {texel[0], texel[1], texel[2], texel[3]};
    std::memcpy(u, regs_[op.a].f, sizeof u);
    std::memcpy(v, regs_[op.b].f, sizeof v);
    if (op.d != kNone) std::memcpy(lod, regs_[op.d].f, sizeof lod);
    const uint32_t texture = op.c & 0xFF, sampler = op.c >> 8;
    static const gpu::ShaderResource none;
    const gpu::ShaderResource& resource = texture < resources_.size() ? resources_[texture] : none;
    if (op.code == Code::Fetch) {
        int32_t x[kLanes], y[kLanes], l[kLanes];
        std::memcpy(x, u, sizeof x);
        std::memcpy(y, v, sizeof y);
        std::memcpy(l, lod, sizeof l);
        gpu::fetchLanes(resource, x, y, l, out);
    } else {
        gpu::sampleLanes(resource, samplers_[sampler < samplers_.size() ? sampler : 0], op.d != kNone ? lod : nullptr, u, v, out);
    }
    for (uint32_t c = 0; c < 4; ++c) {
        Lanes value;
        std::memcpy(value.f, texel[c], sizeof value.f);
        Lanes& dst = regs_[op.dst + c];
        for (int k = 0; k < kQuads; ++k)
            dst.q[k] = op.masked ? select<F4>(asInt(regs_[kExecRegister].q[k]), value.q[k], dst.q[k]) : value.q[k];
    }
}

}  // namespace winsim::shader
