#include "shader/machine.h"

#include <cmath>
#include <limits>

#include "gpu/sampling.h"

namespace winsim::shader {

Machine::Machine(const Program& program, const std::vector<uint8_t>& constants,
                 const std::array<gpu::ShaderResource, 2>& resources, const std::array<gpu::SamplerDesc, 2>& samplers)
    : program_(program), regs_(program.registerCount), resources_(resources), samplers_(samplers) {
    for (Lanes& r : regs_) r = splat(0.0f);
    for (const auto& [reg, bits] : program.constants) regs_[reg] = asFloat(ULanes{} + bits);
    for (const UniformSource& u : program.uniforms) {
        uint32_t bits = 0;
        if (u.slot == 0 && u.offset + 4 <= constants.size()) std::memcpy(&bits, constants.data() + u.offset, 4);
        regs_[u.reg] = asFloat(ULanes{} + bits);
    }
}

uint32_t Machine::run(int count) {
    ILanes entry;
    for (int i = 0; i < kLanes; ++i) entry[i] = i < count ? -1 : 0;
    regs_[kEntryRegister] = asFloat(entry);
    regs_[kKilledRegister] = splat(0.0f);
    for (uint32_t r : program_.clearedEachRun) regs_[r] = splat(0.0f);
    execute();
    const ILanes alive = entry & ~asInt(regs_[kKilledRegister]);
    uint32_t mask = 0;
    for (int i = 0; i < kLanes; ++i) mask |= alive[i] ? 1u << i : 0u;
    return mask;
}

void Machine::sample(const Op& op) {
    float u[kLanes], v[kLanes], lod[kLanes], texel[4][kLanes];
    float* const out[4] = {texel[0], texel[1], texel[2], texel[3]};
    std::memcpy(u, &regs_[op.a], sizeof u);
    std::memcpy(v, &regs_[op.b], sizeof v);
    if (op.d != kNone) std::memcpy(lod, &regs_[op.d], sizeof lod);
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
        std::memcpy(&value, texel[c], sizeof value);
        write({op.code, op.masked, op.dst + c}, value);
    }
}

}  // namespace winsim::shader
