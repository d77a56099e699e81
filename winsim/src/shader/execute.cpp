// The interpreter's inner loop: one switch per operation, each operation over all 16 lanes.
#include <climits>
#include <cmath>

#include "shader/machine.h"

namespace winsim::shader {
namespace {

// A shader that loops this often in one run is stopped, as a driver resets a hung GPU.
constexpr uint32_t kMaxLoopRounds = 1u << 20;

template <class F>
Lanes eachLane(const Lanes& a, F f) {
    Lanes r;
    for (int i = 0; i < kLanes; ++i) r[i] = f(a[i]);
    return r;
}

Lanes mask(ILanes m) { return asFloat(m); }

Lanes fmin(Lanes a, Lanes b) { return select(b != b, a, vmin(a, b)); }
Lanes fmax(Lanes a, Lanes b) { return select(b != b, a, vmax(a, b)); }

Lanes floatToUint(Lanes a) {
    Lanes x = vmax(a, splat(0.0f));  // NaN and negatives to 0
    const ILanes big = x >= 4294967296.0f;
    x = select(big, splat(0.0f), x);
    const ULanes r = __builtin_convertvector(x, ULanes);
    return asFloat(big ? ~ULanes{} : r);
}

Lanes floatToInt(Lanes a) {
    const Lanes x = select(a == a, a, splat(0.0f));
    const ILanes low = x <= -2147483648.0f, high = x >= 2147483648.0f;
    const ILanes r = __builtin_convertvector(select(low | high, splat(0.0f), x), ILanes);
    return asFloat(low ? ILanes{} + INT_MIN : high ? ILanes{} + INT_MAX : r);
}

Lanes udiv(ULanes a, ULanes b, bool remainder) {
    const ULanes zero = b == 0u;
    const ULanes safe = zero ? ULanes{} + 1u : b;
    const ULanes r = remainder ? a % safe : a / safe;
    return asFloat(zero ? ~ULanes{} : r);
}

Lanes sdiv(ILanes a, ILanes b, bool remainder) {
    const ILanes zero = b == 0;
    const ILanes bad = zero | ((a == INT_MIN) & (b == -1));
    const ILanes safe = bad ? ILanes{} + 1 : b;
    const ILanes r = remainder ? a % safe : a / safe;
    return asFloat(zero ? ILanes{} - 1 : r);
}

}  // namespace

void Machine::execute() {
    const std::vector<Op>& ops = program_.ops;
    Lanes* R = regs_.data();
    uint32_t rounds = 0;
#define A R[op.a]
#define B R[op.b]
#define C R[op.c]
#define UA asUint(R[op.a])
#define UB asUint(R[op.b])
#define IA asInt(R[op.a])
#define IB asInt(R[op.b])
    for (size_t pc = 0; pc < ops.size(); ++pc) {
        const Op& op = ops[pc];
        switch (op.code) {
            case Code::FAdd: write(op, A + B); break;
            case Code::FSub: write(op, A - B); break;
            case Code::FMul: write(op, A * B); break;
            case Code::FDiv: write(op, A / B); break;
            case Code::FMod: write(op, A - B * vfloor(A / B)); break;
            case Code::FRem: write(op, A - B * vtrunc(A / B)); break;
            case Code::FNeg: write(op, -A); break;
            case Code::FAbs: write(op, asFloat(IA & 0x7FFFFFFF)); break;
            case Code::FSign: write(op, select(A > 0.0f, splat(1.0f), select(A < 0.0f, splat(-1.0f), splat(0.0f)))); break;
            case Code::Floor: write(op, vfloor(A)); break;
            case Code::Ceil: write(op, -vfloor(-A)); break;
            case Code::Fract: write(op, A - vfloor(A)); break;
            case Code::Trunc: write(op, vtrunc(A)); break;
            case Code::Round: write(op, vround(A)); break;
            case Code::Sqrt: write(op, eachLane(A, [](float x) { return __builtin_sqrtf(x); })); break;
            case Code::InvSqrt: write(op, 1.0f / eachLane(A, [](float x) { return __builtin_sqrtf(x); })); break;
            case Code::Exp2: write(op, vexp2(A)); break;
            case Code::Log2: write(op, vlog2(A)); break;
            case Code::Pow: write(op, vpow(A, B)); break;
            case Code::Sin: write(op, eachLane(A, [](float x) { return std::sin(x); })); break;
            case Code::Cos: write(op, eachLane(A, [](float x) { return std::cos(x); })); break;
            case Code::FMin: write(op, fmin(A, B)); break;
            case Code::FMax: write(op, fmax(A, B)); break;
            case Code::Step: write(op, select(B < A, splat(0.0f), splat(1.0f))); break;
            case Code::Fma: write(op, A * B + C); break;
            case Code::FClamp: write(op, vmin(vmax(A, B), C)); break;
            case Code::FMix: write(op, A + (B - A) * C); break;
            case Code::FEq: write(op, mask(A == B)); break;
            case Code::FNe: write(op, mask((A < B) | (A > B))); break;
            case Code::FLt: write(op, mask(A < B)); break;
            case Code::FGt: write(op, mask(A > B)); break;
            case Code::FLe: write(op, mask(A <= B)); break;
            case Code::FGe: write(op, mask(A >= B)); break;
            case Code::FUnordNe: write(op, mask(A != B)); break;
            case Code::IsNan: write(op, mask(A != A)); break;
            case Code::IsInf: write(op, mask((IA & 0x7FFFFFFF) == 0x7F800000)); break;
            case Code::IAdd: write(op, asFloat(UA + UB)); break;
            case Code::ISub: write(op, asFloat(UA - UB)); break;
            case Code::IMul: write(op, asFloat(UA * UB)); break;
            case Code::UDiv: write(op, udiv(UA, UB, false)); break;
            case Code::UMod: write(op, udiv(UA, UB, true)); break;
            case Code::SDiv: write(op, sdiv(IA, IB, false)); break;
            case Code::SRem: write(op, sdiv(IA, IB, true)); break;
            case Code::INeg: write(op, asFloat(0u - UA)); break;
            case Code::SAbs: write(op, asFloat(IA < 0 ? 0u - UA : UA)); break;
            case Code::And: write(op, asFloat(UA & UB)); break;
            case Code::Or: write(op, asFloat(UA | UB)); break;
            case Code::Xor: write(op, asFloat(UA ^ UB)); break;
            case Code::Not: write(op, asFloat(~UA)); break;
            case Code::Shl: write(op, asFloat(UA << (UB & 31u))); break;
            case Code::ShrL: write(op, asFloat(UA >> (UB & 31u))); break;
            case Code::ShrA: write(op, asFloat(IA >> (IB & 31))); break;
            case Code::IEq: write(op, mask(UA == UB)); break;
            case Code::INe: write(op, mask(UA != UB)); break;
            case Code::ULt: write(op, mask(UA < UB)); break;
            case Code::UGt: write(op, mask(UA > UB)); break;
            case Code::ULe: write(op, mask(UA <= UB)); break;
            case Code::UGe: write(op, mask(UA >= UB)); break;
            case Code::SLt: write(op, mask(IA < IB)); break;
            case Code::SGt: write(op, mask(IA > IB)); break;
            case Code::SLe: write(op, mask(IA <= IB)); break;
            case Code::SGe: write(op, mask(IA >= IB)); break;
            case Code::UMin: write(op, asFloat(UA < UB ? UA : UB)); break;
            case Code::UMax: write(op, asFloat(UA > UB ? UA : UB)); break;
            case Code::SMin: write(op, asFloat(IA < IB ? IA : IB)); break;
            case Code::SMax: write(op, asFloat(IA > IB ? IA : IB)); break;
            case Code::UToF: write(op, __builtin_convertvector(UA, Lanes)); break;
            case Code::SToF: write(op, __builtin_convertvector(IA, Lanes)); break;
            case Code::FToU: write(op, floatToUint(A)); break;
            case Code::FToS: write(op, floatToInt(A)); break;
            case Code::Select: write(op, select(IA, B, C)); break;
            case Code::Copy: write(op, A); break;
            case Code::Sample:
            case Code::Fetch: sample(op); break;
            case Code::Block:
                R[kExecRegister] = A;
                A = splat(0.0f);
                if (!anyLane(R[kExecRegister])) pc = op.b - 1;
                break;
            case Code::AddLanes: {
                const ULanes exec = asUint(R[kExecRegister]);
                const ULanes cond = op.b == kNone ? ~ULanes{} : op.c ? ~UB : UB;
                R[op.dst] = asFloat(asUint(R[op.dst]) | (exec & cond));
                break;
            }
            case Code::ClearMask: R[op.dst] = splat(0.0f); break;
            case Code::Kill: R[kKilledRegister] = asFloat(asUint(R[kKilledRegister]) | asUint(R[kExecRegister])); break;
            case Code::LoopEnd:
                if (anyLane(A)) {
                    if (++rounds > kMaxLoopRounds) return;
                    pc = op.b - 1;
                }
                break;
            case Code::Store: R[op.dst] = select(asInt(R[kExecRegister]), A, R[op.dst]); break;
        }
    }
#undef A
#undef B
#undef C
#undef UA
#undef UB
#undef IA
#undef IB
}

}  // namespace winsim::shader
