#include "platform/ui/rendering/Renderer.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Layer.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

using namespace morvix::platform;

namespace {

const Color kRed = Color::fromRGBA(1, 0, 0);
const Color kGreen = Color::fromRGBA(0, 1, 0);
const Color kBlue = Color::fromRGBA(0, 0, 1);
const Pixel kRedPixel { 255, 0, 0, 255 };
const Pixel kGreenPixel { 0, 255, 0, 255 };
const Pixel kBluePixel { 0, 0, 255, 255 };
const Pixel kWhitePixel { 255, 255, 255, 255 };

std::shared_ptr<View> coloured(const Rect& frame, Color color)
{
    auto view = View::create(frame);
    view->setBackgroundColor(color);
    return view;
}

// Draws a cross of its tint over its bounds and records the rectangle it was asked for.
class CrossView final : public View {
public:
    static std::shared_ptr<CrossView> create(const Rect& frame)
    {
        return std::shared_ptr<CrossView>(new CrossView(frame));
    }
    bool hasCustomDrawing() const override { return true; }
    void draw(GraphicsContext& context, const Rect& rect) override
    {
        drawnRect = rect;
        context.setFillColor(kBlue);
        context.fillRect({ rect.x(), rect.midY() - 1, rect.width(), 2 });
        context.fillRect({ rect.midX() - 1, rect.y(), 2, rect.height() });
    }
    Rect drawnRect;

private:
    explicit CrossView(const Rect& frame) : View(frame) { }
};

// Draws whatever its test gives it.
class HookView final : public View {
public:
    using Hook = std::function<void(GraphicsContext&, const Rect&)>;
    static std::shared_ptr<HookView> create(const Rect& frame, Hook hook)
    {
        return std::shared_ptr<HookView>(new HookView(frame, std::move(hook)));
    }
    bool hasCustomDrawing() const override { return true; }
    void draw(GraphicsContext& context, const Rect& rect) override { m_hook(context, rect); }

private:
    HookView(const Rect& frame, Hook hook) : View(frame), m_hook(std::move(hook)) { }
    Hook m_hook;
};

// Moves its one subview to the right in its layout pass.
class ShiftingView final : public View {
public:
    static std::shared_ptr<ShiftingView> create(const Rect& frame)
    {
        return std::shared_ptr<ShiftingView>(new ShiftingView(frame));
    }
    void layoutSubviews() override { subviews().front()->setFrame({ 20, 0, 10, 10 }); }

private:
    explicit ShiftingView(const Rect& frame) : View(frame) { }
};

bool near(int a, int b, int tolerance = 3)
{
    return std::abs(a - b) <= tolerance;
}

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::install(clock);
        MainLoop::main().resetForTesting();
        Animator::shared().resetForTesting();
        Application::shared().resetForTesting();
    }
    void TearDown() override
    {
        Application::shared().resetForTesting();
        Animator::shared().resetForTesting();
        MainLoop::main().resetForTesting();
        Clock::install(nullptr);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

} // namespace

TEST_F(RendererTest, BackgroundsNestWithBoundsOriginsAndPositions)
{
    auto root = coloured({ 0, 0, 40, 30 }, Color::white());
    auto child = coloured({ 10, 5, 20, 10 }, kRed);
    auto grandchild = coloured({ 0, 0, 4, 4 }, kGreen);
    root->addSubview(child);
    child->addSubview(grandchild);
    child->setBounds({ -2, -3, 20, 10 });  // scrolled: contents move right 2, down 3

    auto image = Renderer::render(*root, { .scale = 2 });
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 80);
    EXPECT_EQ(image->pixelHeight(), 60);
    EXPECT_EQ(image->pixelAt(2, 2), kWhitePixel);
    EXPECT_EQ(image->pixelAt(2 * 11, 2 * 6), kRedPixel);
    EXPECT_EQ(image->pixelAt(2 * 13, 2 * 9), kGreenPixel);  // (12, 8) to (16, 12)
    EXPECT_EQ(image->pixelAt(2 * 17, 2 * 9), kRedPixel);
}

