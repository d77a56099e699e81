// The Windows Runtime's strings: every HSTRING points at one of these, in the caller's
// HSTRING_HEADER (a reference) or in memory of its own (a string WindowsDeleteString frees).
#pragma once
#include <cstdint>
#include <string>

#include <winstring.h>

namespace winsim::winrt {

struct StringHeader {
    uint32_t owned;  // 1: made by WindowsCreateString
    uint32_t length;
    const wchar_t* buffer;
    uint64_t reserved;
};
static_assert(sizeof(StringHeader) == sizeof(HSTRING_HEADER));

// The string's text (empty for null).
std::wstring text(HSTRING string);
// A new string holding `text`, or E_OUTOFMEMORY.
HRESULT makeString(const std::wstring& text, HSTRING* out);

}  // namespace winsim::winrt
