// The rasterizer and output merger through gpu::draw: coverage and the fill rule, strips,
// viewports, sampling and blending.
#include <cmath>
#include <cstring>

#include "support/shader_helpers.h"

namespace {

using winsim::gpu::Float4;

constexpr char kFullScreen[] = R"(
float4 vsmain(uint id : SV_VertexID) : SV_Position {
    float2 uv = float2((id << 1) & 2, id & 2);
    return float4(uv.x * 2 - 1, uv.y * -2 + 1, 0, 1);
}
float4 psmain(float4 pos : SV_Position) : SV_Target { return float4(0.25, pos.x / 64, pos.y / 64, 1); }
)";

// A rectangle in normalized device coordinates drawn as a four-vertex strip, as the cursor is.
constexpr char kQuad[] = R"(
cbuffer C : register(b0) { float4 rect; };
Texture2D tex : register(t0);
SamplerState smp : register(s0);
struct VSOut { float4 pos : SV_Position; float2 uv : TEXCOORD0; };
VSOut vsmain(uint id : SV_VertexID) {
    VSOut o;
    float2 c = float2(id & 1, id >> 1);
    o.pos = float4(lerp(rect.x, rect.z, c.x), lerp(rect.y, rect.w, c.y), 0, 1);
    o.uv = c;
    return o;
}
float4 psmain(VSOut i) : SV_Target { return tex.Sample(smp, i.uv); }
)";

// One-shot programs shared by the tests.
struct Programs {
    std::shared_ptr<const winsim::shader::Program> fullVs, fullPs, quadVs, quadPs;
};
const Programs& programs() {
    static const Programs p{shader_test::load(kFullScreen, "vsmain", "vs_5_0"), shader_test::load(kFullScreen, "psmain", "ps_5_0"),
                            shader_test::load(kQuad, "vsmain", "vs_5_0"), shader_test::load(kQuad, "psmain", "ps_5_0")};
    return p;
}

// Additive blending (ONE + ONE) shows a pixel drawn twice as a doubled value.
winsim::gpu::BlendDesc additive() {
    winsim::gpu::BlendDesc b;
    b.enable = true;
    b.srcBlend = b.destBlend = b.srcBlendAlpha = b.destBlendAlpha = winsim::gpu::BlendFactor::One;
    return b;
}

// Pixel (x, y) from pixel coordinates of a w x h target to the quad's constants.
std::vector<uint8_t> rectConstants(float x0, float y0, float x1, float y1, float w, float h) {
    const float rect[4] = {x0 / w * 2 - 1, 1 - y0 / h * 2, x1 / w * 2 - 1, 1 - y1 / h * 2};
    return shader_test::bytesOf(rect);
}

// A strip drawing the quad (x0, y0)-(x1, y1), in pixels, into the whole of `target`.
winsim::gpu::DrawCall quadDraw(std::shared_ptr<winsim::gpu::Image> target, float x0, float y0, float x1, float y1) {
    const float w = static_cast<float>(target->width), h = static_cast<float>(target->height);
    auto call = shader_test::drawInto(std::move(target), 4);
    call.topology = winsim::gpu::Topology::TriangleStrip;
    call.vertexShader = programs().quadVs;
    call.pixelShader = programs().quadPs;
    call.vertexConstants = rectConstants(x0, y0, x1, y1, w, h);
    return call;
}

std::shared_ptr<winsim::gpu::Image> solid(const Float4& colour) {
    auto img = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 1, 1);
    shader_test::fill(*img, colour);
    return img;
}

TEST(DrawTest, FullScreenTriangleCoversEveryPixelOnce) {
    const auto& p = programs();
    auto target = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 37, 23);
    auto call = shader_test::drawInto(target, 3);
    call.vertexShader = p.fullVs;
    call.pixelShader = p.fullPs;
    call.blend = additive();
    ASSERT_TRUE(winsim::gpu::draw(call));
    for (uint32_t y = 0; y < target->height; ++y)
        for (uint32_t x = 0; x < target->width; ++x) {
            const Float4 v = shader_test::at(*target, x, y);
            ASSERT_EQ(v.r, 0.25f) << x << "," << y;
            EXPECT_FLOAT_EQ(v.g, (x + 0.5f) / 64) << "pixel centres at .5";
            EXPECT_FLOAT_EQ(v.b, (y + 0.5f) / 64);
        }
}

