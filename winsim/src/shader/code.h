// The interpreter's flat register program, decoded once from SPIR-V. Every value component is a
// register of 16 lanes; swizzles, extracts and constructions are resolved at decode time into
// register numbers, so only arithmetic, sampling and control flow remain as operations.
//
// Control flow runs on lane masks: each block has a mask register of the lanes that reach it, a
// block whose mask is empty is skipped, branches add lanes to their targets' masks, and a loop
// runs again while lanes wait at its header. Inside loops results are written only to the active
// lanes, so values of lanes that left the loop earlier survive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "shader/blob_format.h"
#include "shader/program.h"

namespace winsim::shader {

enum class Code : uint8_t {
    // float
    FAdd, FSub, FMul, FDiv, FMod, FRem, FNeg, FAbs, FSign, Floor, Ceil, Fract, Trunc, Round, Sqrt, InvSqrt,
    Exp2, Log2, Pow, Sin, Cos, FMin, FMax, Step, Fma, FClamp, FMix,
    FEq, FNe, FLt, FGt, FLe, FGe, FUnordNe, IsNan, IsInf,
    // integer and bits
    IAdd, ISub, IMul, UDiv, SDiv, UMod, SRem, INeg, SAbs, And, Or, Xor, Not, Shl, ShrL, ShrA,
    IEq, INe, ULt, UGt, ULe, UGe, SLt, SGt, SLe, SGe, UMin, UMax, SMin, SMax,
    UToF, SToF, FToU, FToS, Select, Copy,
    // resources: dst..dst+3 receive the texel
    Sample,  // a = u, b = v, c = texture slot | sampler slot << 8, d = explicit lod register or kNone
    Fetch,   // a = x, b = y (integers), c = texture slot, d = lod register
    // control flow
    Block,      // exec := mask a, mask a := 0; jump to op b when no lane is active
    AddLanes,   // mask dst |= exec & (b == kNone ? all : (c ? ~reg b : reg b))
    ClearMask,  // mask dst := 0
    Kill,       // killed |= exec
    LoopEnd,    // jump to op b while mask a has a lane
    Store,      // dst := exec ? a : dst
};

constexpr uint32_t kNone = 0xFFFFFFFF;

struct Op {
    Code code;
    bool masked = false;  // write only the active lanes (inside loops)
    uint32_t dst = kNone, a = kNone, b = kNone, c = kNone, d = kNone;
};

// A stage input or output: its semantic and the registers of its components.
struct Varying {
    std::string semantic;
    std::vector<uint32_t> registers;
};

struct UniformSource {
    uint32_t reg;
    uint32_t slot;    // constant buffer b#
    uint32_t offset;  // byte offset of the 32-bit value
};

// Fixed register numbers.
constexpr uint32_t kExecRegister = 0;
constexpr uint32_t kKilledRegister = 1;
constexpr uint32_t kEntryRegister = 2;  // mask of the entry block
constexpr uint32_t kFirstFreeRegister = 3;

class Program {
public:
    Reflection reflection;
    std::vector<Op> ops;
    uint32_t registerCount = kFirstFreeRegister;
    std::vector<std::pair<uint32_t, uint32_t>> constants;  // register, 32-bit pattern
    std::vector<UniformSource> uniforms;
    std::vector<Varying> inputs;
    std::vector<Varying> outputs;
    std::vector<uint32_t> clearedEachRun;  // block and edge masks, reset before each span
    bool usesKill = false;

    const Varying* input(const std::string& semantic) const;
    const Varying* output(const std::string& semantic) const;
};

// Translates a module into a program; false with a reason for anything it cannot run.
bool decode(const std::vector<uint32_t>& spirv, Program& program, std::string* error);

}  // namespace winsim::shader
