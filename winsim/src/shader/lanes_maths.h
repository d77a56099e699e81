// The interpreter's float maths on lane vectors (see lanes.h): rounding, exp2, log2 and pow,
// written once for any width without fused multiply-adds, so that every path computes the same
// bits. Where a path has a faster instruction with the same result (AVX-512's scale) it uses it.
#pragma once
#include "shader/lanes.h"

namespace winsim::shader {
inline namespace WINSIM_ISA_NAMESPACE {

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

// Where a lane holds anything but a positive normal number: (bits - 2^23) >= 0x7F000000 as
// unsigned numbers, compared as signed ones with the sign flip folded into the bias.
template <class V>
WINSIM_LANES_INLINE IntOf<V> notPositiveNormal(V x) {
    return asInt<V>(asFloat<V>(asUint(x) + 0x7F800000u)) > -0x01000001;
}

// p x 2^n for a float integer n in -150..128, rounded once, as the processor's scale
// instruction does: with AVX-512 that instruction, elsewhere 2^n in two halves, so that n = -150
// (which rounds to 0) and n = 128 (infinity) stay in range; the first product is exact.
template <class V>
WINSIM_LANES_INLINE V scaleByPowerOfTwo(V p, V n) {
#if defined(__AVX512F__) && defined(__clang__)
    if constexpr (sizeof(V) == 64)
        return reinterpret_cast<V>(_mm512_scalef_ps(reinterpret_cast<__m512>(p), reinterpret_cast<__m512>(n)));
#elif defined(__AVX512F__)
    if constexpr (sizeof(V) == 64)
        return reinterpret_cast<V>(__builtin_ia32_scalefps512_mask(reinterpret_cast<__v16sf>(p), reinterpret_cast<__v16sf>(n),
                                                                   __v16sf{}, 0xFFFF, _MM_FROUND_CUR_DIRECTION));
#endif
    const IntOf<V> ni = __builtin_convertvector(n, IntOf<V>);
    const IntOf<V> half = ni >> 1;
    return p * asFloat<V>((half + 127) << 23) * asFloat<V>((ni - half + 127) << 23);
}

// 2^x: 2^n x 2^f with n = round(x), f in [-0.5, 0.5], 2^f = 1 + f q(f) with q of degree 4 fitted
// for the least largest relative error (about 2.5e-7 with rounding). exp2 of an integer is exact;
// NaN stays NaN (the clamps pass their second operand through).
template <class V>
WINSIM_LANES_INLINE V vexp2(V x) {
    x = vmin(splat<V>(128.0f), vmax(splat<V>(-150.0f), x));
    const V shifted = x + 12582912.0f;  // the 1.5 x 2^23 rounding trick: n in the low bits
    const V n = shifted - 12582912.0f;
    const V f = x - n;
    // Estrin's scheme: short dependency chains, as the loop runs one operation at a time.
    const V f2 = f * f;
    const V p = (1.0f + 6.931470036506653e-1f * f) + (2.402224242687225e-1f + 5.550733953714371e-2f * f) * f2 +
                (9.671538136899471e-3f + 1.326479483395815e-3f * f) * (f2 * f2);
    if constexpr (sizeof(V) == 64) return scaleByPowerOfTwo(p, n);
    // From n = -125 up p x 2^n is a normal number (p lies in [0.7, 1.5)), or infinity where x is
    // 128 and p is 1, so n added to p's exponent is the exact product; below, it is rounded.
    if (!anyTrue<V>(!(n >= -125.0f))) return asFloat<V>(asInt(p) + (asInt(shifted) << 23));
    return scaleByPowerOfTwo(p, n);
}

// log2 of a positive normal number: e + log2(m) with m in [sqrt(1/2), sqrt(2)), found by
// subtracting the bits of sqrt(1/2); log2(m) = s q(s^2) with s = (m - 1) / (m + 1), |s| < 0.172, q
// of degree 2 (the series of 2 atanh(s) / ln 2, refitted). Absolute error about 1.7e-7 near 1,
// relative error about 3.5e-7 elsewhere; log2(1) is 0.
template <class V>
WINSIM_LANES_INLINE V log2Normal(V x) {
    // The sign is dropped, so that no lane's subtraction can overflow: callers replace what a
    // negative input gives.
    const IntOf<V> bits = asInt(x) & 0x7FFFFFFF;
    const IntOf<V> e = (bits - 0x3F3504F3) >> 23;
    const V m = asFloat<V>(bits - (e << 23));
    const V s = (m - 1.0f) / (m + 1.0f);
    const V t = s * s;
    return __builtin_convertvector(e, V) + s * (2.885390520095825f + (9.615889191627502e-1f + 5.957615375518799e-1f * t) * t);
}

// log2 of anything. Subnormals count as zero (as shader arithmetic flushes them); zero gives
// -inf, +inf gives +inf, negative numbers and NaN give NaN.
template <class V>
WINSIM_LANES_INLINE V vlog2(V x) {
    V r = log2Normal(x);
    if (anyTrue<V>(notPositiveNormal(x))) {  // rarely met: one test for all of them
        r = select<V>(x < 1.17549435e-38f, splat<V>(-__builtin_inff()), r);
        r = select<V>(asInt(x) == 0x7F800000, x, r);
        r = select<V>((x < 0.0f) | (x != x), splat<V>(__builtin_nanf("")), r);
    }
    return r;
}

// pow as exp2(y * log2(x)): pow(0, y > 0) = 0 and pow(1, y) = 1 fall out exactly; pow(x, 0) is 1,
// which for a positive normal x (the common case, taken without further tests) exp2(0) gives.
// Zeros to a positive power (black pixels, say) are 0 without log2's and exp2's special cases.
template <class V>
WINSIM_LANES_INLINE V vpow(V x, V y) {
    const IntOf<V> special = notPositiveNormal(x);
    if (!anyTrue<V>(special)) return vexp2(y * log2Normal(x));
    const IntOf<V> zero = (x < 1.17549435e-38f) & (x >= 0.0f) & (y > 0.0f);  // subnormals count as zero
    if (!anyTrue<V>(special & ~zero)) return select<V>(zero, splat<V>(0.0f), vexp2(y * log2Normal(x)));
    return select<V>(y == 0.0f, splat<V>(1.0f), vexp2(y * vlog2(x)));
}

}  // namespace WINSIM_ISA_NAMESPACE
}  // namespace winsim::shader