TEST_F(RendererTest, HiddenAndTransparentViewsAreSkippedWithTheirSubtrees)
{
    auto root = coloured({ 0, 0, 20, 20 }, Color::white());
    auto hidden = coloured({ 0, 0, 10, 10 }, kRed);
    hidden->setHidden(true);
    auto faint = coloured({ 10, 10, 10, 10 }, kRed);
    faint->setAlpha(0.005);
    faint->addSubview(coloured({ 0, 0, 5, 5 }, kGreen));
    root->addSubview(hidden);
    root->addSubview(faint);
    auto image = Renderer::render(*root);
    EXPECT_EQ(image->pixelAt(5, 5), kWhitePixel);
    EXPECT_EQ(image->pixelAt(12, 12), kWhitePixel);

    root->setHidden(true);
    EXPECT_EQ(Renderer::render(*root)->pixelAt(5, 5), Pixel {});
    EXPECT_FALSE(Renderer::render(*View::create({ 0, 0, 0, 10 })));
}

TEST_F(RendererTest, AlphaAppliesOnceToAViewAndItsSubtree)
{
    auto root = View::create({ 0, 0, 20, 20 });
    auto half = coloured({ 0, 0, 20, 20 }, kRed);
    half->setAlpha(0.5);
    half->addSubview(coloured({ 5, 5, 10, 10 }, kBlue));  // covers red; must not let red through
    root->addSubview(half);
    auto image = Renderer::render(*root);
    Pixel inner = image->pixelAt(10, 10);
    EXPECT_TRUE(near(inner.alpha, 128)) << int(inner.alpha);
    EXPECT_EQ(inner.red, 0);
    EXPECT_TRUE(near(image->pixelAt(2, 2).alpha, 128));
}

TEST_F(RendererTest, CornerRadiusClipsAndTheBorderLiesOverSubviews)
{
    auto root = coloured({ 0, 0, 40, 40 }, Color::white());
    auto card = coloured({ 0, 0, 40, 40 }, kRed);
    card->layer().setCornerRadius(10);
    card->setClipsToBounds(true);
    card->layer().setBorderWidth(2);
    card->layer().setBorderColor(kBlue);
    card->addSubview(coloured({ 0, 0, 40, 40 }, kGreen));
    root->addSubview(card);
    auto image = Renderer::render(*root);
    EXPECT_EQ(image->pixelAt(0, 0), kWhitePixel);      // cut corner
    EXPECT_EQ(image->pixelAt(20, 20), kGreenPixel);    // subview inside
    EXPECT_EQ(image->pixelAt(20, 0), kBluePixel);      // border over the subview
    EXPECT_EQ(image->pixelAt(39, 20), kBluePixel);
    EXPECT_EQ(image->pixelAt(20, 3), kGreenPixel);

    // Without clipping a subview reaches past the rounded background.
    card->setClipsToBounds(false);
    card->layer().setBorderWidth(0);
    EXPECT_EQ(Renderer::render(*root)->pixelAt(0, 0), kGreenPixel);
}

TEST_F(RendererTest, TransformsTurnAroundTheCentre)
{
    auto root = coloured({ 0, 0, 40, 40 }, Color::white());
    auto bar = coloured({ 10, 15, 20, 10 }, kRed);  // centre (20, 20)
    bar->setTransform(AffineTransform::rotation(M_PI / 2));
    root->addSubview(bar);
    auto image = Renderer::render(*root);
    EXPECT_EQ(image->pixelAt(20, 12), kRedPixel);  // now 10 wide, 20 high
    EXPECT_EQ(image->pixelAt(12, 20), kWhitePixel);

    bar->setTransform(AffineTransform::scale(0.5, 0.5));
    image = Renderer::render(*root);
    EXPECT_EQ(image->pixelAt(16, 18), kRedPixel);
    EXPECT_EQ(image->pixelAt(12, 20), kWhitePixel);

    bar->setTransform(AffineTransform::scale(0, 1));  // singular: draws nothing, breaks nothing
    image = Renderer::render(*root);
    EXPECT_EQ(image->pixelAt(20, 20), kWhitePixel);
}

