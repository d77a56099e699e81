// Values of 16 shader invocations side by side (structure of arrays), and the vectorised maths
// the interpreter runs on them. Booleans are lane masks: all bits set for true, zero for false.
//
// The maths is written once for any GCC vector of floats V: 4 lanes (every x86-64 processor)
// or 16 (AVX-512, in a translation unit built for it). GCC lowers generic vectors wider than the
// hardware badly, so each build uses its native width and runs a 16-lane value in chunks.
#pragma once
#include <immintrin.h>

#include <cstdint>

namespace winsim::shader {

constexpr int kLanes = 16;
constexpr int kQuads = 4;

typedef float F4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));
typedef uint32_t U4 __attribute__((vector_size(16)));

// One value of 16 invocations, readable as quads or lane by lane.
union alignas(64) Lanes {
    F4 q[kQuads];
    float f[kLanes];
    uint32_t u[kLanes];
    int32_t i[kLanes];
};

// A register: the same value for kGroups groups of 16 invocations side by side. A run takes one
// group (vertices, short spans) or all of them (128 pixels of a row): one dispatch of an operation
// then serves eight independent groups, whose dependency chains the processor overlaps. The
// register file of a shader like ours (about 50 registers) stays within the first-level cache.
constexpr int kGroups = 8;

union alignas(64) Register {
    Lanes group[kGroups];
    F4 q[kQuads * kGroups];
};

#define WINSIM_LANES_INLINE [[gnu::always_inline]] inline

template <class V>
struct VectorTypes {
    typedef int32_t I __attribute__((vector_size(sizeof(V))));
    typedef uint32_t U __attribute__((vector_size(sizeof(V))));
};
template <class V>
using IntOf = typename VectorTypes<V>::I;
template <class V>
using UintOf = typename VectorTypes<V>::U;

template <class V>
WINSIM_LANES_INLINE V splat(float v) {
    return V{} + v;
}
template <class V>
WINSIM_LANES_INLINE IntOf<V> asInt(V v) {
    return reinterpret_cast<IntOf<V>>(v);
}
template <class V>
WINSIM_LANES_INLINE UintOf<V> asUint(V v) {
    return reinterpret_cast<UintOf<V>>(v);
}
template <class V, class W>
WINSIM_LANES_INLINE V asFloat(W v) {
    return reinterpret_cast<V>(v);
}
template <class V>
WINSIM_LANES_INLINE V select(IntOf<V> mask, V a, V b) {
    return mask ? a : b;
}
// a < b ? a : b and a > b ? a : b, which is what the processor's min and max instructions do
// (the second operand where either is NaN); GCC does not find them by itself.
template <class V>
WINSIM_LANES_INLINE V vmin(V a, V b) {
    if constexpr (sizeof(V) == 16) return reinterpret_cast<V>(_mm_min_ps(reinterpret_cast<__m128>(a), reinterpret_cast<__m128>(b)));
#ifdef __AVX512F__
    else if constexpr (sizeof(V) == 64)
        return reinterpret_cast<V>(__builtin_ia32_minps512_mask(reinterpret_cast<__v16sf>(a), reinterpret_cast<__v16sf>(b),
                                                                __v16sf{}, 0xFFFF, _MM_FROUND_CUR_DIRECTION));
#endif
    else return a < b ? a : b;
}
template <class V>
WINSIM_LANES_INLINE V vmax(V a, V b) {
    if constexpr (sizeof(V) == 16) return reinterpret_cast<V>(_mm_max_ps(reinterpret_cast<__m128>(a), reinterpret_cast<__m128>(b)));
#ifdef __AVX512F__
    else if constexpr (sizeof(V) == 64)
        return reinterpret_cast<V>(__builtin_ia32_maxps512_mask(reinterpret_cast<__v16sf>(a), reinterpret_cast<__v16sf>(b),
                                                                __v16sf{}, 0xFFFF, _MM_FROUND_CUR_DIRECTION));
#endif
    else return a > b ? a : b;
}

