// Values of 16 shader invocations side by side (structure of arrays), and the vectorised maths
// the interpreter runs on them. Booleans are lane masks: all bits set for true, zero for false.
#pragma once
#include <cstdint>

namespace winsim::shader {

constexpr int kLanes = 16;

typedef float Lanes __attribute__((vector_size(64)));
typedef int32_t ILanes __attribute__((vector_size(64)));
typedef uint32_t ULanes __attribute__((vector_size(64)));

#define WINSIM_LANES_INLINE [[gnu::always_inline]] inline

WINSIM_LANES_INLINE Lanes splat(float v) { return Lanes{} + v; }
WINSIM_LANES_INLINE ILanes asInt(Lanes v) { return reinterpret_cast<ILanes>(v); }
WINSIM_LANES_INLINE ULanes asUint(Lanes v) { return reinterpret_cast<ULanes>(v); }
WINSIM_LANES_INLINE Lanes asFloat(ILanes v) { return reinterpret_cast<Lanes>(v); }
WINSIM_LANES_INLINE Lanes asFloat(ULanes v) { return reinterpret_cast<Lanes>(v); }
WINSIM_LANES_INLINE Lanes select(ILanes mask, Lanes a, Lanes b) { return mask ? a : b; }
WINSIM_LANES_INLINE Lanes vmin(Lanes a, Lanes b) { return a < b ? a : b; }
WINSIM_LANES_INLINE Lanes vmax(Lanes a, Lanes b) { return a > b ? a : b; }

WINSIM_LANES_INLINE Lanes vfloor(Lanes x) {
    // Exact for |x| < 2^31; larger magnitudes are integers already.
    const Lanes t = __builtin_convertvector(__builtin_convertvector(x, ILanes), Lanes);
    const Lanes f = t - select(t > x, splat(1.0f), splat(0.0f));
    const Lanes ax = asFloat(asInt(x) & 0x7FFFFFFF);
    return select(ax < 2147483648.0f, f, x);
}

WINSIM_LANES_INLINE Lanes vtrunc(Lanes x) {
    const Lanes t = __builtin_convertvector(__builtin_convertvector(x, ILanes), Lanes);
    return select(asFloat(asInt(x) & 0x7FFFFFFF) < 2147483648.0f, t, x);
}

// Round half to even, through the 2^23 trick on the magnitude.
WINSIM_LANES_INLINE Lanes vround(Lanes x) {
    const Lanes ax = asFloat(asInt(x) & 0x7FFFFFFF);
    const Lanes r = select(ax < 8388608.0f, (ax + 8388608.0f) - 8388608.0f, ax);
    return asFloat(asInt(r) | (asInt(x) & static_cast<int32_t>(0x80000000u)));
}

WINSIM_LANES_INLINE bool anyLane(Lanes mask) {
    const ULanes m = asUint(mask);
    uint32_t any = 0;
    for (int i = 0; i < kLanes; ++i) any |= m[i];
    return any != 0;
}

// 2^x with a degree-6 polynomial on [-0.5, 0.5] (relative error about 2e-7).
WINSIM_LANES_INLINE Lanes vexp2(Lanes x) {
    x = vmin(vmax(x, splat(-150.0f)), splat(128.0f));
    const Lanes n = vfloor(x + 0.5f);
    const Lanes f = x - n;
    Lanes p = 1.535336188319500e-4f * f + 1.339887440266574e-3f;
    p = p * f + 9.618437357674640e-3f;
    p = p * f + 5.550332471162809e-2f;
    p = p * f + 2.402264791363012e-1f;
    p = p * f + 6.931472028550421e-1f;
    p = p * f + 1.0f;
    // Scale by 2^n in two steps so that n = -150 and n = 128 stay in range (2^-150 rounds to 0).
    const ILanes ni = __builtin_convertvector(n, ILanes);
    const ILanes half = ni >> 1;
    const Lanes s1 = asFloat((half + 127) << 23);
    const Lanes s2 = asFloat((ni - half + 127) << 23);
    return p * s1 * s2;
}

// log2(x) for x > 0: exponent plus a polynomial for the mantissa in [sqrt(1/2), sqrt(2)).
// Zero gives -inf, negative numbers and NaN give NaN, +inf gives +inf.
WINSIM_LANES_INLINE Lanes vlog2(Lanes x) {
    const ILanes bits = asInt(x);
    // Subnormals: scale up by 2^23 first.
    const ILanes tiny = x < 1.17549435e-38f;
    const Lanes xs = select(tiny, x * 8388608.0f, x);
    const ILanes sb = asInt(xs);
    ILanes e = ((sb >> 23) & 0xFF) - 127 - (tiny & 23);
    Lanes m = asFloat((sb & 0x007FFFFF) | 0x3F800000);  // [1, 2)
    const ILanes big = m > 1.41421356f;
    m = select(big, m * 0.5f, m);
    e = e - big;  // big is -1 where true
    const Lanes z = m - 1.0f;
    const Lanes zz = z * z;
    Lanes p = 7.0376836292e-2f * z - 1.1514610310e-1f;
    p = p * z + 1.1676998740e-1f;
    p = p * z - 1.2420140846e-1f;
    p = p * z + 1.4249322787e-1f;
    p = p * z - 1.6668057665e-1f;
    p = p * z + 2.0000714765e-1f;
    p = p * z - 2.4999993993e-1f;
    p = p * z + 3.3333331174e-1f;
    const Lanes ln = z + (p * z * zz - 0.5f * zz);
    Lanes r = ln * 1.44269504088896f + __builtin_convertvector(e, Lanes);
    r = select(x == 0.0f, splat(-__builtin_inff()), r);
    r = select(bits == 0x7F800000, x, r);
    return select((x < 0.0f) | (x != x), splat(__builtin_nanf("")), r);
}

// pow as HLSL defines it for the cases shaders meet: exp2(y * log2(x)), with pow(x, 0) = 1 and
// pow(0, y > 0) = 0.
WINSIM_LANES_INLINE Lanes vpow(Lanes x, Lanes y) {
    Lanes r = vexp2(y * vlog2(x));
    r = select((x == 0.0f) & (y > 0.0f), splat(0.0f), r);
    r = select(x == 1.0f, splat(1.0f), r);
    return select(y == 0.0f, splat(1.0f), r);
}

}  // namespace winsim::shader
