// Runs a decoded program over a group of 16 invocations (vertices, or pixels of a short span) or
// over kGroups groups at once (128 pixels of a row). One machine serves a whole draw: its register
// file is allocated once, constants and the constant buffer are filled in once, and each run only
// refills the inputs.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "shader/code.h"
#include "shader/lanes.h"
#include "shader/texture_units.h"

namespace winsim::shader {

class Machine {
public:
    // A machine runs the program specialised for `constants` (its inputs are in the same
    // registers, its outputs may not be: read them through program()), unless told not to.
    enum class Specialise { Yes, No };
    // Textures are read through `units`, which outlives the machine (null: every texel reads
    // as zero).
    Machine(const Program& program, const std::vector<uint8_t>& constants, const TextureUnits* units = nullptr,
            Specialise specialise = Specialise::Yes);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const Program& program() const { return *program_; }
    Lanes& reg(uint32_t r, int group = 0) { return regs_[r].group[group]; }
    // Runs lanes 0..count-1 of group 0; returns the mask (bit per lane) of those that were not
    // discarded.
    uint32_t run(int count);
    // Runs groups 0..groups-1 (1 or kGroups): lane i of group g runs when bit i of active[g] is
    // set, and bit i of alive[g] tells whether it ran and was not discarded.
    void run(int groups, const uint16_t* active, uint16_t* alive);
    // A Sample or Fetch operation over the first `groups` groups, for the interpreter loop.
    void sampleOp(const Op& op, int groups) { sample(op, groups); }

private:
    void execute(int groups);
    void sample(const Op& op, int groups);
    void readTexels(const Op& op, int group, int lanes, float* const out[4]) const;

    Program specialised_;
    const Program* program_;
    std::vector<Register> regs_;
    const TextureUnits* units_;
    bool entryRead_;
};

// The loop built for wider instruction sets; only for processors that have them (activeIsa).
void executeAvx2(const Op* ops, size_t count, Register* registers, int groups, Machine& machine);
void executeAvx512(const Op* ops, size_t count, Register* registers, int groups, Machine& machine);

}  // namespace winsim::shader
