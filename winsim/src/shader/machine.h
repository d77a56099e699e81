// Runs a decoded program over up to 16 invocations at a time (pixels of a span, or vertices).
// One machine serves a whole draw: its register file is allocated once, constants and the
// constant buffer are filled in once, and each run only refills the inputs.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gpu/draw.h"
#include "shader/code.h"
#include "shader/lanes.h"

namespace winsim::shader {

class Machine {
public:
    Machine(const Program& program, const std::vector<uint8_t>& constants,
            const std::array<gpu::ShaderResource, 2>& resources, const std::array<gpu::SamplerDesc, 2>& samplers);

    const Program& program() const { return program_; }
    Lanes& reg(uint32_t r) { return regs_[r]; }
    // Runs lanes 0..count-1; returns the mask (bit per lane) of those that were not discarded.
    uint32_t run(int count);
    // A Sample or Fetch operation, for the interpreter loop.
    void sampleOp(const Op& op) { sample(op); }

private:
    void execute();
    void sample(const Op& op);

    const Program& program_;
    std::vector<Lanes> regs_;
    std::array<gpu::ShaderResource, 2> resources_;
    std::array<gpu::SamplerDesc, 2> samplers_;
};

// The loop built for AVX-512; only for processors that have it (wideKernelUsable).
bool wideKernelUsable();
void executeWide(const Op* ops, size_t count, Lanes* registers, Machine& machine);

}  // namespace winsim::shader
