// Rotated outputs: the desktop is an upright picture of the desktop rectangle's size, and the
// duplication delivers it turned into the display mode's orientation, as Windows does.
#include <chrono>
#include <thread>
#include <vector>

#include "d3d11_support.h"
#include "machine/desktop.h"
#include "winsim/machine.h"
#include "winsim/monitors.h"

namespace {

// A 64x32 mode: sideways, the desktop is 32 wide and 64 tall.
constexpr UINT kModeWidth = 64, kModeHeight = 32;
constexpr uint8_t kBackground = 0x40, kTopLeft = 0x10, kTopRight = 0x20, kBottomLeft = 0x30;

struct Place {
    UINT x, y;
};

class RotationTest : public D3D11Test {
protected:
    std::string machineName() const override { return "single"; }
    bool takesEnvironmentVariants() const override { return false; }
    void adjustMachine(winsim::MachineConfig& config) const override {
        config.movingCursor = false;
        config.adapters[0].outputs[0].updateHz = 0;  // only presents update the desktop
    }

    // Turns output 0 and duplicates it.
    ComPtr<IDXGIOutputDuplication> duplicateTurned(DXGI_MODE_ROTATION rotation) {
        winsim::setOutputMode(0, kModeWidth, kModeHeight, DXGI_FORMAT_B8G8R8A8_UNORM);
        winsim::setOutputRotation(0, rotation);
        ComPtr<IDXGIFactory1> factory;
        ComPtr<IDXGIAdapter1> current;
        ComPtr<IDXGIOutput> output;
        ComPtr<IDXGIOutput1> output1;
        ComPtr<IDXGIOutputDuplication> duplication;
        EXPECT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        EXPECT_EQ(factory->EnumAdapters1(0, current.GetAddressOf()), S_OK);
        EXPECT_EQ(current->EnumOutputs(0, output.GetAddressOf()), S_OK);
        EXPECT_EQ(output.As(&output1), S_OK);
        EXPECT_EQ(output1->DuplicateOutput(device.Get(), duplication.GetAddressOf()), S_OK);
        return duplication;
    }

    // The RGBA pixels of the next frame, handed back at once.
    static std::vector<uint8_t> nextFrame(IDXGIOutputDuplication* duplication) {
        DXGI_OUTDUPL_FRAME_INFO info{};
        ComPtr<IDXGIResource> resource;
        ComPtr<ID3D11Texture2D> texture;
        EXPECT_EQ(duplication->AcquireNextFrame(10000, &info, resource.GetAddressOf()), S_OK);
        if (!resource) return {};
        EXPECT_EQ(resource.As(&texture), S_OK);
        D3D11_TEXTURE2D_DESC desc{};
        texture->GetDesc(&desc);
        EXPECT_EQ(desc.Width, kModeWidth) << "the image has the mode's orientation";
        EXPECT_EQ(desc.Height, kModeHeight);
        auto pixels = winsim::readBackRgba8(texture.Get());
        EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
        return pixels;
    }

