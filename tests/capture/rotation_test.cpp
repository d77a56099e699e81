// Rotation correction: a rotated monitor's frames arrive upright, whatever the turn and whether
// the desktop is SDR or HDR, with the cursor at its place on the desktop; a change of rotation
// alone rebuilds the ring once; without correction everything is as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/dxgi_format.h"
#include "support/capture_rig.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

namespace {

using rig::CaptureRig;
constexpr uint32_t kWaitMs = 30000;
constexpr uint32_t kModeWidth = 256, kModeHeight = 144;

// Marks near three corners of the upright desktop: red top left, green top right, blue bottom left.
struct Mark {
    uint32_t x, y;
    winsim::gpu::Float4 colour;
};

std::vector<Mark> marks(uint32_t w, uint32_t h) {
    return {{10, 12, {1, 0, 0, 1}}, {w - 14, 9, {0, 1, 0, 1}}, {7, h - 11, {0, 0, 1, 1}}};
}

// An upright picture of the desktop (w x h): dark grey with 4x4 blocks at the marks.
std::vector<uint8_t> picture(uint32_t w, uint32_t h, DXGI_FORMAT format, float white) {
    const size_t bpp = winsim::gpu::bytesPerPixel(format);
    std::vector<uint8_t> pixels(size_t{w} * h * bpp);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            winsim::gpu::Float4 colour{0.2f, 0.2f, 0.2f, 1};
            for (const Mark& m : marks(w, h))
                if (x >= m.x && x < m.x + 4 && y >= m.y && y < m.y + 4) colour = m.colour;
            const winsim::gpu::Float4 level{colour.r * white, colour.g * white, colour.b * white, 1};
            winsim::gpu::encodePixel(format, level, &pixels[(size_t{y} * w + x) * bpp]);
        }
    return pixels;
}

struct Case {
    const char* name;
    DXGI_MODE_ROTATION rotation;
    DXGI_FORMAT format;
};

class RotationTest : public testing::TestWithParam<Case> {
protected:
    static winsim::MachineConfig machine() {
        winsim::MachineConfig config = rig::quickMachine();
        winsim::OutputConfig& output = config.adapters[0].outputs[0];
        output.rotation = GetParam().rotation;
        output.format = GetParam().format;
        output.updateHz = 0;  // the test's own picture only
        if (GetParam().format == DXGI_FORMAT_R16G16B16A16_FLOAT) output.sdrWhiteNits = 160;
        return config;
    }
    static bool sideways() {
        return GetParam().rotation == DXGI_MODE_ROTATION_ROTATE90 || GetParam().rotation == DXGI_MODE_ROTATION_ROTATE270;
    }
    float white() const { return GetParam().format == DXGI_FORMAT_R16G16B16A16_FLOAT ? 2.0f : 1.0f; }
    uint32_t desktopWidth() const { return sideways() ? kModeHeight : kModeWidth; }
    uint32_t desktopHeight() const { return sideways() ? kModeWidth : kModeHeight; }

    void present() {
        winsim::presentImage(0, picture(desktopWidth(), desktopHeight(), GetParam().format, white()));
    }
    // The newest frame as the consumer reads it.
    velda::readback::Pixels newest() {
        velda::readback::Pixels frame;
        velda::DuplicationSource& source = rig_.duplication();
        EXPECT_EQ(velda::readback::readMip(rig_.consumer(), source.texture(source.latest(nullptr)), 0, frame), S_OK);
        return frame;
    }
    // Each mark's block holds its colour (BGRA, 8 bits: full where the mark is lit, dark elsewhere).
    void expectUpright(const velda::readback::Pixels& frame) {
        ASSERT_EQ(frame.width, desktopWidth());
        ASSERT_EQ(frame.height, desktopHeight());
        for (const Mark& m : marks(frame.width, frame.height)) {
            const uint8_t* p = &frame.bytes[(size_t{m.y + 1} * frame.width + m.x + 1) * 4];
            EXPECT_EQ(p[2] > 200, m.colour.r > 0) << "red at " << m.x << "," << m.y;
            EXPECT_EQ(p[1] > 200, m.colour.g > 0) << "green at " << m.x << "," << m.y;
            EXPECT_EQ(p[0] > 200, m.colour.b > 0) << "blue at " << m.x << "," << m.y;
        }
    }