TEST_F(RendererTest, MaskShowsTheViewOnlyThroughItsContents)
{
    auto root = coloured({ 0, 0, 20, 20 }, Color::white());
    auto view = coloured({ 0, 0, 20, 20 }, kRed);
    ImageContext maskPicture({ 10, 20 }, Opaque::No, 1);
    maskPicture.context().setFillColor(Color::black());
    maskPicture.context().fillRect({ 0, 0, 10, 20 });
    auto mask = Layer::create();
    mask->setContents(maskPicture.image());
    mask->setFrame({ 0, 0, 10, 20 });  // the left half
    view->layer().setMask(mask);
    root->addSubview(view);
    auto image = Renderer::render(*root);
    EXPECT_EQ(image->pixelAt(5, 10), kRedPixel);
    EXPECT_EQ(image->pixelAt(15, 10), kWhitePixel);

    mask->setContents(nullptr);  // an empty mask hides everything
    EXPECT_EQ(Renderer::render(*root)->pixelAt(5, 10), kWhitePixel);
}

TEST_F(RendererTest, TouchFeedbackOverlayTintsOnlyTheDrawnPixels)
{
    // The touch feedback: an overlay in the accent colour, masked by a picture of the widget, so
    // that the widget's transparent rounded corners stay untinted.
    auto root = coloured({ 0, 0, 40, 40 }, Color::white());
    auto widget = coloured({ 0, 0, 40, 40 }, Color::fromRGBA(0.5f, 0.5f, 0.5f));
    widget->layer().setCornerRadius(12);
    root->addSubview(widget);
    auto screenshot = Renderer::render(*widget);
    ASSERT_TRUE(screenshot);
    EXPECT_EQ(screenshot->pixelAt(0, 0), Pixel {});

    auto overlay = coloured(widget->bounds(), Color::fromRGBA(22 / 255.0f, 126 / 255.0f, 251 / 255.0f));
    overlay->setAlpha(0.4);
    auto mask = Layer::create();
    mask->setContents(screenshot);
    mask->setFrame(overlay->bounds());
    overlay->layer().setMask(mask);
    widget->addSubview(overlay);

    auto image = Renderer::render(*root);
    EXPECT_EQ(image->pixelAt(0, 0), kWhitePixel);  // a cut corner: no tint
    Pixel tinted = image->pixelAt(20, 20);         // grey under 40 % blue
    EXPECT_TRUE(near(tinted.red, int(0.6 * 128 + 0.4 * 22)) && near(tinted.blue, int(0.6 * 128 + 0.4 * 251)))
        << int(tinted.red) << " " << int(tinted.blue);
}

TEST_F(RendererTest, CustomDrawingGetsTheBoundsAndContentsImagesFill)
{
    auto root = coloured({ 0, 0, 30, 30 }, Color::white());
    auto cross = CrossView::create({ 5, 5, 20, 20 });
    cross->setBounds({ 100, 100, 20, 20 });
    root->addSubview(cross);
    auto image = Renderer::render(*root);
    EXPECT_EQ(cross->drawnRect, Rect(100, 100, 20, 20));
    EXPECT_EQ(image->pixelAt(15, 6), kBluePixel);
    EXPECT_EQ(image->pixelAt(6, 6), kWhitePixel);

    ImageContext picture({ 2, 2 }, Opaque::No, 1);
    picture.context().setFillColor(kGreen);
    picture.context().fillRect({ 0, 0, 2, 2 });
    auto holder = View::create({ 0, 0, 4, 4 });
    holder->layer().setContents(picture.image());
    root->addSubview(holder);
    EXPECT_EQ(Renderer::render(*root)->pixelAt(3, 3), kGreenPixel);
}

