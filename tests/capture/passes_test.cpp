// The two draw passes of a source, read back from its ring on winsim: the conversion of HDR and
// 10-bit desktops, and the cursor blended into a slot.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/d3d12_readback.h"
#include "formats/dxgi_format.h"
#include "support/running_source.h"
#include "winsim/gpu.h"

using Microsoft::WRL::ComPtr;
using velda::DuplicationSource;

namespace {

class PassesTest : public SourceFixture {
protected:
    std::string machineName() const override { return "single"; }

    void SetUp() override {
        SourceFixture::SetUp();
        source = std::make_unique<DuplicationSource>(0);
        ASSERT_TRUE(startWithoutThread(*source));
    }
    void TearDown() override {
        source.reset();
        SourceFixture::TearDown();
    }

    DuplicationSource::Impl& record() { return impl(*source); }

    void rebuild(uint32_t w, uint32_t h, DXGI_FORMAT format) {
        record().width = w;
        record().height = h;
        record().desktopFormat = format;
        ASSERT_TRUE(record().rebuildRing());
    }

    // The conversion intermediate the ring was built with, and the pass from it into slot 0.
    ID3D11Texture2D* intermediate() { return record().intermediates.at(0).texture.Get(); }
    void convert() {
        const velda::Intermediate& from = record().intermediates.at(0);
        record().convertToRing(0, from.view.Get(), from.format);
    }

    // Uploads one row of pixels, given as linear floats, into a texture of `format`.
    void upload(ID3D11Texture2D* texture, DXGI_FORMAT format, const std::vector<winsim::gpu::Float4>& row) {
        const uint32_t bpp = winsim::gpu::bytesPerPixel(format);
        std::vector<uint8_t> bytes(row.size() * bpp);
        for (size_t x = 0; x < row.size(); ++x) winsim::gpu::encodePixel(format, row[x], &bytes[x * bpp]);
        record().context->UpdateSubresource(texture, 0, nullptr, bytes.data(), static_cast<UINT>(bytes.size()), 0);
    }

    // Runs the queued work and reads slot 0 back as 8-bit RGBA.
    std::vector<uint8_t> slot0() {
        record().context->Flush();
        EXPECT_TRUE(winsim::waitForGpuIdle(record().device.Get(), 20000));
        return readRgba8(record().d3d12Device, record().ringResources[0].Get());
    }

