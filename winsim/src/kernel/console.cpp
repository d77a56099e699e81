// The console: the standard handles, whether each is a console, and the console's output code
// page. Standard input, output and error are a console's when their file descriptors (0, 1, 2)
// are terminals; redirected to a file or a pipe they are not, as on Windows.
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include <windows.h>

#include "kernel/handles.h"
#include "machine/machine.h"

namespace {

// The standard handles are fixed values below the handle table's first (0x100): CloseHandle
// refuses them and the table's count of open handles never includes them.
constexpr uintptr_t kFirstStdHandle = 0x10;

int descriptorOf(HANDLE handle) {
    const auto value = reinterpret_cast<uintptr_t>(handle);
    if (value < kFirstStdHandle || value > kFirstStdHandle + 8 || value % 4 != 0) return -1;
    return static_cast<int>((value - kFirstStdHandle) / 4);
}

// A console starts with the OEM code page of a US-English system, 437 (GetConsoleOutputCP and
// "Code Page Identifiers" in the Windows reference). Each machine is a new process with a console
// of its own: a code page one machine set is not seen by the next.
constexpr UINT kDefaultCodePage = 437;

struct Console {
    std::mutex mutex;
    uint64_t machine = 0;  // the serial of the machine the code page was set in
    UINT outputCodePage = kDefaultCodePage;
};
Console& console() {
    static Console* instance = new Console;
    return *instance;
}

uint64_t machineSerial() {
    auto machine = winsim::currentMachine();
    return machine ? machine->serial : 0;
}

// The code pages winsim knows: the OEM and ANSI pages of western and central European and
// Cyrillic systems, and UTF-8. IsValidCodePage holds for each of them on Windows.
bool knownCodePage(UINT codePage) {
    static constexpr UINT known[] = {437, 850, 852, 866, 1250, 1251, 1252, CP_UTF8};
    return std::find(std::begin(known), std::end(known), codePage) != std::end(known);
}

}  // namespace

HANDLE WINAPI GetStdHandle(DWORD which) {
    if (which != STD_INPUT_HANDLE && which != STD_OUTPUT_HANDLE && which != STD_ERROR_HANDLE) {
        winsim::kernel::setLastError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    const uintptr_t descriptor = static_cast<DWORD>(-10) - which;  // 0, 1, 2
    return reinterpret_cast<HANDLE>(kFirstStdHandle + 4 * descriptor);
}

BOOL WINAPI GetConsoleMode(HANDLE handle, DWORD* mode) {
    const int descriptor = descriptorOf(handle);
    if (descriptor < 0 || !isatty(descriptor)) {
        winsim::kernel::setLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!mode) {
        winsim::kernel::setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The modes a new console starts with (the GetConsoleMode and SetConsoleMode reference).
    *mode = descriptor == 0 ? ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT
                            : ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    return TRUE;
}

UINT WINAPI GetConsoleOutputCP() {
    const uint64_t machine = machineSerial();
    std::lock_guard lock(console().mutex);
    return console().machine == machine ? console().outputCodePage : kDefaultCodePage;
}

// A code page the system does not know fails with ERROR_INVALID_PARAMETER and leaves the
// console's as it was.
BOOL WINAPI SetConsoleOutputCP(UINT codePage) {
    if (!knownCodePage(codePage)) {
        winsim::kernel::setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint64_t machine = machineSerial();
    std::lock_guard lock(console().mutex);
    console().machine = machine;
    console().outputCodePage = codePage;
    return TRUE;
}