    CaptureRig rig_{machine()};
};

TEST_P(RotationTest, FramesArriveUprightWithTheCursorAtItsDesktopPlace) {
    velda::DuplicationSource& source = rig_.duplication();
    source.setRotationCorrected(true);
    winsim::setCursorPosition(40, 60);  // over the grey, inside every orientation's desktop
    present();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(source.start(rig_.consumer()));
    velda::FrameInfo frame;
    ASSERT_TRUE(source.waitForFrame(0, kWaitMs, &frame));
    source.setPaused(true);
    ASSERT_TRUE(rig_.idle(std::chrono::seconds(30)));
    const velda::readback::Pixels pixels = newest();
    expectUpright(pixels);
    const uint8_t* grey = &pixels.bytes[(size_t{70} * pixels.width + 20) * 4];
    const uint8_t* cursor = &pixels.bytes[(size_t{65} * pixels.width + 41) * 4];  // inside the arrow
    EXPECT_GT(cursor[1], grey[1] + 40) << "the arrow's light inside lies over the desktop";
    source.stop();
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("rotated output"), std::string::npos)
        << "no warning when the frames are turned upright";
    EXPECT_EQ(rig_.leftovers(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Turns, RotationTest,
    testing::Values(Case{"Sdr90", DXGI_MODE_ROTATION_ROTATE90, DXGI_FORMAT_B8G8R8A8_UNORM},
                    Case{"Sdr180", DXGI_MODE_ROTATION_ROTATE180, DXGI_FORMAT_B8G8R8A8_UNORM},
                    Case{"Sdr270", DXGI_MODE_ROTATION_ROTATE270, DXGI_FORMAT_B8G8R8A8_UNORM},
                    Case{"Hdr90", DXGI_MODE_ROTATION_ROTATE90, DXGI_FORMAT_R16G16B16A16_FLOAT},
                    Case{"Hdr180", DXGI_MODE_ROTATION_ROTATE180, DXGI_FORMAT_R16G16B16A16_FLOAT},
                    Case{"Hdr270", DXGI_MODE_ROTATION_ROTATE270, DXGI_FORMAT_R16G16B16A16_FLOAT}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

class RotationChangeTest : public RotationTest {};

TEST_P(RotationChangeTest, ARotationChangeAloneRebuildsTheRingOnce) {
    velda::DuplicationSource& source = rig_.duplication();
    source.setRotationCorrected(true);
    present();
    ASSERT_TRUE(source.start(rig_.consumer()));
    velda::FrameInfo frame;
    ASSERT_TRUE(source.waitForFrame(0, kWaitMs, &frame));
    const uint32_t before = frame.generation;

    winsim::setOutputRotation(0, DXGI_MODE_ROTATION_ROTATE270);  // the mode stays as it is
    present();
    do {
        ASSERT_TRUE(source.waitForFrame(frame.sequence, kWaitMs, &frame));
    } while (frame.generation == before);
    EXPECT_EQ(frame.generation, before + 1) << "one rebuild";
    source.setPaused(true);
    ASSERT_TRUE(rig_.idle(std::chrono::seconds(30)));
    expectUpright(newest());
    source.stop();
    EXPECT_EQ(rig_.leftovers(), "");
}

INSTANTIATE_TEST_SUITE_P(FromNinety, RotationChangeTest,
                         testing::Values(Case{"Sdr", DXGI_MODE_ROTATION_ROTATE90, DXGI_FORMAT_B8G8R8A8_UNORM}),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(RotationOffTest, WithoutCorrectionTheFramesKeepTheModesOrientationAndTheWarningIsPrinted) {
    winsim::MachineConfig config = rig::quickMachine();
    config.adapters[0].outputs[0].rotation = DXGI_MODE_ROTATION_ROTATE90;
    CaptureRig rig(config);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    ASSERT_TRUE(rig.source().waitForFrame(0, kWaitMs, nullptr));
    EXPECT_EQ(rig.source().width(), kModeWidth);
    EXPECT_EQ(rig.source().height(), kModeHeight);
    rig.source().stop();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("capture: rotated output (2) unsupported in v1 — image will be unrotated\n"), std::string::npos)
        << printed;
}

}  // namespace
