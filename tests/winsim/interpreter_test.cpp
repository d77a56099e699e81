// The SPIR-V interpreter against the same arithmetic in plain C++, on 16 lanes with different
// values, so that a wrong operation shows up as a wrong number in some lane.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>

#include "shader/code.h"
#include "shader/lanes_maths.h"
#include "shader/machine.h"
#include "support/shader_helpers.h"

namespace {

using Vec = std::array<float, 4>;
using Reference = std::function<Vec(const Vec& a, const Vec& b)>;

class InterpreterTest : public ::testing::Test {
protected:
    // Lane i gets inputs a and b spread over -8..8, with integral x components.
    static Vec inputA(int i) { return {float(i % 7), float(i) * 0.75f - 5.5f, 3.25f - float(i) * 0.5f, float(i * i % 11) - 4.0f}; }
    static Vec inputB(int i) { return {float(i % 5 + 1), 1.5f - float(i) * 0.2f, float(i) * 0.125f, float(i) * 1.3f - 9.0f}; }

    // Runs `body` as psmain(float4 a : A, float4 b : B) over 16 lanes and compares each output
    // component with `reference` within a relative tolerance.
    void check(const std::string& body, const Reference& reference, float tolerance = 1e-6f,
               const std::vector<uint8_t>& constants = {}, const std::string& globals = "") {
        const std::string source = globals + "float4 psmain(float4 a : A, float4 b : B) : SV_Target {\n" + body + "\n}\n";
        const auto program = shader_test::load(source, "psmain", "ps_5_0");
        ASSERT_TRUE(program);
        winsim::shader::Machine machine(*program, constants, {}, {});
        const auto* out = machine.program().output("SV_TARGET0");
        ASSERT_TRUE(out);
        for (const char* name : {"A0", "B0"})
            if (const auto* in = program->input(name))
                for (int i = 0; i < winsim::shader::kLanes; ++i) {
                    const Vec v = name[0] == 'A' ? inputA(i) : inputB(i);
                    for (size_t c = 0; c < in->registers.size(); ++c) machine.reg(in->registers[c]).f[i] = v[c];
                }
        alive_ = machine.run(winsim::shader::kLanes);
        for (int i = 0; i < winsim::shader::kLanes; ++i) {
            if (!(alive_ >> i & 1)) continue;
            const Vec expected = reference(inputA(i), inputB(i));
            for (size_t c = 0; c < 4; ++c) {
                const float got = machine.reg(out->registers[c]).f[i];
                EXPECT_NEAR(got, expected[c], tolerance * std::max(1.0f, std::fabs(expected[c])))
                    << "lane " << i << " component " << c << " of\n" << body;
            }
        }
    }

    uint32_t alive_ = 0;
};

TEST_F(InterpreterTest, ArithmeticAndSwizzles) {
    check("return float4(a.x + b.y, a.y - b.x, a.z * b.w, a.w / b.x).wzyx + a.xxyz * -b.zzzw;", [](const Vec& a, const Vec& b) {
        const Vec t = {a[0] + b[1], a[1] - b[0], a[2] * b[3], a[3] / b[0]};
        return Vec{t[3] + a[0] * -b[2], t[2] + a[0] * -b[2], t[1] + a[1] * -b[2], t[0] + a[2] * -b[3]};
    });
}

TEST_F(InterpreterTest, IntegerAndBitOperations) {
    check(R"(uint x = (uint)a.x; uint y = (uint)b.x; int s = (int)a.y; int t = (int)b.w;
             return float4(x ^ (y << 3), (x >> 1) | (y & 5u), s / 3 + (s >> 1), (float)(x % y) + (float)(t * s - t));)",
          [](const Vec& a, const Vec& b) {
              const uint32_t x = uint32_t(a[0]), y = uint32_t(b[0]);
              const int32_t s = int32_t(a[1]), t = int32_t(b[3]);
              return Vec{float(x ^ (y << 3)), float((x >> 1) | (y & 5u)), float(s / 3 + (s >> 1)), float(x % y) + float(t * s - t)};
          });
}

TEST_F(InterpreterTest, DivergentBranches) {
    check(R"(float4 r = a + b;
             if (a.x > b.x) { r = a * 2; } else if (a.y < 0) { r.xy = b.yx; } else { r.w = -1; }
             return r;)",
          [](const Vec& a, const Vec& b) {
              Vec r = {a[0] + b[0], a[1] + b[1], a[2] + b[2], a[3] + b[3]};
              if (a[0] > b[0]) r = {a[0] * 2, a[1] * 2, a[2] * 2, a[3] * 2};
              else if (a[1] < 0) r[0] = b[1], r[1] = b[0];
              else r[3] = -1;
              return r;
          });
}