    std::unique_ptr<DuplicationSource> source;
};

TEST_F(PassesTest, HdrIsScaledBySdrWhiteClampedAndEncoded) {
    rebuild(8, 1, DXGI_FORMAT_R16G16B16A16_FLOAT);
    record().sdrWhiteScale = 2.5f;
    upload(intermediate(), DXGI_FORMAT_R16G16B16A16_FLOAT,
           {{2.5f, 1.0f, 1.25f, 0.2f}, {7.0f, -1.0f, 0.0f, 0.0f}, {0.0031308f * 2.5f, 0, 0, 1}, {100, 100, 100, 100},
            {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    convert();
    const auto px = slot0();
    ASSERT_EQ(px.size(), 8u * 4u);
    EXPECT_NEAR(px[0], 255, 1);
    EXPECT_NEAR(px[1], 170, 1);
    EXPECT_NEAR(px[2], 188, 1);
    EXPECT_EQ(px[3], 255) << "alpha is always opaque";
    EXPECT_EQ(px[4], 255) << "above white clips";
    EXPECT_EQ(px[5], 0) << "negative clips";
    // 0.0031308 takes the linear branch: 12.92 x 0.0031308 = 0.0404 -> 10.3 of 255.
    EXPECT_NEAR(px[8], 10, 1);
    EXPECT_EQ(px[12], 255);
}

TEST_F(PassesTest, ScaleOfOneMapsScRgbOneToWhite) {
    rebuild(1, 1, DXGI_FORMAT_R16G16B16A16_FLOAT);
    record().sdrWhiteScale = 1.0f;
    upload(intermediate(), DXGI_FORMAT_R16G16B16A16_FLOAT, {{1.0f, 1.0f, 1.0f, 1.0f}});
    convert();
    EXPECT_EQ(slot0(), (std::vector<uint8_t>{255, 255, 255, 255}));
}

TEST_F(PassesTest, TenBitPassesThroughWithEightBitQuantisation) {
    rebuild(2, 1, DXGI_FORMAT_R10G10B10A2_UNORM);
    record().sdrWhiteScale = 2.5f;  // not used for a passthrough
    upload(intermediate(), DXGI_FORMAT_R10G10B10A2_UNORM,
           {{512.0f / 1023, 1.0f, 0.0f, 0.0f}, {100.0f / 1023, 0.25f, 0.75f, 1.0f}});
    convert();
    const auto px = slot0();
    EXPECT_EQ(px, (std::vector<uint8_t>{128, 255, 0, 255, 25, 64, 191, 255}));
}

TEST_F(PassesTest, WithoutConversionShadersTheSlotKeepsItsContent) {
    rebuild(2, 1, DXGI_FORMAT_R16G16B16A16_FLOAT);
    upload(record().ringTextures[0].Get(), DXGI_FORMAT_B8G8R8A8_UNORM, {{0, 0, 1, 1}, {0, 1, 0, 1}});
    upload(intermediate(), DXGI_FORMAT_R16G16B16A16_FLOAT, {{1, 1, 1, 1}, {1, 1, 1, 1}});
    record().convertPs.Reset();
    convert();
    EXPECT_EQ(slot0(), (std::vector<uint8_t>{0, 0, 255, 255, 0, 255, 0, 255}));
}

class CursorDrawTest : public PassesTest {
protected:
    // A cursor image of w x h pixels, every pixel `argb`.
    void setCursor(uint32_t w, uint32_t h, uint32_t argb) {
        auto& r = record();
        D3D11_TEXTURE2D_DESC desc{w, h, 1, 1, DXGI_FORMAT_B8G8R8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                  D3D11_BIND_SHADER_RESOURCE, 0, 0};
        ASSERT_EQ(r.device->CreateTexture2D(&desc, nullptr, r.cursorTexture.ReleaseAndGetAddressOf()), S_OK);
        ASSERT_EQ(r.device->CreateShaderResourceView(r.cursorTexture.Get(), nullptr, r.cursorSrv.ReleaseAndGetAddressOf()), S_OK);
        r.cursorTexWidth = w;
        r.cursorTexHeight = h;
        const std::vector<uint32_t> image(size_t{w} * h, argb);
        r.context->UpdateSubresource(r.cursorTexture.Get(), 0, nullptr, image.data(), w * 4, 0);
    }
    void fillSlot(uint8_t r, uint8_t g, uint8_t b) {
        const auto w = record().width.load(), h = record().height.load();
        std::vector<uint8_t> bgra;
        for (uint32_t i = 0; i < w * h; ++i) bgra.insert(bgra.end(), {b, g, r, 255});
        record().context->UpdateSubresource(record().ringTextures[0].Get(), 0, nullptr, bgra.data(), w * 4, 0);
    }
    // The RGBA of pixel (x, y) of slot 0, from a read-back of a `w`-wide slot.
    static std::vector<uint8_t> at(const std::vector<uint8_t>& px, uint32_t w, uint32_t x, uint32_t y) {
        const size_t i = (size_t{y} * w + x) * 4;
        return {px[i], px[i + 1], px[i + 2], px[i + 3]};
    }
};

TEST_F(CursorDrawTest, OpaqueReplacesTransparentKeepsHalfAlphaMixes) {
    rebuild(16, 8, DXGI_FORMAT_B8G8R8A8_UNORM);
    fillSlot(0, 0, 200);
    for (auto [argb, expected] : {std::pair{0xFFFF0000u, std::vector<uint8_t>{255, 0, 0, 255}},
                                  {0x00FF0000u, {0, 0, 200, 255}},
                                  {0x80FF0000u, {128, 0, 99, 255}}}) {
        setCursor(4, 4, argb);
        record().cursorX = 2;
        record().cursorY = 3;
        record().drawCursorOverlay(0);
        const auto px = slot0();
        const auto inside = at(px, 16, 3, 4);
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(inside[c], expected[c], 1) << std::hex << argb << " channel " << c;
        EXPECT_EQ(at(px, 16, 1, 4), (std::vector<uint8_t>{0, 0, 200, 255})) << "left of the cursor";
        EXPECT_EQ(at(px, 16, 6, 4), (std::vector<uint8_t>{0, 0, 200, 255})) << "right of the cursor";
        fillSlot(0, 0, 200);
    }
}

TEST_F(CursorDrawTest, CoversExactlyItsRectangleAndIsClippedAtTheEdges) {
    rebuild(8, 8, DXGI_FORMAT_B8G8R8A8_UNORM);
    fillSlot(0, 0, 0);
    setCursor(3, 2, 0xFFFFFFFFu);
    for (auto [x, y] : {std::pair{0, 0}, {-2, -1}, {6, 7}}) {
        record().cursorX = x;
        record().cursorY = y;
        record().drawCursorOverlay(0);
    }
    const auto px = slot0();
    std::string covered;
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t x = 0; x < 8; ++x) covered += at(px, 8, x, y)[0] == 255 ? '#' : '.';
        covered += '\n';
    }
    EXPECT_EQ(covered,
              "###.....\n"
              "###.....\n"
              "........\n"
              "........\n"
              "........\n"
              "........\n"
              "........\n"
              "......##\n");
    EXPECT_EQ(winsim::debugMessageCount(), 0) << "nothing stays bound that a later copy would trip over";
}

}  // namespace
