// The kernels of gpu/kernels.h written once for any vector of floats V (see shader/lanes.h); each
// kernels_*.cpp instantiates them for its instruction set.
#pragma once
#include <cstring>

#include "gpu/kernels.h"
#include "shader/lanes.h"

namespace winsim::gpu {
inline namespace WINSIM_ISA_NAMESPACE {

using shader::IntOf;
using shader::splat;
using shader::UintOf;

WINSIM_INTRINSICS_BEGIN

template <class T>
WINSIM_LANES_INLINE T loadAs(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
WINSIM_LANES_INLINE void storeAs(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

template <class V>
WINSIM_LANES_INLINE IntOf<V> iota() {
    IntOf<V> i{};
    for (size_t k = 0; k < sizeof(V) / 4; ++k) i[k] = static_cast<int32_t>(k);
    return i;
}

// Clamped to 0..1 (NaN to 0: max returns its second operand then), scaled and rounded.
template <class V>
WINSIM_LANES_INLINE UintOf<V> toByte(V v) {
    v = shader::vmin(shader::vmax(v, splat<V>(0.0f)), splat<V>(1.0f));
    return reinterpret_cast<UintOf<V>>(__builtin_convertvector(v * 255.0f + 0.5f, IntOf<V>));
}

template <class V>
void writeBgra16(uint8_t* out, const float* const rgba[4]) {
    for (size_t i = 0; i < 16; i += sizeof(V) / 4) {
        const UintOf<V> packed = toByte(loadAs<V>(rgba[2] + i)) | toByte(loadAs<V>(rgba[1] + i)) << 8 |
                                 toByte(loadAs<V>(rgba[0] + i)) << 16 | toByte(loadAs<V>(rgba[3] + i)) << 24;
        storeAs(out + 4 * i, packed);
    }
    __builtin_prefetch(out + 512, 1);  // the row ahead, for writing
}

// floor(t x size) clamped to 0..size-1, NaN to 0: the same as truncating t x size clamped to
// 0..size-1 (max passes its second operand, 0, for NaN).
template <class V>
WINSIM_LANES_INLINE IntOf<V> pointCoordinate(V t, V last) {
    return __builtin_convertvector(shader::vmin(shader::vmax(t, splat<V>(0.0f)), last), IntOf<V>);
}

template <class V>
int pointHalfRow(const uint8_t* base, size_t pitch, uint32_t width, uint32_t height, const float* u, const float* v,
                 float* const out[4], int lanes) {
    constexpr int kWidth = sizeof(V) / 4;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const V lastX = splat<V>(w - 1.0f), lastY = splat<V>(h - 1.0f);
    int done = 0;
    for (; done < lanes; done += 16) {
        const int32_t x0 = pointCoordinate(loadAs<V>(u + done) * w, lastX)[0], y0 = pointCoordinate(loadAs<V>(v + done) * h, lastY)[0];
        IntOf<V> off{};
        for (int i = 0; i < 16; i += kWidth) {
            const IntOf<V> x = pointCoordinate(loadAs<V>(u + done + i) * w, lastX), y = pointCoordinate(loadAs<V>(v + done + i) * h, lastY);
            off |= (x != x0 + i + iota<V>()) | (y != y0);
        }
        if (shader::anyTrue<V>(off)) break;
        const uint8_t* row = base + static_cast<size_t>(y0) * pitch + static_cast<size_t>(x0) * 8;
        __builtin_prefetch(row + 1024);  // the texels of the row ahead, which the next runs read
        __builtin_prefetch(row + 1024 + 64);
        for (int i = 0; i < 16; i += kWidth) {
            shader::HalvesOf<V> channels[4];
            shader::splitTexels<V>(row + 8 * i, channels);
            V floats[4];
            shader::halfPairToFloats<V>(channels, floats);
            shader::halfPairToFloats<V>(channels + 2, floats + 2);
            for (int c = 0; c < 4; ++c) storeAs(out[c] + done + i, floats[c]);
        }
    }
    return done;
}

// avg(avg(a, b), avg(c, d)) rounds up once too often exactly when a pair sum was odd and the two
// averages differ in their low bit.
template <class V>
WINSIM_LANES_INLINE void halveVector(const uint8_t* row0, const uint8_t* row1, uint8_t* out) {
    UintOf<V> e0, o0, e1, o1;
    shader::splitPairs<V>(row0, e0, o0);
    shader::splitPairs<V>(row1, e1, o1);
    const UintOf<V> t0 = shader::averageBytes<V>(e0, o0), t1 = shader::averageBytes<V>(e1, o1);
    const UintOf<V> fix = ((e0 ^ o0) | (e1 ^ o1)) & (t0 ^ t1) & 0x01010101u;  // 1 only where the average is at least 1: no borrows
    storeAs(out, shader::averageBytes<V>(t0, t1) - fix);
}

template <class V>
uint32_t halveRow(const uint8_t* row0, const uint8_t* row1, uint8_t* out, uint32_t dstWidth) {
    constexpr size_t kWidth = sizeof(V) / 4;
    constexpr size_t kStep = kWidth < 8 ? 8 : kWidth;  // destination pixels of whole 64-byte source lines
    const size_t steps = dstWidth / kStep;
    for (size_t s = 0; s < steps; ++s, row0 += 8 * kStep, row1 += 8 * kStep, out += 4 * kStep) {
        for (size_t line = 0; line < 8 * kStep; line += 64) {  // the source rows ahead
            __builtin_prefetch(row0 + line + 2048);
            __builtin_prefetch(row1 + line + 2048);
        }
#pragma GCC unroll 4
        for (size_t i = 0; i < kStep; i += kWidth) halveVector<V>(row0 + 8 * i, row1 + 8 * i, out + 4 * i);
    }
    size_t x = 0;
    for (; x + kWidth <= dstWidth - steps * kStep; x += kWidth) halveVector<V>(row0 + 8 * x, row1 + 8 * x, out + 4 * x);
    return static_cast<uint32_t>(steps * kStep + x);
}

WINSIM_INTRINSICS_END

template <class V>
Kernels kernelsFor() {
    return {writeBgra16<V>, pointHalfRow<V>, halveRow<V>};
}

}  // namespace WINSIM_ISA_NAMESPACE
}  // namespace winsim::gpu
