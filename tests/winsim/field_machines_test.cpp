// The field scenarios' machines: their timelines run ahead of the clock, Advanced Color on an SDR
// display and the SDR white level query of displays not in HDR, and a 1000 Hz pointer.
#include <time.h>

#include <chrono>

#include "duplication_support.h"
#include "machine/machine.h"

using namespace std::chrono_literals;
using winsim::Clock;

namespace {

class FieldMachineTest : public WinsimTest {
protected:
    // The catalogue machine `name` with `variants`, its timeline started as a first duplication
    // at t0 starts it.
    std::shared_ptr<winsim::Machine> machine(const char* name, winsim::Variants variants = {}) {
        winsim::MachineConfig config;
        EXPECT_TRUE(winsim::scenario(name, config));
        config.variants = variants;
        config.environmentVariants = false;
        winsim::useMachine(config);
        auto m = winsim::currentMachine();
        auto lock = m->lock();
        m->noteDuplication(t0);
        return m;
    }
    const Clock::time_point t0 = Clock::now();
};

TEST_F(FieldMachineTest, ProtectedVideoShowsTwoSecondsInFour) {
    auto m = machine("protected-video");
    auto lock = m->lock();
    const std::pair<Clock::duration, bool> expected[] = {{1s, false}, {2500ms, true}, {4500ms, false}, {6500ms, true}};
    for (auto [at, shown] : expected) {
        m->advance(t0 + at);
        const RECT area = m->outputs()[0]->field.protectedArea;
        EXPECT_EQ(area.right - area.left, shown ? 640 : 0) << at.count();
        EXPECT_EQ(area.bottom - area.top, shown ? 360 : 0) << at.count();
    }
}

TEST_F(FieldMachineTest, OutputOneSleepsThreeSecondsInSixAndUnderSleepDeniesSettlesAfterWaking) {
    for (bool denies : {false, true}) {
        winsim::Variants variants;
        variants.sleepDenies = denies;
        auto m = machine("display-sleep", variants);
        auto lock = m->lock();
        const winsim::OutputState& output = *m->outputs()[1];
        const uint64_t epoch = output.epoch, changes = m->displayChanges;
        m->advance(t0 + 1s);
        EXPECT_FALSE(output.field.asleep);
        m->advance(t0 + 3500ms);
        EXPECT_TRUE(output.field.asleep);
        m->advance(t0 + 6100ms);
        EXPECT_FALSE(output.field.asleep);
        EXPECT_EQ(output.field.waking, denies);
        if (denies) {
            EXPECT_LE(m->nextEvent(t0 + 6100ms), t0 + 6400ms) << "the settling's end is an event";
        }
        m->advance(t0 + 6500ms);
        EXPECT_FALSE(output.field.waking) << "settled 300 ms after waking";
        EXPECT_EQ(output.epoch, epoch + (denies ? 1 : 0)) << "access lost only under sleep-denies";
        EXPECT_EQ(m->displayChanges, changes) << "a sleep is no display change";
        EXPECT_FALSE(m->outputs()[0]->field.asleep);
    }
}

TEST_F(FieldMachineTest, AFullscreenGameTakesOutputZeroTwoSecondsInFour) {
    auto m = machine("fullscreen-game");
    auto lock = m->lock();
    const winsim::OutputState& output = *m->outputs()[0];
    const uint64_t changes = m->displayChanges;
    const std::pair<Clock::duration, UINT> widths[] = {{1s, 1920}, {2500ms, 1280}, {4500ms, 1920}, {6500ms, 1280}};
    for (auto [at, width] : widths) {
        m->advance(t0 + at);
        EXPECT_EQ(output.current.width, width) << at.count();
    }
    EXPECT_EQ(output.current.height, 720u);
    EXPECT_EQ(m->displayChanges, changes + 3) << "each switch changes the mode";
    EXPECT_TRUE(output.field.invalidCallOwed);
}

// The SDR white level of output `index`'s monitor as the display configuration answers it.
LONG whiteLevel(UINT32 index, ULONG& level) {
    UINT32 pathCount = 0, modeCount = 0;
    EXPECT_EQ(GetDisplayConfigBufferSizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount), ERROR_SUCCESS);
    std::vector<DISPLAYCONFIG_PATH_INFO> paths(pathCount);
    std::vector<DISPLAYCONFIG_MODE_INFO> modes(modeCount);
    EXPECT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &pathCount, paths.data(), &modeCount, modes.data(), nullptr),
              ERROR_SUCCESS);
    DISPLAYCONFIG_SDR_WHITE_LEVEL request{};
    request.header = {DISPLAYCONFIG_DEVICE_INFO_GET_SDR_WHITE_LEVEL, sizeof(request), paths.at(index).targetInfo.adapterId,
                      paths.at(index).targetInfo.id};
    const LONG result = DisplayConfigGetDeviceInfo(&request.header);
    level = request.SDRWhiteLevel;
    return result;
}

