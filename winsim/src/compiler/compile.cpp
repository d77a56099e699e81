// D3DCompile: HLSL through glslang's HLSL front end to SPIR-V, legalised (helpers inlined,
// variables promoted to registers), wrapped with the reflection the runtime needs.
#include <d3dcompiler.h>

#include <cstring>
#include <mutex>
#include <string>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include "compiler/blob.h"
#include "compiler/includer.h"
#include "machine/faults.h"
#include "shader/blob_format.h"
#include "shader/spirv.h"

namespace winsim::compiler {
namespace {

struct Outcome {
    bool ok = false;
    std::string log;
    std::vector<uint32_t> spirv;
};

std::string preamble(const D3D_SHADER_MACRO* defines) {
    std::string text;
    for (; defines && defines->Name; ++defines) {
        text += "#define ";
        text += defines->Name;
        text += ' ';
        text += defines->Definition ? defines->Definition : "1";
        text += '\n';
    }
    return text;
}

std::mutex& compilerMutex() {
    static std::mutex mutex;
    return mutex;
}

// glslang keeps process-wide tables; they are set up once and live as long as the process.
void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { glslang::InitializeProcess(); });
}

struct Source {
    const char* text;
    int length;
    const char* name;  // pSourceName: named in the messages and where #include starts looking
    ID3DInclude* include;
};

Outcome runGlslang(const Source& source, const std::string& defines, const char* entry, EShLanguage language) {
    Outcome out;
    glslang::TShader shader(language);
    if (source.name) {
        shader.setStringsWithLengthsAndNames(&source.text, &source.length, &source.name, 1);
    } else {
        shader.setStringsWithLengths(&source.text, &source.length, 1);
    }
    shader.setPreamble(defines.c_str());
    shader.setEntryPoint(entry);
    shader.setSourceEntryPoint(entry);
    shader.setEnvInput(glslang::EShSourceHlsl, language, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setEnvTargetHlslFunctionality1();
    const auto messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl |
                                                   EShMsgHlslOffsets | EShMsgHlslLegalization);
    Includer includer(source.include, source.name, source.text);
    const bool parsed = shader.parse(GetDefaultResources(), 100, false, messages, includer);
    out.log = shader.getInfoLog();
    if (!parsed) return out;
    glslang::TProgram program;
    program.addShader(&shader);
    const bool linked = program.link(messages);
    out.log += program.getInfoLog();
    if (!linked) return out;
    // glslang only warns about a missing entry point and compiles an empty function.
    if (out.log.find("Entry point not found") != std::string::npos) {
        out.log = std::string("error: entry point '") + entry + "' not found\n" + out.log;
        return out;
    }
    glslang::SpvOptions options;
    options.disableOptimizer = false;  // the HLSL legalisation passes
    spv::SpvBuildLogger logger;
    glslang::GlslangToSpv(*program.getIntermediate(language), out.spirv, &logger, &options);
    out.log += logger.getAllMessages();
    out.ok = !out.spirv.empty();
    return out;
}

bool stageOf(const char* target, EShLanguage& language, shader::Stage& stage) {
    if (std::strcmp(target, "vs_5_0") == 0) {
        language = EShLangVertex;
        stage = shader::Stage::Vertex;
        return true;
    }
    if (std::strcmp(target, "ps_5_0") == 0) {
        language = EShLangFragment;
        stage = shader::Stage::Pixel;
        return true;
    }
    return false;
}

HRESULT fail(ID3DBlob** errors, const std::string& text) {
    if (errors) *errors = textBlob(text);
    return E_FAIL;
}

}  // namespace
}  // namespace winsim::compiler

HRESULT WINAPI D3DCompile(LPCVOID source, SIZE_T length, LPCSTR sourceName, const D3D_SHADER_MACRO* defines,
                          ID3DInclude* include, LPCSTR entry, LPCSTR target, UINT, UINT, ID3DBlob** code,
                          ID3DBlob** errors) {
    using namespace winsim::compiler;
    if (code) *code = nullptr;
    if (errors) *errors = nullptr;
    if (!source || !entry || !target || !code) return E_INVALIDARG;
    if (length > 0x7FFFFFFF) return E_INVALIDARG;
    if (const auto failure = winsim::fault("D3DCompile")) return *failure;
    EShLanguage language;
    winsim::shader::Stage stage;
    if (!stageOf(target, language, stage)) return fail(errors, std::string("error: unsupported target '") + target + "'\n");

    Outcome outcome;
    {
        std::lock_guard lock(compilerMutex());
        initialiseOnce();
        const Source input{static_cast<const char*>(source), static_cast<int>(length), sourceName, include};
        outcome = runGlslang(input, preamble(defines), entry, language);
    }
    if (!outcome.ok) return fail(errors, outcome.log.empty() ? "error: compilation failed\n" : outcome.log);
    std::string reason;
    const auto reflection = winsim::shader::reflect(outcome.spirv, stage, &reason);
    if (!reflection) return fail(errors, "error: " + reason + "\n");
    *code = new Blob(winsim::shader::writeBlob(*reflection, outcome.spirv));
    if (errors && !outcome.log.empty()) *errors = textBlob(outcome.log);
    return S_OK;
}
