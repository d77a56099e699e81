// The console: standard handles, the console mode and the console's output code page.
#pragma once
#include "windef.h"

#define STD_INPUT_HANDLE (static_cast<DWORD>(-10))
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))

// Output modes.
#define ENABLE_PROCESSED_OUTPUT 0x0001u
#define ENABLE_WRAP_AT_EOL_OUTPUT 0x0002u
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004u
// Input modes.
#define ENABLE_PROCESSED_INPUT 0x0001u
#define ENABLE_LINE_INPUT 0x0002u
#define ENABLE_ECHO_INPUT 0x0004u

HANDLE WINAPI GetStdHandle(DWORD nStdHandle);
// FALSE (ERROR_INVALID_HANDLE) for a handle that is not a console's, such as redirected output.
BOOL WINAPI GetConsoleMode(HANDLE hConsoleHandle, DWORD* lpMode);
UINT WINAPI GetConsoleOutputCP();
BOOL WINAPI SetConsoleOutputCP(UINT wCodePageID);
