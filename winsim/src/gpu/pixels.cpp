#include "gpu/pixels.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <sys/mman.h>

#include "gpu/stream.h"

namespace winsim::gpu {
namespace {

// Under AddressSanitizer every level is malloc's, so that a use after release is still reported.
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

// Levels of this size and more are mapped on their own, aligned to and rounded up to whole huge
// pages and marked for them: a filter or copy that streams through a level then misses in the
// TLB once per 2 MiB instead of once per 4 KiB (mips of a 1080p texture take 7 % less time).
// Fresh mappings are zero.
constexpr size_t kHugePage = size_t{2} << 20;

size_t mappedLength(size_t size) { return (size + kHugePage - 1) / kHugePage * kHugePage; }

uint8_t* mapBlock(size_t size) {
    const size_t length = mappedLength(size);
    void* area = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    // Keep the aligned part of the area.
    auto* start = static_cast<uint8_t*>(area);
    const size_t head = (kHugePage - reinterpret_cast<uintptr_t>(start) % kHugePage) % kHugePage;
    if (head) munmap(start, head);
    munmap(start + head + length, kHugePage - head);
#if defined(MADV_HUGEPAGE)
    madvise(start + head, length, MADV_HUGEPAGE);  // advice: refused, the block works all the same
#endif
    return start + head;
}

bool mapped(size_t size) { return kKeepBlocks && size >= kHugePage; }

class Heap {
public:
    uint8_t* take(size_t size, Contents contents) {
        if (uint8_t* block = takeKept(size)) {
            if (contents == Contents::Zeroed) streamZero(block, size);  // every block is aligned to 16
            return block;
        }
        if (mapped(size)) return mapBlock(size);
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
        if (mapped(size)) munmap(block, mappedLength(size));
        else std::free(block);
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

Pixels::Pixels(const Pixels& other) : Pixels(other.size_, Contents::Undefined) {
    if (size_) std::memcpy(data_, other.data_, size_);
}

Pixels& Pixels::operator=(const Pixels& other) {
    if (this == &other) return *this;
    if (size_ != other.size_) *this = Pixels(other.size_, Contents::Undefined);
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
