#include "platform/graphics/Image.h"
#include "platform/ui/Control.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/controls/Slider.h"
#include "platform/ui/controls/Switch.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/WKView.h"
#include "platform/ui/tables/CollectionView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

using Log = std::vector<std::string>;

class ControlTest : public ::testing::Test {
protected:
    // Records every event of `control` under a short name.
    void recordEvents(Control& control)
    {
        const std::pair<unsigned, const char*> names[] = {
            { ControlEventTouchDown, "down" },
            { ControlEventTouchDownRepeat, "repeat" },
            { ControlEventTouchDragInside, "drag inside" },
            { ControlEventTouchDragOutside, "drag outside" },
            { ControlEventTouchDragEnter, "enter" },
            { ControlEventTouchDragExit, "exit" },
            { ControlEventTouchUpInside, "up inside" },
            { ControlEventTouchUpOutside, "up outside" },
            { ControlEventTouchCancel, "cancel" },
            { ControlEventValueChanged, "changed" },
        };
        for (auto [event, name] : names)
            control.addAction([this, name = std::string(name)](Control&, const Event*) { log.push_back(name); }, event);
    }

    UITestHarness harness { { 320, 568 }, 1 };
    TouchDriver& touches = harness.touches();
    Log log;
};

} // namespace

TEST_F(ControlTest, TracksATouchWithTheMarginAndSendsItsEvents)
{
    auto control = Control::create({ 100, 100, 50, 50 });
    harness.window()->addSubview(control);
    recordEvents(*control);
    auto finger = touches.down({ 110, 110 });
    EXPECT_TRUE(control->isHighlighted());
    EXPECT_TRUE(control->isTracking());
    touches.move(finger, { 200, 110 }); // 40 points past the right edge: still inside the margin
    touches.move(finger, { 300, 110 }); // 140 points past: outside
    EXPECT_FALSE(control->isHighlighted());
    touches.move(finger, { 120, 120 });
    touches.up(finger);
    EXPECT_EQ(log, (Log { "down", "drag inside", "drag outside", "exit", "drag inside", "enter", "up inside" }));
    EXPECT_FALSE(control->isTracking());
    EXPECT_FALSE(control->isHighlighted());

    log.clear();
    finger = touches.down({ 110, 110 });
    touches.move(finger, { 110, 300 });
    touches.up(finger);
    EXPECT_EQ(log, (Log { "down", "drag outside", "exit", "up outside" }));
}

TEST_F(ControlTest, ARecogniserThatTakesTheTouchCancelsTrackingAndADisabledControlPassesTouchesOn)
{
    auto control = Control::create({ 100, 100, 50, 50 });
    harness.window()->addSubview(control);
    recordEvents(*control);
    auto tap = TapGestureRecognizer::create();
    control->addGestureRecognizer(tap);
    touches.tap({ 110, 110 });
    EXPECT_EQ(log, (Log { "down", "cancel" }));
    EXPECT_FALSE(control->isHighlighted());
    control->removeGestureRecognizer(tap);

    log.clear();
    control->setEnabled(false);
    touches.tap({ 110, 110 });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(control->state(), ControlState::Disabled);
}

TEST_F(ControlTest, ActionsOfAGoneTargetAreSkippedAndTargetsCanBeRemovedByEvent)
{
    auto control = Control::create({ 0, 0, 50, 50 });
    auto target = std::make_shared<int>(0);
    int calls = 0;
    control->addTarget(target, [&](Control&, const Event*) { ++calls; }, ControlEventTouchUpInside | ControlEventValueChanged);
    control->sendActionsForControlEvents(ControlEventTouchUpInside | ControlEventValueChanged);
    EXPECT_EQ(calls, 1) << "an action runs once for several of its events";
    control->removeTarget(target.get(), ControlEventValueChanged);
    control->sendActionsForControlEvents(ControlEventValueChanged);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(control->allControlEvents(), ControlEventTouchUpInside);
    target.reset();
    control->sendActionsForControlEvents(ControlEventTouchUpInside);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(control->allControlEvents(), 0u) << "the gone target's action was dropped";
}