TEST_F(RendererTest, CustomDrawingStaysInsideItsBoundsAndItsOwnState)
{
    auto root = coloured({ 0, 0, 40, 40 }, Color::white());
    auto faded = View::create({ 0, 0, 40, 40 });
    faded->setAlpha(0.5);  // the drawing below happens inside a transparency layer
    Color startFill = kRed;
    double startLineWidth = 0;
    auto careless = HookView::create({ 10, 10, 10, 10 }, [&](GraphicsContext& context, const Rect& rect) {
        startFill = context.fillColor();
        startLineWidth = context.lineWidth();
        context.restore();  // more restores than saves,
        context.restore();
        context.save();     // and a save left open
        context.translate(5, 5);
        context.setFillColor(kBlue);
        context.fillRect(rect.insetBy(-20, -20));  // far beyond its bounds
    });
    faded->addSubview(careless);
    root->addSubview(faded);
    root->addSubview(coloured({ 30, 30, 10, 10 }, kGreen));  // drawn after, in the right place

    auto image = Renderer::render(*root);
    EXPECT_EQ(startFill, Color::black());
    EXPECT_EQ(startLineWidth, 1);
    EXPECT_EQ(image->pixelAt(5, 5), kWhitePixel);     // outside the view: untouched
    EXPECT_EQ(image->pixelAt(25, 15), kWhitePixel);
    Pixel inside = image->pixelAt(15, 15);            // half blue over white
    EXPECT_TRUE(near(inside.red, 128) && inside.blue == 255) << int(inside.red);
    EXPECT_EQ(image->pixelAt(32, 32), kGreenPixel);
    EXPECT_EQ(image->pixelAt(29, 29), kWhitePixel);
}

TEST_F(RendererTest, LabelsAndImageViewsShowTheirContents)
{
    auto root = coloured({ 0, 0, 120, 60 }, Color::white());
    auto label = Label::create({ 10, 5, 100, 20 });
    label->setText("Hello");
    root->addSubview(label);
    auto tinted = Label::create({ 10, 30, 60, 24 });
    tinted->setText("Send");
    tinted->setTextColor(kBlue);
    root->addSubview(tinted);
    // A 20 x 10 red picture aspect-filling a 10 x 10 view: 5 points reach past each side.
    ImageContext picture({ 20, 10 }, Opaque::No, 1);
    picture.context().setFillColor(kRed);
    picture.context().fillRect({ 0, 0, 20, 10 });
    auto imageView = ImageView::create(picture.image());
    imageView->setFrame({ 95, 40, 10, 10 });
    imageView->setContentMode(ContentMode::ScaleAspectFill);
    root->addSubview(imageView);

    auto image = Renderer::render(*root);
    auto countInk = [&](const Rect& area, auto isInk) {
        int count = 0;
        for (int y = int(area.minY()); y < int(area.maxY()); ++y) {
            for (int x = int(area.minX()); x < int(area.maxX()); ++x)
                count += isInk(image->pixelAt(x, y));
        }
        return count;
    };
    auto dark = [](Pixel p) { return p.red < 100 && p.green < 100 && p.blue < 100; };
    auto blue = [](Pixel p) { return p.blue > 200 && p.red < 120; };
    EXPECT_GT(countInk(label->frame(), dark), 20);
    EXPECT_EQ(countInk({ 0, 0, 120, 5 }, dark), 0);
    EXPECT_GT(countInk(tinted->frame(), blue), 20);
    EXPECT_EQ(countInk(tinted->frame(), dark), 0);
    EXPECT_EQ(image->pixelAt(100, 45), kRedPixel);
    EXPECT_EQ(image->pixelAt(92, 45), kRedPixel);  // past the bounds: the view does not clip
    EXPECT_EQ(image->pixelAt(88, 45), kWhitePixel);

    imageView->setClipsToBounds(true);
    EXPECT_EQ(Renderer::render(*root)->pixelAt(92, 45), kWhitePixel);
}

