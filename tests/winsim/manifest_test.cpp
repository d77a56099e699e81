// The application manifest: the DPI awareness its settings declare, and the processes (machines)
// that start with it.
#include <windows.h>

#include <string>
#include <vector>

#include "machine/manifest.h"
#include "support/winsim_fixture.h"
#include "winsim/manifest.h"

namespace {

constexpr intptr_t kUnaware = -1, kSystem = -2, kPerMonitor = -3, kPerMonitorV2 = -4;

std::string manifestWith(const std::string& settings) {
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0" xmlns:asmv3="urn:schemas-microsoft-com:asm.v3">
  <asmv3:application>
    <asmv3:windowsSettings>
)" + settings + R"(
    </asmv3:windowsSettings>
  </asmv3:application>
</assembly>
)";
}

std::string dpiAwareness(const std::string& list) {
    return "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">" + list + "</dpiAwareness>";
}
std::string dpiAware(const std::string& value) {
    return "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">" + value + "</dpiAware>";
}

struct Case {
    std::string settings;  // what windowsSettings holds
    intptr_t context;      // what the manifest declares; 0: nothing
};

void expectDeclared(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(winsim::manifestDpiContext(manifestWith(c.settings)), c.context) << c.settings;
}

TEST(Manifest, DpiAwarenessTakesTheFirstValueItRecognises) {
    expectDeclared({
        {dpiAwareness("PerMonitorV2"), kPerMonitorV2},
        {dpiAwareness("PerMonitorV2, PerMonitor"), kPerMonitorV2},
        {dpiAwareness("PerMonitorV3, PerMonitor"), kPerMonitor},
        {dpiAwareness(" permonitorv2 ,system"), kPerMonitorV2},
        {dpiAwareness("Future,System,PerMonitorV2"), kSystem},
        {dpiAwareness("Unaware"), kUnaware},
        {dpiAwareness("Future, Unknown"), kUnaware},
        // It overrides <dpiAware>, before or after it.
        {dpiAware("true") + dpiAwareness("PerMonitor"), kPerMonitor},
        {dpiAwareness("System") + dpiAware("true/pm"), kSystem},
    });
}

TEST(Manifest, DpiAwareReadsItsOlderForms) {
    expectDeclared({
        {dpiAware("true"), kSystem},
        {dpiAware(" True "), kSystem},
        {dpiAware("true/pm"), kPerMonitor},
        {dpiAware("True/PM"), kPerMonitor},
        {dpiAware("per monitor"), kPerMonitor},
        {dpiAware("false"), kUnaware},
        {"<dpiAware>true</dpiAware>", kSystem},  // the namespace declared on the parent
        {"<ws:dpiAware xmlns:ws=\"x\">true/pm</ws:dpiAware>", kPerMonitor},
    });
}

TEST(Manifest, NoSettingDeclaresNothing) {
    expectDeclared({
        {"", 0},
        {"<gdiScaling>true</gdiScaling>", 0},
        // Commented out, or only a look-alike name.
        {"<!-- " + dpiAwareness("PerMonitorV2") + " -->", 0},
        {"<dpiAwareX>true</dpiAwareX>", 0},
        {"<!-- --> " + dpiAware("true"), kSystem},
    });
    EXPECT_EQ(winsim::manifestDpiContext(""), 0);
    EXPECT_EQ(winsim::manifestDpiContext("<dpiAwareness>PerMonitor"), kPerMonitor);  // cut short: what there is
    EXPECT_EQ(winsim::manifestDpiContext("<dpiAwareness"), 0);
}

// A process whose program declares no awareness of its own in the test.
class ApplicationManifestTest : public WinsimTest {
protected:
    DPI_AWARENESS_CONTEXT manifestDpiAwareness() const override { return nullptr; }
    void TearDown() override {
        winsim::setApplicationManifest(nullptr);
        WinsimTest::TearDown();
    }
    void newProcess() {
        winsim::MachineConfig config;
        ASSERT_TRUE(winsim::scenario("single", config));
        winsim::useMachine(config);
    }
};

TEST_F(ApplicationManifestTest, EveryNewProcessStartsWithTheManifestsAwareness) {
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE));
    winsim::setApplicationManifest(manifestWith(dpiAwareness("PerMonitorV2")).c_str());
    // The running process keeps what it started with.
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE));
    for (int process = 0; process < 2; ++process) {
        newProcess();
        EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
        // The manifest has spoken: the process default can no longer be changed.
        EXPECT_FALSE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    winsim::setApplicationManifest(nullptr);
    newProcess();
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE));
    EXPECT_TRUE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE));  // nothing declared
}

TEST_F(ApplicationManifestTest, AManifestWithoutDpiSettingsLeavesTheProcessFreeToChoose) {
    winsim::setApplicationManifest(manifestWith("").c_str());
    newProcess();
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE));
    EXPECT_TRUE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE));
}

}  // namespace