TEST_F(ControlTest, ButtonLooksUpPerStateValuesAndSizesToTitleImageAndContentInsets)
{
    auto button = Button::create(ButtonType::Custom);
    button->setTitle("Save");
    button->setTitle("Saving", ControlState::Highlighted);
    EXPECT_EQ(button->currentTitle(), "Save");
    EXPECT_EQ(button->titleForState(ControlState::Selected), "Save") << "the normal value stands in";
    button->setHighlighted(true);
    EXPECT_EQ(button->titleLabel()->text(), "Saving");
    button->setHighlighted(false);
    EXPECT_EQ(button->titleLabel()->text(), "Save");
    EXPECT_EQ(button->titleLabel()->lineBreakMode(), LineBreakMode::TruncateMiddle) << "a long title keeps both ends";

    Size title = button->titleLabel()->intrinsicContentSize();
    EXPECT_GT(title.width, 0);
    auto image = Image::createTransparent(20, 10);
    button->setImage(image);
    button->setContentEdgeInsets({ 1, 2, 3, 4 });
    button->setTitleEdgeInsets({ 5, 5, 5, 5 });
    Size size = button->intrinsicContentSize();
    EXPECT_DOUBLE_EQ(size.width, 20 + title.width + 6) << "title insets do not count";
    EXPECT_DOUBLE_EQ(size.height, std::max(10.0, title.height) + 4);

    auto empty = Button::create();
    EXPECT_EQ(empty->intrinsicContentSize(), Size(0, 0));
    EXPECT_FALSE(empty->currentTitle());
}

TEST_F(ControlTest, ButtonPlacesAnImageThatDoesNotFitItsInsetAreaShrunkInside)
{
    // A 30 by 30 icon in a 30 by 30 button, 6 points in from the top and right.
    auto button = Button::create(ButtonType::Custom, { 0, 0, 30, 30 });
    harness.window()->addSubview(button);
    button->setImage(Image::createTransparent(30, 30));
    button->setImageEdgeInsets({ 6, 0, 0, 6 });
    harness.runUntilIdle();
    EXPECT_EQ(button->imageView()->frame(), Rect(0, 6, 24, 24));
    EXPECT_TRUE(button->titleLabel()->isHidden());
}

TEST_F(ControlTest, ButtonPlacesItsContentByTheContentAlignments)
{
    // A 20 by 10 image and a title in a 200 by 60 button with content insets of 5.
    auto button = Button::create(ButtonType::Custom, { 0, 0, 200, 60 });
    harness.window()->addSubview(button);
    button->setTitle("Go");
    button->setImage(Image::createTransparent(20, 10));
    button->setContentEdgeInsets({ 5, 5, 5, 5 });
    harness.runUntilIdle();
    Size title = button->titleLabel()->intrinsicContentSize();
    double centredLeft = 5 + (190 - 20 - title.width) / 2;
    EXPECT_EQ(button->imageView()->frame(), Rect(centredLeft, 25, 20, 10)) << "centred at first";

    button->setContentHorizontalAlignment(ContentHorizontalAlignment::Left);
    button->setContentVerticalAlignment(ContentVerticalAlignment::Top);
    harness.runUntilIdle();
    EXPECT_EQ(button->imageView()->frame(), Rect(5, 5, 20, 10));
    EXPECT_EQ(button->titleLabel()->frame(), Rect(25, 5, title.width, title.height));

    button->setContentHorizontalAlignment(ContentHorizontalAlignment::Right);
    button->setContentVerticalAlignment(ContentVerticalAlignment::Bottom);
    harness.runUntilIdle();
    EXPECT_EQ(button->titleLabel()->frame(), Rect(195 - title.width, 55 - title.height, title.width, title.height));
    EXPECT_EQ(button->imageView()->frame(), Rect(175 - title.width, 45, 20, 10));

    button->setContentHorizontalAlignment(ContentHorizontalAlignment::Fill);
    button->setContentVerticalAlignment(ContentVerticalAlignment::Fill);
    harness.runUntilIdle();
    EXPECT_EQ(button->imageView()->frame(), Rect(5, 5, 20, 50));
    EXPECT_EQ(button->titleLabel()->frame(), Rect(25, 5, 170, 50)) << "the title takes the room beside the image";

    // A title too long for the room is narrowed to it, and wraps when its label allows lines.
    button->setContentHorizontalAlignment(ContentHorizontalAlignment::Left);
    button->setContentVerticalAlignment(ContentVerticalAlignment::Center);
    button->setTitle("A title much longer than the room that this button has");
    button->titleLabel()->setNumberOfLines(0);
    harness.runUntilIdle();
    EXPECT_EQ(button->titleLabel()->frame().width(), 170);
    EXPECT_GT(button->titleLabel()->frame().height(), title.height * 1.5);
}

