// What duplication shows of the field behaviours: images whose format changes from frame to
// frame, a pointer drawn into the image, protected content, sleeping monitors, fullscreen games
// and the refresh rate.
#include <cmath>

#include "duplication_support.h"
#include "machine/machine.h"

namespace {

// A still w x h desktop: presented images in its format, every pixel one value.
std::vector<uint8_t> uniform(DXGI_FORMAT format, UINT w, UINT h, float value) {
    const size_t bpp = winsim::gpu::bytesPerPixel(format);
    std::vector<uint8_t> pixels(size_t{w} * h * bpp);
    for (size_t i = 0; i < pixels.size(); i += bpp) winsim::gpu::encodePixel(format, {value, value, value, 1}, &pixels[i]);
    return pixels;
}

DXGI_FORMAT formatOf(const Frame& frame) {
    D3D11_TEXTURE2D_DESC desc{};
    frame.texture->GetDesc(&desc);
    return desc.Format;
}

class FormatFlickerTest : public DuplicationTest {
    void adjustMachine(winsim::MachineConfig& config) const override {
        DuplicationTest::adjustMachine(config);
        config.variants.formatFlicker = true;
    }
};

TEST_F(FormatFlickerTest, PointerOnlyAndEveryThirdImageFrameComeInBgraAsAnSdrApplicationSeesThem) {
    winsim::setOutputMode(1, 4, 1, DXGI_FORMAT_R16G16B16A16_FLOAT);  // SDR white at 240 nits: scRGB 3.0
    const float scene[] = {3.0f, 6.0f, 0.75f, 0.0f};                 // white, brighter, a quarter of white, black
    std::vector<uint8_t> pixels;
    for (float v : scene) {
        const auto pixel = uniform(DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, v);
        pixels.insert(pixels.end(), pixel.begin(), pixel.end());
    }
    const long quarter = std::lround(255 * (1.055 * std::pow(0.25, 1 / 2.4) - 0.055));  // the sRGB curve
    constexpr DXGI_FORMAT kHdr = DXGI_FORMAT_R16G16B16A16_FLOAT, kBgra = DXGI_FORMAT_B8G8R8A8_UNORM;
    for (bool plain : {false, true}) {
        winsim::presentImage(1, pixels);
        auto duplication = plain ? duplicate(1) : duplicate(1, {kAllFormats[0], kAllFormats[1], kAllFormats[2]});
        EXPECT_EQ(descOf(duplication.Get()).ModeDesc.Format, plain ? kBgra : kHdr) << "ModeDesc keeps its format";
        const uint64_t charged = winsim::vramUsage(0);
        std::vector<DXGI_FORMAT> formats;
        for (int frame = 1; frame <= 4; ++frame) {
            if (frame == 4) winsim::setCursorPosition(1921, 0);  // a pointer-only frame first
            for (bool pointerOnly : frame == 4 ? std::vector{true, false} : std::vector{false}) {
                if (!pointerOnly && frame > 1) winsim::presentImage(1, pixels);
                const Frame taken = acquire(duplication.Get(), 1000);
                ASSERT_EQ(taken.hr, S_OK) << frame;
                EXPECT_EQ(taken.info.LastPresentTime.QuadPart == 0, pointerOnly) << frame;
                formats.push_back(formatOf(taken));
                if (formats.back() == kBgra) {
                    const auto read = winsim::readBackRgba8(taken.texture.Get());
                    EXPECT_EQ(read[0], 255);
                    EXPECT_EQ(read[4], 255);
                    EXPECT_NEAR(read[8], quarter, 1);
                    EXPECT_EQ(read[12], 0);
                }
                ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
            }
        }
        EXPECT_EQ(formats, (std::vector{kHdr, kHdr, kBgra, kBgra, kHdr})) << (plain ? "plain" : "format-aware");
        EXPECT_EQ(winsim::vramUsage(0), charged) << "one desktop surface for both formats";
        winsim::setCursorPosition(400, 300);
    }
}

class SoftwareCursorTest : public DuplicationTest {
    std::string machineName() const override { return "software-cursor"; }
};

TEST_F(SoftwareCursorTest, ThePointerIsDrawnIntoTheImageAndReportedInvisible) {
    winsim::setOutputMode(0, 64, 48, DXGI_FORMAT_B8G8R8A8_UNORM);
    winsim::presentImage(0, std::vector<uint8_t>(64 * 48 * 4, 0x40));
    auto duplication = duplicate(0);
    // Each standard arrow: edge black, inside (half-transparent) white, outside untouched.
    const std::pair<winsim::CursorKind, int> kinds[] = {
        {winsim::CursorKind::Color, 160}, {winsim::CursorKind::Monochrome, 255}, {winsim::CursorKind::MaskedColor, 255}};
    LONG x = 10;  // the arrows go side by side, 15 pixels apart
    for (const auto& [kind, inside] : kinds) {
        winsim::CursorShape shape = winsim::standardCursor(kind);
        shape.hotSpot = POINT{3, 2};
        winsim::setCursorShape(shape);
        winsim::setCursorPosition(x + 3, 10 + 2);  // the arrow's top-left at (x, 10)
        const Frame frame = acquire(duplication.Get(), 1000);
        ASSERT_EQ(frame.hr, S_OK);
        EXPECT_FALSE(frame.info.PointerPosition.Visible);
        EXPECT_NE(frame.info.LastPresentTime.QuadPart, 0) << "a moved pointer is a new image";
        const auto read = winsim::readBackRgba8(frame.texture.Get());
        auto at = [&](LONG px, LONG py) { return static_cast<int>(read[(py * 64 + px) * 4]); };
        EXPECT_EQ(at(x, 15), 0) << "edge";
        EXPECT_EQ(at(x + 1, 20), inside);
        EXPECT_EQ(at(x + 20, 10), 0x40) << "beside the arrow";
        if (x > 10) {
            EXPECT_EQ(at(x - 15, 15), 0x40) << "where the pointer was";
        }
        ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
        x += 15;
    }
    CURSORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetCursorInfo(&info));
    EXPECT_EQ(info.flags, CURSOR_SHOWING);
}

