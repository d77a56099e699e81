// What Windows does on ordinary machines beyond its documentation, and the source right under each:
// images whose format changes from frame to frame, FP16 desktops that are SDR, a cursor Windows
// draws into the image, protected content, monitors that sleep, fullscreen games, a 1000 Hz mouse.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "formats/dxgi_format.h"
#include "support/capture_rig.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

namespace {

using rig::CaptureRig;
using velda::FrameInfo;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kWaitMs = 30000;
constexpr uint32_t kWidth = 256, kHeight = 144;

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A machine from the catalogue, small and still (only the test's pictures change its desktops),
// with the variants given and no others.
winsim::MachineConfig stillMachine(const char* name, winsim::Variants variants = {}) {
    winsim::MachineConfig machine;
    EXPECT_TRUE(winsim::scenario(name, machine)) << name;
    for (auto& output : machine.adapters[0].outputs) {
        output.width = kWidth;
        output.height = kHeight;
        output.updateHz = 0;
    }
    machine.movingCursor = false;
    machine.waitScale = 0.1;
    machine.variants = variants;
    machine.environmentVariants = false;
    return machine;
}

// A picture in `format`: its left half at `white`, its right half at a quarter of it (linear).
std::vector<uint8_t> halves(DXGI_FORMAT format, float white) {
    const size_t bpp = winsim::gpu::bytesPerPixel(format);
    std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * bpp);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const float level = x < kWidth / 2 ? white : white / 4;
            winsim::gpu::encodePixel(format, {level, level, level, 1}, &pixels[(size_t{y} * kWidth + x) * bpp]);
        }
    return pixels;
}

// The newest frame as the consumer reads it, and one of its pixels (BGRA).
velda::readback::Pixels newest(CaptureRig& rig) {
    velda::readback::Pixels frame;
    velda::DuplicationSource& source = rig.duplication();
    EXPECT_EQ(velda::readback::readMip(rig.consumer(), source.texture(source.latest(nullptr)), 0, frame), S_OK);
    return frame;
}
const uint8_t* at(const velda::readback::Pixels& frame, uint32_t x, uint32_t y) {
    return &frame.bytes[(size_t{y} * frame.width + x) * 4];
}

// Presents `picture` and waits for the frame that shows it.
FrameInfo presented(CaptureRig& rig, const std::vector<uint8_t>& picture, uint64_t after) {
    winsim::presentImage(0, picture);
    FrameInfo frame;
    frame.sequence = after;
    do {
        if (!rig.source().waitForFrame(frame.sequence, kWaitMs, &frame)) {
            ADD_FAILURE() << "no frame after " << frame.sequence;
            break;
        }
    } while (!frame.desktopChanged);
    return frame;
}

// Images in 8-bit BGRA now and then on an FP16 desktop: each goes its own way, white is white in
// both, and nothing is rebuilt or announced again.
TEST(FieldTest, AFormatThatFlickersChangesNoModeAndNoPixel) {
    winsim::Variants flicker;
    flicker.formatFlicker = true;
    winsim::MachineConfig machine = stillMachine("single", flicker);
    machine.adapters[0].outputs[0].format = DXGI_FORMAT_R16G16B16A16_FLOAT;
    machine.adapters[0].outputs[0].sdrWhiteNits = 240;
    CaptureRig rig(machine);
    const std::vector<uint8_t> picture = halves(DXGI_FORMAT_R16G16B16A16_FLOAT, 3.0f);
    winsim::presentImage(0, picture);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    FrameInfo frame;
    ASSERT_TRUE(rig.source().waitForFrame(0, kWaitMs, &frame));
    for (int i = 0; i < 8; ++i) {
        winsim::setCursorPosition(200 + i, 40);  // a pointer-only frame, delivered in 8-bit BGRA
        ASSERT_TRUE(rig.source().waitForFrame(frame.sequence, kWaitMs, &frame));
        frame = presented(rig, picture, frame.sequence);  // every third one in 8-bit BGRA
        const auto pixels = newest(rig);
        EXPECT_EQ(at(pixels, 20, 70)[1], 255) << "SDR white, frame " << frame.sequence;
        EXPECT_NEAR(at(pixels, 150, 70)[1], 137, 1) << "a quarter of white, sRGB-encoded, frame " << frame.sequence;
    }
    EXPECT_EQ(frame.generation, 1u) << "no rebuild";
    rig.source().stop();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count(printed, "mode change"), 0u) << printed;
    EXPECT_EQ(count(printed, "HDR (scRGB FP16)"), 1u) << printed;
    EXPECT_EQ(rig.leftovers(), "");
}

