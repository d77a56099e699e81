// Win32 basics that graphics code leans on, written as Windows code writes them: HRESULT
// arithmetic, events by every spelling, the performance counter and the everyday macros.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

// Older SDK headers (mingw-w64's among them) lack DXGI's facility code.
#ifndef FACILITY_DXGI
#define FACILITY_DXGI 0x87a
#endif

namespace {

TEST(Win32, HresultMacrosComposeAndTakeApartTheSdkCodes) {
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), E_ACCESSDENIED);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), E_INVALIDARG);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SUCCESS), S_OK);
    EXPECT_EQ(HRESULT_FROM_WIN32(static_cast<unsigned long>(E_FAIL)), E_FAIL);  // already an HRESULT
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WIN32, ERROR_INVALID_HANDLE), E_HANDLE);
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_DXGI, 0x26), DXGI_ERROR_ACCESS_LOST);
    EXPECT_EQ(HRESULT_FACILITY(DXGI_ERROR_WAIT_TIMEOUT), FACILITY_DXGI);
    EXPECT_EQ(HRESULT_FACILITY(E_OUTOFMEMORY), FACILITY_WIN32);
    EXPECT_EQ(HRESULT_SEVERITY(E_NOTIMPL), static_cast<uint32_t>(SEVERITY_ERROR));
    EXPECT_EQ(HRESULT_SEVERITY(S_FALSE), static_cast<uint32_t>(SEVERITY_SUCCESS));
    EXPECT_EQ(HRESULT_CODE(E_INVALIDARG), ERROR_INVALID_PARAMETER);
    static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4 && sizeof(ULONG) == 4 && sizeof(HRESULT) == 4);
}

TEST(Win32, EventsByEverySpellingResetAsAsked) {
    HANDLE manual = CreateEventEx(nullptr, nullptr, CREATE_EVENT_MANUAL_RESET | CREATE_EVENT_INITIAL_SET, EVENT_ALL_ACCESS);
    ASSERT_NE(manual, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays set until reset
    HANDLE automatic = CreateEvent(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(automatic, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);  // a wait took it
    HANDLE unset = CreateEventExW(nullptr, nullptr, 0, SYNCHRONIZE | EVENT_MODIFY_STATE);
    EXPECT_EQ(WaitForSingleObject(unset, 0), WAIT_TIMEOUT);
    for (HANDLE h : {manual, automatic, unset}) EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(manual));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Win32, PerformanceCounterAndTickCountMoveOnWithTime) {
    LARGE_INTEGER frequency{}, before{}, after{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    const ULONGLONG ticks = GetTickCount64();
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    Sleep(20);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_GE(after.QuadPart - before.QuadPart, frequency.QuadPart / 50);  // at least the 20 ms slept
    EXPECT_GE(GetTickCount64() - ticks, 20u);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST(Win32, ZeroMemoryAndCountof) {
    RECT rects[3] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    static_assert(_countof(rects) == 3);
    ZeroMemory(rects, sizeof(rects));
    for (const RECT& r : rects) EXPECT_EQ(r.left | r.top | r.right | r.bottom, 0);
    OutputDebugStringA("");  // debugger output goes to standard error; nothing to see here
    OutputDebugStringW(L"");
}

// A callback's signature is fixed; what it does not use is marked so.
int callbackUsingOnlyItsFirst(int used, RECT& unusedRect, DWORD unusedFlags, void* unusedContext) {
    UNREFERENCED_PARAMETER(unusedRect);
    UNREFERENCED_PARAMETER(unusedFlags);
    UNREFERENCED_PARAMETER(unusedContext);
    return used * 2;
}

TEST(Win32, UnreferencedParameterCompilesWithoutWarningsAndChangesNothing) {
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(callbackUsingOnlyItsFirst(21, rect, 0, nullptr), 42);
    EXPECT_EQ(rect.right, 3);
}

TEST(Win32, AlertableWaitsEndAsPlainWaitsDo) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObjectEx(event, 0, TRUE), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObjectEx(event, 0, FALSE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObjectEx(event, 0, TRUE), WAIT_TIMEOUT);  // the wait reset the auto-reset event

    // An alertable wait without end returns when another thread signals the event.
    std::thread setter([event] {
        Sleep(20);
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObjectEx(event, INFINITE, TRUE), WAIT_OBJECT_0);
    setter.join();

    ASSERT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObjectEx(event, 0, TRUE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