TEST_F(InterpreterTest, LoopWithBreakLeavesAtDifferentIterations) {
    check(R"(float s = 0; int n = 0;
             for (int i = 0; i < (int)a.x; ++i) { s += b.x * i + b.y; n++; if (s > 6) break; }
             return float4(s, n, a.x, 0);)",
          [](const Vec& a, const Vec& b) {
              float s = 0;
              int n = 0;
              for (int i = 0; i < int(a[0]); ++i) {
                  s += b[0] * float(i) + b[1];
                  n++;
                  if (s > 6) break;
              }
              return Vec{s, float(n), a[0], 0};
          });
}

TEST_F(InterpreterTest, Intrinsics) {
    check("return float4(pow(abs(a.y), b.z + 0.5), saturate(a.z), lerp(a.w, b.w, 0.25), clamp(a.y, -1, 1.5));",
          [](const Vec& a, const Vec& b) {
              return Vec{std::pow(std::fabs(a[1]), b[2] + 0.5f), std::clamp(a[2], 0.0f, 1.0f), a[3] + (b[3] - a[3]) * 0.25f,
                         std::clamp(a[1], -1.0f, 1.5f)};
          },
          2e-6f);
    check("return float4(floor(b.w), frac(b.w), sqrt(abs(b.w)), exp2(b.y));", [](const Vec&, const Vec& b) {
        return Vec{std::floor(b[3]), b[3] - std::floor(b[3]), std::sqrt(std::fabs(b[3])), std::exp2(b[1])};
    }, 2e-6f);
    check("return float4(log2(abs(a.y) + 0.01), min(a.y, b.y), max(a.z, b.z), dot(a.xyz, b.xyz));",
          [](const Vec& a, const Vec& b) {
              return Vec{std::log2(std::fabs(a[1]) + 0.01f), std::min(a[1], b[1]), std::max(a[2], b[2]),
                         a[0] * b[0] + a[1] * b[1] + a[2] * b[2]};
          },
          2e-6f);
    check("return float4(length(a.yzw), step(a.x, b.x), sign(a.w), mad(a.y, b.y, a.z));", [](const Vec& a, const Vec& b) {
        return Vec{std::sqrt(a[1] * a[1] + a[2] * a[2] + a[3] * a[3]), b[0] < a[0] ? 0.0f : 1.0f,
                   float((a[3] > 0) - (a[3] < 0)), a[1] * b[1] + a[2]};
    }, 2e-6f);
}

TEST_F(InterpreterTest, MatrixProducts) {
    check(R"(float2x2 m = float2x2(a.x, a.y, b.x, b.y);
             return float4(mul(m, a.zw), mul(a.zw, m));)",
          [](const Vec& a, const Vec& b) {
              return Vec{a[0] * a[2] + a[1] * a[3], b[0] * a[2] + b[1] * a[3], a[2] * a[0] + a[3] * b[0], a[2] * a[1] + a[3] * b[1]};
          });
}

TEST_F(InterpreterTest, ConstantBufferMatrixInHlslLayout) {
    // HLSL packs matrices column by column unless told otherwise.
    float m[4][4];  // m[row][column]
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = float(r * 4 + c) * 0.5f - 3.0f;
    std::vector<uint8_t> constants(80);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) std::memcpy(&constants[(c * 4 + r) * 4], &m[r][c], 4);
    const float offset[4] = {1, 2, 3, 4};
    std::memcpy(&constants[64], offset, 16);
    check("return mul(world, a) + off;",
          [&](const Vec& a, const Vec&) {
              Vec r;
              for (int i = 0; i < 4; ++i) r[i] = m[i][0] * a[0] + m[i][1] * a[1] + m[i][2] * a[2] + m[i][3] * a[3] + offset[i];
              return r;
          },
          1e-6f, constants, "cbuffer K : register(b0) { float4x4 world; float4 off; };\n");
}

TEST_F(InterpreterTest, DiscardDropsLanes) {
    check("if (a.y < 0) discard; return a;", [](const Vec& a, const Vec&) { return a; });
    uint32_t expected = 0;
    for (int i = 0; i < winsim::shader::kLanes; ++i) expected |= inputA(i)[1] < 0 ? 0u : 1u << i;
    EXPECT_EQ(alive_, expected);
}

// The vector maths behind exp2, log2 and pow, over their whole range: every 97th float for log2,
// dense steps for exp2, against double precision; and the values that must come out exactly.
using winsim::shader::F4;

template <class F>
float oneLane(F f, float x) {
    return f(F4{} + x)[0];
}