TEST_F(RendererTest, ShadowShowsOutsideUnlessTheViewClips)
{
    auto root = coloured({ 0, 0, 40, 40 }, Color::white());
    auto card = coloured({ 10, 10, 20, 20 }, kBlue);
    card->layer().setShadowColor(Color::black());
    card->layer().setShadowOpacity(1);
    card->layer().setShadowOffset({ 15, 15 });  // the shadow covers (25, 25) to (45, 45)
    card->layer().setShadowRadius(3);
    root->addSubview(card);
    auto image = Renderer::render(*root);
    Pixel inside = image->pixelAt(36, 36);                         // well inside: fully dark
    EXPECT_TRUE(inside.red < 6 && inside.alpha == 255) << int(inside.red);
    Pixel edge = image->pixelAt(24, 36);                           // the soft edge: partly
    EXPECT_TRUE(edge.red > 60 && edge.red < 230) << int(edge.red);
    EXPECT_EQ(image->pixelAt(20, 36), kWhitePixel);
    card->setClipsToBounds(true);
    EXPECT_EQ(Renderer::render(*root)->pixelAt(36, 36), kWhitePixel);
}

TEST_F(RendererTest, KeyWindowIsWrittenAfterItsLayoutPass)
{
    auto directory = std::filesystem::temp_directory_path() / ("morvix-key-window-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    auto path = (directory / "window.png").string();
    EXPECT_FALSE(Renderer::renderKeyWindowPNG(path));  // no key window yet

    auto window = Window::create({ 0, 0, 40, 20 });
    window->setBackgroundColor(Color::white());
    auto row = ShiftingView::create({ 0, 0, 40, 10 });
    row->addSubview(coloured({ 0, 0, 10, 10 }, kRed));
    window->addSubview(row);
    window->makeKeyAndVisible();
    row->setNeedsLayout();
    ASSERT_TRUE(Renderer::renderKeyWindowPNG(path, { .scale = 2 }));
    auto back = Image::readFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixelWidth(), 80);
    EXPECT_EQ(back->pixelAt(2 * 25, 2 * 5), kRedPixel);  // where the layout pass put it
    EXPECT_EQ(back->pixelAt(2 * 5, 2 * 5), kWhitePixel);
    std::filesystem::remove_all(directory);
}

TEST_F(RendererTest, PatternBackgroundsTileAndBackdropShowsBehind)
{
    ImageContext tile({ 2, 2 }, Opaque::No, 1);
    tile.context().setFillColor(kRed);
    tile.context().fillRect({ 0, 0, 1, 1 });
    auto root = View::create({ 0, 0, 6, 6 });
    root->setBackgroundPatternImage(tile.image());
    auto image = Renderer::render(*root, { .backdrop = Color::white() });
    EXPECT_EQ(image->pixelAt(0, 0), kRedPixel);
    EXPECT_EQ(image->pixelAt(4, 4), kRedPixel);
    EXPECT_EQ(image->pixelAt(1, 1), kWhitePixel);
}

TEST_F(RendererTest, PngAndFilmStripAreWritten)
{
    auto root = coloured({ 0, 0, 30, 20 }, Color::white());
    auto card = coloured({ 5, 5, 20, 10 }, kBlue);
    card->layer().setCornerRadius(4);
    root->addSubview(card);
    auto directory = std::filesystem::temp_directory_path() / ("morvix-renderer-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    auto path = (directory / "card.png").string();
    ASSERT_TRUE(Renderer::renderPNG(*root, path, { .scale = 2 }));
    auto back = Image::readFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixelWidth(), 60);
    EXPECT_EQ(back->pixelAt(30, 20), kBluePixel);
    EXPECT_FALSE(Renderer::renderPNG(*root, (directory / "no" / "such.png").string()));
    std::filesystem::remove_all(directory);

    TimePoint now = clock->now();
    auto strip = Renderer::renderFilmStrip(*root, { now, now, now });
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->size(), (Size { 3 * 30 + 2 * 4, 20 }));
    EXPECT_EQ(strip->pixelAt(34 + 15, 10), kBluePixel);
    EXPECT_FALSE(Renderer::renderFilmStrip(*root, {}));
}