// Exact for |x| < 2^31; larger magnitudes are integers already.
template <class V>
WINSIM_LANES_INLINE V vtrunc(V x) {
    const V t = __builtin_convertvector(__builtin_convertvector(x, IntOf<V>), V);
    return select<V>(asFloat<V>(asInt(x) & 0x7FFFFFFF) < 2147483648.0f, t, x);
}

template <class V>
WINSIM_LANES_INLINE V vfloor(V x) {
    const V t = vtrunc(x);
    return t - select<V>(t > x, splat<V>(1.0f), splat<V>(0.0f));
}

// Round half to even, through the 2^23 trick on the magnitude.
template <class V>
WINSIM_LANES_INLINE V vround(V x) {
    const V ax = asFloat<V>(asInt(x) & 0x7FFFFFFF);
    const V r = select<V>(ax < 8388608.0f, (ax + 8388608.0f) - 8388608.0f, ax);
    return asFloat<V>(asInt(r) | (asInt(x) & static_cast<int32_t>(0x80000000u)));
}

// 2^x with a degree-6 polynomial on [-0.5, 0.5] (relative error about 2e-7). The integer part
// comes from the 1.5 x 2^23 rounding trick; the scale 2^n is applied in two halves so that
// n = -150 (which rounds to 0) and n = 128 (infinity) stay in range.
template <class V>
WINSIM_LANES_INLINE V vexp2(V x) {
    x = vmin(vmax(x, splat<V>(-150.0f)), splat<V>(128.0f));
    const V shifted = x + 12582912.0f;
    const V n = shifted - 12582912.0f;
    const IntOf<V> ni = asInt(shifted) - 0x4B400000;
    const V f = x - n;
    // Estrin's scheme: short dependency chains, as the loop runs one operation at a time.
    const V f2 = f * f;
    const V low = (1.0f + 6.931472028550421e-1f * f) + (2.402264791363012e-1f + 5.550332471162809e-2f * f) * f2;
    const V high = (9.618437357674640e-3f + 1.339887440266574e-3f * f) + 1.535336188319500e-4f * f2;
    const V p = low + high * (f2 * f2);
    const IntOf<V> half = ni >> 1;
    return p * asFloat<V>((half + 127) << 23) * asFloat<V>((ni - half + 127) << 23);
}

// log2(x): exponent plus a polynomial for the mantissa in [sqrt(1/2), sqrt(2)). Subnormals count
// as zero (as shader arithmetic flushes them); zero gives -inf, +inf gives +inf, negative
// numbers and NaN give NaN.
template <class V>
WINSIM_LANES_INLINE V vlog2(V x) {
    const IntOf<V> bits = asInt(x);
    IntOf<V> e = ((bits >> 23) & 0xFF) - 127;
    V m = asFloat<V>((bits & 0x007FFFFF) | 0x3F800000);  // [1, 2)
    const IntOf<V> big = m > 1.41421356f;
    m = select<V>(big, m * 0.5f, m);
    e = e - big;  // big is -1 where true
    const V z = m - 1.0f;
    const V z2 = z * z;
    const V z4 = z2 * z2;
    const V r0 = (3.3333331174e-1f - 2.4999993993e-1f * z) + (2.0000714765e-1f - 1.6668057665e-1f * z) * z2;
    const V r1 = (1.4249322787e-1f - 1.2420140846e-1f * z) + (1.1676998740e-1f - 1.1514610310e-1f * z) * z2;
    const V p = (r0 + r1 * z4) + 7.0376836292e-2f * (z4 * z4);
    const V ln = (z - 0.5f * z2) + p * (z * z2);
    V r = ln * 1.44269504088896f + __builtin_convertvector(e, V);
    r = select<V>(x < 1.17549435e-38f, splat<V>(-__builtin_inff()), r);
    r = select<V>(bits == 0x7F800000, x, r);
    return select<V>((x < 0.0f) | (x != x), splat<V>(__builtin_nanf("")), r);
}

// pow as exp2(y * log2(x)): pow(0, y > 0) = 0 and pow(1, y) = 1 fall out exactly; pow(x, 0) is 1.
template <class V>
WINSIM_LANES_INLINE V vpow(V x, V y) {
    return select<V>(y == 0.0f, splat<V>(1.0f), vexp2(y * vlog2(x)));
}
}  // namespace winsim::shader
