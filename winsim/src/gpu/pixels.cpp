#include "gpu/pixels.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace winsim::gpu {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kKeepBlocks = false;
#else
constexpr bool kKeepBlocks = true;
#endif
#else
constexpr bool kKeepBlocks = true;
#endif

// Levels smaller than this are left to malloc, which keeps small blocks well by itself.
constexpr size_t kSmallest = size_t{64} << 10;
// At most this much is kept; a block released beyond it goes back to the system.
constexpr size_t kKeepAtMost = size_t{256} << 20;

// A kept block is cleared with stores that pass the caches by: whoever writes the texture next
// does so long after, and reading each line for ownership first would be work for nothing.
void zero(uint8_t* block, size_t size) {
    size_t at = 0;
#if defined(__SSE2__)
    const __m128i zeros = _mm_setzero_si128();
    for (; at + 16 <= size; at += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(block + at), zeros);  // calloc aligns to 16
    _mm_sfence();
#endif
    std::memset(block + at, 0, size - at);
}

class Heap {
public:
    uint8_t* take(size_t size, Contents contents) {
        if (uint8_t* block = takeKept(size)) {
            if (contents == Contents::Zeroed) zero(block, size);
            return block;
        }
        void* block = std::calloc(size, 1);  // fresh pages from the system are zero already
        if (!block) throw std::bad_alloc();
        return static_cast<uint8_t*>(block);
    }

    void give(uint8_t* block, size_t size) {
        if (kKeepBlocks && size >= kSmallest) {
            const std::lock_guard lock(mutex_);
            if (bytes_ + size <= kKeepAtMost) {
                kept_[size].push_back(block);
                bytes_ += size;
                ++blocks_;
                return;
            }
        }
        std::free(block);
    }

    uint8_t* takeKept(size_t size) {
        if (!kKeepBlocks || size < kSmallest) return nullptr;
        const std::lock_guard lock(mutex_);
        auto found = kept_.find(size);
        if (found == kept_.end() || found->second.empty()) return nullptr;
        uint8_t* block = found->second.back();
        found->second.pop_back();
        bytes_ -= size;
        --blocks_;
        return block;
    }

    KeptPixels kept() {
        const std::lock_guard lock(mutex_);
        return {blocks_, bytes_, kKeepBlocks ? kKeepAtMost : 0};
    }

private:
    std::mutex mutex_;
    std::map<size_t, std::vector<uint8_t*>> kept_;
    size_t bytes_ = 0, blocks_ = 0;
};

// Never destroyed: images held by static objects are released after every destructor has run.
Heap& heap() {
    static Heap* const instance = new Heap;
    return *instance;
}

}  // namespace

Pixels::Pixels(size_t size, Contents contents) : data_(size ? heap().take(size, contents) : nullptr), size_(size) {}

Pixels::Pixels(const Pixels& other) : Pixels(other.size_) {
    if (size_) std::memcpy(data_, other.data_, size_);
}

Pixels& Pixels::operator=(const Pixels& other) {
    if (this == &other) return *this;
    if (size_ != other.size_) *this = Pixels(other.size_);
    if (size_) std::memcpy(data_, other.data_, size_);
    return *this;
}

Pixels& Pixels::operator=(Pixels&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
}

Pixels::~Pixels() {
    if (data_) heap().give(data_, size_);
}

KeptPixels keptPixels() { return heap().kept(); }

}  // namespace winsim::gpu
