// A GIF the peer names, served over loopback, shown by an image view of a real session: the
// formats libpng and libjpeg do not read reach the screen through gdk-pixbuf.

#include "widgets/containers/ImageView.h"

#include "tests/platform/graphics/PixbufTestPictures.h"
#include "tests/widgets/containers/ImageSessionFixture.h"
#include "widgets/delegating/DelegatingImageView.h"

namespace morvix {
namespace {

class GifImageSessionTest : public testing::ImageSessionFixture {
protected:
    void SetUp() override
    {
        auto gif = testing::pictures::gif();
        server.route("/app/picture.gif",
            testing::TestResponse().withHeader("Content-Type", "image/gif").withBody(std::string(gif.begin(), gif.end())));
        ImageSessionFixture::SetUp();
    }
};

TEST_F(GifImageSessionTest, ImageViewShowsAGifServedByThePeer)
{
    // The 3 x 2 picture, fitted to 30 x 20 points: each of its pixels covers a 10-point square.
    start(R"(["create","g1","morvix.ImageView",{"parent":"w1","bounds":[0,0,30,20],"background":[255,0,255],"image":["picture.gif",30,20]}])");
    auto image = widget<ImageView>("g1")->imageView()->image();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (platform::Size { 30, 20 }));

    auto window = platform::Renderer::render(*harness.window());
    ASSERT_TRUE(window);
    auto seen = [&](int column, int row) { return window->pixelAt(column * 10 + 5, row * 10 + 5); };
    EXPECT_EQ(seen(0, 0), (platform::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(seen(1, 0), (platform::Pixel { 0, 255, 0, 255 }));
    EXPECT_EQ(seen(2, 0), (platform::Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(seen(0, 1), (platform::Pixel { 255, 255, 255, 255 }));
    // The GIF's transparent colour lets the view's background through.
    EXPECT_EQ(seen(2, 1), (platform::Pixel { 255, 0, 255, 255 }));
}

} // namespace
} // namespace morvix
