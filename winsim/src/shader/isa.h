// The instruction sets winsim's vector paths are built for, and the one this process runs: the
// widest the processor has, or a lower one that WINSIM_ISA names (sse2, avx2, avx512), read once.
// Every path computes the same bits; a wider one only computes them faster.
#pragma once

namespace winsim::shader {

enum class Isa { Sse2, Avx2, Avx512 };  // Avx2 with FMA and F16C; Avx512 with BW, DQ and VL

// The widest path this processor can run.
Isa processorIsa();
// The path in use.
Isa activeIsa();
// Switches the path in use to `isa`, or to the processor's widest where that is lower; returns
// the path now in use. For tests that compare the paths in one process.
Isa useIsa(Isa isa);
const char* isaName(Isa isa);

}  // namespace winsim::shader
