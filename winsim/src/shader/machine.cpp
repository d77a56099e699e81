#include "shader/machine.h"

#include <algorithm>

#include <immintrin.h>

#include "shader/specialize.h"

namespace winsim::shader {

namespace {

void fill(Register& r, uint32_t bits) {
    for (Lanes& g : r.group)
        for (uint32_t& lane : g.u) lane = bits;
}

}  // namespace

Machine::Machine(const Program& program, const std::vector<uint8_t>& constants,
                 const TextureUnits* units, Specialise specialise)
    : program_(specialise == Specialise::Yes && specialize(program, constants, specialised_) ? &specialised_ : &program),
      regs_(program_->registerCount), units_(units) {
    for (const auto& [reg, bits] : program_->constants) fill(regs_[reg], bits);
    for (const UniformSource& u : program_->uniforms) fill(regs_[u.reg], uniformBits(u, constants));
}

uint32_t Machine::run(int count) {
    const uint16_t active = static_cast<uint16_t>(count >= kLanes ? 0xFFFFu : (1u << count) - 1);
    uint16_t alive = 0;
    run(1, &active, &alive);
    return alive;
}

void Machine::run(int groups, const uint16_t* active, uint16_t* alive) {
    const U4 bits = {1, 2, 4, 8};
    for (int g = 0; g < groups; ++g) {
        for (int k = 0; k < kQuads; ++k)
            regs_[kEntryRegister].group[g].q[k] = asFloat<F4>(((U4{} + (active[g] >> 4 * k)) & bits) != 0u);
        regs_[kKilledRegister].group[g] = Lanes{};
        for (uint32_t r : program_->clearedEachRun) regs_[r].group[g] = Lanes{};
    }
    execute(groups);
    for (int g = 0; g < groups; ++g) {
        uint32_t killed = 0;
        for (int k = 0; k < kQuads; ++k)
            killed |= static_cast<uint32_t>(_mm_movemask_ps(regs_[kKilledRegister].group[g].q[k])) << 4 * k;
        alive[g] = static_cast<uint16_t>(active[g] & ~killed);
    }
}

void Machine::sample(const Op& op, int groups) {
    const uint32_t texture = op.c & 0xFF, sampler = op.c >> 8;
    for (int g = 0; g < groups; ++g) {
        // Texels go straight into the destination registers, or through a copy that keeps the
        // inactive lanes' values inside loops.
        Lanes texel[4];
        float* out[4];
        for (uint32_t c = 0; c < 4; ++c) out[c] = op.masked ? texel[c].f : regs_[op.dst + c].group[g].f;
        const Lanes &u = regs_[op.a].group[g], &v = regs_[op.b].group[g];
        const Lanes* lod = op.d != kNone ? &regs_[op.d].group[g] : nullptr;
        static const Lanes kLodZero{};
        if (!units_) {
            for (float* c : out) std::fill_n(c, kLanes, 0.0f);
        } else if (op.code == Code::Fetch) {
            units_->fetch(texture, u.i, v.i, (lod ? lod : &kLodZero)->i, out);
        } else {
            units_->sample(texture, sampler, lod ? lod->f : nullptr, u.f, v.f, out);
        }
        if (!op.masked) continue;
        const Lanes& exec = regs_[kExecRegister].group[g];
        for (uint32_t c = 0; c < 4; ++c) {
            Lanes& dst = regs_[op.dst + c].group[g];
            for (int k = 0; k < kQuads; ++k) dst.q[k] = select<F4>(asInt(exec.q[k]), texel[c].q[k], dst.q[k]);
        }
    }
}

}  // namespace winsim::shader