TEST_F(FieldMachineTest, TheWhiteLevelOfADisplayNotInHdrIsItsOwnOrRefused) {
    for (bool hdrOnly : {false, true}) {
        winsim::Variants variants;
        variants.sdrWhiteHdrOnly = hdrOnly;
        ULONG level = 0;
        machine("advanced-color-sdr", variants);
        EXPECT_EQ(whiteLevel(0, level), hdrOnly ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS);
        if (!hdrOnly) {
            EXPECT_EQ(level, 1000u);
        }
        machine("default", variants);
        ASSERT_EQ(whiteLevel(1, level), ERROR_SUCCESS) << "an HDR display answers either way";
        EXPECT_EQ(level, 3000u);
    }
}

class AdvancedColorTest : public DuplicationTest {
    std::string machineName() const override { return "advanced-color-sdr"; }
};

TEST_F(AdvancedColorTest, AnFp16DesktopInSrgbHasItsSdrWhiteAtOne) {
    winsim::setOutputMode(0, 64, 32, DXGI_FORMAT_R16G16B16A16_FLOAT);
    winsim::setSdrWhiteNits(0, 240.0f);  // an HDR display's white would be at 3.0 then
    ComPtr<IDXGIOutput6> output6;
    ASSERT_EQ(output(0).As(&output6), S_OK);
    DXGI_OUTPUT_DESC1 desc{};
    ASSERT_EQ(output6->GetDesc1(&desc), S_OK);
    EXPECT_EQ(desc.ColorSpace, DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709);
    EXPECT_EQ(desc.BitsPerColor, 10u);
    auto duplication = duplicate(0, {kAllFormats[0]});
    const Frame frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK);
    EXPECT_NEAR(winsim::readBackFloat(frame.texture.Get())[100].r, 0.1f, 0.001f) << "the first picture's grey: 0.1 white";
    EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
}

class FastPointerTest : public DuplicationTest {
    std::string machineName() const override { return "fast-pointer"; }
    void adjustMachine(winsim::MachineConfig& config) const override {
        DuplicationTest::adjustMachine(config);
        config.movingCursor = true;  // at 1000 Hz over still desktops
    }
};

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

TEST_F(FastPointerTest, PointerUpdatesComeAboutEveryMillisecondAndTheWaitsSleepBetween) {
    auto duplication = duplicate(1);
    skipFirstFrame(duplication.Get());
    int pointerFrames = 0;
    const auto start = Clock::now();
    while (pointerFrames < 300 && Clock::now() - start < 10s) {
        const Frame frame = acquire(duplication.Get(), 1000);
        ASSERT_EQ(frame.hr, S_OK);
        pointerFrames += frame.info.LastMouseUpdateTime.QuadPart != 0 ? 1 : 0;
        ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(pointerFrames / seconds, 150.0) << pointerFrames << " pointer updates in " << seconds << " s";

    winsim::setCursorVisible(false);  // it moves on unseen: no updates, but a move every millisecond
    drain(duplication.Get());
    const double cpu = processCpuSeconds();
    EXPECT_EQ(acquire(duplication.Get(), 300).hr, DXGI_ERROR_WAIT_TIMEOUT);
    EXPECT_LT(processCpuSeconds() - cpu, 0.05) << "a wait that spun (it takes about 0.01 s)";
}

}  // namespace
