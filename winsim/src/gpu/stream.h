// Stores that pass the caches by, for large writes that the writing thread does not read back (a
// whole ring slot or desktop image, a released block cleared): reading each line for ownership
// first would be work for nothing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace winsim::gpu {

// From this size on a copy streams; smaller ones (cursor shapes, rows of a region) keep their
// lines cached.
constexpr size_t kStreamBytes = size_t{1} << 20;

// `bytes` from `from` to `to`, which must not overlap; any alignment. Ends with a store fence, so
// that whatever the thread does next sees the bytes in order.
inline void streamCopy(uint8_t* to, const uint8_t* from, size_t bytes) {
    size_t at = 0;
#if defined(__SSE2__)
    const size_t head = (16 - reinterpret_cast<uintptr_t>(to) % 16) % 16;  // to the first aligned store
    if (bytes >= head + 64) {
        std::memcpy(to, from, head);
        for (at = head; at + 64 <= bytes; at += 64) {
            const auto* in = reinterpret_cast<const __m128i*>(from + at);
            auto* out = reinterpret_cast<__m128i*>(to + at);
            const __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1), c = _mm_loadu_si128(in + 2),
                          d = _mm_loadu_si128(in + 3);
            _mm_stream_si128(out, a);
            _mm_stream_si128(out + 1, b);
            _mm_stream_si128(out + 2, c);
            _mm_stream_si128(out + 3, d);
        }
        _mm_sfence();
    }
#endif
    std::memcpy(to + at, from + at, bytes - at);
}

// `bytes` zeros at `to`, which is aligned to 16 bytes.
inline void streamZero(uint8_t* to, size_t bytes) {
    size_t at = 0;
#if defined(__SSE2__)
    const __m128i zeros = _mm_setzero_si128();
    for (; at + 16 <= bytes; at += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(to + at), zeros);
    _mm_sfence();
#endif
    std::memset(to + at, 0, bytes - at);
}

}  // namespace winsim::gpu
