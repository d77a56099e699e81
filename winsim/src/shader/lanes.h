// Values of 16 shader invocations side by side (structure of arrays), and the vector helpers the
// interpreter and the back-end's kernels run on them (the float maths is in lanes_maths.h).
// Booleans are lane masks: all bits set for true, zero for false.
//
// The helpers are written once for any vector of floats V (GCC and clang vector extensions): 4 lanes
// (every x86-64 processor), 8 (a translation unit built for AVX2) or 16 (one built for AVX-512).
// Compilers lower generic vectors wider than the hardware badly, so each build uses its native
// width and runs a 16-lane value in chunks. Every width computes the same bits.
#pragma once
#include <immintrin.h>

#include <cstdint>

// The functions below are compiled once per instruction set, each copy in a namespace of its
// own, so that the linker never hands a baseline caller the copy built for a wider set.
#if defined(__AVX512F__)
#define WINSIM_ISA_NAMESPACE avx512
#elif defined(__AVX2__)
#define WINSIM_ISA_NAMESPACE avx2
#else
#define WINSIM_ISA_NAMESPACE sse2
#endif

// GCC 12's AVX-512 intrinsics start from an "undefined" vector that its own warnings object to.
#if defined(__clang__)
#define WINSIM_INTRINSICS_BEGIN
#define WINSIM_INTRINSICS_END
#else
#define WINSIM_INTRINSICS_BEGIN                                  \
    _Pragma("GCC diagnostic push")                               \
    _Pragma("GCC diagnostic ignored \"-Wuninitialized\"")        \
    _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define WINSIM_INTRINSICS_END _Pragma("GCC diagnostic pop")
#endif

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

inline namespace WINSIM_ISA_NAMESPACE {

template <class V>
struct VectorTypes {
    typedef int32_t I __attribute__((vector_size(sizeof(V))));
    typedef uint32_t U __attribute__((vector_size(sizeof(V))));
};
template <class V>
struct HalfTypes {
    typedef uint16_t H __attribute__((vector_size(sizeof(V) / 2)));
};
template <class V>
using IntOf = typename VectorTypes<V>::I;
// As many 16-bit values as V has lanes.
template <class V>
using HalvesOf = typename HalfTypes<V>::H;
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
#ifdef __AVX__
    else if constexpr (sizeof(V) == 32) return reinterpret_cast<V>(_mm256_min_ps(reinterpret_cast<__m256>(a), reinterpret_cast<__m256>(b)));
#endif
#if defined(__AVX512F__) && defined(__clang__)
    else if constexpr (sizeof(V) == 64) return reinterpret_cast<V>(_mm512_min_ps(reinterpret_cast<__m512>(a), reinterpret_cast<__m512>(b)));
#elif defined(__AVX512F__)
    else if constexpr (sizeof(V) == 64)
        return reinterpret_cast<V>(__builtin_ia32_minps512_mask(reinterpret_cast<__v16sf>(a), reinterpret_cast<__v16sf>(b),
                                                                __v16sf{}, 0xFFFF, _MM_FROUND_CUR_DIRECTION));
#endif
    else return a < b ? a : b;
}
template <class V>
WINSIM_LANES_INLINE V vmax(V a, V b) {
    if constexpr (sizeof(V) == 16) return reinterpret_cast<V>(_mm_max_ps(reinterpret_cast<__m128>(a), reinterpret_cast<__m128>(b)));
#ifdef __AVX__
    else if constexpr (sizeof(V) == 32) return reinterpret_cast<V>(_mm256_max_ps(reinterpret_cast<__m256>(a), reinterpret_cast<__m256>(b)));
#endif
#if defined(__AVX512F__) && defined(__clang__)
    else if constexpr (sizeof(V) == 64) return reinterpret_cast<V>(_mm512_max_ps(reinterpret_cast<__m512>(a), reinterpret_cast<__m512>(b)));
#elif defined(__AVX512F__)
    else if constexpr (sizeof(V) == 64)
        return reinterpret_cast<V>(__builtin_ia32_maxps512_mask(reinterpret_cast<__v16sf>(a), reinterpret_cast<__v16sf>(b),
                                                                __v16sf{}, 0xFFFF, _MM_FROUND_CUR_DIRECTION));
#endif
    else return a > b ? a : b;
}

