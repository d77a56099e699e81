// compileShader: the library's one way of compiling its HLSL programs.
#include <string>

#include "shaders.h"
#include "support/winsim_fixture.h"

namespace {

using Microsoft::WRL::ComPtr;

class CompileShaderTest : public WinsimTest {};

TEST_F(CompileShaderTest, CompilesTheConversionProgram) {
    ComPtr<ID3DBlob> vs, ps;
    EXPECT_TRUE(velda::compileShader(velda::kConvertShader, velda::kConvertShaderLength, "vsmain", "vs_5_0", vs));
    EXPECT_TRUE(velda::compileShader(velda::kConvertShader, velda::kConvertShaderLength, "psmain", "ps_5_0", ps));
    ASSERT_TRUE(vs && ps);
    EXPECT_GT(ps->GetBufferSize(), 0u);
}

TEST_F(CompileShaderTest, BrokenTextPrintsTheCompilerMessagesAndFails) {
    const std::string broken = "float4 psmain() : SV_Target { return missingValue; }";
    ComPtr<ID3DBlob> blob;
    ASSERT_TRUE(velda::compileShader(velda::kConvertShader, velda::kConvertShaderLength, "psmain", "ps_5_0", blob));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(velda::compileShader(broken.data(), broken.size(), "psmain", "ps_5_0", blob));
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(blob) << "the slot is released before compiling";
    const std::string prefix = "capture shader psmain: ";
    ASSERT_EQ(printed.compare(0, prefix.size(), prefix), 0) << printed;
    EXPECT_NE(printed.find("missingValue", prefix.size()), std::string::npos) << printed;
    EXPECT_EQ(printed.back(), '\n');
}

TEST_F(CompileShaderTest, MissingEntryPointFails) {
    ComPtr<ID3DBlob> blob;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(velda::compileShader(velda::kConvertShader, velda::kConvertShaderLength, "csmain", "ps_5_0", blob));
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("capture shader csmain: ", 0), 0u);
}

TEST_F(CompileShaderTest, FailureWithoutMessagesSaysCompileFailed) {
    winsim::Fault fault;
    fault.call = "D3DCompile";
    winsim::addFault(fault);
    ComPtr<ID3DBlob> blob;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(velda::compileShader(velda::kConvertShader, velda::kConvertShaderLength, "vsmain", "vs_5_0", blob));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "capture shader vsmain: compile failed\n");
}

}  // namespace