TEST(VectorMathsTest, Log2WithinItsErrorEverywhere) {
    const auto log2 = [](F4 x) { return winsim::shader::vlog2(x); };
    for (uint32_t bits = 0x00800000u; bits < 0x7F800000u; bits += 97) {
        float x;
        std::memcpy(&x, &bits, 4);
        const double expected = std::log2(static_cast<double>(x));
        ASSERT_NEAR(oneLane(log2, x), expected, 4e-7 * std::max(1.0, std::fabs(expected))) << x;
    }
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(oneLane(log2, 1.0f), 0.0f);
    EXPECT_EQ(oneLane(log2, 0.5f), -1.0f);
    EXPECT_EQ(oneLane(log2, 1024.0f), 10.0f);
    EXPECT_EQ(oneLane(log2, 0.0f), -inf);
    EXPECT_EQ(oneLane(log2, 1e-40f), -inf);  // subnormal: zero
    EXPECT_EQ(oneLane(log2, inf), inf);
    EXPECT_TRUE(std::isnan(oneLane(log2, -1.0f)));
    EXPECT_EQ(oneLane(log2, -0.0f), -inf);
    EXPECT_TRUE(std::isnan(oneLane(log2, std::numeric_limits<float>::quiet_NaN())));
}

TEST(VectorMathsTest, Exp2WithinItsErrorAndExactOnIntegers) {
    const auto exp2 = [](F4 x) { return winsim::shader::vexp2(x); };
    for (float x = -126.0f; x < 128.0f; x += 0.00390625f * 1.37f) {
        const double expected = std::exp2(static_cast<double>(x));
        ASSERT_NEAR(oneLane(exp2, x), expected, 3e-7 * expected) << x;
    }
    for (int n = -149; n <= 127; ++n) EXPECT_EQ(oneLane(exp2, static_cast<float>(n)), std::ldexp(1.0f, n)) << n;
    // Near the ends: finite up to just below 128, the subnormals rounded once, nothing below.
    EXPECT_TRUE(std::isfinite(oneLane(exp2, 127.75f)));
    EXPECT_NEAR(oneLane(exp2, 127.75f), std::exp2(127.75), 3e-7 * std::exp2(127.75));
    EXPECT_EQ(oneLane(exp2, 128.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(oneLane(exp2, 1000.0f), std::numeric_limits<float>::infinity());
    EXPECT_NEAR(oneLane(exp2, -140.5f), std::exp2(-140.5), std::ldexp(1.0, -149));
    EXPECT_EQ(oneLane(exp2, -151.0f), 0.0f);
    EXPECT_EQ(oneLane(exp2, -std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_TRUE(std::isnan(oneLane(exp2, std::numeric_limits<float>::quiet_NaN())));
}

TEST(VectorMathsTest, PowSpecialCases) {
    const auto pow = [](float x, float y) { return winsim::shader::vpow(F4{} + x, F4{} + y)[0]; };
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(pow(1.0f, 0.41666666f), 1.0f);
    EXPECT_EQ(pow(1.0f, -3.0f), 1.0f);
    EXPECT_EQ(pow(0.0f, 0.41666666f), 0.0f);
    EXPECT_EQ(pow(0.0f, -1.0f), inf);
    EXPECT_EQ(pow(0.0f, 0.0f), 1.0f);
    EXPECT_EQ(pow(7.5f, 0.0f), 1.0f);
    EXPECT_EQ(pow(2.0f, 10.0f), 1024.0f);
    EXPECT_EQ(pow(4.0f, 0.5f), 2.0f);
    EXPECT_TRUE(std::isnan(pow(-2.0f, 0.5f)));  // log2 of a negative number is NaN, and so is exp2 of it
    EXPECT_TRUE(std::isnan(pow(std::numeric_limits<float>::quiet_NaN(), 2.0f)));
    // A lane's result does not depend on its neighbours (which decide the way taken).
    const F4 mixed[] = {{0.0f, 0.5f, 1e-40f, 2.0f}, {0.5f, -1.0f, 0.0f, 3.0f}, {inf, 0.0f, 0.25f, 1.0f}};
    for (const F4& x : mixed)
        for (float y : {0.41666666f, -2.0f, 0.0f}) {
            const F4 r = winsim::shader::vpow(x, F4{} + y);
            for (int i = 0; i < 4; ++i) {
                const float beside = r[i], alone = pow(x[i], y);
                EXPECT_TRUE(std::memcmp(&beside, &alone, 4) == 0 || (std::isnan(beside) && std::isnan(alone)))
                    << "pow(" << x[i] << ", " << y << ") = " << beside << " beside others, " << alone << " alone";
            }
        }
    // The sRGB encode's exponent over the range it meets.
    for (float c = 0.0031308f; c <= 1.0f; c += 1.0f / 4096)
        ASSERT_NEAR(pow(c, 1.0f / 2.4f), std::pow(static_cast<double>(c), 1.0 / 2.4), 3e-7) << c;
}

}  // namespace
