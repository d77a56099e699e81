// GUIDs and interface IDs.
#pragma once
#include <cstdint>
#include <cstring>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

namespace winsim {
// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", as MIDL_INTERFACE writes an interface's ID. A malformed
// text is a compile-time error where the result initialises a constant.
constexpr uint32_t hexDigits(const char* text, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : throw "not a hexadecimal digit";
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

constexpr GUID parseGuid(const char (&text)[37]) {
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') throw "not a GUID";
    GUID g{hexDigits(text, 8), static_cast<uint16_t>(hexDigits(text + 9, 4)),
           static_cast<uint16_t>(hexDigits(text + 14, 4)), {}};
    for (int i = 0; i < 8; ++i) {
        const int at = i < 2 ? 19 + 2 * i : 24 + 2 * (i - 2);
        g.Data4[i] = static_cast<uint8_t>(hexDigits(text + at, 2));
    }
    return g;
}
}  // namespace winsim

// Without INITGUID a GUID is declared only; initguid.h makes the headers included after it
// define their GUIDs, once per program however many files do so.
#ifdef INITGUID
#define WINSIM_DEFINE_IID(name, value) extern "C" __attribute__((weak)) const GUID name = value;
#else
#define WINSIM_DEFINE_IID(name, value) extern "C" const GUID name;
#endif
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    WINSIM_DEFINE_IID(name, (GUID{l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}))