TEST_F(ControlTest, ButtonTapSendsTouchUpInsideAndTheTitleDoesNotTakeTheTouch)
{
    auto button = Button::create(ButtonType::System, { 10, 10, 100, 40 });
    button->setTitle("OK");
    harness.window()->addSubview(button);
    harness.runUntilIdle();
    int taps = 0;
    button->addAction([&](Control&, const Event*) { ++taps; }, ControlEventTouchUpInside);
    touches.tapView(*button, { 50, 20 });
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(harness.window()->hitTest({ 60, 30 }), button);
}

TEST_F(ControlTest, LabelMeasuresWrapsAndReportsItsBaseline)
{
    auto label = Label::create();
    EXPECT_EQ(label->intrinsicContentSize(), Size(0, 0)) << "an empty text";
    label->setText("Hello world, this is a longer text");
    Size single = label->intrinsicContentSize();
    EXPECT_EQ(single.width, std::ceil(single.width)) << "whole points";
    EXPECT_GT(single.width, 100);

    label->setNumberOfLines(0);
    label->setPreferredMaxLayoutWidth(100);
    Size wrapped = label->intrinsicContentSize();
    EXPECT_LE(wrapped.width, 100);
    EXPECT_GT(wrapped.height, single.height * 1.5) << "several lines";
    Rect twoLines = label->textRect({ 5, 5, 100, 1000 }, 2);
    EXPECT_EQ(twoLines.origin, Point(5, 5));
    EXPECT_LT(twoLines.height(), wrapped.height);
    EXPECT_LE(label->textRect({ 0, 0, 100, 10 }, 0).height(), 10) << "no larger than the rectangle";

    label->setNumberOfLines(1);
    label->setFrame({ 0, 0, 400, single.height });
    const Font& font = label->font();
    EXPECT_NEAR(label->baselineOffsetFromBottom(), single.height - font.ascent(), 1.0) << "one ascent below the top";
    label->setFrame({ 0, 0, 400, single.height + 20 });
    EXPECT_NEAR(label->baselineOffsetFromBottom(), 10 + single.height - font.ascent(), 1.0) << "centred vertically";
}

