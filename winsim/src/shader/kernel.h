// The interpreter's inner loop, written once for any vector width: one switch per operation,
// each operation over the lanes of 1 or kGroups groups in chunks of V. Included by the baseline
// build (4 lanes per chunk) and by translation units built for AVX2 (8) and AVX-512 (16 lanes, a
// group, in one chunk); each build compiles its own copy (see WINSIM_ISA_NAMESPACE).
#pragma once
#include <climits>
#include <cstddef>

#include "shader/code.h"
#include "shader/lanes_maths.h"

namespace winsim::shader::kernel {
inline namespace WINSIM_ISA_NAMESPACE {

// A shader that loops this often in one run is stopped, as a driver resets a hung GPU.
inline constexpr uint32_t kMaxLoopRounds = 1u << 20;

template <class V, class F>
WINSIM_LANES_INLINE V eachLane(V a, F f) {
    V r{};
    for (size_t i = 0; i < sizeof(V) / 4; ++i) r[i] = f(a[i]);
    return r;
}

template <class V>
WINSIM_LANES_INLINE V fmin(V a, V b) {
    return select<V>(b != b, a, vmin(a, b));
}
template <class V>
WINSIM_LANES_INLINE V fmax(V a, V b) {
    return select<V>(b != b, a, vmax(a, b));
}

template <class V>
WINSIM_LANES_INLINE V floatToUint(V a) {
    V x = vmax(a, splat<V>(0.0f));  // NaN and negatives to 0
    const IntOf<V> big = x >= 4294967296.0f;
    x = select<V>(big, splat<V>(0.0f), x);
    // Values from 2^31 up go through a subtraction, as the conversion is a signed one.
    const IntOf<V> high = x >= 2147483648.0f;
    const UintOf<V> r = reinterpret_cast<UintOf<V>>(__builtin_convertvector(select<V>(high, x - 2147483648.0f, x), IntOf<V>));
    return asFloat<V>(big ? ~UintOf<V>{} : r + (reinterpret_cast<UintOf<V>>(high) & 0x80000000u));
}

template <class V>
WINSIM_LANES_INLINE V floatToInt(V a) {
    const V x = select<V>(a == a, a, splat<V>(0.0f));
    const IntOf<V> low = x <= -2147483648.0f, high = x >= 2147483648.0f;
    const IntOf<V> r = __builtin_convertvector(select<V>(low | high, splat<V>(0.0f), x), IntOf<V>);
    return asFloat<V>(low ? IntOf<V>{} + INT_MIN : high ? IntOf<V>{} + INT_MAX : r);
}

template <class V>
WINSIM_LANES_INLINE V udiv(UintOf<V> a, UintOf<V> b, bool remainder) {
    const IntOf<V> zero = b == 0u;
    const UintOf<V> safe = zero ? UintOf<V>{} + 1u : b;
    const UintOf<V> r = remainder ? a % safe : a / safe;
    return asFloat<V>(zero ? ~UintOf<V>{} : r);
}

template <class V>
WINSIM_LANES_INLINE V sdiv(IntOf<V> a, IntOf<V> b, bool remainder) {
    const IntOf<V> zero = b == 0;
    const IntOf<V> bad = zero | ((a == INT_MIN) & (b == -1));
    const IntOf<V> safe = bad ? IntOf<V>{} + 1 : b;
    const IntOf<V> r = remainder ? a % safe : a / safe;
    return asFloat<V>(zero ? IntOf<V>{} - 1 : r);
}

template <class V>
WINSIM_LANES_INLINE V get(const Register& r, int chunk) {
    V v{};
    __builtin_memcpy(&v, reinterpret_cast<const char*>(&r) + chunk * sizeof(V), sizeof(V));
    return v;
}

template <class V>
WINSIM_LANES_INLINE void put(Register& r, int chunk, V v) {
    __builtin_memcpy(reinterpret_cast<char*>(&r) + chunk * sizeof(V), &v, sizeof(V));
}

template <class V, int Chunks>
WINSIM_LANES_INLINE bool anyLane(const Register& mask) {
    UintOf<V> m = asUint(get<V>(mask, 0));
    for (int k = 1; k < Chunks; ++k) m |= asUint(get<V>(mask, k));
    uint32_t any = 0;
    for (size_t i = 0; i < sizeof(V) / 4; ++i) any |= m[i];
    return any != 0;
}

// Runs `ops` on the first `Groups` groups of the register file R in chunks of V (a group of 16
// lanes is 64 / sizeof(V) chunks). `sample(op, Groups)` runs a Sample or Fetch operation.
template <class V, int Groups, class Sample>
WINSIM_LANES_INLINE void run(const Op* ops, size_t count, Register* R, Sample sample) {
    constexpr int kChunks = Groups * 64 / sizeof(V);
    using I = IntOf<V>;
    using U = UintOf<V>;
    const auto mask = [](I m) { return asFloat<V>(m); };
    uint32_t rounds = 0;
// Each arithmetic case evaluates its expression chunk by chunk (k) into the destination.
#define A get<V>(R[op.a], k)
#define B get<V>(R[op.b], k)
#define C get<V>(R[op.c], k)
#define UA asUint(A)
#define UB asUint(B)
#define IA asInt(A)
#define IB asInt(B)
// Inside loops only the active lanes are written; the test is made once per operation. Outside
// them the groups are unrolled, so that their independent work overlaps.
#define EACH(expr)                                                                                          \
    if (op.masked) {                                                                                        \
        for (int k = 0; k < kChunks; ++k)                                                                   \
            put<V>(R[op.dst], k, select<V>(asInt(get<V>(R[kExecRegister], k)), (expr), get<V>(R[op.dst], k))); \
    } else {                                                                                                \
        _Pragma("GCC unroll 8") for (int k = 0; k < kChunks; ++k) put<V>(R[op.dst], k, (expr));             \
    }
    for (size_t pc = 0; pc < count; ++pc) {
        const Op op = ops[pc];  // a copy: stores into the registers cannot change it
        switch (op.code) {
            case Code::FAdd: EACH(A + B); break;
            case Code::FSub: EACH(A - B); break;
            case Code::FMul: EACH(A * B); break;
            case Code::FDiv: EACH(A / B); break;
            case Code::FMod: EACH(A - B * vfloor(A / B)); break;
            case Code::FRem: EACH(A - B * vtrunc(A / B)); break;
            case Code::FNeg: EACH(-A); break;
            case Code::FAbs: EACH(asFloat<V>(IA & 0x7FFFFFFF)); break;
            case Code::FSign: EACH(select<V>(A > 0.0f, splat<V>(1.0f), select<V>(A < 0.0f, splat<V>(-1.0f), splat<V>(0.0f)))); break;
            case Code::Floor: EACH(vfloor(A)); break;
            case Code::Ceil: EACH(-vfloor(-A)); break;
            case Code::Fract: EACH(A - vfloor(A)); break;
            case Code::Trunc: EACH(vtrunc(A)); break;
            case Code::Round: EACH(vround(A)); break;
            case Code::Sqrt: EACH(eachLane(A, [](float x) { return __builtin_sqrtf(x); })); break;
            case Code::InvSqrt: EACH(1.0f / eachLane(A, [](float x) { return __builtin_sqrtf(x); })); break;
            case Code::Exp2: EACH(vexp2(A)); break;
            case Code::Log2: EACH(vlog2(A)); break;
            case Code::Pow: EACH(vpow(A, B)); break;
            case Code::Sin: EACH(eachLane(A, [](float x) { return __builtin_sinf(x); })); break;
            case Code::Cos: EACH(eachLane(A, [](float x) { return __builtin_cosf(x); })); break;
            case Code::FMin: EACH(fmin<V>(A, B)); break;
            case Code::FMax: EACH(fmax<V>(A, B)); break;
            case Code::Step: EACH(select<V>(B < A, splat<V>(0.0f), splat<V>(1.0f))); break;
            case Code::Fma: EACH(A * B + C); break;
            case Code::FClamp: EACH(vmin(vmax(A, B), C)); break;
            case Code::FMix: EACH(A + (B - A) * C); break;
            case Code::FEq: EACH(mask(A == B)); break;
            case Code::FNe: EACH(mask((A < B) | (A > B))); break;
            case Code::FLt: EACH(mask(A < B)); break;
            case Code::FGt: EACH(mask(A > B)); break;
            case Code::FLe: EACH(mask(A <= B)); break;
            case Code::FGe: EACH(mask(A >= B)); break;
            case Code::FUnordNe: EACH(mask(A != B)); break;
            case Code::IsNan: EACH(mask(A != A)); break;
            case Code::IsInf: EACH(mask((IA & 0x7FFFFFFF) == 0x7F800000)); break;
            case Code::IAdd: EACH(asFloat<V>(UA + UB)); break;
            case Code::ISub: EACH(asFloat<V>(UA - UB)); break;
            case Code::IMul: EACH(asFloat<V>(UA * UB)); break;
            case Code::UDiv: EACH(udiv<V>(UA, UB, false)); break;
            case Code::UMod: EACH(udiv<V>(UA, UB, true)); break;
            case Code::SDiv: EACH(sdiv<V>(IA, IB, false)); break;
            case Code::SRem: EACH(sdiv<V>(IA, IB, true)); break;
            case Code::INeg: EACH(asFloat<V>(0u - UA)); break;
            case Code::SAbs: EACH(asFloat<V>(IA < 0 ? 0u - UA : UA)); break;
            case Code::And: EACH(asFloat<V>(UA & UB)); break;
            case Code::Or: EACH(asFloat<V>(UA | UB)); break;
            case Code::Xor: EACH(asFloat<V>(UA ^ UB)); break;
            case Code::Not: EACH(asFloat<V>(~UA)); break;
            case Code::Shl: EACH(asFloat<V>(UA << (UB & 31u))); break;
            case Code::ShrL: EACH(asFloat<V>(UA >> (UB & 31u))); break;
            case Code::ShrA: EACH(asFloat<V>(IA >> (IB & 31))); break;
            case Code::IEq: EACH(mask(UA == UB)); break;
            case Code::INe: EACH(mask(UA != UB)); break;
            case Code::ULt: EACH(mask(UA < UB)); break;
            case Code::UGt: EACH(mask(UA > UB)); break;
            case Code::ULe: EACH(mask(UA <= UB)); break;
            case Code::UGe: EACH(mask(UA >= UB)); break;
            case Code::SLt: EACH(mask(IA < IB)); break;
            case Code::SGt: EACH(mask(IA > IB)); break;
            case Code::SLe: EACH(mask(IA <= IB)); break;
            case Code::SGe: EACH(mask(IA >= IB)); break;
            case Code::UMin: EACH(asFloat<V>(UA < UB ? UA : UB)); break;
            case Code::UMax: EACH(asFloat<V>(UA > UB ? UA : UB)); break;
            case Code::SMin: EACH(asFloat<V>(IA < IB ? IA : IB)); break;
            case Code::SMax: EACH(asFloat<V>(IA > IB ? IA : IB)); break;
            case Code::UToF: EACH(__builtin_convertvector(UA, V)); break;
            case Code::SToF: EACH(__builtin_convertvector(IA, V)); break;
            case Code::FToU: EACH(floatToUint<V>(A)); break;
            case Code::FToS: EACH(floatToInt<V>(A)); break;
            case Code::Select: EACH(select<V>(IA, B, C)); break;
            case Code::Copy: EACH(A); break;
            case Code::Sample:
            case Code::Fetch: sample(op, Groups); break;
            case Code::Block:
                for (int k = 0; k < kChunks; ++k) {
                    put<V>(R[kExecRegister], k, get<V>(R[op.a], k));
                    put<V>(R[op.a], k, V{});
                }
                if (!anyLane<V, kChunks>(R[kExecRegister])) pc = op.b - 1;
                break;
            case Code::AddLanes:
                for (int k = 0; k < kChunks; ++k) {
                    const U cond = op.b == kNone ? ~U{} : op.c ? ~UB : UB;
                    put<V>(R[op.dst], k, asFloat<V>(asUint(get<V>(R[op.dst], k)) | (asUint(get<V>(R[kExecRegister], k)) & cond)));
                }
                break;
            case Code::ClearMask:
                for (int k = 0; k < kChunks; ++k) put<V>(R[op.dst], k, V{});
                break;
            case Code::Kill:
                for (int k = 0; k < kChunks; ++k)
                    put<V>(R[kKilledRegister], k, asFloat<V>(asUint(get<V>(R[kKilledRegister], k)) | asUint(get<V>(R[kExecRegister], k))));
                break;
            case Code::LoopEnd:
                if (anyLane<V, kChunks>(R[op.a])) {
                    if (++rounds > kMaxLoopRounds) return;
                    pc = op.b - 1;
                }
                break;
            case Code::Store:
                for (int k = 0; k < kChunks; ++k)
                    put<V>(R[op.dst], k, select<V>(asInt(get<V>(R[kExecRegister], k)), A, get<V>(R[op.dst], k)));
                break;
        }
    }
#undef A
#undef B
#undef C
#undef UA
#undef UB
#undef IA
#undef IB
#undef EACH
}

// run over 1 or kGroups groups.
template <class V, class Sample>
void runGroups(const Op* ops, size_t count, Register* R, int groups, Sample sample) {
    if (groups == 1) return run<V, 1>(ops, count, R, sample);
    run<V, kGroups>(ops, count, R, sample);
}

}  // namespace WINSIM_ISA_NAMESPACE
}  // namespace winsim::shader::kernel
