// The vector paths (SSE2, AVX2, AVX-512) against each other: every path this processor can run
// draws, samples, packs and filters the same bits.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "gpu/ops.h"
#include "shader/isa.h"
#include "support/shader_helpers.h"

namespace {

using winsim::shader::Isa;

// Runs `f` once on every path the processor has, and puts the path in use back afterwards.
template <class F>
auto onEachPath(F f) {
    const Isa before = winsim::shader::activeIsa();
    std::vector<decltype(f())> results;
    for (Isa isa : {Isa::Sse2, Isa::Avx2, Isa::Avx512}) {
        if (winsim::shader::useIsa(isa) != isa) break;
        results.push_back(f());
    }
    winsim::shader::useIsa(before);
    return results;
}

void expectAllEqual(const std::vector<std::vector<uint8_t>>& results) {
    for (size_t i = 1; i < results.size(); ++i) {
        ASSERT_EQ(results[i].size(), results[0].size());
        const auto [differs, _] = std::mismatch(results[i].begin(), results[i].end(), results[0].begin());
        EXPECT_TRUE(differs == results[i].end()) << winsim::shader::isaName(static_cast<Isa>(i)) << " differs from sse2 first at byte "
                                                 << (differs - results[i].begin());
    }
}

std::vector<uint8_t> bytesOf(const winsim::gpu::Image& img) {
    std::vector<uint8_t> all;
    for (const auto& mip : img.mips) all.insert(all.end(), mip.begin(), mip.end());
    return all;
}

// Which NaN an operation on two NaNs returns depends on the order the compiler gave its operands,
// as on GPUs: a float target's NaNs count as one value.
std::vector<uint8_t> withOneNaN(std::vector<uint8_t> bytes) {
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        float f;
        std::memcpy(&f, bytes.data() + i, 4);
        if (std::isnan(f)) std::memcpy(bytes.data() + i, "\0\0\xC0\x7F", 4);
    }
    return bytes;
}

// A tone-mapping pass like the capture's, with more of the interpreter's maths in it.
constexpr char kShader[] = R"(
Texture2D tex : register(t0);
SamplerState smp : register(s0);
struct VSOut { float4 pos : SV_Position; float2 uv : TEXCOORD0; };
VSOut vsmain(uint id : SV_VertexID) {
    VSOut o;
    float2 uv = float2((id << 1) & 2, id & 2);
    o.pos = float4(uv.x * 2 - 1, uv.y * -2 + 1, 0, 1);
    o.uv = uv;
    return o;
}
float enc(float c) { return c <= 0.0031308 ? 12.92 * c : 1.055 * pow(c, 1.0 / 2.4) - 0.055; }
float4 psmain(VSOut i) : SV_Target {
    float4 t = tex.Sample(smp, i.uv);
    float3 c = saturate(t.rgb * 0.4);
    float extra = exp2(t.a) + log2(abs(t.r)) + floor(t.g * 3.7) + round(t.b) + sqrt(abs(t.a)) + min(t.r, t.g);
    return float4(enc(c.r), enc(c.g), enc(c.b), frac(extra * 0.01));
}
)";

// An FP16 source with ordinary values, and NaNs, infinities, negatives, subnormals and large ones.
std::shared_ptr<winsim::gpu::Image> hdrSource(uint32_t width, uint32_t height) {
    auto img = shader_test::image(DXGI_FORMAT_R16G16B16A16_FLOAT, width, height);
    std::mt19937 random(7);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint16_t halves[4];
            for (uint16_t& h : halves) h = static_cast<uint16_t>(random());
            if (x % 3 == 0) halves[0] = static_cast<uint16_t>(0x3000 + (x * 37 + y * 11) % 0x1C00);  // 0.125 .. 4
            std::memcpy(img->pixel(0, x, y), halves, sizeof halves);
        }
    return img;
}

// The pass over the whole target; the source is read one to one where the sizes agree.
std::vector<uint8_t> convert(DXGI_FORMAT format, uint32_t width, uint32_t height, uint32_t sourceWidth) {
    static const auto vs = shader_test::load(kShader, "vsmain", "vs_5_0"), ps = shader_test::load(kShader, "psmain", "ps_5_0");
    auto call = shader_test::drawInto(shader_test::image(format, width, height), 3);
    call.vertexShader = vs;
    call.pixelShader = ps;
    call.resources[0].image = hdrSource(sourceWidth, height);
    EXPECT_TRUE(winsim::gpu::draw(call));
    std::vector<uint8_t> bytes = bytesOf(*call.renderTarget);
    return format == DXGI_FORMAT_R32G32B32A32_FLOAT ? withOneNaN(bytes) : bytes;
}

