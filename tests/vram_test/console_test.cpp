// The harness's console code page: UTF-8 while it runs where standard output is a console (here a
// pseudo-terminal), the console's own page given back when it ends, nothing touched otherwise.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "console.h"
#include "winsim/control.h"
#include "winsim/machine.h"

namespace {

struct CodePages {
    UINT during = 0;
    UINT after = 0;
};

class HarnessConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::MachineConfig config;
        ASSERT_TRUE(winsim::scenario("single", config));
        winsim::useMachine(config);  // a new process: a console at its default page
    }

    // The console's output code page while a Utf8Console lives and after it is gone, with standard
    // output on `descriptor` meanwhile (nothing is checked while it is: gtest reports there).
    static CodePages runWithStdoutOn(int descriptor, const std::function<void()>& before = {}) {
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        dup2(descriptor, STDOUT_FILENO);
        if (before) before();
        CodePages pages;
        {
            const vram::Utf8Console console;
            pages.during = GetConsoleOutputCP();
        }
        pages.after = GetConsoleOutputCP();
        dup2(saved, STDOUT_FILENO);
        close(saved);
        return pages;
    }
};

struct Terminal {
    Terminal() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        const char* name = ptsname(master);
        if (name) follower = open(name, O_RDWR | O_NOCTTY);
    }
    ~Terminal() {
        if (follower >= 0) close(follower);
        if (master >= 0) close(master);
    }
    int master = -1;
    int follower = -1;
};

TEST_F(HarnessConsoleTest, AConsoleShowsUtf8WhileTheHarnessRunsAndGetsItsPageBack) {
    Terminal terminal;
    if (terminal.follower < 0) GTEST_SKIP() << "no pseudo-terminal here";
    const CodePages fresh = runWithStdoutOn(terminal.follower);
    EXPECT_EQ(fresh.during, static_cast<UINT>(CP_UTF8));
    EXPECT_EQ(fresh.after, 437u);

    const CodePages western = runWithStdoutOn(terminal.follower, [] { SetConsoleOutputCP(850); });
    EXPECT_EQ(western.during, static_cast<UINT>(CP_UTF8));
    EXPECT_EQ(western.after, 850u);

    // A console already at UTF-8 stays there: there is nothing to give back.
    const CodePages utf8 = runWithStdoutOn(terminal.follower, [] { SetConsoleOutputCP(CP_UTF8); });
    EXPECT_EQ(utf8.during, static_cast<UINT>(CP_UTF8));
    EXPECT_EQ(utf8.after, static_cast<UINT>(CP_UTF8));
}

TEST_F(HarnessConsoleTest, RedirectedOutputLeavesTheConsoleAlone) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const CodePages piped = runWithStdoutOn(pipeEnds[1]);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    EXPECT_EQ(piped.during, 437u);
    EXPECT_EQ(piped.after, 437u);
}

}  // namespace