TEST_F(ControlTest, LabelFillsInItsFontAndColourWhereTheAttributedTextHasNone)
{
    auto label = Label::create();
    label->setTextColor(Color::fromRGBA(1, 0, 0));
    AttributedString text("ab");
    text.setForegroundColor(Color::fromRGBA(0, 0, 1), 1, 1);
    label->setAttributedText(text);
    AttributedString shown = label->attributedText();
    EXPECT_EQ(shown.attributesAt(0).foregroundColor, Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(shown.attributesAt(1).foregroundColor, Color::fromRGBA(0, 0, 1));
    EXPECT_EQ(shown.attributesAt(0).font, label->font());
    EXPECT_EQ(label->text(), "ab");
}

TEST_F(ControlTest, LabelAndButtonTitleAreDrawn)
{
    auto root = View::create({ 0, 0, 120, 40 });
    root->setBackgroundColor(Color::white());
    auto label = Label::create({ 0, 0, 120, 40 });
    label->setText("MMMM");
    label->setFont(Font::system(30));
    root->addSubview(label);
    auto image = Renderer::render(*root);
    ASSERT_TRUE(image);
    int dark = 0;
    for (int y = 0; y < image->pixelHeight(); ++y) {
        for (int x = 0; x < image->pixelWidth(); ++x)
            dark += image->pixelAt(x, y).red < 128;
    }
    EXPECT_GT(dark, 50) << "the text left ink";
}

TEST_F(ControlTest, LabelCutsASingleLineByItsLineBreakMode)
{
    const std::string sentence = "Hello wonderful world";
    double width = TextLayout(AttributedString("Hello wonderful w", { .font = Font::system(Label::kDefaultFontSize) }), {}).size().width + 3;
    // Draws `string` in a label of `labelWidth` seen through `width` points.
    auto picture = [&](const std::string& string, LineBreakMode mode, double labelWidth = 0) {
        auto root = View::create({ 0, 0, width, 30 });
        root->setBackgroundColor(Color::white());
        auto label = Label::create({ 0, 0, labelWidth > 0 ? labelWidth : width, 30 });
        label->setText(string);
        label->setLineBreakMode(mode);
        root->addSubview(label);
        auto image = Renderer::render(*root);
        return image ? image->pngData() : std::vector<std::uint8_t> {};
    };
    auto wordWrapped = picture(sentence, LineBreakMode::WordWrap);
    ASSERT_FALSE(wordWrapped.empty());
    EXPECT_TRUE(wordWrapped == picture("Hello wonderful", LineBreakMode::WordWrap)) << "word wrap drops the last word";
    auto tail = picture(sentence, LineBreakMode::TruncateTail);
    auto head = picture(sentence, LineBreakMode::TruncateHead);
    auto middle = picture(sentence, LineBreakMode::TruncateMiddle);
    EXPECT_TRUE(tail == picture(sentence, Label::create()->lineBreakMode())) << "the default";
    EXPECT_TRUE(tail != wordWrapped) << "an ellipsis shows that words are missing";
    EXPECT_TRUE(head != tail);
    EXPECT_TRUE(middle != tail);
    EXPECT_TRUE(middle != head);
    EXPECT_TRUE(picture(sentence, LineBreakMode::Clip) == picture(sentence, LineBreakMode::WordWrap, width + 200)) << "cut at the edge";
    EXPECT_TRUE(picture(sentence, LineBreakMode::CharWrap) != wordWrapped) << "the last word's first letters show";
    EXPECT_TRUE(picture("Hello", LineBreakMode::Clip) == picture("Hello", LineBreakMode::WordWrap)) << "a line that fits is not cut";
}

TEST_F(ControlTest, ImageViewPlacesItsImageByContentMode)
{
    Rect bounds { 0, 0, 100, 50 };
    Size image { 40, 40 };
    EXPECT_EQ(ImageView::placement(image, bounds, ContentMode::ScaleToFill), bounds);
    EXPECT_EQ(ImageView::placement(image, bounds, ContentMode::ScaleAspectFit), Rect(25, 0, 50, 50));
    EXPECT_EQ(ImageView::placement(image, bounds, ContentMode::ScaleAspectFill), Rect(0, -25, 100, 100));
    EXPECT_EQ(ImageView::placement(image, bounds, ContentMode::Center), Rect(30, 5, 40, 40));
    EXPECT_EQ(ImageView::placement(image, bounds, ContentMode::BottomRight), Rect(60, 10, 40, 40));

    auto view = ImageView::create();
    EXPECT_EQ(view->intrinsicContentSize(), Size(View::kNoIntrinsicMetric, View::kNoIntrinsicMetric));
    view->setImage(Image::createTransparent(60, 30, 2));
    EXPECT_EQ(view->intrinsicContentSize(), Size(30, 15)) << "points, not pixels";
    EXPECT_FALSE(view->isUserInteractionEnabled());
}

TEST_F(ControlTest, SwitchFlipsOnATapAndReportsTheChange)
{
    auto toggle = Switch::create({ 10, 10, 200, 200 });
    EXPECT_EQ(toggle->frame(), Rect(10, 10, 51, 31)) << "the fixed size";
    harness.window()->addSubview(toggle);
    recordEvents(*toggle);
    touches.tapView(*toggle, { 20, 15 });
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(log, (Log { "down", "changed", "up inside" }));
    log.clear();
    toggle->setOn(false);
    EXPECT_TRUE(log.empty()) << "code changes send nothing";
    auto finger = touches.down({ 20, 20 });
    touches.move(finger, { 20, 300 });
    touches.up(finger);
    EXPECT_FALSE(toggle->isOn()) << "lifted outside";
}

TEST_F(ControlTest, SliderFollowsTheFingerWithinItsRange)
{
    auto slider = Slider::create({ 0, 100, 228, 31 });
    slider->setMinimumValue(10);
    slider->setMaximumValue(20);
    EXPECT_EQ(slider->value(), 10);
    harness.window()->addSubview(slider);
    int changes = 0;
    slider->addAction([&](Control&, const Event*) { ++changes; }, ControlEventValueChanged);
    // The track runs from x 14 to x 214 (half a thumb in from either end).
    auto finger = touches.down({ 114, 110 });
    EXPECT_DOUBLE_EQ(slider->value(), 15);
    touches.move(finger, { 400, 110 });
    EXPECT_DOUBLE_EQ(slider->value(), 20) << "clamped";
    touches.up(finger);
    EXPECT_EQ(changes, 2);
    slider->setValue(-5);
    EXPECT_EQ(slider->value(), 10);
    EXPECT_EQ(slider->sizeThatFits({ 0, 0 }), Size(228, 31));
    EXPECT_EQ(slider->intrinsicContentSize().height, 31);
}

TEST_F(ControlTest, ScrollViewDragsItsContentWithinTheContentSize)
{
    class Recorder final : public ScrollViewDelegate {
    public:
        void scrollViewDidScroll(ScrollView&) override { ++scrolls; }
        int scrolls = 0;
    };
    auto scroll = ScrollView::create({ 0, 0, 100, 100 });
    scroll->setContentSize({ 100, 300 });
    auto recorder = std::make_shared<Recorder>();
    scroll->setDelegate(recorder);
    auto content = View::create({ 0, 0, 100, 300 });
    scroll->addSubview(content);
    harness.window()->addSubview(scroll);
    touches.drag({ 50, 90 }, { 50, 40 }, 0.2, 5);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 50)) << "the content follows the finger";
    EXPECT_GT(recorder->scrolls, 0);
    EXPECT_EQ(scroll->convertPointTo({ 0, 50 }, nullptr), Point(0, 0));
    touches.drag({ 50, 90 }, { 50, -400 }, 0.2, 5);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 200)) << "no further than the end";
    scroll->scrollRectToVisible({ 0, 20, 10, 10 });
    EXPECT_EQ(scroll->contentOffset(), Point(0, 20));
    scroll->setContentInset({ 10, 0, 0, 0 });
    EXPECT_EQ(scroll->minimumContentOffset(), Point(0, -10));
    scroll->setScrollEnabled(false);
    touches.drag({ 50, 10 }, { 50, 90 }, 0.2, 5);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 20));
}