TEST_F(DuplicationTest, ProtectedContentIsBlackedOutAndFlagged) {
    winsim::setOutputMode(0, 64, 32, DXGI_FORMAT_B8G8R8A8_UNORM);
    winsim::presentImage(0, std::vector<uint8_t>(64 * 32 * 4, 0x40));
    winsim::setProtectedContent(0, RECT{8, 4, 24, 12});
    auto duplication = duplicate(0);
    for (bool masked : {true, false}) {
        const Frame frame = acquire(duplication.Get(), 1000);
        ASSERT_EQ(frame.hr, S_OK);
        EXPECT_EQ(frame.info.ProtectedContentMaskedOut, masked ? TRUE : FALSE);
        EXPECT_NE(frame.info.LastPresentTime.QuadPart, 0) << "masking and unmasking are image updates";
        const auto read = winsim::readBackRgba8(frame.texture.Get());
        EXPECT_EQ(read[(5 * 64 + 8) * 4], masked ? 0 : 0x40);
        EXPECT_EQ(read[(12 * 64 + 8) * 4], 0x40) << "below the area";
        ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
        winsim::setProtectedContent(0, RECT{});
    }
}

class DisplaySleepTest : public DuplicationTest {
protected:
    std::string machineName() const override { return "display-sleep"; }
    void adjustMachine(winsim::MachineConfig& config) const override {
        DuplicationTest::adjustMachine(config);
        config.timeline = winsim::Timeline::None;  // the test puts the monitor to sleep
    }
    void SetUp() override {
        DuplicationTest::SetUp();
        winsim::setOutputMode(1, 8, 4, DXGI_FORMAT_R16G16B16A16_FLOAT);
    }
    // Keeps output 1 settling after its wake until `until`.
    static void settleAt(winsim::Clock::time_point until) {
        auto machine = winsim::currentMachine();
        auto lock = machine->lock();
        machine->outputs()[1]->field.settlesAt = until;
    }
};

