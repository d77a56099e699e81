// Event creation's and waiting's other spellings, the performance counter, the tick count and debugger output.
#include <chrono>
#include <cstdio>

#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

LONGLONG nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR) {
    return CreateEventW(attributes, manualReset, initialState, nullptr);
}

HANDLE WINAPI CreateEventExW(LPSECURITY_ATTRIBUTES attributes, LPCWSTR name, DWORD flags, DWORD) {
    return CreateEventW(attributes, (flags & CREATE_EVENT_MANUAL_RESET) ? TRUE : FALSE,
                        (flags & CREATE_EVENT_INITIAL_SET) ? TRUE : FALSE, name);
}

HANDLE WINAPI CreateEventExA(LPSECURITY_ATTRIBUTES attributes, LPCSTR, DWORD flags, DWORD access) {
    return CreateEventExW(attributes, nullptr, flags, access);
}

// An alertable wait returns early only to run asynchronous procedure calls queued to the thread
// (WAIT_IO_COMPLETION, as the WaitForSingleObjectEx reference describes); winsim queues none, so
// every wait, alertable or not, ends as WaitForSingleObject's does and shares its fault point.
DWORD WINAPI WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL) {
    return WaitForSingleObject(handle, milliseconds);
}

// Ticks of 100 ns of the machine's steady clock, which also stamps the duplications' frames.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = nanoseconds() / 100;
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = 10'000'000;
    return TRUE;
}

ULONGLONG WINAPI GetTickCount64() { return static_cast<ULONGLONG>(nanoseconds() / 1'000'000); }

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (text) std::fputs(text, stderr);
}

void WINAPI OutputDebugStringW(LPCWSTR text) {
    if (text) std::fprintf(stderr, "%ls", text);
}