TEST(IsaPathsTest, NoPathAboveTheProcessorsIsUsed) {
    const Isa before = winsim::shader::activeIsa();
    EXPECT_LE(static_cast<int>(before), static_cast<int>(winsim::shader::processorIsa()));
    EXPECT_EQ(winsim::shader::useIsa(Isa::Avx512), winsim::shader::processorIsa());
    EXPECT_EQ(winsim::shader::useIsa(Isa::Sse2), Isa::Sse2);
    EXPECT_EQ(winsim::shader::activeIsa(), Isa::Sse2);
    winsim::shader::useIsa(before);
}

TEST(IsaPathsTest, ConversionPixelsAgreeBitForBit) {
    // One to one into 8-bit BGRA, into float (every bit of the shader's results), and scaled, so
    // that the sampler's general path is taken too. Odd widths leave partial spans.
    expectAllEqual(onEachPath([] { return convert(DXGI_FORMAT_B8G8R8A8_UNORM, 203, 9, 203); }));
    expectAllEqual(onEachPath([] { return convert(DXGI_FORMAT_R32G32B32A32_FLOAT, 203, 9, 203); }));
    expectAllEqual(onEachPath([] { return convert(DXGI_FORMAT_R32G32B32A32_FLOAT, 150, 9, 203); }));
}

TEST(IsaPathsTest, HalfFloatsReadAsTheProcessorConvertsThem) {
    // Every half: one row of a 65536 x 1 image sampled one to one into a float target.
    auto source = shader_test::image(DXGI_FORMAT_R16G16B16A16_FLOAT, 65536, 1);
    for (uint32_t x = 0; x < 65536; ++x) {
        const uint16_t h[4] = {static_cast<uint16_t>(x), static_cast<uint16_t>(x ^ 0x8000), 0x3C00, 0};
        std::memcpy(source->pixel(0, x, 0), h, sizeof h);
    }
    constexpr char kCopy[] = R"(
Texture2D tex : register(t0);
SamplerState smp : register(s0);
float4 vsmain(uint id : SV_VertexID, out float2 uv : TEXCOORD0) : SV_Position {
    uv = float2((id << 1) & 2, id & 2);
    return float4(uv.x * 2 - 1, uv.y * -2 + 1, 0, 1);
}
float4 psmain(float4 pos : SV_Position, float2 uv : TEXCOORD0) : SV_Target { return tex.Sample(smp, uv); }
)";
    const auto vs = shader_test::load(kCopy, "vsmain", "vs_5_0"), ps = shader_test::load(kCopy, "psmain", "ps_5_0");
    const auto results = onEachPath([&] {
        auto call = shader_test::drawInto(shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 65536, 1), 3);
        call.vertexShader = vs;
        call.pixelShader = ps;
        call.resources[0].image = source;
        EXPECT_TRUE(winsim::gpu::draw(call));
        return bytesOf(*call.renderTarget);
    });
    expectAllEqual(results);
    // Spot checks against the format: 1.0, the largest normal, infinity, and a quiet NaN from a
    // signalling one.
    const auto red = [&](uint32_t x) {
        uint32_t bits;
        std::memcpy(&bits, results[0].data() + 16 * x, 4);
        return bits;
    };
    EXPECT_EQ(red(0x3C00), 0x3F800000u);
    EXPECT_EQ(red(0x7BFF), 0x477FE000u);
    EXPECT_EQ(red(0x7C00), 0x7F800000u);
    EXPECT_EQ(red(0x7C01), 0x7FC02000u);
    EXPECT_EQ(red(0x0001), 0x33800000u);  // the smallest subnormal, 2^-24
}

TEST(IsaPathsTest, Exp2Log2AndPowAgreeBitForBitOverTheirRange) {
    // exp2 from below the subnormals to beyond infinity, log2 and pow of bit patterns of every
    // kind (zeros, subnormals, negatives, infinities, NaNs), into a float target.
    constexpr char kMaths[] = R"(
Texture2D tex : register(t0);
SamplerState smp : register(s0);
float4 vsmain(uint id : SV_VertexID, out float2 uv : TEXCOORD0) : SV_Position {
    uv = float2((id << 1) & 2, id & 2);
    return float4(uv.x * 2 - 1, uv.y * -2 + 1, 0, 1);
}
float4 psmain(float4 pos : SV_Position, float2 uv : TEXCOORD0) : SV_Target {
    float4 t = tex.Sample(smp, uv);
    return float4(exp2(t.r), log2(t.g), pow(t.b, t.a), pow(abs(t.g), 1.0 / 2.4));
}
)";
    constexpr uint32_t kWidth = 1024, kHeight = 8;
    auto source = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, kWidth, kHeight);
    std::mt19937 random(11);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t i = y * kWidth + x;
            float texel[4] = {-160.0f + 290.0f * static_cast<float>(i) / (kWidth * kHeight), 0, 0, 0};
            for (int c = 1; c < 4; ++c) {
                const uint32_t bits = static_cast<uint32_t>(random());
                std::memcpy(&texel[c], &bits, 4);
            }
            if (x % 2) texel[3] = static_cast<float>(static_cast<int>(random() % 16) - 8) * 0.375f;  // ordinary exponents
            std::memcpy(source->pixel(0, x, y), texel, sizeof texel);
        }
    const auto vs = shader_test::load(kMaths, "vsmain", "vs_5_0"), ps = shader_test::load(kMaths, "psmain", "ps_5_0");
    expectAllEqual(onEachPath([&] {
        auto call = shader_test::drawInto(shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, kWidth, kHeight), 3);
        call.vertexShader = vs;
        call.pixelShader = ps;
        call.resources[0].image = source;
        EXPECT_TRUE(winsim::gpu::draw(call));
        return withOneNaN(bytesOf(*call.renderTarget));
    }));
}