TEST_F(DisplaySleepTest, ASleepingMonitorDeliversNothingAndKeepsItsDuplications) {
    auto duplication = duplicate(1);
    skipFirstFrame(duplication.Get());
    winsim::setOutputAsleep(1, true);
    winsim::presentImage(1, uniform(DXGI_FORMAT_R16G16B16A16_FLOAT, 8, 4, 0.5f));
    winsim::setCursorPosition(1921, 1);
    EXPECT_EQ(acquire(duplication.Get(), 50).hr, DXGI_ERROR_WAIT_TIMEOUT);
    winsim::setOutputAsleep(1, false);
    const Frame frame = acquire(duplication.Get(), 1000);
    ASSERT_EQ(frame.hr, S_OK) << "what changed meanwhile comes as it wakes";
    EXPECT_NE(frame.info.LastPresentTime.QuadPart, 0);
    EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
}

class SleepDeniesTest : public DisplaySleepTest {
    void adjustMachine(winsim::MachineConfig& config) const override {
        DisplaySleepTest::adjustMachine(config);
        config.variants.sleepDenies = true;
    }
};

TEST_F(SleepDeniesTest, SleepCostsAccessAndTheWokenOutputSettlesBeforeItDuplicatesAgain) {
    auto duplication = duplicate(1);
    ComPtr<IDXGIFactory1> before;
    ASSERT_EQ(adapter->GetParent(IID_PPV_ARGS(before.GetAddressOf())), S_OK);
    winsim::setOutputAsleep(1, true);
    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_ACCESS_LOST);
    duplication.Reset();
    duplicate(1, {}, E_ACCESSDENIED);
    duplicate(1, {DXGI_FORMAT_B8G8R8A8_UNORM}, E_ACCESSDENIED);

    winsim::setOutputAsleep(1, false);
    settleAt(winsim::Clock::time_point::max());
    ComPtr<IDXGIFactory1> factory;
    ComPtr<IDXGIAdapter1> woken;
    ComPtr<IDXGIOutput> output1;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
    ASSERT_EQ(factory->EnumAdapters1(0, woken.GetAddressOf()), S_OK);
    ASSERT_EQ(woken->EnumOutputs(1, output1.GetAddressOf()), S_OK);
    DXGI_OUTPUT_DESC desc{};
    ASSERT_EQ(output1->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.DesktopCoordinates.right - desc.DesktopCoordinates.left, 0);
    EXPECT_EQ(desc.DesktopCoordinates.bottom - desc.DesktopCoordinates.top, 0);
    duplicate(1, {}, E_FAIL);
    duplicate(1, {kAllFormats[0]}, E_FAIL);

    settleAt(winsim::Clock::now());
    EXPECT_TRUE(before->IsCurrent()) << "a sleep is no display change";
    duplication = duplicate(1);
    ASSERT_NE(duplication, nullptr);
    EXPECT_EQ(descOf(duplication.Get()).ModeDesc.Width, 8u) << "the same mode";
}

TEST_F(DuplicationTest, EachFullscreenSwitchLeavesOneDuplicationAnsweringInvalidCall) {
    auto duplication = duplicate(0);
    for (bool game : {true, false}) {
        winsim::setFullscreenGame(0, game);
        EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_ACCESS_LOST) << game;
        duplication.Reset();
        duplication = duplicate(0);
        EXPECT_EQ(descOf(duplication.Get()).ModeDesc.Width, game ? 1280u : 1920u);
        EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_INVALID_CALL) << game;
        EXPECT_EQ(acquire(duplication.Get(), 10).hr, DXGI_ERROR_INVALID_CALL) << "until it is made again";
        duplication.Reset();
        duplication = duplicate(0);
        EXPECT_EQ(acquire(duplication.Get()).hr, S_OK) << "once a switch";
        EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
    }
}

class RefreshRateTest : public DuplicationTest {
    void adjustMachine(winsim::MachineConfig& config) const override {
        config.adapters[0].outputs[0].refreshHz = 144;
        config.adapters[0].outputs[1].refreshHz = 0;
    }
};

TEST_F(RefreshRateTest, ModeDescCarriesTheOutputsRateOrNone) {
    const DXGI_RATIONAL rates[] = {descOf(duplicate(0).Get()).ModeDesc.RefreshRate,
                                   descOf(duplicate(1).Get()).ModeDesc.RefreshRate};
    EXPECT_EQ(rates[0].Numerator, 144u);
    EXPECT_EQ(rates[0].Denominator, 1u);
    EXPECT_EQ(rates[1].Numerator, 0u);
    EXPECT_EQ(rates[1].Denominator, 0u);
}

}  // namespace
