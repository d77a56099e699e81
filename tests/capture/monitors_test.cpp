// The desktop's monitors as velda::monitors lists them.
#include <gtest/gtest.h>

#include "support/winsim_fixture.h"
#include "velda/monitors.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

namespace {

class MonitorsTest : public WinsimTest {
protected:
    bool takesEnvironmentVariants() const override { return false; }
};

TEST_F(MonitorsTest, EachAttachedMonitorOnceWithItsPlaceColourAndAdapter) {
    auto found = velda::monitors();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].deviceName, L"\\\\.\\DISPLAY1");
    EXPECT_EQ(found[0].handle, winsim::outputMonitor(0));
    EXPECT_FALSE(found[0].hdr);
    EXPECT_EQ(found[1].desktop.left, 1920);
    EXPECT_EQ(found[1].desktop.right, 1920 + 2560);
    EXPECT_TRUE(found[1].hdr) << "FP16 in the PQ colour space";
    EXPECT_EQ(found[1].outputIndex, 1);
    EXPECT_EQ(found[1].adapterLuid.LowPart, 0x1000u);

    winsim::setOutputAttached(1, false);
    EXPECT_EQ(velda::monitors().size(), 1u) << "an unplugged monitor is not listed";
    winsim::addFault({"CreateDXGIFactory1", E_FAIL, 0, 1});
    EXPECT_TRUE(velda::monitors().empty());
}

TEST_F(MonitorsTest, AMonitorIsNamedByTheAdapterThatListsItAndAnSdrFp16DesktopIsNoHdr) {
    winsim::MachineConfig machine;
    ASSERT_TRUE(winsim::scenario("hybrid", machine));
    machine.environmentVariants = false;
    winsim::useMachine(machine);
    auto found = velda::monitors();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].adapterLuid.LowPart, 0x1000u) << "listed by the discrete adapter, driven by the other";

    ASSERT_TRUE(winsim::scenario("advanced-color-sdr", machine));
    machine.environmentVariants = false;
    winsim::useMachine(machine);
    found = velda::monitors();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].hdr);
}

}  // namespace
