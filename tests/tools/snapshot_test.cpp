// velda_snapshot as a user runs it: one PNG of a whole frame of each default output (the HDR one
// tone-mapped to 8 bits), any mip on request, a rotated monitor upright on request, and clear
// refusals of bad arguments.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include "machine/desktop.h"
#include "winsim/machine.h"

namespace {

struct Png {
    int width = 0, height = 0;
    std::unique_ptr<uint8_t, void (*)(void*)> pixels{nullptr, stbi_image_free};
    const uint8_t* at(int x, int y) const { return pixels.get() + (static_cast<size_t>(y) * width + x) * 4; }
};

// Runs velda_snapshot on the machine of `scenario` (unset: the environment's).
int run(const std::string& arguments, const std::string& scenario = "") {
    const std::string machine = scenario.empty() ? "" : "WINSIM_SCENARIO=" + scenario + " ";
    const std::string command = machine + VELDA_SNAPSHOT_BINARY + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A snapshot of `output` with `options` placed between OUTPUT and FILE.
Png snapshot(int output, int mip = 0, const std::string& options = "", const std::string& scenario = "") {
    const auto file = std::filesystem::temp_directory_path() / ("velda_snapshot_test_" + scenario + std::to_string(output) +
                                                                "_" + std::to_string(mip) + ".png");
    EXPECT_EQ(run(std::to_string(output) + " " + options + " " + file.string() + " " + std::to_string(mip), scenario), 0);
    Png png;
    int channels = 0;
    png.pixels.reset(stbi_load(file.c_str(), &png.width, &png.height, &channels, 4));
    std::filesystem::remove(file);
    return png;
}

TEST(Snapshot, WritesOneWholeFrameOfEachDefaultOutput) {
    for (int output : {0, 1}) {
        const Png png = snapshot(output);
        ASSERT_TRUE(png.pixels) << "output " << output;
        EXPECT_EQ(png.width, output == 0 ? 1920 : 2560);
        EXPECT_EQ(png.height, output == 0 ? 1080 : 1440);
        // The desktop stamps its version into the first and the last row: one frame, not two halves.
        EXPECT_EQ(winsim::readStamp(png.at(0, 0)), winsim::readStamp(png.at(0, png.height - 1))) << "output " << output;
        const uint8_t* grey = png.at(png.width / 2, png.height / 2);
        EXPECT_EQ(grey[0], grey[1]);
        EXPECT_EQ(grey[1], grey[2]);
        EXPECT_GT(grey[0], 0) << "not black: the HDR desktop is tone-mapped, not lost";
        EXPECT_EQ(grey[3], 255);
    }
}

TEST(Snapshot, WritesTheMipItIsAskedFor) {
    if (winsim::currentVariants().d3d12SingleMipSharing) {
        // Direct3D 12 opens only single-mip shared textures there: the ring has no mip 3 to write.
        EXPECT_EQ(run("1 " + (std::filesystem::temp_directory_path() / "velda_snapshot_test_nomip.png").string() + " 3"), 2);
        return;
    }
    const Png png = snapshot(1, 3);
    ASSERT_TRUE(png.pixels);
    EXPECT_EQ(png.width, 320);
    EXPECT_EQ(png.height, 180);
}

// Whether the 32 pixels from (x, y) along (dx, dy) are a version stamp: each one black or white,
// never the desktop's grey.
bool stamped(const Png& png, int x, int y, int dx = 1, int dy = 0) {
    for (int i = 0; i < 32; ++i) {
        const uint8_t green = png.at(x + i * dx, y + i * dy)[1];
        if (green > 8 && green < 247) return false;
    }
    return true;
}

// The stamp read from the 32 pixels from (x, y) along (dx, dy).
uint32_t stampAlong(const Png& png, int x, int y, int dx, int dy) {
    std::vector<uint8_t> row;
    for (int i = 0; i < 32; ++i) row.insert(row.end(), png.at(x + i * dx, y + i * dy), png.at(x + i * dx, y + i * dy) + 4);
    return winsim::readStamp(row.data());
}

TEST(Snapshot, TurnsARotatedMonitorUprightOnRequest) {
    // The rotated machine's desktop is 1080x1920; a duplication delivers it turned a quarter turn
    // into the 1920x1080 mode, the desktop's first row up the image's left column.
    const Png plain = snapshot(0, 0, "", "rotated");
    ASSERT_TRUE(plain.pixels);
    EXPECT_EQ(plain.width, 1920);
    EXPECT_EQ(plain.height, 1080);
    EXPECT_FALSE(stamped(plain, 0, 0)) << "the mode's first row is the desktop's right column";
    EXPECT_TRUE(stamped(plain, 0, 1079, 0, -1));
    EXPECT_EQ(stampAlong(plain, 0, 1079, 0, -1), stampAlong(plain, 1919, 1079, 0, -1));

    const Png upright = snapshot(0, 0, "--upright", "rotated");
    ASSERT_TRUE(upright.pixels);
    EXPECT_EQ(upright.width, 1080);
    EXPECT_EQ(upright.height, 1920);
    EXPECT_TRUE(stamped(upright, 0, 0));
    EXPECT_TRUE(stamped(upright, 0, upright.height - 1));
    EXPECT_EQ(winsim::readStamp(upright.at(0, 0)), winsim::readStamp(upright.at(0, upright.height - 1)));
}

TEST(Snapshot, RefusesBadArguments) {
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("x out.png"), 2);
    EXPECT_EQ(run("0 out.png 99"), 2);
    EXPECT_EQ(run("--upside-down 0 out.png"), 2) << "an unknown option";
    EXPECT_EQ(run("--method=mirror 0 out.png"), 2) << "an unknown method";
    EXPECT_EQ(run("0 --upright"), 2) << "no file";
    EXPECT_EQ(run("7 out.png"), 1) << "no such output";
    EXPECT_EQ(run("0 /nonexistent-dir/out.png"), 1);
}

// Either method on request (graphics capture's frames upright on a rotated monitor), and graphics
// capture by itself for the panel of a hybrid laptop that a process on the discrete adapter cannot
// duplicate.
TEST(Snapshot, CapturesThroughEitherMethod) {
    for (const char* method : {"--method=graphics-capture", "--method=duplication"}) {
        const Png png = snapshot(0, 0, method);
        ASSERT_TRUE(png.pixels) << method;
        EXPECT_EQ(png.width, 1920) << method;
        EXPECT_EQ(winsim::readStamp(png.at(0, 0)), winsim::readStamp(png.at(0, png.height - 1))) << method;
    }
    const Png rotated = snapshot(0, 0, "--method=graphics-capture", "rotated");
    ASSERT_TRUE(rotated.pixels);
    EXPECT_EQ(rotated.width, 1080) << "upright without --upright";
    EXPECT_EQ(winsim::readStamp(rotated.at(0, 0)), winsim::readStamp(rotated.at(0, rotated.height - 1)));
    const auto file = (std::filesystem::temp_directory_path() / "velda_snapshot_test_panel.png").string();
    EXPECT_EQ(run("0 " + file, "hybrid-laptop WINSIM_VARIANTS=reparented"), 0);
    std::filesystem::remove(file);
}

}  // namespace
