// This suite is built with the harness's application manifest (winsim_application_manifest), as
// the harness is: a process it starts is per-monitor DPI aware (V2) before any code runs.
#include <gtest/gtest.h>

#include <windows.h>

#include "winsim/control.h"
#include "winsim/machine.h"

namespace {

TEST(HarnessManifest, AProcessStartsPerMonitorAwareV2) {
    winsim::MachineConfig config;
    ASSERT_TRUE(winsim::scenario("default", config));
    winsim::useMachine(config);  // a new process, without the test fixture's manifest
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
    EXPECT_FALSE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE));
}

}  // namespace
