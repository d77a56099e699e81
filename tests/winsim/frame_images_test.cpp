// The pool of images a duplication renders desktop frames into, and frames rendered ahead of
// their update.
#include <gtest/gtest.h>

#include "machine/frame_images.h"

namespace {

using winsim::FrameContent;
using winsim::FrameImages;

FrameContent at(uint64_t version, uint64_t revision = 0, DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN) {
    FrameContent content;
    content.version = version;
    content.revision = revision;
    content.white = 1.0f;
    content.format = format;
    return content;
}

class FrameImagesTest : public ::testing::Test {
protected:
    FrameImages images_{nullptr, DXGI_FORMAT_B8G8R8A8_UNORM, 4, 2};
    int renders_ = 0;

    std::function<void(winsim::gpu::Image&)> render() {
        return [this](winsim::gpu::Image&) { ++renders_; };
    }
};

TEST_F(FrameImagesTest, AFrameRenderedAheadIsHandedOutWithoutRenderingAgain) {
    const FrameContent next = at(7);
    images_.prepare(next, render());
    images_.prepare(next, render());
    EXPECT_EQ(renders_, 1);
    EXPECT_TRUE(images_.image(next, render()));
    EXPECT_EQ(renders_, 1);
    // The same version drawn at another revision (a present came in between) is drawn again.
    EXPECT_TRUE(images_.image(at(7, 1), render()));
    EXPECT_EQ(renders_, 2);
}

TEST_F(FrameImagesTest, RenderingAheadSparesTheLastFrameAndHeldImages) {
    const FrameContent shown = at(1);
    images_.image(shown, render());  // handed out, then released
    images_.prepare(at(2), render());
    EXPECT_EQ(renders_, 2);
    images_.image(shown, render());  // a pointer-only update shows the last frame again
    EXPECT_EQ(renders_, 2) << "the last frame's image was kept";

    // Three images held at once fill the pool: nothing is rendered ahead then.
    auto a = images_.image(at(10), render());
    auto b = images_.image(at(11), render());
    auto c = images_.image(at(12), render());
    const int before = renders_;
    images_.prepare(at(13), render());
    EXPECT_EQ(renders_, before);
}

TEST_F(FrameImagesTest, ImagesOfAnotherFormatAreKeptApartFromTheFramesDrawnAhead) {
    std::vector<winsim::gpu::Format> drawn;
    auto record = [&](winsim::gpu::Image& image) { drawn.push_back(image.format); };
    images_.prepare(at(2), record);
    auto other = images_.image(at(1, 0, DXGI_FORMAT_R16G16B16A16_FLOAT), record);
    EXPECT_EQ(other->format, winsim::gpu::Format::Rgba16Float);
    EXPECT_EQ(images_.image(at(2), record)->format, winsim::gpu::Format::Bgra8Unorm);
    EXPECT_EQ(drawn.size(), 2u) << "the frame drawn ahead was kept";
}

}  // namespace
