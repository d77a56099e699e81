// #include for D3DCompile: the compiler's standard file include handler, or the caller's
// ID3DInclude, behind glslang's includer interface.
#pragma once
#include <d3dcommon.h>

#include <map>
#include <string>

#include <glslang/Public/ShaderLang.h>

namespace winsim::compiler {

class Includer final : public glslang::TShader::Includer {
public:
    // `include` is the caller's handler, D3D_COMPILE_STANDARD_FILE_INCLUDE, or null (every
    // #include is an error, as the D3DCompile reference says); `sourceName` is
    // D3DCompile's pSourceName (may be null), which glslang also gets as the source's name;
    // `source` is the source's text.
    Includer(ID3DInclude* include, const char* sourceName, const void* source);

    IncludeResult* includeLocal(const char* name, const char* includerName, size_t depth) override;
    IncludeResult* includeSystem(const char* name, const char* includerName, size_t depth) override;
    void releaseInclude(IncludeResult* result) override;

private:
    IncludeResult* include(D3D_INCLUDE_TYPE type, const char* name, const char* includerName, size_t depth);
    IncludeResult* fromFile(D3D_INCLUDE_TYPE type, const std::string& name, const std::string& includerName);
    IncludeResult* fromHandler(D3D_INCLUDE_TYPE type, const std::string& name, const std::string& includerName);
    static IncludeResult* failure(const std::string& message);

    const bool none_;          // no handler at all
    ID3DInclude* handler_;     // null for the standard file include handler
    std::string sourceDirectory_;  // of pSourceName, with its trailing '/'; empty for none
    std::map<std::string, const void*> openedData_;  // a header's name -> the text its handler gave
    std::string failedLocal_;  // the name includeLocal just failed to find, and why
    std::string failedLocalMessage_;
};

bool isStandardFileInclude(ID3DInclude* include);

}  // namespace winsim::compiler
