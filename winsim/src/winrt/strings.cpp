// WindowsCreateString, WindowsCreateStringReference, WindowsDeleteString and the raw buffer, as
// winstring.h's pages describe them. A null HSTRING is the empty string.
#include <cstring>
#include <new>

#include "machine/faults.h"
#include "winrt/strings.h"

namespace winsim::winrt {

std::wstring text(HSTRING string) {
    UINT32 length = 0;
    const wchar_t* buffer = WindowsGetStringRawBuffer(string, &length);
    return std::wstring(buffer, length);
}

HRESULT makeString(const std::wstring& text, HSTRING* out) {
    return WindowsCreateString(text.c_str(), static_cast<UINT32>(text.size()), out);
}

}  // namespace winsim::winrt

using winsim::winrt::StringHeader;

HRESULT WINAPI WindowsCreateString(PCNZWCH source, UINT32 length, HSTRING* string) {
    if (!string) return E_INVALIDARG;
    *string = nullptr;
    if (!source && length) return E_POINTER;
    if (auto hr = winsim::fault("WindowsCreateString")) return *hr;
    if (!length) return S_OK;
    void* block = ::operator new(sizeof(StringHeader) + (size_t{length} + 1) * sizeof(wchar_t), std::nothrow);
    if (!block) return E_OUTOFMEMORY;
    auto* header = static_cast<StringHeader*>(block);
    auto* chars = reinterpret_cast<wchar_t*>(header + 1);
    std::memcpy(chars, source, size_t{length} * sizeof(wchar_t));
    chars[length] = L'\0';
    *header = StringHeader{1, length, chars, 0};
    *string = reinterpret_cast<HSTRING>(header);
    return S_OK;
}

// WindowsCreateStringReference's page: the source must be NUL-terminated and stay unchanged, with
// the header, for the string's life; E_INVALIDARG for a missing header or terminator, E_POINTER
// for no source with a length.
HRESULT WINAPI WindowsCreateStringReference(PCWSTR source, UINT32 length, HSTRING_HEADER* header, HSTRING* string) {
    if (!string || !header) return E_INVALIDARG;
    *string = nullptr;
    if (!source && length) return E_POINTER;
    if (!length) return S_OK;
    if (source[length] != L'\0') return E_INVALIDARG;
    auto* made = reinterpret_cast<StringHeader*>(header);
    *made = StringHeader{0, length, source, 0};
    *string = reinterpret_cast<HSTRING>(made);
    return S_OK;
}

HRESULT WINAPI WindowsDeleteString(HSTRING string) {
    auto* header = reinterpret_cast<StringHeader*>(string);
    if (header && header->owned) ::operator delete(header);
    return S_OK;
}

// WindowsGetStringRawBuffer's page: L"" and a length of 0 for a null string; `length` may be null.
PCWSTR WINAPI WindowsGetStringRawBuffer(HSTRING string, UINT32* length) {
    const auto* header = reinterpret_cast<const StringHeader*>(string);
    if (length) *length = header ? header->length : 0;
    return header ? header->buffer : L"";
}

UINT32 WINAPI WindowsGetStringLen(HSTRING string) {
    const auto* header = reinterpret_cast<const StringHeader*>(string);
    return header ? header->length : 0;
}