TEST(DrawTest, LoadsAndDiscardsAcrossWideRows) {
    // Rows long enough for runs of several groups and short spans after them: texel fetches at
    // the pixel's own position, every fifth pixel and a whole group of each row discarded.
    constexpr char kLoad[] = R"(
Texture2D tex : register(t0);
float4 vsmain(uint id : SV_VertexID) : SV_Position {
    float2 uv = float2((id << 1) & 2, id & 2);
    return float4(uv.x * 2 - 1, uv.y * -2 + 1, 0, 1);
}
float4 psmain(float4 pos : SV_Position) : SV_Target {
    uint x = (uint)pos.x;
    if (x % 5 == 3 || (x >= 48 && x < 64)) discard;
    return tex.Load(int3(pos.xy, 0)).bgra;
}
)";
    const auto vs = shader_test::load(kLoad, "vsmain", "vs_5_0"), ps = shader_test::load(kLoad, "psmain", "ps_5_0");
    auto source = shader_test::image(DXGI_FORMAT_B8G8R8A8_UNORM, 203, 3);
    for (size_t i = 0; i < source->mips[0].size(); ++i) source->mips[0][i] = static_cast<uint8_t>(i * 7 + i / 13);
    for (DXGI_FORMAT format : {DXGI_FORMAT_B8G8R8A8_UNORM, DXGI_FORMAT_R32G32B32A32_FLOAT}) {
        auto target = shader_test::image(format, source->width, source->height);
        shader_test::fill(*target, {0.5f, 0.5f, 0.5f, 0.5f});
        const Float4 untouched = shader_test::at(*target, 0, 0);
        auto call = shader_test::drawInto(target, 3);
        call.vertexShader = vs;
        call.pixelShader = ps;
        call.resources[0].image = source;
        ASSERT_TRUE(winsim::gpu::draw(call));
        for (uint32_t y = 0; y < target->height; ++y)
            for (uint32_t x = 0; x < target->width; ++x) {
                const Float4 got = shader_test::at(*target, x, y), texel = shader_test::at(*source, x, y);
                const bool discarded = x % 5 == 3 || (x >= 48 && x < 64);
                const Float4 want = discarded ? untouched : Float4{texel.b, texel.g, texel.r, texel.a};
                ASSERT_NEAR(got.r, want.r, 1e-6f) << x << "," << y << " format " << format;
                ASSERT_NEAR(got.g, want.g, 1e-6f) << x << "," << y;
                ASSERT_NEAR(got.b, want.b, 1e-6f) << x << "," << y;
                ASSERT_NEAR(got.a, want.a, 1e-6f) << x << "," << y;
            }
    }
}

TEST(DrawTest, HalfFloatRowsWithAnExcursionSampleEveryTexel) {
    // A one-to-one read of an FP16 texture except for pixels 40..79 of each row, which all read
    // column 10: a run's blocks go from rows of neighbours to others and back.
    constexpr char kExcursion[] = R"(
Texture2D tex : register(t0);
SamplerState smp : register(s0);
float4 vsmain(uint id : SV_VertexID) : SV_Position {
    float2 uv = float2((id << 1) & 2, id & 2);
    return float4(uv.x * 2 - 1, uv.y * -2 + 1, 0, 1);
}
float4 psmain(float4 pos : SV_Position) : SV_Target {
    float x = pos.x >= 40 && pos.x < 80 ? 10.5 : pos.x;
    return tex.Sample(smp, float2(x / 200, pos.y / 4));
}
)";
    const auto vs = shader_test::load(kExcursion, "vsmain", "vs_5_0"), ps = shader_test::load(kExcursion, "psmain", "ps_5_0");
    auto source = shader_test::image(DXGI_FORMAT_R16G16B16A16_FLOAT, 200, 4);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 200; ++x) {
            const float v = static_cast<float>(y * 200 + x);
            winsim::gpu::encodePixel(source->format, {v, -v, v * 0.5f, 1.0f}, source->pixel(0, x, y));
        }
    auto target = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 200, 4);
    auto call = shader_test::drawInto(target, 3);
    call.vertexShader = vs;
    call.pixelShader = ps;
    call.resources[0].image = source;
    ASSERT_TRUE(winsim::gpu::draw(call));
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 200; ++x) {
            const Float4 got = shader_test::at(*target, x, y), want = shader_test::at(*source, x >= 40 && x < 80 ? 10 : x, y);
            ASSERT_EQ(got.r, want.r) << x << "," << y;
            ASSERT_EQ(got.g, want.g) << x << "," << y;
            ASSERT_EQ(got.b, want.b) << x << "," << y;
        }
}

TEST(DrawTest, StripCoversPixelCentresInsideByTheTopLeftRule) {
    auto target = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 12, 10);
    // Edges through pixel centres: the left (x = 2.5) and top (y = 1.5) ones own their pixels,
    // the right (x = 7.5) and bottom (y = 6.5) ones do not. The shared diagonal is drawn once.
    auto call = quadDraw(target, 2.5f, 1.5f, 7.5f, 6.5f);
    call.blend = additive();
    call.resources[0].image = solid({1, 0, 0, 0});
    ASSERT_TRUE(winsim::gpu::draw(call));
    for (uint32_t y = 0; y < target->height; ++y)
        for (uint32_t x = 0; x < target->width; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 1 && y < 6;
            EXPECT_EQ(shader_test::at(*target, x, y).r, inside ? 1.0f : 0.0f) << x << "," << y;
        }
}

