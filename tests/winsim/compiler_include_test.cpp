// #include in HLSL handed to D3DCompile: the compiler's standard file include handler, a handler
// of the program's own, and none, written as Windows code passes them.
#include <d3dcompiler.h>
#include <wrl/client.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/winsim_fixture.h"

namespace {

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;

constexpr char kEntry[] = "psmain";

class CompilerIncludeTest : public WinsimTest {
protected:
    void SetUp() override {
        WinsimTest::SetUp();
        root_ = fs::temp_directory_path() /
                (std::string("winsim_include_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        previousDirectory_ = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(previousDirectory_);
        fs::remove_all(root_);
        code_.Reset();
        errors_.Reset();
        WinsimTest::TearDown();
    }

    void write(const fs::path& relative, const std::string& text) const {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    HRESULT compile(const std::string& source, const char* sourceName, ID3DInclude* include) {
        code_.Reset();
        errors_.Reset();
        return D3DCompile(source.data(), source.size(), sourceName, nullptr, include, kEntry, "ps_5_0", 0, 0, &code_,
                          &errors_);
    }
    std::string errorText() const { return errors_ ? static_cast<const char*>(errors_->GetBufferPointer()) : ""; }

    fs::path root_;
    fs::path previousDirectory_;
    ComPtr<ID3DBlob> code_, errors_;
};

// The pixel shader's body comes from the included files; the source only checks that each
// #include found the file it should have.
constexpr char kMain[] = R"(#include "common.hlsli"
#if FOUND_BESIDE_SOURCE != 1
#error common.hlsli was not the one beside the source
#endif
float4 psmain(float4 position : SV_Position) : SV_Target { return shade(position); }
)";

TEST_F(CompilerIncludeTest, StandardHandlerLooksBesideTheIncludingFileThenInTheCurrentDirectory) {
    write("shaders/common.hlsli", "#define FOUND_BESIDE_SOURCE 1\n#include \"cwd_only.hlsli\"\n#include \"lib/colour.hlsli\"\n");
    write("shaders/lib/colour.hlsli", "#include \"scale.hlsli\"\n");  // beside colour.hlsli, not the source
    write("shaders/lib/scale.hlsli", "float4 shade(float4 p) { return p * SCALE_FROM_CWD; }\n");
    write("cwd/common.hlsli", "#define FOUND_BESIDE_SOURCE 2\n");  // the source's directory comes first
    write("cwd/cwd_only.hlsli", "#define SCALE_FROM_CWD 0.5\n");
    fs::current_path(root_ / "cwd");

    const std::string sourceName = (root_ / "shaders" / "main.hlsl").string();
    EXPECT_EQ(compile(kMain, sourceName.c_str(), D3D_COMPILE_STANDARD_FILE_INCLUDE), S_OK) << errorText();
    EXPECT_TRUE(code_);

    // A relative source name is taken from the current directory.
    fs::current_path(root_);
    write("common.hlsli", "#define FOUND_BESIDE_SOURCE 3\n");
    EXPECT_EQ(compile(kMain, "shaders/main.hlsl", D3D_COMPILE_STANDARD_FILE_INCLUDE), E_FAIL);  // cwd_only.hlsli is not in root_
    EXPECT_NE(errorText().find("cwd_only.hlsli"), std::string::npos) << errorText();
    write("cwd_only.hlsli", "#define SCALE_FROM_CWD 2.0\n");
    EXPECT_EQ(compile(kMain, "shaders/main.hlsl", D3D_COMPILE_STANDARD_FILE_INCLUDE), S_OK) << errorText();
}

TEST_F(CompilerIncludeTest, WithoutASourceNameTheStandardHandlerLooksInTheCurrentDirectory) {
    write("common.hlsli", "#define FOUND_BESIDE_SOURCE 1\nfloat4 shade(float4 p) { return p; }\n");
    fs::current_path(root_);
    EXPECT_EQ(compile(kMain, nullptr, D3D_COMPILE_STANDARD_FILE_INCLUDE), S_OK) << errorText();
}

TEST_F(CompilerIncludeTest, AMissingFileOrNoHandlerIsACompileErrorThatNamesTheFile) {
    fs::current_path(root_);
    const std::string sourceName = (root_ / "main.hlsl").string();
    EXPECT_EQ(compile(kMain, sourceName.c_str(), D3D_COMPILE_STANDARD_FILE_INCLUDE), E_FAIL);
    EXPECT_FALSE(code_);
    EXPECT_NE(errorText().find("common.hlsli"), std::string::npos) << errorText();

    write("common.hlsli", "#define FOUND_BESIDE_SOURCE 1\nfloat4 shade(float4 p) { return p; }\n");
    EXPECT_EQ(compile(kMain, sourceName.c_str(), nullptr), E_FAIL);  // no handler: #include is an error
    EXPECT_FALSE(code_);
    EXPECT_NE(errorText().find("include handler"), std::string::npos) << errorText();
}

TEST_F(CompilerIncludeTest, AFileThatIncludesItselfFailsInsteadOfRecursingForEver) {
    write("loop.hlsli", "#include \"loop.hlsli\"\n");
    const std::string sourceName = (root_ / "main.hlsl").string();
    EXPECT_EQ(compile("#include \"loop.hlsli\"\nfloat4 psmain() : SV_Target { return 0; }\n", sourceName.c_str(),
                      D3D_COMPILE_STANDARD_FILE_INCLUDE),
              E_FAIL);
    EXPECT_NE(errorText().find("loop.hlsli"), std::string::npos) << errorText();
}

// A handler of the program's own, in the shape Windows samples give it: files from memory.
class MemoryInclude : public ID3DInclude {
public:
    struct OpenCall {
        D3D_INCLUDE_TYPE type;
        std::string name;
        const void* parent;
    };

    HRESULT STDMETHODCALLTYPE Open(D3D_INCLUDE_TYPE type, LPCSTR name, LPCVOID parent, LPCVOID* data,
                                   UINT* bytes) override {
        opens.push_back({type, name, parent});
        const std::string* text = find(name);
        if (!text) return E_FAIL;
        *data = text->data();
        *bytes = static_cast<UINT>(text->size());
        ++open;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close(LPCVOID data) override {
        closed.push_back(data);
        --open;
        return S_OK;
    }
    const std::string* find(const std::string& name) const {
        for (const auto& [fileName, text] : files)
            if (fileName == name) return &text;
        return nullptr;
    }

    std::vector<std::pair<std::string, std::string>> files;
    std::vector<OpenCall> opens;
    std::vector<const void*> closed;
    int open = 0;
};

TEST_F(CompilerIncludeTest, AProgramsOwnHandlerIsAskedOncePerFileAndEveryOpenIsClosed) {
    MemoryInclude include;
    include.files = {{"common.hlsli", "#define FOUND_BESIDE_SOURCE 1\n#include <system.hlsli>\n"},
                     {"system.hlsli", "float4 shade(float4 p) { return p; }\n"}};
    EXPECT_EQ(compile(kMain, "main.hlsl", &include), S_OK) << errorText();
    ASSERT_EQ(include.opens.size(), 2u);
    EXPECT_EQ(include.opens[0].type, D3D_INCLUDE_LOCAL);
    EXPECT_EQ(include.opens[0].name, "common.hlsli");
    EXPECT_EQ(include.opens[1].type, D3D_INCLUDE_SYSTEM);
    EXPECT_EQ(include.opens[1].name, "system.hlsli");
    EXPECT_EQ(include.opens[1].parent, include.find("common.hlsli")->data());  // the file that includes it
    EXPECT_EQ(include.open, 0);
    EXPECT_EQ(include.closed.size(), 2u);

    include.opens.clear();
    include.files.pop_back();
    EXPECT_EQ(compile(kMain, "main.hlsl", &include), E_FAIL);
    EXPECT_NE(errorText().find("system.hlsli"), std::string::npos) << errorText();
    EXPECT_EQ(include.opens.size(), 2u);  // a failed Open is not asked again
    EXPECT_EQ(include.open, 0);
}

}  // namespace
