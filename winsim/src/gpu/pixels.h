// The bytes of one mip level, zeroed when made unless their maker writes every byte itself.
//
// Large levels come from a heap that keeps the blocks of released textures for new textures of
// the same size, as a driver keeps its video memory: a ring rebuilt or a source made again gets
// its blocks back without the kernel faulting in and clearing new pages for every one. A kept
// block is zeroed again when it is handed out.
#pragma once
#include <cstddef>
#include <cstdint>

namespace winsim::gpu {

enum class Contents { Zeroed, Undefined };

class Pixels {
public:
    Pixels() = default;
    explicit Pixels(size_t size, Contents contents = Contents::Zeroed);
    Pixels(const Pixels& other);
    Pixels(Pixels&& other) noexcept : data_(other.data_), size_(other.size_) { other.data_ = nullptr, other.size_ = 0; }
    Pixels& operator=(const Pixels& other);
    Pixels& operator=(Pixels&& other) noexcept;
    ~Pixels();

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    uint8_t* begin() { return data_; }
    uint8_t* end() { return data_ + size_; }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return data_ + size_; }
    uint8_t& operator[](size_t i) { return data_[i]; }
    const uint8_t& operator[](size_t i) const { return data_[i]; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// What the heap keeps at present, and the most it keeps (0 where it keeps nothing: under
// AddressSanitizer, so that a use after release is still reported).
struct KeptPixels {
    size_t blocks;
    size_t bytes;
    size_t limit;
};
KeptPixels keptPixels();

}  // namespace winsim::gpu
