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

// Whether an operation reads register `reg` (or may: resource slots are not told apart).
bool reads(const Program& program, uint32_t reg) {
    for (const Op& op : program.ops)
        if (op.a == reg || op.b == reg || op.c == reg || op.d == reg) return true;
    return false;
}

}  // namespace

Machine::Machine(const Program& program, const std::vector<uint8_t>& constants,
                 const TextureUnits* units, Specialise specialise)
    : program_(specialise == Specialise::Yes && specialize(program, constants, specialised_) ? &specialised_ : &program),
      regs_(program_->registerCount), units_(units), entryRead_(reads(*program_, kEntryRegister)) {
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
    const bool kills = program_->usesKill;  // without a Kill operation the killed mask stays clear
    for (int g = 0; g < groups; ++g) {
        for (int k = 0; k < kQuads && entryRead_; ++k)  // a specialised program has no block masks
            regs_[kEntryRegister].group[g].q[k] = asFloat<F4>(((U4{} + (active[g] >> 4 * k)) & bits) != 0u);
        if (kills) regs_[kKilledRegister].group[g] = Lanes{};
        for (uint32_t r : program_->clearedEachRun) regs_[r].group[g] = Lanes{};
    }
    execute(groups);
    for (int g = 0; g < groups; ++g) {
        uint32_t killed = 0;
        for (int k = 0; k < kQuads && kills; ++k)
            killed |= static_cast<uint32_t>(_mm_movemask_ps(regs_[kKilledRegister].group[g].q[k])) << 4 * k;
        alive[g] = static_cast<uint16_t>(active[g] & ~killed);
    }
}

// Lanes group x 16 .. group x 16 + lanes - 1 of a Sample or Fetch operation into out[0..3].
void Machine::readTexels(const Op& op, int group, int lanes, float* const out[4]) const {
    if (!units_) {
        for (uint32_t c = 0; c < 4; ++c) std::fill_n(out[c], lanes, 0.0f);
        return;
    }
    const uint32_t texture = op.c & 0xFF, sampler = op.c >> 8;
    const Lanes &u = regs_[op.a].group[group], &v = regs_[op.b].group[group];
    const Lanes* lod = op.d != kNone ? &regs_[op.d].group[group] : nullptr;
    if (op.code == Code::Fetch) {
        static const Register kLodZero{};
        return units_->fetch(texture, u.i, v.i, (lod ? lod : &kLodZero.group[0])->i, out, lanes);
    }
    units_->sample(texture, sampler, lod ? lod->f : nullptr, u.f, v.f, out, lanes);
}

void Machine::sample(const Op& op, int groups) {
    if (!op.masked) {  // every group at once, straight into the destination registers
        float* out[4];
        for (uint32_t c = 0; c < 4; ++c) out[c] = regs_[op.dst + c].group[0].f;
        return readTexels(op, 0, groups * kLanes, out);
    }
    // Inside loops, through a copy that keeps the inactive lanes' values.
    for (int g = 0; g < groups; ++g) {
        Lanes texel[4];
        float* out[4] = {texel[0].f, texel[1].f, texel[2].f, texel[3].f};
        readTexels(op, g, kLanes, out);
        const Lanes& exec = regs_[kExecRegister].group[g];
        for (uint32_t c = 0; c < 4; ++c) {
            Lanes& dst = regs_[op.dst + c].group[g];
            for (int k = 0; k < kQuads; ++k) dst.q[k] = select<F4>(asInt(exec.q[k]), texel[c].q[k], dst.q[k]);
        }
    }
}

}  // namespace winsim::shader