// Whether any lane of a mask is set.
template <class V>
WINSIM_LANES_INLINE bool anyTrue(IntOf<V> mask) {
    if constexpr (sizeof(V) == 16) return _mm_movemask_ps(reinterpret_cast<__m128>(mask)) != 0;
#ifdef __AVX__
    else if constexpr (sizeof(V) == 32) return _mm256_movemask_ps(reinterpret_cast<__m256>(mask)) != 0;
#endif
#ifdef __AVX512F__
    else if constexpr (sizeof(V) == 64) return _mm512_test_epi32_mask(reinterpret_cast<__m512i>(mask), reinterpret_cast<__m512i>(mask)) != 0;
#endif
    else {
        int32_t any = 0;
        for (size_t i = 0; i < sizeof(V) / 4; ++i) any |= mask[i];
        return any != 0;
    }
}

// IEEE half floats to floats. Without F16C: the 15 low bits shifted into place and rebased by
// 2^112 (exact for normals, subnormals and zero), infinities and NaNs (rarely met: one test)
// forced to exponent 255 and NaNs made quiet, as the processor's conversion does.
template <class V>
WINSIM_LANES_INLINE V halvesToFloats(HalvesOf<V> h) {
#ifdef __F16C__
    if constexpr (sizeof(V) == 32) {
        return reinterpret_cast<V>(_mm256_cvtph_ps(reinterpret_cast<__m128i>(h)));
    }
#endif
#ifdef __AVX512F__
    if constexpr (sizeof(V) == 64) {
        return reinterpret_cast<V>(_mm512_cvtph_ps(reinterpret_cast<__m256i>(h)));
    }
#endif
    typedef UintOf<V> U;
    typedef IntOf<V> I;
    const U wide = __builtin_convertvector(h, U);
    const I magnitude = reinterpret_cast<I>((wide & 0x7FFFu) << 13);  // below 2^28: signed comparisons do
    U bits = reinterpret_cast<U>(reinterpret_cast<V>(magnitude) * 5.192296858534828e33f);  // 2^112
    const I special = magnitude >= (0x7C00 << 13);
    if (anyTrue<V>(special)) {
        bits |= reinterpret_cast<U>(special) & 0x7F800000u;
        bits |= reinterpret_cast<U>(magnitude > (0x7C00 << 13)) & 0x00400000u;
    }
    return reinterpret_cast<V>(bits | (wide & 0x8000u) << 16);
}

// halvesToFloats of two vectors' worth of halves (two channels of as many texels as V has lanes).
// With four lanes and no F16C the eight 16-bit fields are masked and tested together, and
// widened straight into place by interleaving them with zeros.
template <class V>
WINSIM_LANES_INLINE void halfPairToFloats(const HalvesOf<V> h[2], V out[2]) {
#ifndef __F16C__
    if constexpr (sizeof(V) == 16) {
        __m128i all;
        __builtin_memcpy(&all, h, sizeof all);
        const __m128i magnitude = _mm_and_si128(all, _mm_set1_epi16(0x7FFF));
        if (!_mm_movemask_epi8(_mm_cmpgt_epi16(magnitude, _mm_set1_epi16(0x7BFF)))) {  // no infinity or NaN
            const __m128i zero = _mm_setzero_si128(), sign = _mm_xor_si128(all, magnitude);
            const __m128i magnitudes[2] = {_mm_unpacklo_epi16(zero, magnitude), _mm_unpackhi_epi16(zero, magnitude)};
            const __m128i signs[2] = {_mm_unpacklo_epi16(zero, sign), _mm_unpackhi_epi16(zero, sign)};
            for (int k = 0; k < 2; ++k) {
                const __m128 f = _mm_mul_ps(_mm_castsi128_ps(_mm_srli_epi32(magnitudes[k], 3)), _mm_set1_ps(5.192296858534828e33f));
                out[k] = reinterpret_cast<V>(_mm_or_ps(f, _mm_castsi128_ps(signs[k])));
            }
            return;
        }
    }
#endif
    out[0] = halvesToFloats<V>(h[0]);
    out[1] = halvesToFloats<V>(h[1]);
}

// splitTexels below with SSE2 shuffles, four texels at a time.
template <class V>
WINSIM_LANES_INLINE void splitTexelQuads(const uint8_t* texels, HalvesOf<V> channels[4]) {
    // Four texels at a time: rg holds red of the four then green, ba blue then alpha.
    __m128i rg[sizeof(V) / 16], ba[sizeof(V) / 16];
    for (size_t q = 0; q < sizeof(V) / 16; ++q) {
        const auto load = [&](size_t i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + 32 * q + 16 * i)); };
        const __m128i a = load(0), b = load(1);                                    // r0 g0 b0 a0 r1 g1 b1 a1, ...
        const __m128i c = _mm_unpacklo_epi16(a, b), d = _mm_unpackhi_epi16(a, b);  // r0 r2 g0 g2 b0 b2 a0 a2, ...
        rg[q] = _mm_unpacklo_epi16(c, d);
        ba[q] = _mm_unpackhi_epi16(c, d);
    }
    if constexpr (sizeof(V) == 16) {
        __builtin_memcpy(channels, rg, 16);
        __builtin_memcpy(channels + 2, ba, 16);
    } else if constexpr (sizeof(V) == 32) {
        const __m128i split[4] = {_mm_unpacklo_epi64(rg[0], rg[1]), _mm_unpackhi_epi64(rg[0], rg[1]),
                                  _mm_unpacklo_epi64(ba[0], ba[1]), _mm_unpackhi_epi64(ba[0], ba[1])};
        __builtin_memcpy(channels, split, sizeof split);
    } else {
        static_assert(sizeof(V) <= 32, "16 lanes need AVX-512BW");
    }
}

