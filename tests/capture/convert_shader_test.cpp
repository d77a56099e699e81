// The conversion shader on winsim's rasterizer: HDR scRGB scaled to SDR white, clamped and
// sRGB-encoded into 8-bit BGRA; other formats passed through.
#include <array>
#include <cmath>
#include <cstring>

#include "shaders.h"
#include "support/shader_helpers.h"

namespace {

using winsim::gpu::Float4;
using winsim::gpu::Image;

class ConvertShaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string_view text(velda::kConvertShader, velda::kConvertShaderLength);
        vs_ = shader_test::load(text, "vsmain", "vs_5_0");
        ps_ = shader_test::load(text, "psmain", "ps_5_0");
    }
    static void TearDownTestSuite() {
        vs_.reset();
        ps_.reset();
    }

    // Converts a row of source pixels with the given white scale and encode flag; returns BGRA.
    std::vector<std::array<uint8_t, 4>> convert(DXGI_FORMAT format, const std::vector<Float4>& pixels, float whiteScale,
                                                bool hdr) {
        auto source = shader_test::image(format, static_cast<uint32_t>(pixels.size()), 1);
        for (uint32_t x = 0; x < pixels.size(); ++x) winsim::gpu::encodePixel(format, pixels[x], source->pixel(0, x, 0));
        auto target = shader_test::image(DXGI_FORMAT_B8G8R8A8_UNORM, source->width, 1);
        auto call = shader_test::drawInto(target, 3);
        call.vertexShader = vs_;
        call.pixelShader = ps_;
        const float constants[4] = {1.0f / whiteScale, hdr ? 1.0f : 0.0f, 0, 0};
        call.pixelConstants = shader_test::bytesOf(constants);
        call.resources[0].image = source;
        EXPECT_TRUE(winsim::gpu::draw(call));
        std::vector<std::array<uint8_t, 4>> out(pixels.size());
        for (uint32_t x = 0; x < pixels.size(); ++x) std::memcpy(out[x].data(), target->pixel(0, x, 0), 4);
        return out;
    }

    static inline std::shared_ptr<const winsim::shader::Program> vs_, ps_;
};

// BGRA bytes: blue, green, red, alpha.
TEST_F(ConvertShaderTest, ScalesHdrToSdrWhiteAndEncodes) {
    ASSERT_TRUE(vs_ && ps_);
    const auto out = convert(DXGI_FORMAT_R16G16B16A16_FLOAT,
                             {{2.5f, 2.5f, 2.5f, 1}, {1.0f, 1.0f, 1.0f, 1}, {1.25f, 1.25f, 1.25f, 1}, {2.5f, 1.0f, 1.25f, 0.25f}},
                             2.5f, true);
    EXPECT_EQ(out[0][2], 255);
    EXPECT_NEAR(out[1][2], 170, 1);
    EXPECT_NEAR(out[2][2], 188, 1);
    EXPECT_EQ(out[3][2], 255);
    EXPECT_EQ(out[3][1], out[1][1]);
    EXPECT_EQ(out[3][0], out[2][0]);
    for (const auto& p : out) EXPECT_EQ(p[3], 255);
}

TEST_F(ConvertShaderTest, ClipsAboveWhiteAndBelowZero) {
    ASSERT_TRUE(vs_ && ps_);
    const auto out = convert(DXGI_FORMAT_R16G16B16A16_FLOAT, {{100.0f, 3.0f, -1.0f, 0}, {-0.5f, 60000.0f, 2.6f, 2}}, 2.5f, true);
    EXPECT_EQ(out[0][2], 255);
    EXPECT_EQ(out[0][1], 255);
    EXPECT_EQ(out[0][0], 0);
    EXPECT_EQ(out[1][2], 0);
    EXPECT_EQ(out[1][1], 255);
    EXPECT_EQ(out[1][0], 255);
    EXPECT_EQ(out[0][3], 255);
    EXPECT_EQ(out[1][3], 255);
}

TEST_F(ConvertShaderTest, LinearBranchAtTheThreshold) {
    ASSERT_TRUE(vs_ && ps_);
    // With a white scale of 1 the scaled value is the half-float value itself. The half nearest
    // to 0.0031308 lies below it (linear branch); 0.02 is well inside the power branch.
    const float threshold = 0.0031308f;
    auto probe = shader_test::image(DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1);
    winsim::gpu::encodePixel(probe->format, {threshold, 0.02f, 0, 1}, probe->pixel(0, 0, 0));
    const Float4 stored = shader_test::at(*probe, 0, 0);
    const auto out = convert(DXGI_FORMAT_R16G16B16A16_FLOAT, {stored}, 1.0f, true);
    const auto byte = [](float v) { return static_cast<int>(v * 255.0f + 0.5f); };
    EXPECT_EQ(out[0][2], byte(12.92f * stored.r));
    EXPECT_EQ(out[0][1], byte(1.055f * std::pow(stored.g, 1.0f / 2.4f) - 0.055f));
}

TEST_F(ConvertShaderTest, LinearBranchAtExactlyTheThresholdOnA32BitSource) {
    ASSERT_TRUE(vs_ && ps_);
    // An exact 0.0031308 (and the float just above it) from a 32-bit float texture: 12.92 x c
    // gives about 0.0404 (10 of 255); the power branch just above gives almost the same.
    const float above = std::nextafter(0.0031308f, 1.0f);
    const auto out = convert(DXGI_FORMAT_R32G32B32A32_FLOAT, {{0.0031308f, above, 0, 1}}, 1.0f, true);
    EXPECT_EQ(out[0][2], 10);
    EXPECT_NEAR(out[0][1], 10, 1);
}

TEST_F(ConvertShaderTest, WhiteScaleOneMapsOneToFullWhite) {
    ASSERT_TRUE(vs_ && ps_);
    const auto out = convert(DXGI_FORMAT_R16G16B16A16_FLOAT, {{1, 1, 1, 1}, {0, 0, 0, 0}}, 1.0f, true);
    EXPECT_EQ(out[0], (std::array<uint8_t, 4>{255, 255, 255, 255}));
    EXPECT_EQ(out[1], (std::array<uint8_t, 4>{0, 0, 0, 255}));
}

TEST_F(ConvertShaderTest, TenBitPassesThroughWithEightBitQuantisation) {
    ASSERT_TRUE(vs_ && ps_);
    std::vector<Float4> pixels;
    for (uint32_t v = 0; v < 1024; v += 31) pixels.push_back({v / 1023.0f, (1023 - v) / 1023.0f, 0.5f, v % 2 ? 0.0f : 1.0f});
    const auto out = convert(DXGI_FORMAT_R10G10B10A2_UNORM, pixels, 2.5f, false);
    for (size_t i = 0; i < pixels.size(); ++i) {
        auto source = shader_test::image(DXGI_FORMAT_R10G10B10A2_UNORM, 1, 1);
        winsim::gpu::encodePixel(source->format, pixels[i], source->pixel(0, 0, 0));
        const Float4 stored = shader_test::at(*source, 0, 0);
        uint8_t expected[4];
        winsim::gpu::encodePixel(DXGI_FORMAT_B8G8R8A8_UNORM, {stored.r, stored.g, stored.b, 1.0f}, expected);
        EXPECT_EQ(std::memcmp(out[i].data(), expected, 4), 0) << "pixel " << i;
    }
}

}  // namespace
