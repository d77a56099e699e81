// A test that runs on a fresh winsim machine and checks, when it ends, that it left no live
// object, open handle or video memory behind, and that the debug layer saw no API misuse (a test
// that misuses the API on purpose checks the messages and calls winsim::resetDebugLayer()).
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "winsim/control.h"
#include "winsim/gpu.h"
#include "winsim/monitors.h"

class WinsimTest : public ::testing::Test {
protected:
    // The catalogue machine the test runs on; override to pick another.
    virtual std::string machineName() const { return "default"; }
    // Changes to that machine's configuration before it starts.
    virtual void adjustMachine(winsim::MachineConfig&) const {}
    // Whether the machine takes the variants WINSIM_VARIANTS names; false for tests of what one
    // documented behaviour gives, which the variants' own tests complement.
    virtual bool takesEnvironmentVariants() const { return true; }
    // The DPI awareness the test program's manifest declares; null for none (an unaware process).
    virtual DPI_AWARENESS_CONTEXT manifestDpiAwareness() const { return DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2; }

    void SetUp() override {
        winsim::clearFaults();
        winsim::resetQueueKnobs();
        winsim::resetDebugLayer();
        winsim::MachineConfig config;
        ASSERT_TRUE(winsim::scenario(machineName(), config)) << machineName();
        adjustMachine(config);
        config.environmentVariants = takesEnvironmentVariants();
        winsim::useMachine(config);
        if (manifestDpiAwareness()) winsim::setManifestDpiAwareness(manifestDpiAwareness());
        objectsBefore_ = winsim::liveObjectCount();
        handlesBefore_ = winsim::openHandleCount();
    }

    void TearDown() override {
        winsim::clearFaults();
        winsim::resetQueueKnobs();
        EXPECT_EQ(winsim::debugMessageCount(), 0) << debugReport();
        EXPECT_EQ(winsim::liveObjectCount(), objectsBefore_) << winsim::leakReport();
        EXPECT_EQ(winsim::openHandleCount(), handlesBefore_) << winsim::leakReport();
        EXPECT_EQ(winsim::vramUsage(0), 0u) << "video memory left charged on adapter 0";
        EXPECT_EQ(winsim::nonLocalMemoryUsage(0), 0u) << "system memory left charged on adapter 0";
    }

private:
    static std::string debugReport() {
        std::string report = "debug layer:";
        for (const auto& message : winsim::debugMessages()) report += "\n  " + message;
        return report;
    }

    int64_t objectsBefore_ = 0;
    int64_t handlesBefore_ = 0;
};
