#include "compiler/blob.h"

#include "machine/faults.h"

namespace winsim::compiler {

ID3DBlob* textBlob(std::string_view text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return new Blob(std::move(bytes));
}

}  // namespace winsim::compiler

HRESULT WINAPI D3DCreateBlob(SIZE_T size, ID3DBlob** blob) {
    if (!blob) return E_INVALIDARG;
    *blob = nullptr;
    if (const auto failure = winsim::fault("D3DCreateBlob")) return *failure;
    *blob = new winsim::compiler::Blob(std::vector<uint8_t>(size));
    return S_OK;
}