TEST(DrawTest, ViewportClipsAndPlaces) {
    const auto& p = programs();
    auto target = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 20, 8);
    auto call = shader_test::drawInto(target, 3);
    call.vertexShader = p.fullVs;
    call.pixelShader = p.fullPs;
    call.viewport = {10, 2, 16, 4, 0, 1};  // reaches past the right edge
    ASSERT_TRUE(winsim::gpu::draw(call));
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 20; ++x)
            EXPECT_EQ(shader_test::at(*target, x, y).r, x >= 10 && y >= 2 && y < 6 ? 0.25f : 0.0f) << x << "," << y;
}

TEST(DrawTest, PointAndLinearSamplingClampAtTheEdges) {
    auto texture = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 2, 1);
    winsim::gpu::encodePixel(texture->format, {0, 0, 0, 1}, texture->pixel(0, 0, 0));
    winsim::gpu::encodePixel(texture->format, {1, 0, 0, 1}, texture->pixel(0, 1, 0));
    for (bool linear : {false, true}) {
        auto target = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 8, 1);
        auto call = quadDraw(target, 0, 0, 8, 1);
        call.resources[0].image = texture;
        call.samplers[0].linear = linear;
        ASSERT_TRUE(winsim::gpu::draw(call));
        // u = (x + 0.5) / 8; linear reads texel coordinate u * 2 - 0.5, clamped to the edge texels.
        const float pointExpected[8] = {0, 0, 0, 0, 1, 1, 1, 1};
        const float linearExpected[8] = {0, 0, 0.125f, 0.375f, 0.625f, 0.875f, 1, 1};
        for (uint32_t x = 0; x < 8; ++x)
            EXPECT_FLOAT_EQ(shader_test::at(*target, x, 0).r, linear ? linearExpected[x] : pointExpected[x])
                << (linear ? "linear " : "point ") << x;
    }
}

TEST(DrawTest, AlphaBlendingOverBgra) {
    auto target = shader_test::image(DXGI_FORMAT_B8G8R8A8_UNORM, 4, 1);
    shader_test::fill(*target, {0, 0, 1, 1});
    auto call = quadDraw(target, 1, 0, 3, 1);
    call.resources[0].image = solid({1, 0.5f, 0, 0.5f});
    call.blend.enable = true;
    call.blend.srcBlend = winsim::gpu::BlendFactor::SrcAlpha;
    call.blend.destBlend = winsim::gpu::BlendFactor::InvSrcAlpha;
    call.blend.srcBlendAlpha = winsim::gpu::BlendFactor::One;
    call.blend.destBlendAlpha = winsim::gpu::BlendFactor::InvSrcAlpha;
    ASSERT_TRUE(winsim::gpu::draw(call));
    uint8_t px[4][4];
    for (uint32_t x = 0; x < 4; ++x) std::memcpy(px[x], target->pixel(0, x, 0), 4);
    const uint8_t untouched[4] = {255, 0, 0, 255}, blended[4] = {128, 64, 128, 255};  // B, G, R, A
    EXPECT_EQ(std::memcmp(px[0], untouched, 4), 0);
    EXPECT_EQ(std::memcmp(px[1], blended, 4), 0) << int(px[1][0]) << " " << int(px[1][1]) << " " << int(px[1][2]);
    EXPECT_EQ(std::memcmp(px[2], blended, 4), 0);
    EXPECT_EQ(std::memcmp(px[3], untouched, 4), 0);
}

TEST(DrawTest, CounterClockwiseTrianglesAreCulledAndMissingPiecesRefused) {
    const auto& p = programs();
    auto target = shader_test::image(DXGI_FORMAT_R32G32B32A32_FLOAT, 4, 4);
    auto call = quadDraw(target, 0, 4, 4, 0);  // upside down: wound the other way
    call.resources[0].image = solid({1, 1, 1, 1});
    ASSERT_TRUE(winsim::gpu::draw(call));
    EXPECT_EQ(shader_test::at(*target, 1, 1).r, 0.0f);

    auto missing = call;
    missing.pixelShader = nullptr;
    EXPECT_FALSE(winsim::gpu::draw(missing));
    missing = call;
    missing.renderTarget = nullptr;
    EXPECT_FALSE(winsim::gpu::draw(missing));
    missing = call;
    missing.vertexShader = p.fullVs;  // wants TEXCOORD0, which the full-screen vertex shader lacks
    EXPECT_FALSE(winsim::gpu::draw(missing));
}

}  // namespace
