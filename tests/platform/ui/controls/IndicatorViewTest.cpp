#include "platform/graphics/Image.h"
#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/ProgressView.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/WebView.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace morvix::platform;

TEST(IndicatorViewTest, ProgressViewClampsItsValueAndFillsThatShareOfItsTrack)
{
    UITestHarness harness;
    auto bar = ProgressView::create({ 0, 0, 100, 4 });
    bar->setProgress(1.5f, Animated::Yes);
    EXPECT_EQ(bar->progress(), 1.0f);
    bar->setProgress(NAN);
    EXPECT_EQ(bar->progress(), 0.0f);
    bar->setProgress(0.25f);
    auto picture = Renderer::render(*bar);
    ASSERT_TRUE(picture);
    EXPECT_LT(picture->pixelAt(20, 2).red, 50) << "filled up to a quarter";
    EXPECT_GT(picture->pixelAt(30, 2).red, 150) << "the empty track after it";
}

TEST(IndicatorViewTest, ActivityIndicatorIsHiddenWhileStopped)
{
    UITestHarness harness;
    auto wheel = ActivityIndicatorView::create({ 0, 0, 20, 20 });
    EXPECT_FALSE(wheel->isAnimating());
    EXPECT_TRUE(wheel->isHidden());
    wheel->startAnimating();
    EXPECT_TRUE(wheel->isAnimating());
    EXPECT_FALSE(wheel->isHidden());
    auto picture = Renderer::render(*wheel);
    ASSERT_TRUE(picture);
    bool ink = false;
    for (int x = 0; x < picture->pixelWidth(); ++x)
        ink |= picture->pixelAt(x, picture->pixelHeight() / 4).alpha > 0;
    EXPECT_TRUE(ink) << "the spokes are drawn";
    wheel->stopAnimating();
    EXPECT_TRUE(wheel->isHidden());
}

TEST(IndicatorViewTest, WebViewRecordsDataLoadsWithTheirTypeEncodingAndBase)
{
    UITestHarness harness;
    auto web = WebView::create({ 0, 0, 200, 100 });
    web->loadData("<p>x</p>", "text/html", "utf-8", "http://example.org/page");
    ASSERT_EQ(web->loads().size(), 1u);
    const auto& load = web->loads()[0];
    EXPECT_TRUE(load.isData);
    EXPECT_FALSE(load.isHTML);
    EXPECT_EQ(load.data, "<p>x</p>");
    EXPECT_EQ(load.mimeType, "text/html");
    EXPECT_EQ(load.textEncodingName, "utf-8");
    EXPECT_EQ(web->url(), "http://example.org/page");
    EXPECT_EQ(web->placeholderText(), "WebView: text/html, 8 bytes, http://example.org/page");
}
