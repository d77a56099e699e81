// The pool of images a duplication renders desktop frames into, and frames rendered ahead of
// their update.
#include <gtest/gtest.h>

#include "machine/frame_images.h"

namespace {

using winsim::FrameContent;
using winsim::FrameImages;

class FrameImagesTest : public ::testing::Test {
protected:
    FrameImages images_{nullptr, DXGI_FORMAT_B8G8R8A8_UNORM, 4, 2};
    int renders_ = 0;

    std::function<void(winsim::gpu::Image&)> render() {
        return [this](winsim::gpu::Image&) { ++renders_; };
    }
};

TEST_F(FrameImagesTest, AFrameRenderedAheadIsHandedOutWithoutRenderingAgain) {
    const FrameContent next{7, 0, 1.0f};
    images_.prepare(next, render());
    images_.prepare(next, render());
    EXPECT_EQ(renders_, 1);
    EXPECT_TRUE(images_.image(next, render()));
    EXPECT_EQ(renders_, 1);
    // The same version drawn at another revision (a present came in between) is drawn again.
    EXPECT_TRUE(images_.image({7, 1, 1.0f}, render()));
    EXPECT_EQ(renders_, 2);
}

TEST_F(FrameImagesTest, RenderingAheadSparesTheLastFrameAndHeldImages) {
    const FrameContent shown{1, 0, 1.0f};
    images_.image(shown, render());  // handed out, then released
    images_.prepare({2, 0, 1.0f}, render());
    EXPECT_EQ(renders_, 2);
    images_.image(shown, render());  // a pointer-only update shows the last frame again
    EXPECT_EQ(renders_, 2) << "the last frame's image was kept";

    // Three images held at once fill the pool: nothing is rendered ahead then.
    auto a = images_.image({10, 0, 1.0f}, render());
    auto b = images_.image({11, 0, 1.0f}, render());
    auto c = images_.image({12, 0, 1.0f}, render());
    const int before = renders_;
    images_.prepare({13, 0, 1.0f}, render());
    EXPECT_EQ(renders_, before);
}

}  // namespace