TEST_F(RendererTest, AnimationsAreDrawnAtTheChosenMoment)
{
    auto root = coloured({ 0, 0, 40, 20 }, Color::white());
    auto box = coloured({ 0, 0, 10, 10 }, kRed);
    root->addSubview(box);
    TimePoint start = clock->now();
    Animator::shared().animate(1, 0, AnimationOption::CurveLinear, [&] {
        box->setAlpha(0);
        box->setCenter({ 35, 5 });
    });
    EXPECT_EQ(box->alpha(), 0);  // the model is already at the end

    auto middle = Renderer::render(*root, { .time = start + std::chrono::milliseconds(500) });
    Pixel p = middle->pixelAt(20, 5);  // box centred at x = 20, half faded over white
    EXPECT_TRUE(near(p.green, 128, 4) && p.red == 255) << int(p.red) << " " << int(p.green);
    EXPECT_EQ(middle->pixelAt(3, 5), kWhitePixel);
    EXPECT_EQ(Renderer::render(*root, { .time = start })->pixelAt(3, 5), kRedPixel);
    EXPECT_EQ(Renderer::render(*root, { .time = start + std::chrono::seconds(2) })->pixelAt(35, 5), kWhitePixel);

    auto strip = Renderer::renderFilmStrip(*root, { start, start + std::chrono::milliseconds(500) });
    EXPECT_EQ(strip->pixelAt(3, 5), kRedPixel);
    EXPECT_EQ(strip->pixelAt(44 + 3, 5), kWhitePixel);
}

TEST_F(RendererTest, AlertsAndSheetsAreCardsOverAShadeOnTheirWindow)
{
    auto window = Window::create({ 0, 0, 320, 480 });
    window->setBackgroundColor(Color::white());
    window->makeKeyAndVisible();
    auto alert = AlertView::create("Server Issue", "The server could not be reached.");
    alert->addButton("Restart");
    alert->addButton("Retry");
    alert->show();
    auto image = Renderer::render(*window);
    Pixel shaded = image->pixelAt(5, 5);
    EXPECT_TRUE(near(shaded.red, 153, 3) && shaded.alpha == 255) << int(shaded.red);  // white under 40 % black
    EXPECT_GT(image->pixelAt(160, 200).red, 240);  // the card, light
    EXPECT_GT(image->pixelAt(50, 240).red, 240);   // the card is 270 wide
    EXPECT_LT(image->pixelAt(10, 240).red, 160);   // shade beside it
    // Title and message in black ink, the buttons' titles in the tint colour, all on the card.
    int ink = 0, tint = 0, lightOffCard = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 320; ++x) {
            Pixel p = image->pixelAt(x, y);
            bool onCard = x >= 25 && x < 295;  // the card is 270 wide, centred
            ink += onCard && p.red < 60 && p.green < 60 && p.blue < 60;
            tint += onCard && p.blue > 200 && p.red < 100;
            lightOffCard += !onCard && p.red >= 160;
        }
    }
    EXPECT_GT(ink, 100);
    EXPECT_GT(tint, 50);
    EXPECT_EQ(lightOffCard, 0);

    // Another window does not show the key window's alert.
    auto other = Window::create({ 0, 0, 100, 100 });
    other->setBackgroundColor(Color::white());
    EXPECT_EQ(Renderer::render(*other)->pixelAt(5, 5), kWhitePixel);

    alert->press("Retry");
    EXPECT_EQ(Renderer::render(*window)->pixelAt(5, 5), kWhitePixel);

    auto sheet = ActionSheet::create("Share");
    sheet->addButton("Mail");
    sheet->setCancelButtonIndex(sheet->addButton("Cancel"));
    sheet->showInView(window);
    image = Renderer::render(*window);
    EXPECT_GT(image->pixelAt(30, 480 - 8 - 22).red, 240);  // the cancel card at the bottom, beside its title
    EXPECT_LT(image->pixelAt(160, 100).red, 160);           // shade above
}

