// New pointer shapes becoming the cursor texture, fetched from a real duplication on winsim.
#include <gtest/gtest.h>

#include "support/running_source.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

using Microsoft::WRL::ComPtr;
using velda::DuplicationSource;

namespace {

class PointerTest : public SourceFixture {
protected:
    std::string machineName() const override { return "single"; }
    void SetUp() override {
        SourceFixture::SetUp();
        winsim::setCursorMoving(false);
        source = std::make_unique<DuplicationSource>(0);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(startWithoutThread(*source));
        testing::internal::GetCapturedStdout();
    }
    void TearDown() override {
        source.reset();
        SourceFixture::TearDown();
    }

    // Shows `shape` and hands the next frame's pointer update to the source, as the capture loop does.
    void deliver(const winsim::CursorShape& shape) {
        winsim::setCursorShape(shape);
        auto& r = impl(*source);
        DXGI_OUTDUPL_FRAME_INFO info{};
        ComPtr<IDXGIResource> frame;
        ASSERT_GE(r.duplication->AcquireNextFrame(5000, &info, frame.GetAddressOf()), 0);
        ASSERT_NE(info.PointerShapeBufferSize, 0u);
        r.updatePointerShape(info.PointerShapeBufferSize);
        r.duplication->ReleaseFrame();
    }
    static winsim::CursorShape colored(UINT w, UINT h) {
        winsim::CursorShape shape{DXGI_OUTDUPL_POINTER_SHAPE_TYPE_COLOR, w, h, w * 4, POINT{5, 6},
                                  std::vector<uint8_t>(size_t{w} * h * 4, 0xFF)};
        return shape;
    }

    std::unique_ptr<DuplicationSource> source;
};

TEST_F(PointerTest, SameImageSizeReusesTheTextureAnotherSizeRecreatesIt) {
    auto& r = impl(*source);
    deliver(colored(32, 32));
    ID3D11Texture2D* first = r.cursorTexture.Get();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(r.hotspotX, 5);
    EXPECT_EQ(r.hotspotY, 6);
    deliver(winsim::standardCursor(winsim::CursorKind::Monochrome));  // 32x64 masks: a 32x32 image
    EXPECT_EQ(r.cursorTexture.Get(), first);
    EXPECT_EQ(r.cursorTexHeight, 32u);
    deliver(colored(48, 48));
    EXPECT_EQ(r.cursorTexWidth, 48u);
    EXPECT_EQ(r.cursorTexHeight, 48u);
    EXPECT_NE(r.cursorSrv, nullptr);
}

TEST_F(PointerTest, MalformedShapesAreIgnoredLikeAFailedFetch) {
    auto& r = impl(*source);
    deliver(colored(32, 32));
    ID3D11Texture2D* texture = r.cursorTexture.Get();
    auto shortPitch = colored(32, 32);
    shortPitch.pitch = 64;  // half a row
    shortPitch.hotSpot = POINT{9, 9};
    deliver(shortPitch);
    auto beyond = colored(32, 32);
    beyond.height = 4000;  // rows far past the bytes
    deliver(beyond);
    EXPECT_EQ(r.cursorTexture.Get(), texture);
    EXPECT_EQ(r.cursorTexWidth, 32u);
    EXPECT_EQ(r.hotspotX, 5) << "the hot spot of a refused shape is not taken";
}

TEST_F(PointerTest, AViewThatCannotBeMadeLeavesNoTextureAndNoRecordedSize) {
    auto& r = impl(*source);
    deliver(colored(32, 32));
    winsim::addFault({"ID3D11Device::CreateShaderResourceView", E_OUTOFMEMORY, 0, 1});
    deliver(colored(48, 48));
    EXPECT_EQ(r.cursorTexture, nullptr);
    EXPECT_EQ(r.cursorSrv, nullptr);
    EXPECT_EQ(r.cursorTexWidth, 0u);
    deliver(colored(48, 48));
    EXPECT_EQ(r.cursorTexWidth, 48u) << "the next shape creates both again";
    EXPECT_NE(r.cursorSrv, nullptr);
}

TEST_F(PointerTest, ARestartedSourceHasNoCursorUntilANewShapeArrives) {
    auto& r = impl(*source);
    deliver(colored(32, 32));
    source->stop();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(startWithoutThread(*source));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(r.cursorSrv, nullptr);
    EXPECT_EQ(r.cursorTexWidth, 0u);
    EXPECT_EQ(r.hotspotX, 5) << "the hot spot survives";
}

}  // namespace