// An FP16 desktop in the sRGB colour space has its white at scRGB 1.0, whatever the SDR white
// query answers for a display that is not in HDR.
class AdvancedColorTest : public testing::TestWithParam<bool> {};

TEST_P(AdvancedColorTest, AnSdrFp16DesktopHasWhiteAtScRgbOne) {
    winsim::Variants variants;
    variants.sdrWhiteHdrOnly = GetParam();
    CaptureRig rig(stillMachine("advanced-color-sdr", variants));
    winsim::presentImage(0, halves(DXGI_FORMAT_R16G16B16A16_FLOAT, 1.0f));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    ASSERT_TRUE(rig.source().waitForFrame(0, kWaitMs, nullptr));
    const auto pixels = newest(rig);
    rig.source().stop();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("tone-mapping to sRGB, SDR white 80 nits\n"), std::string::npos);
    EXPECT_EQ(at(pixels, 20, 70)[1], 255);
    EXPECT_NEAR(at(pixels, 150, 70)[1], 137, 1);
    EXPECT_EQ(rig.leftovers(), "");
}

INSTANTIATE_TEST_SUITE_P(WhiteQuery, AdvancedColorTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "HdrOnly" : "Answered"; });

// Windows drew the pointer into the image and reports it hidden: the source draws no second one,
// so the frames are the same with the cursor control on and off.
TEST(FieldTest, ACursorWindowsDrewIntoTheImageIsNotDrawnAgain) {
    CaptureRig rig(stillMachine("software-cursor"));
    winsim::CursorShape veil;  // half-transparent white: drawn twice, it would be lighter
    veil.width = veil.height = 16;
    veil.pitch = 64;
    for (int i = 0; i < 16 * 16; ++i) veil.bytes.insert(veil.bytes.end(), {255, 255, 255, 128});
    winsim::setCursorShape(veil);
    winsim::setCursorPosition(60, 50);
    const std::vector<uint8_t> grey = halves(DXGI_FORMAT_B8G8R8A8_UNORM, 0.5f);
    winsim::presentImage(0, grey);
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    FrameInfo frame;
    ASSERT_TRUE(rig.source().waitForFrame(0, kWaitMs, &frame));
    frame = presented(rig, grey, frame.sequence);
    const auto drawn = newest(rig);
    rig.source().setCursorDrawn(false);
    frame = presented(rig, grey, frame.sequence);
    const auto left = newest(rig);
    rig.source().stop();
    EXPECT_GT(at(drawn, 62, 52)[1], at(drawn, 40, 70)[1] + 40) << "Windows drew the pointer";
    EXPECT_EQ(drawn.bytes, left.bytes) << "exactly one cursor";
    EXPECT_EQ(rig.leftovers(), "");
}

// Waits for the newest frame's protected-content flag to be `masked`.
bool frameMasked(CaptureRig& rig, bool masked, FrameInfo& frame) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < until)
        if (rig.source().waitForFrame(frame.sequence, kWaitMs, &frame) && frame.protectedContentMasked == masked)
            return true;
    return false;
}

TEST(FieldTest, FramesSayWhenProtectedContentWasBlackedOut) {
    winsim::MachineConfig machine;
    ASSERT_TRUE(winsim::scenario("protected-video", machine));
    machine.movingCursor = false;
    machine.adapters[0].outputs[0].updateHz = 0;
    machine.environmentVariants = false;
    CaptureRig rig(machine);
    winsim::presentImage(0, std::vector<uint8_t>(size_t{1920} * 1080 * 4, 128));
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    FrameInfo frame;
    for (const bool masked : {true, false}) {
        ASSERT_TRUE(frameMasked(rig, masked, frame)) << masked;
        const auto pixels = newest(rig);
        EXPECT_EQ(at(pixels, 500, 400)[1] == 0, masked) << "inside the video";
        EXPECT_NE(at(pixels, 100, 100)[1], 0) << "outside it";
    }
    rig.source().stop();
    EXPECT_EQ(rig.leftovers(), "");
}

// A sleeping monitor, plain (frames stop) or denying duplication until it wakes: the same ring and
// generation after waking, one line per sleep at most, and sound frames again soon after.
class DisplaySleepTest : public testing::TestWithParam<bool> {};

