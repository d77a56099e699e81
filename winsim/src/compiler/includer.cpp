#include "compiler/includer.h"

#include <d3dcompiler.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace winsim::compiler {
namespace {

// Deeper than any real shader nests; a file that includes itself stops here with an error.
constexpr size_t kMaxDepth = 32;

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
    return true;
}

// Kept alive until glslang releases the header: the text read from a file.
struct FileText {
    std::string text;
};

}  // namespace

bool isStandardFileInclude(ID3DInclude* include) { return include == D3D_COMPILE_STANDARD_FILE_INCLUDE; }

Includer::Includer(ID3DInclude* include, const char* sourceName, const void* source)
    : none_(include == nullptr),
      handler_(isStandardFileInclude(include) ? nullptr : include),
      sourceDirectory_(sourceName ? directoryOf(sourceName) : std::string()) {
    openedData_[sourceName ? sourceName : ""] = source;
}

Includer::IncludeResult* Includer::includeLocal(const char* name, const char* includerName, size_t depth) {
    IncludeResult* result = include(D3D_INCLUDE_LOCAL, name, includerName, depth);
    if (result->headerName.empty()) {
        failedLocal_ = name;
        failedLocalMessage_.assign(result->headerData, result->headerLength);
    }
    return result;
}

// glslang asks here for <name>, and again for "name" when includeLocal found nothing. Both search
// the same places, so a quoted name is searched (and a handler asked) once, as D3D_INCLUDE_LOCAL.
Includer::IncludeResult* Includer::includeSystem(const char* name, const char* includerName, size_t depth) {
    if (!failedLocal_.empty() && failedLocal_ == name) {
        failedLocal_.clear();
        return failure(failedLocalMessage_);
    }
    return include(D3D_INCLUDE_SYSTEM, name, includerName, depth);
}

Includer::IncludeResult* Includer::include(D3D_INCLUDE_TYPE type, const char* name, const char* includerName,
                                           size_t depth) {
    if (none_) return failure("#include without an include handler (pInclude is null)");
    if (depth > kMaxDepth) return failure(std::string("#include nested too deeply at '") + name + "'");
    const std::string includer = includerName ? includerName : "";
    return handler_ ? fromHandler(type, name, includer) : fromFile(type, name, includer);
}

// The standard handler looks beside the file that holds the #include (for the source itself,
// beside pSourceName), then beside the source, then in the current directory: the D3DCompile
// reference says it "includes files that are relative to the current directory and files that
// are relative to the directory of the initial source file".
Includer::IncludeResult* Includer::fromFile(D3D_INCLUDE_TYPE, const std::string& name, const std::string& includerName) {
    const bool absolute = !name.empty() && (name[0] == '/' || name[0] == '\\');
    const std::string candidates[] = {absolute ? name : directoryOf(includerName) + name, sourceDirectory_ + name, name};
    for (const auto& path : candidates) {
        auto text = std::make_unique<FileText>();
        if (!readFile(path, text->text)) continue;
        const char* data = text->text.data();
        const size_t length = text->text.size();
        return new IncludeResult(path, data, length, text.release());
    }
    return failure("failed to open source file: '" + name + "'");
}

// The caller's handler gets the text of the file that holds the #include as pParentData (the
// source's own text for the first level), as handlers that resolve names against their parent's
// directory expect.
Includer::IncludeResult* Includer::fromHandler(D3D_INCLUDE_TYPE type, const std::string& name,
                                               const std::string& includerName) {
    const auto parent = openedData_.find(includerName);
    LPCVOID data = nullptr;
    UINT bytes = 0;
    if (FAILED(handler_->Open(type, name.c_str(), parent == openedData_.end() ? nullptr : parent->second, &data,
                              &bytes)) ||
        !data)
        return failure("failed to open source file: '" + name + "'");
    openedData_[name] = data;
    return new IncludeResult(name, static_cast<const char*>(data), bytes, nullptr);
}

void Includer::releaseInclude(IncludeResult* result) {
    if (!result) return;
    if (!result->headerName.empty()) {
        if (handler_) {
            handler_->Close(result->headerData);
        } else {
            delete static_cast<FileText*>(result->userData);
        }
    } else {
        delete static_cast<std::string*>(result->userData);
    }
    delete result;
}

// A failed include carries its message as the header's text and no name (glslang's convention).
Includer::IncludeResult* Includer::failure(const std::string& message) {
    auto text = std::make_unique<std::string>(message);
    const char* data = text->data();
    const size_t length = text->size();
    return new IncludeResult(std::string(), data, length, text.release());
}

}  // namespace winsim::compiler
