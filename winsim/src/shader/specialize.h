// A program specialised for one draw's constants, as a driver recompiles a shader for the state
// it is used with. Every branch whose condition depends only on constants and the constant buffer
// is decided once; what is left runs as straight-line code: operations on constants are folded,
// copies and stores become register renames, and operations whose results are never read go.
#pragma once
#include <cstdint>
#include <vector>

#include "shader/code.h"

namespace winsim::shader {

// The 32-bit value of a uniform from the bytes of constant buffer b0 (zero beyond its end).
uint32_t uniformBits(const UniformSource& uniform, const std::vector<uint8_t>& constants);

// Fills `out` with the specialised program, with the same inputs and outputs that may live in
// other registers. False, with `out` untouched, where control flow depends on per-invocation
// values, or the program loops or discards: such programs run as they were decoded.
bool specialize(const Program& program, const std::vector<uint8_t>& constants, Program& out);

}  // namespace winsim::shader