TEST_P(DisplaySleepTest, AMonitorWakesToTheSameRingWithOneLinePerSleep) {
    winsim::MachineConfig machine;
    ASSERT_TRUE(winsim::scenario("display-sleep", machine));
    machine.adapters[0].outputs[1].width = 320;
    machine.adapters[0].outputs[1].height = 180;
    machine.movingCursor = false;
    machine.variants.sleepDenies = GetParam();
    machine.environmentVariants = false;
    CaptureRig rig(machine, 1);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    FrameInfo frame;
    ASSERT_TRUE(rig.source().waitForFrame(0, kWaitMs, &frame));
    const uint32_t generation = frame.generation;
    double longestGapS = 0;
    for (const auto until = Clock::now() + std::chrono::seconds(14); Clock::now() < until;) {
        const auto before = Clock::now();
        ASSERT_TRUE(rig.source().waitForFrame(frame.sequence, kWaitMs, &frame)) << "frames after waking";
        longestGapS = std::max(longestGapS, std::chrono::duration<double>(Clock::now() - before).count());
        EXPECT_EQ(frame.generation, generation) << "the same mode after waking";
    }
    EXPECT_EQ(rig.newestFrameProblem(), "");
    rig.source().stop();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_LE(count(printed, "capture: "), GetParam() ? 3u : 0u) << printed;  // 14 s hold at most 3 sleeps
    EXPECT_GT(longestGapS, 2.0) << "the monitor slept";
    EXPECT_LT(longestGapS, 10.0) << "a 3 s sleep";
    EXPECT_EQ(rig.leftovers(), "");
}

INSTANTIATE_TEST_SUITE_P(Ways, DisplaySleepTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Denies" : "FramesStop"; });

// A fullscreen game takes the output at its own mode and gives it back: the source follows both
// switches with the mode-change lines and leaves nothing behind.
TEST(FieldTest, AFullscreenGameIsFollowedInAndOut) {
    winsim::MachineConfig machine;
    ASSERT_TRUE(winsim::scenario("fullscreen-game", machine));
    machine.environmentVariants = false;
    CaptureRig rig(machine);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    FrameInfo frame;
    for (const uint32_t width : {1280u, 1920u}) {
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (rig.source().width() != width || frame.slot < 0) {
            ASSERT_LT(Clock::now(), until) << width;
            rig.source().waitForFrame(frame.sequence, 1000, &frame);
        }
        ASSERT_TRUE(rig.source().waitForFrame(frame.sequence, kWaitMs, &frame));
        EXPECT_EQ(rig.newestFrameProblem(), "") << width;
    }
    rig.source().stop();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_GE(count(printed, "capture: output 0 mode change 1920x1080 fmt 87 -> 1280x720 fmt 87 — ring rebuilt\n"), 1u);
    EXPECT_GE(count(printed, "capture: output 0 mode change 1280x720 fmt 87 -> 1920x1080 fmt 87 — ring rebuilt\n"), 1u);
    EXPECT_EQ(rig.leftovers(), "");
}

// A 1000 Hz mouse over a still desktop: pointer-only frames at most once per refresh interval
// (60 Hz), and the last move of a burst published all the same.
TEST(FieldTest, AFastPointerIsPublishedAtTheRefreshRateAndItsLastMoveIsNotLost) {
    winsim::MachineConfig machine;
    ASSERT_TRUE(winsim::scenario("fast-pointer", machine));
    machine.adapters[0].outputs[0].updateHz = 0;
    machine.environmentVariants = false;
    CaptureRig rig(machine);
    const std::vector<uint8_t> grey(size_t{1920} * 1080 * 4, 60);
    winsim::presentImage(0, grey);
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    FrameInfo frame;
    ASSERT_TRUE(rig.source().waitForFrame(0, kWaitMs, &frame));
    const uint64_t first = frame.sequence;
    const auto began = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(rig.source().latestFrame(&frame));
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    EXPECT_LE(static_cast<double>(frame.sequence - first), seconds * 60 + 2) << "publications in " << seconds << " s";

    winsim::setCursorMoving(false);
    winsim::setCursorPosition(300, 300);  // the burst's last move
    const auto until = Clock::now() + std::chrono::seconds(60);
    for (;;) {
        ASSERT_LT(Clock::now(), until) << "the last move was never published";
        if (!rig.source().waitForFrame(frame.sequence, 1000, &frame)) continue;
        const auto pixels = newest(rig);
        if (at(pixels, 301, 305)[1] > at(pixels, 320, 350)[1] + 40) break;  // inside the arrow, at its place
    }
    rig.source().stop();
    EXPECT_EQ(rig.leftovers(), "");
}

}  // namespace
