// The capture thread's pure decisions: the frame-rate cap and where the cursor goes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/running_source.h"
#include "winsim/monitors.h"

namespace {

TEST(FrameCap, SleepsTheRemainderInWholeMilliseconds) {
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 5200000), 11);
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 16300000), 0);
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 20000000), -1);
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 16700000), -1) << "no sleep once the interval has passed";
    EXPECT_EQ(velda::frameCapSleepMs(0.0, 0), -1);
    EXPECT_EQ(velda::frameCapSleepMs(-5.0, 0), -1);
    EXPECT_EQ(velda::frameCapSleepMs(std::numeric_limits<double>::quiet_NaN(), 0), -1);
    EXPECT_EQ(velda::frameCapSleepMs(500.0, 1000000000), -1) << "the first frame is never delayed";
}

class CursorPlacementTest : public WinsimTest {
protected:
    void SetUp() override {
        WinsimTest::SetUp();
        winsim::setCursorMoving(false);
    }
    // Places the cursor for output 1 of the default machine (1920,0)-(4480,1440), hot spot (3,4).
    bool place(LONG x, LONG y) {
        winsim::setCursorPosition(x, y);
        return velda::placeCursor(RECT{1920, 0, 4480, 1440}, 3, 4, visible, cx, cy);
    }
    bool visible = false;
    int32_t cx = -1, cy = -1;
};

TEST_F(CursorPlacementTest, EdgesOfTheOutput) {
    EXPECT_TRUE(place(1920, 0));
    EXPECT_TRUE(visible);
    EXPECT_EQ(cx, -3);
    EXPECT_EQ(cy, -4);
    place(4479, 1439);
    EXPECT_TRUE(visible);
    place(4480, 100);
    EXPECT_FALSE(visible) << "the right edge is outside";
    place(2000, 1440);
    EXPECT_FALSE(visible) << "the bottom edge is outside";
}

TEST_F(CursorPlacementTest, OnAnotherMonitorThePlaceStillMoves) {
    place(100, 50);
    EXPECT_FALSE(visible);
    EXPECT_EQ(cx, 100 - 3 - 1920);
    EXPECT_EQ(cy, 46);
}

TEST_F(CursorPlacementTest, HiddenOrUnreadableCursorKeepsThePlace) {
    place(2000, 10);
    winsim::setCursorVisible(false);
    EXPECT_FALSE(velda::placeCursor(RECT{1920, 0, 4480, 1440}, 3, 4, visible, cx, cy));
    EXPECT_FALSE(visible);
    EXPECT_EQ(cx, 77);
    winsim::setCursorVisible(true);
    winsim::addFault({"GetCursorInfo", E_FAIL});
    visible = true;
    EXPECT_FALSE(velda::placeCursor(RECT{1920, 0, 4480, 1440}, 3, 4, visible, cx, cy));
    EXPECT_FALSE(visible);
    EXPECT_EQ(cy, 6);
}

}  // namespace
