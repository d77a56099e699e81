// The Windows Runtime's string handle.
#pragma once
#include "windef.h"

DECLARE_HANDLE(HSTRING);

// The caller's storage for a string reference (WindowsCreateStringReference): opaque, the size of
// the SDK's on 64-bit Windows.
struct HSTRING_HEADER {
    union {
        void* Reserved1;
        char Reserved2[24];
    } Reserved;
};
