// D3DCompile through glslang and the checks loadProgram makes on what it hands out.
#include <cstring>
#include <string>
#include <thread>

#include "support/shader_helpers.h"
#include "support/winsim_fixture.h"

namespace {

using Microsoft::WRL::ComPtr;
using winsim::shader::Stage;

constexpr char kPixel[] = R"(
Texture2D tex : register(t0);
SamplerState smp : register(s0);
float4 psmain(float2 uv : TEXCOORD0) : SV_Target { return tex.Sample(smp, uv) * SCALE; }
)";

class CompilerTest : public WinsimTest {
protected:
    void TearDown() override {
        code_.Reset();
        errors_.Reset();
        WinsimTest::TearDown();
    }
    HRESULT compile(std::string_view source, const char* entry, const char* target, const D3D_SHADER_MACRO* defines = nullptr) {
        code_.Reset();
        errors_.Reset();
        return D3DCompile(source.data(), source.size(), nullptr, defines, nullptr, entry, target, 0, 0,
                          code_.GetAddressOf(), errors_.GetAddressOf());
    }
    std::string errorText() const {
        if (!errors_) return {};
        const char* text = static_cast<const char*>(errors_->GetBufferPointer());
        EXPECT_EQ(text[errors_->GetBufferSize() - 1], '\0') << "error text is not zero-terminated";
        return text;
    }
    std::shared_ptr<const winsim::shader::Program> loadCode(Stage stage, std::string* error) {
        return winsim::shader::loadProgram(code_->GetBufferPointer(), code_->GetBufferSize(), stage, error);
    }

    static constexpr D3D_SHADER_MACRO kScale[] = {{"SCALE", "2.0"}, {nullptr, nullptr}};
    ComPtr<ID3DBlob> code_, errors_;
};

TEST_F(CompilerTest, CompilesBothStagesWithMacros) {
    ASSERT_EQ(compile(kPixel, "psmain", "ps_5_0", kScale), S_OK) << errorText();
    ASSERT_TRUE(code_);
    EXPECT_GT(code_->GetBufferSize(), 0u);
    std::string error;
    EXPECT_TRUE(loadCode(Stage::Pixel, &error)) << error;
    EXPECT_FALSE(loadCode(Stage::Vertex, &error));
    EXPECT_EQ(error, "shader compiled for another stage");

    ASSERT_EQ(compile("float4 vsmain(uint id : SV_VertexID) : SV_Position { return float4(id, 0, 0, 1); }", "vsmain",
                      "vs_5_0"),
              S_OK)
        << errorText();
    EXPECT_TRUE(loadCode(Stage::Vertex, &error)) << error;
}

TEST_F(CompilerTest, MissingEntryPointFails) {
    EXPECT_EQ(compile(kPixel, "main", "ps_5_0", kScale), E_FAIL);
    EXPECT_FALSE(code_);
    EXPECT_NE(errorText().find("entry point 'main' not found"), std::string::npos) << errorText();
}

TEST_F(CompilerTest, SyntaxErrorsComeBackAsText) {
    EXPECT_EQ(compile("float4 psmain() : SV_Target { return undefinedThing; }", "psmain", "ps_5_0"), E_FAIL);
    EXPECT_FALSE(code_);
    EXPECT_NE(errorText().find("undefinedThing"), std::string::npos) << errorText();
}

TEST_F(CompilerTest, RefusesBadArguments) {
    EXPECT_EQ(compile(kPixel, "psmain", "cs_5_0", kScale), E_FAIL);
    EXPECT_NE(errorText().find("cs_5_0"), std::string::npos);
    ID3DBlob* code = nullptr;
    EXPECT_EQ(D3DCompile(nullptr, 0, nullptr, nullptr, nullptr, "psmain", "ps_5_0", 0, 0, &code, nullptr), E_INVALIDARG);
    EXPECT_EQ(D3DCompile(kPixel, sizeof kPixel, nullptr, nullptr, nullptr, nullptr, "ps_5_0", 0, 0, &code, nullptr), E_INVALIDARG);
    EXPECT_EQ(D3DCompile(kPixel, sizeof kPixel, nullptr, nullptr, nullptr, "psmain", "ps_5_0", 0, 0, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(code, nullptr);
}

TEST_F(CompilerTest, CompileCanFailThroughTheFaultTable) {
    winsim::Fault fault;
    fault.call = "D3DCompile";
    fault.result = E_OUTOFMEMORY;
    winsim::addFault(fault);
    EXPECT_EQ(compile(kPixel, "psmain", "ps_5_0", kScale), E_OUTOFMEMORY);
    EXPECT_FALSE(code_);
}

TEST_F(CompilerTest, LoadRefusesInstructionsTheInterpreterCannotRun) {
    // Screen-space derivatives have no meaning over a span of independent pixels.
    ASSERT_EQ(compile("float4 psmain(float4 a : A) : SV_Target { return ddx(a); }", "psmain", "ps_5_0"), S_OK) << errorText();
    std::string error;
    EXPECT_FALSE(loadCode(Stage::Pixel, &error));
    EXPECT_NE(error.find("OpDPdx"), std::string::npos) << error;

    ASSERT_EQ(compile("Texture2D t : register(t5); SamplerState s : register(s0);"
                      "float4 psmain(float2 uv : A) : SV_Target { return t.Sample(s, uv); }",
                      "psmain", "ps_5_0"),
              S_OK);
    EXPECT_FALSE(loadCode(Stage::Pixel, &error));
    EXPECT_EQ(error, "unsupported resource register 5");
}

TEST_F(CompilerTest, LoadRefusesDamagedBlobs) {
    ASSERT_EQ(compile(kPixel, "psmain", "ps_5_0", kScale), S_OK);
    std::vector<uint8_t> bytes(static_cast<uint8_t*>(code_->GetBufferPointer()),
                               static_cast<uint8_t*>(code_->GetBufferPointer()) + code_->GetBufferSize());
    std::string error;
    EXPECT_FALSE(winsim::shader::loadProgram(nullptr, 0, Stage::Pixel, &error));
    EXPECT_FALSE(winsim::shader::loadProgram(bytes.data(), bytes.size() - 4, Stage::Pixel, &error));
    EXPECT_FALSE(winsim::shader::loadProgram(bytes.data(), 10, Stage::Pixel, &error));
    auto tampered = bytes;
    tampered[6 * 4] ^= 1;  // the first binding's kind
    EXPECT_FALSE(winsim::shader::loadProgram(tampered.data(), tampered.size(), Stage::Pixel, &error));
    EXPECT_TRUE(winsim::shader::loadProgram(bytes.data(), bytes.size(), Stage::Pixel, &error)) << error;
}

TEST_F(CompilerTest, CompilesFromSeveralThreads) {
    const auto work = [] {
        for (int i = 0; i < 3; ++i) {
            ComPtr<ID3DBlob> code;
            EXPECT_EQ(D3DCompile(kPixel, sizeof kPixel - 1, nullptr, kScale, nullptr, "psmain", "ps_5_0", 0, 0,
                                 code.GetAddressOf(), nullptr),
                      S_OK);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
}

}  // namespace