TEST_F(RendererTest, LookAtAWindowWithBarsCardsAndText)
{
    // Writes a picture a person can open: set MORVIX_RENDER_DIR to keep it.
    auto window = Window::create({ 0, 0, 320, 240 });
    window->setBackgroundColor(Color::fromHex(0xefeff4));
    auto bar = NavigationBar::create({ 0, 0, 320, 44 });
    auto back = NavigationItem::create("Pages");
    auto top = NavigationItem::create("Settings");
    top->setRightBarButtonItems({ BarButtonItem::create("Done", BarButtonStyle::Done) });
    bar->setItems({ back, top });
    bar->layoutIfNeeded();
    window->addSubview(bar);

    auto card = coloured({ 20, 64, 280, 100 }, Color::white());
    card->layer().setCornerRadius(10);
    card->layer().setBorderWidth(1);
    card->layer().setBorderColor(Color::fromHex(0xc8c7cc));
    card->layer().setShadowColor(Color::black());
    card->layer().setShadowOpacity(0.3);
    card->layer().setShadowOffset({ 0, 2 });
    auto badge = coloured({ 12, 12, 40, 40 }, Color::fromHex(0xff9500));
    badge->layer().setCornerRadius(20);
    badge->setTransform(AffineTransform::rotation(M_PI / 8));
    card->addSubview(badge);
    auto cross = CrossView::create({ 230, 50, 40, 40 });
    card->addSubview(cross);
    card->addSubview(HookView::create({ 64, 12, 160, 76 }, [](GraphicsContext& context, const Rect& rect) {
        AttributedString text("Custom drawing with wrapped text, clipped to its view's bounds.",
            { .font = Font::system(15), .foregroundColor = Color::fromHex(0x333333) });
        context.drawText(text, { .wrapWidth = rect.width(), .lineLimit = 0, .alignment = TextAlignment::Left }, rect.origin);
    }));
    window->addSubview(card);
    auto faded = coloured({ 20, 180, 280, 40 }, kRed);
    faded->setAlpha(0.3);
    window->addSubview(faded);

    auto alert = AlertView::create("Server Issue", "The server could not be reached.", {}, "Restart", { "Retry" });
    alert->show();
    auto withAlert = Renderer::render(*window, { .scale = 2 });
    alert->dismissWithClickedButtonIndex(0, false);

    auto image = Renderer::render(*window, { .scale = 2 });
    ASSERT_TRUE(image);
    // The title is drawn: some dark ink in the bar's middle, none at its far edges.
    bool titleInk = false;
    for (int x = 2 * 130; x < 2 * 190 && !titleInk; ++x) {
        for (int y = 2 * 12; y < 2 * 32; ++y)
            titleInk |= image->pixelAt(x, y).red < 80;
    }
    EXPECT_TRUE(titleInk);
    Pixel barPixel = image->pixelAt(2 * 100, 2 * 40);
    EXPECT_GT(barPixel.red, 240);

    // Pictures a person can open, kept after the run (overwritten by the next one):
    // $MORVIX_RENDER_DIR, or morvix-look/ in the test's temporary folder.
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    ASSERT_TRUE(image->writePNG((directory / "window.png").string()));
    ASSERT_TRUE(withAlert->writePNG((directory / "window-alert.png").string()));

    // The card sliding in and fading, as a strip of five moments.
    TimePoint start = clock->now();
    Animator::shared().animate(0.4, 0, AnimationOption::CurveEaseInOut, [&] {
        card->setCenter({ card->center().x, card->center().y + 30 });
        faded->setAlpha(1);
    });
    std::vector<TimePoint> moments;
    for (int i = 0; i <= 4; ++i)
        moments.push_back(start + std::chrono::milliseconds(100 * i));
    auto strip = Renderer::renderFilmStrip(*window, moments, { .backdrop = Color::white() });
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->size(), (Size { 5 * 320 + 4 * 4, 240 }));
    ASSERT_TRUE(strip->writePNG((directory / "window-animation.png").string()));
    std::printf("pictures written to %s\n", directory.c_str());
}
