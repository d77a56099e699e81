// Windows Runtime strings.
#pragma once
#include "hstring.h"


extern "C" {
HRESULT WINAPI WindowsCreateString(PCNZWCH sourceString, UINT32 length, HSTRING* string);
HRESULT WINAPI WindowsCreateStringReference(PCWSTR sourceString, UINT32 length, HSTRING_HEADER* header,
                                            HSTRING* string);
HRESULT WINAPI WindowsDeleteString(HSTRING string);
PCWSTR WINAPI WindowsGetStringRawBuffer(HSTRING string, UINT32* length);
UINT32 WINAPI WindowsGetStringLen(HSTRING string);
}
