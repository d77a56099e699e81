// ID3DBlob: a byte buffer handed out by the compiler.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include <d3dcommon.h>

#include "com/object.h"

namespace winsim::compiler {

class Blob final : public com::Object<Blob, ID3DBlob> {
public:
    static constexpr const char* kKind = "ID3DBlob";

    explicit Blob(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

// A blob holding `text` and a terminating zero.
ID3DBlob* textBlob(std::string_view text);

}  // namespace winsim::compiler
