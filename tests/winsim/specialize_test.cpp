// Programs specialised for a draw's constants against the same programs run as decoded: every
// output lane bit for bit, what is left of the control flow, and which programs stay as they are.
#include <cstring>

#include "shader/code.h"
#include "shader/machine.h"
#include "shader/specialize.h"
#include "support/shader_helpers.h"

namespace {

using winsim::shader::Code;
using winsim::shader::kLanes;
using winsim::shader::Machine;
using winsim::shader::Program;

const char kGlobals[] = "cbuffer K : register(b0) { float4 p; };\n";

std::vector<uint8_t> cbuffer(float x, float y) {
    const float values[4] = {x, y, 0.25f, -3.0f};
    std::vector<uint8_t> bytes(sizeof values);
    std::memcpy(bytes.data(), values, sizeof values);
    return bytes;
}

std::shared_ptr<const Program> pixelShader(const std::string& body) {
    return shader_test::load(std::string(kGlobals) + "float4 psmain(float4 a : A) : SV_Target {\n" + body + "\n}\n", "psmain",
                             "ps_5_0");
}

// Runs the program on 16 lanes of distinct inputs, with or without specialisation; the output's
// 64 values as bits.
std::vector<uint32_t> outputs(const Program& program, const std::vector<uint8_t>& constants, Machine::Specialise mode) {
    Machine machine(program, constants, nullptr, mode);
    if (const auto* in = program.input("A0"))
        for (int i = 0; i < kLanes; ++i)
            for (size_t c = 0; c < in->registers.size(); ++c) machine.reg(in->registers[c]).f[i] = float(i) * 0.37f - 2.5f + float(c);
    machine.run(kLanes);
    std::vector<uint32_t> bits;
    for (uint32_t r : machine.program().output("SV_TARGET0")->registers)
        for (int i = 0; i < kLanes; ++i) bits.push_back(machine.reg(r).u[i]);
    return bits;
}

bool hasControlFlow(const Program& program) {
    for (const auto& op : program.ops)
        if (op.code == Code::Block || op.code == Code::AddLanes || op.code == Code::ClearMask || op.code == Code::Store)
            return true;
    return false;
}

// Branches on the constant buffer, values copied before they are overwritten, constants folded
// into the outputs: straight-line code that computes exactly what the decoded program does.
TEST(SpecializeTest, UniformControlFlowBecomesStraightLineCodeWithTheSameResults) {
    const char* bodies[] = {
        "float4 c = a; if (p.y > 0.5) { c = saturate(c * p.x); c.xy = pow(c.xy, 1.0 / 2.4); } return float4(c.xyz, 1);",
        "float4 x = a; float4 y = x; x = a * 2; if (p.x > 1) { x += y; } else { y -= x; } return x + y * p.z;",
        "float4 r = a; if (p.y > 0.5) { if (p.x < 0) r = -a; else r.w = p.w * p.z + 1; } return r + float4(p.z * 4, 0, 0, 0);",
        "float k = p.x * 2 + p.z; return k > 1 ? a * k : a.wzyx;",
    };
    for (const char* body : bodies) {
        const auto program = pixelShader(body);
        ASSERT_TRUE(program);
        for (const auto& constants : {cbuffer(0.4f, 1.0f), cbuffer(2.0f, 0.0f), cbuffer(-1.0f, 1.0f)}) {
            Program specialised;
            ASSERT_TRUE(winsim::shader::specialize(*program, constants, specialised)) << body;
            EXPECT_FALSE(hasControlFlow(specialised)) << body;
            EXPECT_LT(specialised.ops.size(), program->ops.size()) << body;
            EXPECT_EQ(outputs(*program, constants, Machine::Specialise::Yes), outputs(*program, constants, Machine::Specialise::No))
                << body;
        }
    }
}

TEST(SpecializeTest, ABranchTakenByNoLaneLeavesNothingOfItsBody) {
    const auto program = pixelShader("float4 c = a; if (p.y > 0.5) { c = sqrt(abs(c)) * p.x; } return c;");
    ASSERT_TRUE(program);
    Program specialised;
    ASSERT_TRUE(winsim::shader::specialize(*program, cbuffer(1.0f, 0.0f), specialised));
    EXPECT_TRUE(specialised.ops.empty());  // the outputs are the inputs' registers
    EXPECT_EQ(outputs(*program, cbuffer(1.0f, 0.0f), Machine::Specialise::Yes),
              outputs(*program, cbuffer(1.0f, 0.0f), Machine::Specialise::No));
}

// A value copied out of a register that is written again keeps the value it had (a program built
// by hand: decoded programs write most registers once).
TEST(SpecializeTest, ACopyOutlivesTheRegisterItCameFrom) {
    Program program;
    program.registerCount = 7;
    program.inputs.push_back({"A0", {3}});
    program.constants.emplace_back(4, 0x40000000u);  // 2.0
    program.ops = {{Code::FMul, false, 5, 3, 4}, {Code::Copy, false, 6, 5}, {Code::FAdd, false, 5, 3, 4}};
    program.outputs.push_back({"SV_TARGET0", {5, 6, 5, 6}});
    Program specialised;
    ASSERT_TRUE(winsim::shader::specialize(program, {}, specialised));
    const auto bits = outputs(program, {}, Machine::Specialise::Yes);
    EXPECT_EQ(bits, outputs(program, {}, Machine::Specialise::No));
    float product, sum;
    std::memcpy(&sum, &bits[0], 4);
    std::memcpy(&product, &bits[kLanes], 4);
    EXPECT_EQ(sum, -2.5f + 2.0f);
    EXPECT_EQ(product, -2.5f * 2.0f);
}

// Control flow that depends on the lanes' own values stays as decoded, and runs as before.
TEST(SpecializeTest, ProgramsWithDivergenceLoopsOrDiscardStayAsDecoded) {
    const char* bodies[] = {
        "float4 r = a; if (a.x > 0) r = a * p.x; return r;",
        "float s = 0; for (int i = 0; i < 3; ++i) s += a.x * i; return float4(s, p.x, 0, 1);",
        "if (p.x < 0) discard; return a;",  // taken: the kill stays
    };
    for (const char* body : bodies) {
        const auto program = pixelShader(body);
        ASSERT_TRUE(program);
        Program specialised;
        specialised.registerCount = 12345;
        EXPECT_FALSE(winsim::shader::specialize(*program, cbuffer(-1.0f, 1.0f), specialised)) << body;
        EXPECT_EQ(specialised.registerCount, 12345u) << "left untouched";
        EXPECT_EQ(outputs(*program, cbuffer(-1.0f, 1.0f), Machine::Specialise::Yes),
                  outputs(*program, cbuffer(-1.0f, 1.0f), Machine::Specialise::No));
    }
}

}  // namespace