TEST_F(ControlTest, WebViewPlaceholdersRecordTheirLoadsAndShowWhatTheyHold)
{
    auto web = WKView::create({ 0, 0, 200, 100 });
    EXPECT_EQ(web->placeholderText(), "WKView: (nothing loaded)");
    web->loadURL("https://example.org/a");
    web->loadHTMLString("<p>hi</p>", "https://example.org/");
    EXPECT_EQ(web->url(), "https://example.org/");
    EXPECT_EQ(web->html(), "<p>hi</p>");
    ASSERT_EQ(web->loads().size(), 2u);
    EXPECT_FALSE(web->loads()[0].isHTML);
    EXPECT_EQ(web->loads()[0].url, "https://example.org/a");
    EXPECT_EQ(web->placeholderText(), "WKView: HTML, 9 bytes");
    auto picture = Renderer::render(*web);
    ASSERT_TRUE(picture);
    EXPECT_LT(picture->pixelAt(100, 50).red, 255) << "the box is filled";
    EXPECT_EQ(picture->pixelAt(100, 50).alpha, 255);
}

TEST_F(ControlTest, CollectionViewPlacesTheCellsOfItsDataSourceInRowsPerSection)
{
    class Source final : public CollectionViewDataSource {
    public:
        int numberOfSections(CollectionView&) override { return 2; }
        int numberOfItems(CollectionView&, int section) override { return section == 0 ? 5 : 1; }
        std::shared_ptr<View> cellForItem(CollectionView&, IndexPath path) override
        {
            auto cell = View::create();
            cell->setTag(path.section * 100 + path.item);
            return cell;
        }
    };
    auto collection = CollectionView::create({ 0, 0, 200, 150 });
    collection->setLayout({ { 50, 40 }, 10, 10, { 5, 5, 5, 5 } });
    auto source = std::make_shared<Source>();
    collection->setDataSource(source);
    collection->reloadData();
    // 190 points of row: three cells of 50 with 10 between fit.
    EXPECT_EQ(collection->numberOfItems(0), 5);
    EXPECT_EQ(collection->cellForItem({ 0, 2 })->frame(), Rect(125, 5, 50, 40));
    EXPECT_EQ(collection->cellForItem({ 0, 3 })->frame(), Rect(5, 55, 50, 40));
    EXPECT_EQ(collection->cellForItem({ 1, 0 })->frame(), Rect(5, 105, 50, 40)) << "a section starts a new row, below both insets";
    EXPECT_EQ(collection->contentSize(), Size(200, 150));
    EXPECT_EQ(collection->indexPathForItemAt({ 130, 60 }), std::nullopt);
    EXPECT_EQ(collection->indexPathForItemAt({ 10, 60 }), (IndexPath { 0, 3 }));
    EXPECT_EQ(collection->cellForItem({ 2, 0 }), nullptr);
    source.reset();
    collection->reloadData();
    EXPECT_EQ(collection->numberOfSections(), 0);
    EXPECT_TRUE(collection->subviews().empty());
}