std::shared_ptr<winsim::gpu::Image> noise(uint32_t width, uint32_t height, uint32_t seed) {
    const uint32_t levels = 1 + static_cast<uint32_t>(std::log2(std::max(width, height)));
    auto img = winsim::gpu::makeImage({winsim::gpuFormat(DXGI_FORMAT_B8G8R8A8_UNORM), width, height, levels}, nullptr);
    std::mt19937 random(seed);
    for (uint8_t& b : img->mips[0]) b = static_cast<uint8_t>(random());
    return img;
}

// Level `mip` as the filter defines it from the level above: along a dimension that halves
// exactly two taps of weight 2, along an odd one three of 1, 2, 1, a dimension of 1 one of 4;
// (sum of weight products x values + 8) >> 4.
std::vector<uint8_t> filteredLevel(winsim::gpu::Image& img, uint32_t mip) {
    const auto taps = [](uint32_t size, uint32_t d) {
        if (size == 1) return std::vector<std::pair<uint32_t, int>>{{0, 4}};
        if (size % 2 == 0) return std::vector<std::pair<uint32_t, int>>{{2 * d, 2}, {2 * d + 1, 2}};
        return std::vector<std::pair<uint32_t, int>>{{2 * d, 1}, {2 * d + 1, 2}, {2 * d + 2, 1}};
    };
    std::vector<uint8_t> level;
    for (uint32_t y = 0; y < img.mipHeight(mip); ++y)
        for (uint32_t x = 0; x < img.mipWidth(mip); ++x)
            for (int c = 0; c < 4; ++c) {
                int sum = 8;
                for (const auto& [sy, wy] : taps(img.mipHeight(mip - 1), y))
                    for (const auto& [sx, wx] : taps(img.mipWidth(mip - 1), x)) sum += wy * wx * img.pixel(mip - 1, sx, sy)[c];
                level.push_back(static_cast<uint8_t>(sum >> 4));
            }
    return level;
}

TEST(IsaPathsTest, MipsAgreeBitForBitAndRoundToNearest) {
    for (const auto& [width, height] : {std::pair{128u, 64u}, {70u, 36u}, {67u, 38u}, {33u, 1u}, {64u, 37u}, {240u, 135u}}) {
        const auto results = onEachPath([w = width, h = height] {
            auto img = noise(w, h, w * h);
            winsim::gpu::generateMips(*img, 0, img->mipLevels - 1);
            return bytesOf(*img);
        });
        expectAllEqual(results);
        // The chain in one call (levels filtered together, row by row) as one level a call.
        auto apart = noise(width, height, width * height);
        for (uint32_t mip = 0; mip + 1 < apart->mipLevels; ++mip) winsim::gpu::generateMips(*apart, mip, mip + 1);
        EXPECT_TRUE(bytesOf(*apart) == results[0]) << width << "x" << height;
        for (uint32_t mip = 1; mip < apart->mipLevels; ++mip)
            EXPECT_TRUE(std::ranges::equal(filteredLevel(*apart, mip), apart->mips[mip])) << width << "x" << height << " level " << mip;
    }
    // Level 1 of an even image on every path: (a + b + c + d + 2) >> 2 of each channel.
    onEachPath([] {
        auto img = noise(128, 64, 3);
        winsim::gpu::generateMips(*img, 0, 1);
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                for (int c = 0; c < 4; ++c) {
                    const auto at = [&](uint32_t sx, uint32_t sy) { return img->pixel(0, sx, sy)[c]; };
                    const int sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1);
                    EXPECT_EQ(img->pixel(1, x, y)[c], (sum + 2) >> 2) << x << "," << y << " on " << winsim::shader::isaName(winsim::shader::activeIsa());
                }
        return 0;
    });
}

}  // namespace