    static uint8_t at(const std::vector<uint8_t>& rgba, Place p) { return rgba[(size_t{p.y} * kModeWidth + p.x) * 4]; }
};

// An upright desktop picture, grey with three marked corners, every byte of a pixel alike.
std::vector<uint8_t> markedPicture(UINT width, UINT height) {
    std::vector<uint8_t> bytes(size_t{width} * height * 4, kBackground);
    auto mark = [&](UINT x, UINT y, uint8_t value) {
        for (int i = 0; i < 4; ++i) bytes[(size_t{y} * width + x) * 4 + i] = value;
    };
    mark(0, 0, kTopLeft);
    mark(width - 1, 0, kTopRight);
    mark(0, height - 1, kBottomLeft);
    return bytes;
}

TEST_F(RotationTest, APresentedPictureArrivesTurnedIntoTheModesOrientation) {
    // Where the desktop's top-left, top-right and bottom-left corners land in the mode's image. A
    // quarter turn (90) puts the desktop's top row into the image's left column, read upwards.
    struct Case {
        DXGI_MODE_ROTATION rotation;
        Place topLeft, topRight, bottomLeft;
    };
    constexpr UINT r = kModeWidth - 1, b = kModeHeight - 1;
    const Case cases[] = {
        {DXGI_MODE_ROTATION_IDENTITY, {0, 0}, {r, 0}, {0, b}},
        {DXGI_MODE_ROTATION_ROTATE90, {0, b}, {0, 0}, {r, b}},
        {DXGI_MODE_ROTATION_ROTATE180, {r, b}, {0, b}, {r, 0}},
        {DXGI_MODE_ROTATION_ROTATE270, {r, 0}, {r, b}, {0, 0}},
    };
    for (const Case& c : cases) {
        auto duplication = duplicateTurned(c.rotation);
        ASSERT_TRUE(duplication) << c.rotation;
        nextFrame(duplication.Get());  // the first frame
        const bool sideways = c.rotation == DXGI_MODE_ROTATION_ROTATE90 || c.rotation == DXGI_MODE_ROTATION_ROTATE270;
        winsim::presentImage(0, sideways ? markedPicture(kModeHeight, kModeWidth) : markedPicture(kModeWidth, kModeHeight));
        const auto frame = nextFrame(duplication.Get());
        ASSERT_EQ(frame.size(), size_t{kModeWidth} * kModeHeight * 4) << c.rotation;
        EXPECT_EQ(at(frame, c.topLeft), kTopLeft) << c.rotation;
        EXPECT_EQ(at(frame, c.topRight), kTopRight) << c.rotation;
        EXPECT_EQ(at(frame, c.bottomLeft), kBottomLeft) << c.rotation;
        EXPECT_EQ(at(frame, {kModeWidth / 2, kModeHeight / 2}), kBackground) << c.rotation;
    }
}

TEST_F(RotationTest, TheGeneratedDesktopIsUprightWithItsStampsInTheDesktopsRows) {
    // A few generated updates first: a version with bits set tells one reading direction from another.
    winsim::setOutputUpdateRate(0, 1000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (winsim::desktopVersion(0) < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    winsim::setOutputUpdateRate(0, 0);
    ASSERT_GE(winsim::desktopVersion(0), 5u);
    auto duplication = duplicateTurned(DXGI_MODE_ROTATION_ROTATE90);
    const auto frame = nextFrame(duplication.Get());
    ASSERT_EQ(frame.size(), size_t{kModeWidth} * kModeHeight * 4);
    // The desktop's first row is the image's left column read upwards, its last row the right
    // column: gathered into rows of RGBA pixels, each carries the version.
    auto desktopRow = [&](UINT column) {
        std::vector<uint8_t> row(kModeHeight * 4);
        for (UINT x = 0; x < kModeHeight; ++x)
            for (int i = 0; i < 4; ++i) row[x * 4 + i] = frame[((kModeHeight - 1 - x) * size_t{kModeWidth} + column) * 4 + i];
        return row;
    };
    const uint64_t version = winsim::desktopVersion(0);
    EXPECT_EQ(winsim::readStamp(desktopRow(0).data()), static_cast<uint32_t>(version));
    EXPECT_EQ(winsim::readStamp(desktopRow(kModeWidth - 1).data()), static_cast<uint32_t>(version));
}

TEST_F(RotationTest, APictureShownBeforeTheOutputTurnedSidewaysGivesWayToTheGeneratedDesktop) {
    // Shown before the output turned sideways, the landscape picture no longer fits the desktop:
    // it is not read with its rows and columns confused.
    winsim::setOutputMode(0, kModeWidth, kModeHeight, DXGI_FORMAT_B8G8R8A8_UNORM);
    winsim::presentImage(0, markedPicture(kModeWidth, kModeHeight));
    auto duplication = duplicateTurned(DXGI_MODE_ROTATION_ROTATE90);
    const auto turned = nextFrame(duplication.Get());
    ASSERT_FALSE(turned.empty());
    EXPECT_NE(at(turned, {kModeWidth / 2, kModeHeight / 2}), kBackground);
    EXPECT_NE(at(turned, {0, kModeHeight - 1}), kTopLeft);
}

TEST(RotatedScenarios, TurnSingleAndTheHdrOneHasAnFp16Desktop) {
    const std::pair<const char*, DXGI_MODE_ROTATION> turned[] = {{"rotated", DXGI_MODE_ROTATION_ROTATE90},
                                                                 {"rotated-180", DXGI_MODE_ROTATION_ROTATE180},
                                                                 {"rotated-270", DXGI_MODE_ROTATION_ROTATE270},
                                                                 {"rotated-hdr", DXGI_MODE_ROTATION_ROTATE90}};
    for (const auto& [name, rotation] : turned) {
        winsim::MachineConfig config;
        ASSERT_TRUE(winsim::scenario(name, config)) << name;
        ASSERT_EQ(config.adapters.size(), 1u) << name;
        ASSERT_EQ(config.adapters[0].outputs.size(), 1u) << name;
        const winsim::OutputConfig& output = config.adapters[0].outputs[0];
        EXPECT_EQ(output.rotation, rotation) << name;
        EXPECT_EQ(output.width, 1920u) << name;
        EXPECT_EQ(output.height, 1080u) << name;
        const bool hdr = std::string(name) == "rotated-hdr";
        EXPECT_EQ(output.format, hdr ? DXGI_FORMAT_R16G16B16A16_FLOAT : DXGI_FORMAT_B8G8R8A8_UNORM) << name;
        if (hdr) {
            EXPECT_EQ(output.sdrWhiteNits, 240.0f);
        }
    }
}

}  // namespace