TEST_F(ControlTest, TextFieldTakesTheFocusOnATapAndEditsOnlyWhileFocused)
{
    auto field = TextField::create({ 10, 10, 200, 30 });
    auto other = TextField::create({ 10, 60, 200, 30 });
    harness.window()->addSubview(field);
    harness.window()->addSubview(other);
    Log events;
    const std::pair<unsigned, const char*> names[] = { { ControlEventEditingDidBegin, "begin" },
        { ControlEventEditingChanged, "changed" }, { ControlEventEditingDidEnd, "end" } };
    for (auto [event, name] : names)
        field->addAction([&events, name = std::string(name)](Control&, const Event*) { events.push_back(name); }, event);
    EXPECT_TRUE(field->isKeyInput());
    field->insertText("lost");
    EXPECT_EQ(field->text(), "") << "typing needs the focus";

    touches.tapView(*field, { 5, 5 });
    EXPECT_TRUE(field->isFirstResponder());
    field->insertText("h\u00e9");
    field->deleteBackward();
    EXPECT_EQ(field->text(), "h") << "the two-byte character went as one";
    touches.tapView(*other, { 5, 5 });
    EXPECT_TRUE(other->isFirstResponder());
    EXPECT_EQ(events, (Log { "begin", "changed", "changed", "end" }));

    other->setEnabled(false);
    EXPECT_FALSE(other->canBecomeFirstResponder());
    EXPECT_TRUE(harness.window()->endEditing(true));
    EXPECT_EQ(harness.window()->firstResponder(), nullptr);
    EXPECT_EQ(field->intrinsicContentSize().width, View::kNoIntrinsicMetric);
}

namespace {

// What the widget layer's delegating views do: derive from a view class and hook its layout.
template<typename Base>
class Hooked final : public Base {
public:
    template<typename... Arguments>
    static std::shared_ptr<Hooked> make(Arguments... arguments)
    {
        return std::shared_ptr<Hooked>(new Hooked(arguments...));
    }
    void layoutSubviews() override
    {
        ++layouts;
        Base::layoutSubviews();
    }
    int layouts = 0;

private:
    template<typename... Arguments>
    explicit Hooked(Arguments... arguments) : Base(arguments...) { }
};

template<typename Base>
int layoutsAfterResize(const std::shared_ptr<Hooked<Base>>& view)
{
    view->setFrame({ 0, 0, 100, 50 });
    view->layoutIfNeeded();
    return view->layouts;
}

} // namespace

TEST_F(ControlTest, EveryViewClassCanBeDerivedFromAndHooked)
{
    EXPECT_EQ(layoutsAfterResize(Hooked<Label>::make(Rect())), 1);
    EXPECT_EQ(layoutsAfterResize(Hooked<ImageView>::make(Rect())), 1);
    EXPECT_EQ(layoutsAfterResize(Hooked<Switch>::make(Rect())), 1);
    EXPECT_EQ(layoutsAfterResize(Hooked<Slider>::make(Rect())), 1);
    EXPECT_EQ(layoutsAfterResize(Hooked<NavigationBar>::make(Rect())), 1);
    EXPECT_EQ(layoutsAfterResize(Hooked<WKView>::make(Rect())), 1);
    EXPECT_EQ(layoutsAfterResize(Hooked<TextField>::make(Rect())), 1);
    auto button = Hooked<Button>::make(ButtonType::Custom, Rect());
    button->setTitle("x");
    EXPECT_EQ(layoutsAfterResize(button), 1);
    EXPECT_EQ(button->titleLabel()->superview(), button) << "the parts are in without a set-up call";
    auto scroll = Hooked<ScrollView>::make(Rect());
    EXPECT_EQ(layoutsAfterResize(scroll), 1);
    scroll->setContentSize({ 100, 500 });
    harness.window()->addSubview(scroll);
    touches.drag({ 50, 45 }, { 50, 15 }, 0.2, 5);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 30)) << "the pan is attached without a set-up call";
    auto collection = Hooked<CollectionView>::make(Rect());
    EXPECT_EQ(layoutsAfterResize(collection), 1);
}
