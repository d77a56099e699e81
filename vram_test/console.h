// While the harness runs, a console it writes to shows UTF-8 (the em dash of the report's and
// the library's lines); the console's own output code page comes back when the harness ends, for
// the console belongs to the window, which outlives the program. Output redirected to a file or a
// pipe is left as it is: its bytes are UTF-8 already.
#pragma once
#include <windows.h>

namespace vram {

class Utf8Console {
public:
    Utf8Console() {
        DWORD mode = 0;
        if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return;
        const UINT before = GetConsoleOutputCP();
        if (before != 0 && before != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) previous_ = before;
    }
    ~Utf8Console() {
        if (previous_ != 0) SetConsoleOutputCP(previous_);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previous_ = 0;  // 0: nothing to give back
};

}  // namespace vram
