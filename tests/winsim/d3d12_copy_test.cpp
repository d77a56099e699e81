// Direct3D 12 copies: footprints as documented, uploads into textures by footprint, copies
// between textures by subresource index, and read-back into buffers, checked through Map.
#include "winsim/d3d12_support.h"

namespace {

class D3D12CopyTest : public D3D12Test {
protected:
    // The byte a test writes at (x, y) of mip `mip`, byte `b` of the pixel.
    static uint8_t pattern(UINT mip, UINT x, UINT y, UINT b) { return static_cast<uint8_t>(mip * 61 + x * 7 + y * 13 + b); }

    // Fills `buffer` laid out by `layouts` with the pattern, one subresource per layout.
    static void fill(ID3D12Resource* buffer, const std::vector<D3D12_PLACED_SUBRESOURCE_FOOTPRINT>& layouts, UINT bpp) {
        uint8_t* data = nullptr;
        ASSERT_EQ(buffer->Map(0, nullptr, reinterpret_cast<void**>(&data)), S_OK);
        for (UINT mip = 0; mip < layouts.size(); ++mip) {
            const auto& f = layouts[mip].Footprint;
            for (UINT y = 0; y < f.Height; ++y)
                for (UINT x = 0; x < f.Width * bpp; ++x)
                    data[layouts[mip].Offset + y * f.RowPitch + x] = pattern(mip, x / bpp, y, x % bpp);
        }
        buffer->Unmap(0, nullptr);
    }
    // How many bytes of the laid-out subresources differ from the pattern.
    static size_t mismatches(const std::vector<uint8_t>& bytes, const std::vector<D3D12_PLACED_SUBRESOURCE_FOOTPRINT>& layouts,
                             UINT bpp) {
        size_t wrong = 0;
        for (UINT mip = 0; mip < layouts.size(); ++mip) {
            const auto& f = layouts[mip].Footprint;
            for (UINT y = 0; y < f.Height; ++y)
                for (UINT x = 0; x < f.Width * bpp; ++x)
                    wrong += bytes[layouts[mip].Offset + y * f.RowPitch + x] != pattern(mip, x / bpp, y, x % bpp);
        }
        return wrong;
    }
    std::vector<D3D12_PLACED_SUBRESOURCE_FOOTPRINT> footprints(const D3D12_RESOURCE_DESC& d, UINT64* total) {
        std::vector<D3D12_PLACED_SUBRESOURCE_FOOTPRINT> layouts(d.MipLevels);
        device->GetCopyableFootprints(&d, 0, d.MipLevels, 0, layouts.data(), nullptr, nullptr, total);
        return layouts;
    }
};

TEST_F(D3D12CopyTest, FootprintsFollowTheDocumentedAlignments) {
    const auto d = textureDesc(37, 19, 6);
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT layouts[6];
    UINT rows[6];
    UINT64 rowSizes[6];
    UINT64 total = 0;
    device->GetCopyableFootprints(&d, 0, 6, 0, layouts, rows, rowSizes, &total);
    const UINT64 offsets[6] = {0, 5120, 7680, 8704, 9216, 9728};  // each at a multiple of 512
    const UINT widths[6] = {37, 18, 9, 4, 2, 1}, heights[6] = {19, 9, 4, 2, 1, 1};
    for (int mip = 0; mip < 6; ++mip) {
        EXPECT_EQ(layouts[mip].Offset, offsets[mip]) << mip;
        EXPECT_EQ(layouts[mip].Footprint.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
        EXPECT_EQ(layouts[mip].Footprint.Width, widths[mip]);
        EXPECT_EQ(layouts[mip].Footprint.Height, heights[mip]);
        EXPECT_EQ(layouts[mip].Footprint.Depth, 1u);
        EXPECT_EQ(layouts[mip].Footprint.RowPitch, 256u) << "rows are 256 bytes apart";
        EXPECT_EQ(rows[mip], heights[mip]);
        EXPECT_EQ(rowSizes[mip], widths[mip] * 4u) << "the unpadded row";
    }
    EXPECT_EQ(total, 9732u) << "the last row of the last mip is not padded";

    device->GetCopyableFootprints(&d, 2, 2, 1024, layouts, nullptr, nullptr, &total);
    EXPECT_EQ(layouts[0].Offset, 1024u) << "placed from the base offset";
    EXPECT_EQ(layouts[1].Offset, 1024u + 1024u);
    EXPECT_EQ(total, 1024u + 256u + 16u);

    const auto wide = textureDesc(100, 3, 1, DXGI_FORMAT_R16G16B16A16_FLOAT);
    device->GetCopyableFootprints(&wide, 0, 1, 0, layouts, nullptr, rowSizes, &total);
    EXPECT_EQ(layouts[0].Footprint.RowPitch, 1024u);
    EXPECT_EQ(rowSizes[0], 800u);
    EXPECT_EQ(total, 2u * 1024 + 800);

    const auto buffer = bufferDesc(1000);
    device->GetCopyableFootprints(&buffer, 0, 1, 0, layouts, rows, rowSizes, &total);
    EXPECT_EQ(layouts[0].Footprint.Width, 1000u);
    EXPECT_EQ(rows[0], 1u);
    EXPECT_EQ(total, 1000u);

    device->GetCopyableFootprints(&d, 5, 2, 0, layouts, rows, rowSizes, &total);
    EXPECT_EQ(total, ~0ull) << "subresources past the last mip";
    EXPECT_EQ(layouts[0].Offset, ~0ull);
    EXPECT_EQ(winsim::debugMessageCount(), 1);
    winsim::resetDebugLayer();
}

TEST_F(D3D12CopyTest, EveryMipGoesUpAndComesBackByFootprint) {
    const auto d = textureDesc(37, 19, 0);  // the full chain
    auto texture = make(D3D12_HEAP_TYPE_DEFAULT, d, D3D12_RESOURCE_STATE_COPY_DEST);
    ASSERT_EQ(texture->GetDesc().MipLevels, 6u);
    UINT64 total = 0;
    const auto layouts = footprints(texture->GetDesc(), &total);
    auto source = upload(total);
    auto target = readback(total);
    fill(source.Get(), layouts, 4);

    for (UINT mip = 0; mip < layouts.size(); ++mip) {
        const auto dst = at(texture.Get(), mip);
        const auto src = at(source.Get(), layouts[mip]);
        list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
    }
    const auto toSource = transition(texture.Get(), D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_COPY_SOURCE);
    list->ResourceBarrier(1, &toSource);
    for (UINT mip = 0; mip < layouts.size(); ++mip) {
        const auto dst = at(target.Get(), layouts[mip]);
        const auto src = at(texture.Get(), mip);
        list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
    }
    ASSERT_TRUE(run());
    EXPECT_EQ(mismatches(mapped(target.Get(), total), layouts, 4), 0u);
}

TEST_F(D3D12CopyTest, RegionsAndWholeResourcesCopyBetweenTextures) {
    const auto d = textureDesc(16, 8, 2);
    auto original = make(D3D12_HEAP_TYPE_DEFAULT, d, D3D12_RESOURCE_STATE_COPY_DEST);
    auto whole = make(D3D12_HEAP_TYPE_DEFAULT, d, D3D12_RESOURCE_STATE_COPY_DEST);
    auto part = make(D3D12_HEAP_TYPE_DEFAULT, textureDesc(8, 8), D3D12_RESOURCE_STATE_COPY_DEST);
    UINT64 total = 0;
    const auto layouts = footprints(d, &total);
    auto staging = upload(total);
    fill(staging.Get(), layouts, 4);
    for (UINT mip = 0; mip < 2; ++mip) {
        const auto dst = at(original.Get(), mip);
        const auto src = at(staging.Get(), layouts[mip]);
        list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
    }
    const auto ready = transition(original.Get(), D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_COPY_SOURCE);
    list->ResourceBarrier(1, &ready);
    list->CopyResource(whole.Get(), original.Get());
    const D3D12_BOX box{5, 2, 0, 10, 5, 1};  // 5x3 texels from (5, 2) of mip 0 to (1, 4)
    const auto dst = at(part.Get(), 0);
    const auto src = at(original.Get(), 0);
    list->CopyTextureRegion(&dst, 1, 4, 0, &src, &box);
    ASSERT_TRUE(run());

    restart();
    auto wholeBack = readback(total);
    UINT64 partTotal = 0;
    const auto partLayout = footprints(textureDesc(8, 8), &partTotal);
    auto partBack = readback(partTotal);
    D3D12_RESOURCE_BARRIER back[] = {
        transition(whole.Get(), D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_COPY_SOURCE),
        transition(part.Get(), D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_COPY_SOURCE)};
    list->ResourceBarrier(2, back);
    for (UINT mip = 0; mip < 2; ++mip) {
        const auto into = at(wholeBack.Get(), layouts[mip]);
        const auto from = at(whole.Get(), mip);
        list->CopyTextureRegion(&into, 0, 0, 0, &from, nullptr);
    }
    const auto into = at(partBack.Get(), partLayout[0]);
    const auto from = at(part.Get(), 0);
    list->CopyTextureRegion(&into, 0, 0, 0, &from, nullptr);
    ASSERT_TRUE(run());

    EXPECT_EQ(mismatches(mapped(wholeBack.Get(), total), layouts, 4), 0u) << "CopyResource copies every mip";
    const auto bytes = mapped(partBack.Get(), partTotal);
    const UINT pitch = partLayout[0].Footprint.RowPitch;
    EXPECT_EQ(bytes[4 * pitch + 1 * 4], pattern(0, 5, 2, 0)) << "the box's corner lands at (1, 4)";
    EXPECT_EQ(bytes[6 * pitch + 5 * 4 + 3], pattern(0, 9, 4, 3)) << "and its far corner at (5, 6)";
    EXPECT_EQ(bytes[3 * pitch + 1 * 4], 0u) << "nothing above the region";
}

TEST_F(D3D12CopyTest, BufferRegionsCopyAndBadCopiesAreRefused) {
    auto a = upload(4096);
    auto b = readback(4096);
    uint8_t* data = nullptr;
    ASSERT_EQ(a->Map(0, nullptr, reinterpret_cast<void**>(&data)), S_OK);
    for (int i = 0; i < 4096; ++i) data[i] = static_cast<uint8_t>(i * 3);
    a->Unmap(0, nullptr);
    list->CopyBufferRegion(b.Get(), 100, a.Get(), 1000, 50);

    auto texture = make(D3D12_HEAP_TYPE_DEFAULT, textureDesc(8, 8), D3D12_RESOURCE_STATE_COPY_DEST);
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT f{};
    const auto desc = texture->GetDesc();
    device->GetCopyableFootprints(&desc, 0, 1, 0, &f, nullptr, nullptr, nullptr);
    const auto dst = at(texture.Get(), 0);
    auto badPitch = at(a.Get(), f);
    badPitch.PlacedFootprint.Footprint.RowPitch = 40;
    auto badOffset = at(a.Get(), f);
    badOffset.PlacedFootprint.Offset = 256;
    auto pastEnd = at(a.Get(), f);
    pastEnd.PlacedFootprint.Offset = 3584;
    auto otherFormat = at(a.Get(), f);
    otherFormat.PlacedFootprint.Footprint.Format = DXGI_FORMAT_R16G16B16A16_FLOAT;
    for (const auto& src : {badPitch, badOffset, pastEnd, otherFormat}) list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
    const auto fits = at(a.Get(), f);
    list->CopyTextureRegion(&dst, 4, 0, 0, &fits, nullptr);  // 8 texels from x = 4 overflow
    list->CopyBufferRegion(b.Get(), 4090, a.Get(), 0, 50);
    EXPECT_EQ(winsim::debugMessageCount(), 6) << "each refused copy is reported";
    winsim::resetDebugLayer();

    ASSERT_TRUE(run());
    const auto bytes = mapped(b.Get(), 4096);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(bytes[100 + i], static_cast<uint8_t>((1000 + i) * 3)) << i;
    EXPECT_EQ(bytes[99], 0u);
    EXPECT_EQ(bytes[150], 0u);
}

}  // namespace