// The four 16-bit channels of as many consecutive texels as V has lanes (8 bytes each), one
// vector a channel.
template <class V>
WINSIM_LANES_INLINE void splitTexels(const uint8_t* texels, HalvesOf<V> channels[4]) {
#ifdef __AVX512BW__
    if constexpr (sizeof(V) == 64) {
        // Word 4i + c of the texels' halves is channel c of texel i.
        const __m512i low = _mm512_loadu_si512(texels), high = _mm512_loadu_si512(texels + 64);
        const __m512i channel = _mm512_set_epi16(61, 57, 53, 49, 45, 41, 37, 33, 29, 25, 21, 17, 13, 9, 5, 1,
                                                 60, 56, 52, 48, 44, 40, 36, 32, 28, 24, 20, 16, 12, 8, 4, 0);
        const __m512i rg = _mm512_permutex2var_epi16(low, channel, high);
        const __m512i ba = _mm512_permutex2var_epi16(low, _mm512_add_epi16(channel, _mm512_set1_epi16(2)), high);
        const __m256i split[4] = {_mm512_castsi512_si256(rg), _mm512_extracti64x4_epi64(rg, 1), _mm512_castsi512_si256(ba),
                                  _mm512_extracti64x4_epi64(ba, 1)};
        __builtin_memcpy(channels, split, sizeof split);
    } else
#endif
    {
        splitTexelQuads<V>(texels, channels);
    }
}

// The even and the odd ones of 2 x (lanes of V) consecutive 32-bit values, in order.
template <class V>
WINSIM_LANES_INLINE void splitPairs(const uint8_t* p, UintOf<V>& even, UintOf<V>& odd) {
    if constexpr (sizeof(V) == 16) {
        const __m128 a = _mm_loadu_ps(reinterpret_cast<const float*>(p)), b = _mm_loadu_ps(reinterpret_cast<const float*>(p + 16));
        even = reinterpret_cast<UintOf<V>>(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        odd = reinterpret_cast<UintOf<V>>(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
#ifdef __AVX2__
    else if constexpr (sizeof(V) == 32) {
        const __m256 a = _mm256_loadu_ps(reinterpret_cast<const float*>(p)), b = _mm256_loadu_ps(reinterpret_cast<const float*>(p + 32));
        const auto ordered = [](__m256 v) { return reinterpret_cast<UintOf<V>>(_mm256_permute4x64_pd(_mm256_castps_pd(v), 0xD8)); };
        even = ordered(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        odd = ordered(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
#endif
#ifdef __AVX512F__
    else if constexpr (sizeof(V) == 64) {
        const __m512i a = _mm512_loadu_si512(p), b = _mm512_loadu_si512(p + 64);
        const __m512i evens = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
        even = reinterpret_cast<UintOf<V>>(_mm512_permutex2var_epi32(a, evens, b));
        odd = reinterpret_cast<UintOf<V>>(_mm512_permutex2var_epi32(a, _mm512_add_epi32(evens, _mm512_set1_epi32(1)), b));
    }
#endif
}

// Per byte, (a + b + 1) >> 1.
template <class V>
WINSIM_LANES_INLINE UintOf<V> averageBytes(UintOf<V> a, UintOf<V> b) {
    if constexpr (sizeof(V) == 16) return reinterpret_cast<UintOf<V>>(_mm_avg_epu8(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
#ifdef __AVX2__
    else if constexpr (sizeof(V) == 32) return reinterpret_cast<UintOf<V>>(_mm256_avg_epu8(reinterpret_cast<__m256i>(a), reinterpret_cast<__m256i>(b)));
#endif
#ifdef __AVX512BW__
    else if constexpr (sizeof(V) == 64) return reinterpret_cast<UintOf<V>>(_mm512_avg_epu8(reinterpret_cast<__m512i>(a), reinterpret_cast<__m512i>(b)));
#endif
}

}  // namespace WINSIM_ISA_NAMESPACE
}  // namespace winsim::shader
