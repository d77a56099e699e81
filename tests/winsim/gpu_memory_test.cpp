// The back-end's pixel storage and its large copies: kept blocks come back zeroed, the heap
// keeps no more than its limit, and streamed copies move every byte whatever their alignment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "gpu/ops.h"

namespace {

using winsim::gpu::Contents;
using winsim::gpu::keptPixels;
using winsim::gpu::Pixels;

constexpr size_t kLarge = size_t{1} << 20;

TEST(PixelHeapTest, AReleasedLevelIsHandedOutAgainZeroed) {
    if (keptPixels().limit == 0) GTEST_SKIP() << "this build keeps no blocks";
    // Sizes no other test uses: one from malloc, one mapped on its own (not a whole number of
    // huge pages).
    for (const size_t size : {kLarge + 48, 5 * kLarge + 12}) {
        const size_t before = keptPixels().blocks;
        const uint8_t* first;
        {
            Pixels level(size);
            ASSERT_TRUE(std::all_of(level.begin(), level.end(), [](uint8_t b) { return b == 0; })) << size;
            first = level.data();
            std::fill(level.begin(), level.end(), uint8_t{0xAB});
        }
        EXPECT_EQ(keptPixels().blocks, before + 1) << size;
        Pixels again(size);
        EXPECT_EQ(again.data(), first) << size;  // the same block, without new pages
        EXPECT_EQ(keptPixels().blocks, before) << size;
        EXPECT_TRUE(std::all_of(again.begin(), again.end(), [](uint8_t b) { return b == 0; })) << size;
    }
}

TEST(PixelHeapTest, CopiesAreDeepAndMovesLeaveNothingBehind) {
    Pixels a(kLarge + 80);
    std::iota(a.begin(), a.end(), uint8_t{0});
    Pixels b = a;
    EXPECT_NE(b.data(), a.data());
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
    b[0] = 99;
    EXPECT_EQ(a[0], 0);

    Pixels smaller(16);
    smaller = a;  // a different size: new storage
    EXPECT_EQ(smaller.size(), a.size());
    EXPECT_TRUE(std::equal(a.begin(), a.end(), smaller.begin(), smaller.end()));

    Pixels moved = std::move(a);
    EXPECT_EQ(a.size(), 0u);  // a moved-from level is empty, and its destructor gives nothing back
    EXPECT_EQ(moved[1], 1);
}

TEST(PixelHeapTest, NoMoreThanItsLimitIsKept) {
    const size_t limit = keptPixels().limit;
    if (limit == 0) GTEST_SKIP() << "this build keeps no blocks";
    {
        // Undefined contents: fresh pages that are never touched cost no memory.
        const size_t block = limit / 4 + 4096;
        std::vector<Pixels> levels;
        for (int i = 0; i < 5; ++i) levels.emplace_back(block, Contents::Undefined);
    }
    EXPECT_LE(keptPixels().bytes, limit);
}

// A 1001-pixel-wide B8G8R8A8 image: rows of 4004 bytes, so a block that starts at row 1 is not
// aligned to 16 bytes and its length is no multiple of 64.
std::shared_ptr<winsim::gpu::Image> patterned(uint32_t height, uint8_t seed) {
    auto image = winsim::gpu::makeImage({winsim::gpu::Format::Bgra8Unorm, 1001, height, 1}, nullptr);
    std::iota(image->mips[0].begin(), image->mips[0].end(), seed);
    return image;
}

TEST(GpuCopyTest, LargeCopiesMoveEveryByteWhateverTheirAlignment) {
    const uint32_t height = 301;  // 300 rows, 1.15 MiB: a streamed copy with a head and a tail
    auto from = patterned(height, 3), to = patterned(height, 200);
    const auto before = std::vector<uint8_t>(to->mips[0].begin(), to->mips[0].end());
    winsim::gpu::copyRegion(*to, 0, 0, 1, *from, 0, {0, 1, 1001, height});
    const size_t row = 1001 * 4;
    EXPECT_TRUE(std::equal(to->mips[0].begin(), to->mips[0].begin() + row, before.begin())) << "row 0 is not in the box";
    EXPECT_TRUE(std::equal(to->mips[0].begin() + row, to->mips[0].end(), from->mips[0].begin() + row));

    // Within one image the copy may overlap its source, and still moves what was there.
    auto one = patterned(height, 7);
    const auto original = std::vector<uint8_t>(one->mips[0].begin(), one->mips[0].end());
    winsim::gpu::copyRegion(*one, 0, 0, 0, *one, 0, {0, 1, 1001, height});
    EXPECT_TRUE(std::equal(one->mips[0].begin(), one->mips[0].end() - row, original.begin() + row));
}

}  // namespace
