// Desktops, run-time monitor changes, scenario timelines and the cursor of the simulated machine.
#include <chrono>

#include "machine/machine.h"
#include "support/winsim_fixture.h"
#include "winsim/monitors.h"

using namespace std::chrono_literals;
using winsim::Clock;

namespace {

winsim::gpu::Image image(DXGI_FORMAT format, uint32_t width, uint32_t height) {
    return *winsim::gpu::makeImage({winsim::gpuFormat(format), width, height, 1}, nullptr);
}

TEST(Desktop, VersionsFollowTheRateAndPresentedImages) {
    const auto t0 = Clock::now();
    winsim::Desktop desktop(10.0, t0);
    EXPECT_EQ(desktop.version(t0), 0u);
    EXPECT_EQ(desktop.version(t0 + 350ms), 3u);
    EXPECT_LE(desktop.nextUpdate(t0 + 350ms), t0 + 401ms);
    EXPECT_GT(desktop.nextUpdate(t0 + 350ms), t0 + 350ms);

    desktop.present(std::vector<uint8_t>(16, 7), 2, 2, t0 + 350ms);
    EXPECT_EQ(desktop.version(t0 + 350ms), 4u);
    auto img = image(DXGI_FORMAT_B8G8R8A8_UNORM, 2, 2);
    desktop.render(img, 4, 1.0f);
    EXPECT_EQ(std::vector<uint8_t>(img.mips[0].begin(), img.mips[0].end()), std::vector<uint8_t>(16, 7));

    desktop.setRate(0.0, t0 + 400ms);
    EXPECT_EQ(desktop.version(t0 + 10s), 4u);
    EXPECT_EQ(desktop.nextUpdate(t0 + 10s), Clock::time_point::max());
}

TEST(Desktop, PatternCarriesItsVersionInEveryFormat) {
    for (DXGI_FORMAT format : {DXGI_FORMAT_B8G8R8A8_UNORM, DXGI_FORMAT_R10G10B10A2_UNORM, DXGI_FORMAT_R16G16B16A16_FLOAT}) {
        const float white = format == DXGI_FORMAT_R16G16B16A16_FLOAT ? 3.0f : 1.0f;
        auto img = image(format, 40, 3);
        winsim::renderPattern(img, 0xA5C3F00Fu, white);
        // Read it back as 8-bit grey: white >= 1 reads as 255, black as 0.
        for (uint32_t row : {0u, 2u}) {
            std::vector<uint8_t> bgra(40 * 4);
            for (uint32_t x = 0; x < 40; ++x) {
                const auto v = winsim::gpu::decodePixel(format, img.pixel(0, x, row));
                winsim::gpu::encodePixel(DXGI_FORMAT_B8G8R8A8_UNORM, v, &bgra[x * 4]);
            }
            EXPECT_EQ(winsim::readStamp(bgra.data()), 0xA5C3F00Fu) << format << " row " << row;
        }
    }
}

class MonitorsTest : public WinsimTest {
protected:
    std::shared_ptr<winsim::Machine> machine() { return winsim::currentMachine(); }
};

TEST_F(MonitorsTest, ModeRotationAndAttachmentChangesCostAccess) {
    auto output = winsim::currentOutput(0);
    ASSERT_NE(output, nullptr);
    const uint64_t epoch = [&] { auto lock = machine()->lock(); return output->epoch; }();
    winsim::setOutputUpdateRate(0, 0);  // not a loss of access
    winsim::setOutputMode(0, 1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM);  // unchanged: neither
    EXPECT_EQ(output->config().width, 1920u);
    winsim::setOutputMode(0, 2560, 1440, DXGI_FORMAT_R16G16B16A16_FLOAT);
    winsim::setOutputRotation(0, DXGI_MODE_ROTATION_ROTATE90);
    winsim::setOutputAttached(0, false);
    auto lock = machine()->lock();
    EXPECT_EQ(output->epoch, epoch + 3);
    EXPECT_EQ(output->current.desktopRect().right, 1440);
    EXPECT_FALSE(output->current.attached);
}

class TimelineTest : public WinsimTest {
protected:
    std::string machineName() const override { return name; }
    std::string name = "hotplug";
};

TEST_F(TimelineTest, HotplugUnplugsOutputOneEveryOtherTwoSeconds) {
    auto m = winsim::currentMachine();
    auto lock = m->lock();
    const auto t0 = Clock::now();
    m->advance(t0 + 10s);
    EXPECT_TRUE(m->outputs()[1]->current.attached) << "nothing happens before the first duplication";
    m->noteDuplication(t0);
    m->advance(t0 + 1s);
    EXPECT_TRUE(m->outputs()[1]->current.attached);
    m->advance(t0 + 2100ms);
    EXPECT_FALSE(m->outputs()[1]->current.attached);
    m->advance(t0 + 4100ms);
    EXPECT_TRUE(m->outputs()[1]->current.attached);
    EXPECT_TRUE(m->outputs()[0]->current.attached);
    EXPECT_LE(m->nextEvent(t0 + 4100ms), t0 + 6001ms);
}

TEST_F(TimelineTest, ModeSwitchCyclesSizesAndFormats) {
    ASSERT_TRUE(winsim::useScenario("mode-switch"));
    auto m = winsim::currentMachine();
    auto lock = m->lock();
    const auto t0 = Clock::now();
    m->noteDuplication(t0);
    const std::pair<UINT, DXGI_FORMAT> expected[] = {{1920, DXGI_FORMAT_B8G8R8A8_UNORM},
                                                     {2560, DXGI_FORMAT_B8G8R8A8_UNORM},
                                                     {2560, DXGI_FORMAT_R16G16B16A16_FLOAT},
                                                     {1920, DXGI_FORMAT_R16G16B16A16_FLOAT},
                                                     {1920, DXGI_FORMAT_B8G8R8A8_UNORM}};
    for (int step = 0; step < 5; ++step) {
        m->advance(t0 + step * 3s + 100ms);
        EXPECT_EQ(m->outputs()[0]->current.width, expected[step].first) << step;
        EXPECT_EQ(m->outputs()[0]->current.format, expected[step].second) << step;
    }
}

TEST_F(TimelineTest, SecureDesktopShowsTwoSecondsInFive) {
    ASSERT_TRUE(winsim::useScenario("secure-desktop"));
    auto m = winsim::currentMachine();
    auto lock = m->lock();
    const auto t0 = Clock::now();
    m->noteDuplication(t0);
    const uint64_t epoch = m->outputs()[0]->epoch;
    const std::pair<Clock::duration, bool> expected[] = {{1s, false}, {3500ms, true}, {5500ms, false}, {9s, true}};
    for (auto [at, shown] : expected) {
        m->advance(t0 + at);
        EXPECT_EQ(m->secureDesktop, shown) << at.count();
    }
    EXPECT_EQ(m->outputs()[0]->epoch, epoch + 2) << "each showing costs access once";
}

TEST_F(MonitorsTest, WanderingCursorMovesAndChangesShape) {
    auto m = machine();
    auto lock = m->lock();
    ASSERT_TRUE(m->cursor.moving);
    const auto now = Clock::now();
    m->advance(now + 7s);
    EXPECT_GE(m->cursor.moves, 20u);
    EXPECT_EQ(m->cursor.shapes, 2u);
    EXPECT_EQ(m->cursor.shape.type, UINT{DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MASKED_COLOR});
    EXPECT_GE(m->cursor.position.x, 0);
    EXPECT_LT(m->cursor.position.x, 1920 + 2560);
    EXPECT_LT(m->cursor.position.y, 1440);
}

TEST_F(MonitorsTest, StandardCursorsAreWellFormed) {
    for (auto kind : {winsim::CursorKind::Color, winsim::CursorKind::Monochrome, winsim::CursorKind::MaskedColor}) {
        const auto shape = winsim::standardCursor(kind);
        EXPECT_EQ(shape.bytes.size(), size_t{shape.height} * shape.pitch);
        EXPECT_EQ(shape.width, 32u);
    }
    EXPECT_EQ(winsim::standardCursor(winsim::CursorKind::Monochrome).height, 64u);
}

}  // namespace

namespace {

TEST_F(MonitorsTest, GetCursorInfoReportsPositionVisibilityAndShape) {
    winsim::setCursorMoving(false);
    winsim::setCursorPosition(2000, 30);
    CURSORINFO info{};
    EXPECT_FALSE(GetCursorInfo(&info)) << "cbSize must be set";
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetCursorInfo(&info));
    EXPECT_EQ(info.flags, CURSOR_SHOWING);
    EXPECT_NE(info.hCursor, nullptr);
    EXPECT_EQ(info.ptScreenPos.x, 2000);
    EXPECT_EQ(info.ptScreenPos.y, 30);
    const HCURSOR before = info.hCursor;
    winsim::setCursorShape(winsim::standardCursor(winsim::CursorKind::Monochrome));
    ASSERT_TRUE(GetCursorInfo(&info));
    EXPECT_NE(info.hCursor, before);
    winsim::setCursorVisible(false);
    ASSERT_TRUE(GetCursorInfo(&info));
    EXPECT_EQ(info.flags, 0u);
    winsim::addFault({"GetCursorInfo", E_FAIL});
    EXPECT_FALSE(GetCursorInfo(&info));
}

}  // namespace
