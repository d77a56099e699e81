// The SDR white level query: raw levels and their limits, monitors the display configuration
// does not list, clone mode and failing platform calls.
#include <windows.h>

#include "impl.h"
#include "support/winsim_fixture.h"
#include "winsim/monitors.h"

using velda::querySdrWhiteScale;

namespace {

constexpr int kDisplay1 = 0;  // output ids
constexpr int kDisplay2 = 1;

class SdrWhiteTest : public WinsimTest {
protected:
    // The query as documented; the source asks it of HDR displays only.
    bool takesEnvironmentVariants() const override { return false; }
    // "single" with one more monitor that clones output 0, at 240 nits.
    static void useCloneMachine() {
        winsim::MachineConfig config;
        ASSERT_TRUE(winsim::scenario("single", config));
        config.adapters[0].outputs[0].cloneSdrWhiteNits = {240.0f};
        config.environmentVariants = false;
        winsim::useMachine(config);
    }
    static void failDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_TYPE type, int count) {
        winsim::addFault({"DisplayConfigGetDeviceInfo", ERROR_GEN_FAILURE, 0, count,
                          [type](int index) { return index == static_cast<int>(type); }});
    }
};

TEST_F(SdrWhiteTest, TheDefaultMachinesHdrOutputIsAt240Nits) {
    // The same handle as the output's DXGI_OUTPUT_DESC::Monitor (the winsim display tests check it).
    EXPECT_EQ(querySdrWhiteScale(winsim::outputMonitor(kDisplay2)), 3.0f);
    EXPECT_EQ(querySdrWhiteScale(winsim::outputMonitor(kDisplay1)), 1.0f);
}

TEST_F(SdrWhiteTest, RawLevelsBelow80NitsFallBackTo200) {
    const struct {
        UINT32 level;
        float scale;
    } table[] = {{1000, 1.0f}, {2500, 2.5f}, {3000, 3.0f}, {1234, 1.234f}, {999, 2.5f}, {0, 2.5f}, {1001, 1.001f}};
    const HMONITOR monitor = winsim::outputMonitor(kDisplay2);
    for (const auto& row : table) {
        SCOPED_TRACE(row.level);
        winsim::setSdrWhiteLevel(kDisplay2, row.level);
        EXPECT_EQ(querySdrWhiteScale(monitor), row.scale);
    }
}

TEST_F(SdrWhiteTest, AskingForDisplay2ExaminesBothPathsAndOneWhiteLevel) {
    EXPECT_EQ(querySdrWhiteScale(winsim::outputMonitor(kDisplay2)), 3.0f);
    EXPECT_EQ(winsim::callCount("GetMonitorInfoW"), 1);
    EXPECT_EQ(winsim::callCount("GetDisplayConfigBufferSizes"), 1);
    EXPECT_EQ(winsim::callCount("QueryDisplayConfig"), 1);
    EXPECT_EQ(winsim::callCount("DisplayConfigGetDeviceInfo"), 3);  // two source names, one white level
}

TEST_F(SdrWhiteTest, MonitorsWithoutAnActivePathGetTheDefault) {
    EXPECT_EQ(querySdrWhiteScale(nullptr), 2.5f);
    EXPECT_EQ(winsim::callCount("GetMonitorInfoW"), 0);
    EXPECT_EQ(querySdrWhiteScale(reinterpret_cast<HMONITOR>(0x1234)), 2.5f);

    winsim::MachineConfig config;
    ASSERT_TRUE(winsim::scenario("default", config));
    config.adapters[0].outputs[1].hasDisplayPath = false;
    config.environmentVariants = false;
    winsim::useMachine(config);
    winsim::clearFaults();
    EXPECT_EQ(querySdrWhiteScale(winsim::outputMonitor(kDisplay2)), 2.5f);
    EXPECT_EQ(winsim::callCount("GetMonitorInfoW"), 1);
    EXPECT_EQ(winsim::callCount("DisplayConfigGetDeviceInfo"), 1);  // DISPLAY1's source name only
}

TEST_F(SdrWhiteTest, CloneModeCountsTheFirstPathOnly) {
    useCloneMachine();
    const HMONITOR monitor = winsim::outputMonitor(kDisplay1);
    EXPECT_EQ(querySdrWhiteScale(monitor), 1.0f);  // the clone's 240 nits are never asked for

    failDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_GET_SDR_WHITE_LEVEL, 1);
    EXPECT_EQ(querySdrWhiteScale(monitor), 2.5f);  // the clone would have answered 3.0
    EXPECT_EQ(querySdrWhiteScale(monitor), 1.0f);
}

TEST_F(SdrWhiteTest, AFailingSourceNameRequestSkipsThatPath) {
    useCloneMachine();
    failDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME, 1);
    EXPECT_EQ(querySdrWhiteScale(winsim::outputMonitor(kDisplay1)), 3.0f);  // matched on the clone's path

    failDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME, -1);
    EXPECT_EQ(querySdrWhiteScale(winsim::outputMonitor(kDisplay1)), 2.5f);
}

TEST_F(SdrWhiteTest, EverySetUpFailureGivesTheDefault) {
    const HMONITOR monitor = winsim::outputMonitor(kDisplay2);
    for (const char* call : {"GetMonitorInfoW", "GetDisplayConfigBufferSizes", "QueryDisplayConfig"}) {
        SCOPED_TRACE(call);
        winsim::clearFaults();
        winsim::addFault({call, ERROR_INSUFFICIENT_BUFFER, 0, 1, nullptr});
        EXPECT_EQ(querySdrWhiteScale(monitor), 2.5f);
        EXPECT_EQ(winsim::callCount("QueryDisplayConfig"), std::string(call) == "QueryDisplayConfig" ? 1 : 0);
        EXPECT_EQ(winsim::callCount("DisplayConfigGetDeviceInfo"), 0);
    }
}

}  // namespace
