// The console as Windows code sees it: the standard handles, whether one is a console, and the
// console's output code page, which a program may change and must give back. And the alertable
// wait console programs use.
#include <windows.h>

#include "support/winsim_fixture.h"

namespace {

class ConsoleTest : public WinsimTest {};

TEST_F(ConsoleTest, OutputCodePageStartsAsAUsEnglishConsoleAndTakesTheKnownPages) {
    EXPECT_EQ(GetConsoleOutputCP(), 437u);
    ASSERT_TRUE(SetConsoleOutputCP(CP_UTF8));
    EXPECT_EQ(GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    for (UINT page : {850u, 1252u, 437u}) {
        ASSERT_TRUE(SetConsoleOutputCP(page)) << page;
        EXPECT_EQ(GetConsoleOutputCP(), page);
    }
}

TEST_F(ConsoleTest, AnUnknownCodePageIsRefusedAndChangesNothing) {
    ASSERT_TRUE(SetConsoleOutputCP(850));
    // Not code pages at all, or not ones a console shows (UTF-16 is for wide calls only).
    for (UINT page : {0u, 1u, 1200u, 12345u, 65002u}) {
        SetLastError(0);
        EXPECT_FALSE(SetConsoleOutputCP(page)) << page;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << page;
        EXPECT_EQ(GetConsoleOutputCP(), 850u) << page;
    }
}

TEST_F(ConsoleTest, ANewProcessStartsWithTheDefaultCodePage) {
    ASSERT_TRUE(SetConsoleOutputCP(CP_UTF8));
    winsim::MachineConfig config;
    ASSERT_TRUE(winsim::scenario("single", config));
    winsim::useMachine(config);
    EXPECT_EQ(GetConsoleOutputCP(), 437u);
}

TEST_F(ConsoleTest, StandardHandlesAreDistinctAndOnlyTheyCanBeConsoles) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {in, out, err}) {
        EXPECT_NE(h, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
    }
    EXPECT_TRUE(in != out && out != err && in != err);
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), out);  // the same handle each time
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-13)), INVALID_HANDLE_VALUE);

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    for (HANDLE notConsole : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, event}) {
        DWORD mode = 0xFFFF;
        SetLastError(0);
        EXPECT_FALSE(GetConsoleMode(notConsole, &mode));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    EXPECT_TRUE(CloseHandle(event));
}

// An alertable wait is the wait it names: it fails where WaitForSingleObject is made to fail.
TEST_F(ConsoleTest, AlertableWaitsShareTheWaitsFaultPoint) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    winsim::addFault({"WaitForSingleObject", static_cast<HRESULT>(ERROR_ACCESS_DENIED), 0, 1});
    EXPECT_EQ(WaitForSingleObjectEx(event, 0, TRUE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WaitForSingleObjectEx(event, 0, TRUE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(event));
}

}  // namespace
