#include "Libraries/SheetPicker/AbstractSheetPicker.h"
#include "Libraries/SheetPicker/PSActionSheet.h"
#include "Libraries/SheetPicker/PSActionSheetVC.h"
#include "Libraries/SheetPicker/Pickers/SheetDatePicker.h"
#include "Libraries/SheetPicker/Pickers/SheetStringPicker.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/pickers/PickerView.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace morvix;
using namespace morvix::platform;

namespace {

// A target that records what the pickers tell it.
class Recorder final {
public:
    std::vector<std::string> calls;
    std::shared_ptr<View> lastOrigin;
};

SheetStringPicker::SuccessAction rowAction(const std::shared_ptr<Recorder>& recorder)
{
    std::weak_ptr<Recorder> weak = recorder;
    return { "pickerViewDidSelectRow:", [weak](long index, const SheetPickerOrigin& origin) {
                if (auto target = weak.lock()) {
                    target->calls.push_back("row " + std::to_string(index));
                    target->lastOrigin = origin.view();
                }
            } };
}

AbstractSheetPicker::CancelAction cancelAction(const std::shared_ptr<Recorder>& recorder)
{
    std::weak_ptr<Recorder> weak = recorder;
    return { "pickerCancelled:", [weak](const SheetPickerOrigin& origin) {
                if (auto target = weak.lock()) {
                    target->calls.push_back("cancel");
                    target->lastOrigin = origin.view();
                }
            } };
}

// What the toolbar shows, item by item: "Cancel", "Done", "space", "title:<text>", or a title.
std::vector<std::string> toolbarItems(const AbstractSheetPicker& picker)
{
    std::vector<std::string> names;
    for (const auto& item : picker.toolbar()->items()) {
        if (item->isFlexibleSpace())
            names.push_back("space");
        else if (item->systemItem() == BarButtonSystemItem::Done)
            names.push_back("Done");
        else if (item->systemItem() == BarButtonSystemItem::Cancel)
            names.push_back("Cancel");
        else if (auto label = std::dynamic_pointer_cast<Label>(item->customView()))
            names.push_back("title:" + label->text());
        else
            names.push_back(item->title());
    }
    return names;
}

void tapItem(UITestHarness& harness, const std::shared_ptr<BarButtonItem>& item)
{
    harness.runUntilIdle(); // lays the toolbar out
    auto view = item->view();
    harness.touches().tapView(*view, { view->bounds().width() / 2, view->bounds().height() / 2 });
}

std::filesystem::path lookFolder()
{
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    return directory;
}

class SheetPickerTest : public ::testing::Test {
protected:
    SheetPickerTest()
    {
        DeviceInfo device = DeviceInfo::current();
        device.localeIdentifier = "en_US";
        device.timeZone = "UTC";
        DeviceInfo::setCurrent(device);
        harness.window()->setRootViewController(ViewController::create());
        origin = Button::create(ButtonType::Custom, { 20, 100, 120, 40 });
        harness.window()->rootViewController()->view()->addSubview(origin);
        m_previousSink = setSystemLogSink([this](const std::string& line) { logged.push_back(line); });
    }
    ~SheetPickerTest() override
    {
        PSActionSheet::destroyWindow();
        setSystemLogSink(m_previousSink);
    }

    UITestHarness harness;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<Button> origin;
    std::vector<std::string> logged;

private:
    SystemLogSink m_previousSink;
};

} // namespace

TEST_F(SheetPickerTest, PhoneSheetSlidesUpOverDimmedScreenAndDoneReportsTheRowThenSlidesOut)
{
    std::weak_ptr<SheetStringPicker> weak;
    {
        auto picker = SheetStringPicker::show("Colour", Value { "Red", "Green", "Blue" }, 0, recorder, rowAction(recorder), {}, origin);
        weak = picker;
    }
    ASSERT_FALSE(weak.expired()) << "a shown picker keeps itself alive";
    auto picker = weak.lock();
    auto window = PSActionSheet::window();
    EXPECT_EQ(window->level(), Window::kLevelAlert);
    EXPECT_TRUE(window->isKeyWindow());
    auto sheet = picker->actionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isPresented());
    EXPECT_EQ(PSActionSheet::actionSheetContainer()->actionSheet(), sheet);
    EXPECT_EQ(toolbarItems(*picker), (std::vector<std::string> { "Cancel", "space", "title:Colour", "space", "Done" }));
    EXPECT_EQ(picker->presentFromRect(), Rect(0, 0, 320, 260));

    // The content starts below the screen and is at the bottom 0.3 s later, over black at 0.5.
    auto content = sheet->view();
    EXPECT_EQ(content->convertRectTo(content->bounds(), nullptr), Rect(0, 308, 320, 260)) << "model value at once";
    TimePoint start = harness.clock().now();
    EXPECT_EQ(content->presentationFrame(start).y(), 568);
    harness.advance(0.3);
    EXPECT_EQ(content->convertRectTo(content->bounds(), nullptr), Rect(0, 308, 320, 260));
    EXPECT_EQ(sheet->backgroundColor(), Color::fromRGBA(0, 0, 0, 0.5f));

    auto wheel = std::dynamic_pointer_cast<PickerView>(picker->pickerView());
    ASSERT_TRUE(wheel);
    EXPECT_EQ(wheel->frame(), Rect(0, 40, 320, 216));
    wheel->turnTo(1, 0);
    picker.reset();
    tapItem(harness, weak.lock()->doneBarButtonItem());
    EXPECT_EQ(recorder->calls, (std::vector<std::string> { "row 1" }));
    EXPECT_EQ(recorder->lastOrigin, origin);
    EXPECT_FALSE(sheet->isPresented()) << "not presented from the start of the slide-out";

    harness.advance(0.299);
    EXPECT_TRUE(PSActionSheet::hasWindow());
    harness.advance(0.001);
    EXPECT_FALSE(PSActionSheet::hasWindow());
    EXPECT_EQ(Application::shared().keyWindow(), harness.window());
    EXPECT_EQ(Application::shared().windows().size(), 1u) << "the released window leaves the application";
    EXPECT_FALSE(sheet->superview());
    EXPECT_TRUE(weak.expired());
}

TEST_F(SheetPickerTest, ToolbarItemsFollowTitleCustomButtonsAndHiddenCancel)
{
    auto plain = SheetStringPicker::create(std::nullopt, Value { "a" }, 0, recorder, rowAction(recorder), {}, {});
    plain->showSheetPicker();
    EXPECT_EQ(toolbarItems(*plain), (std::vector<std::string> { "Cancel", "space", "Done" }));
    EXPECT_EQ(plain->toolbar()->frame(), Rect(0, 0, 320, 44));
    plain->dismissPicker();

    auto custom = SheetStringPicker::create("T", Value { "a", "b" }, 0, recorder, rowAction(recorder), {}, {});
    custom->setHideCancel(true);
    custom->addCustomButton("Second", 1);
    custom->addCustomButton(std::nullopt, nullptr);
    EXPECT_EQ(custom->customButtons()[1].title, "");
    EXPECT_EQ(custom->customButtons()[1].value, Value(0));
    custom->showSheetPicker();
    EXPECT_EQ(toolbarItems(*custom), (std::vector<std::string> { "Second", "", "space", "title:T", "space", "Done" }));
    // The side toolbars lie behind everything, 8 points wide, down the whole content.
    auto content = custom->toolbar()->superview();
    ASSERT_GE(content->subviews().size(), 4u);
    EXPECT_EQ(content->subviews()[0]->frame().width(), 8);
    EXPECT_EQ(content->subviews()[1]->frame().width(), 8);
    EXPECT_EQ(content->subviews()[0]->frame().height() + content->subviews()[1]->frame().height(), 520);

    // A custom button selects its value's row and tells the picker; one past the rows selects nothing.
    auto wheel = std::dynamic_pointer_cast<PickerView>(custom->pickerView());
    tapItem(harness, custom->toolbar()->items()[0]);
    EXPECT_EQ(wheel->selectedRow(0), 1);
    EXPECT_EQ(custom->selectedIndex(), 1);
    custom->addCustomButton("Far", 7);
    custom->actionCustomButton(2);
    EXPECT_EQ(wheel->selectedRow(0), 1);
    custom->dismissPicker();
}

TEST_F(SheetPickerTest, TitleLabelFitsANarrowTitleAndKeeps180By30ForAWideOne)
{
    auto narrow = SheetStringPicker::create("Hi", Value::array(), 0, recorder, rowAction(recorder), {}, {});
    narrow->showSheetPicker();
    auto label = std::dynamic_pointer_cast<Label>(narrow->toolbar()->items()[2]->customView());
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->font().isBold());
    EXPECT_EQ(label->font().pointSize(), 16);
    EXPECT_EQ(label->textAlignment(), TextAlignment::Center);
    EXPECT_LT(label->frame().width(), 180);
    EXPECT_EQ(label->frame().size, label->sizeThatFits({ 0, 0 }));
    narrow->dismissPicker();

    auto wide = SheetStringPicker::create(std::string(60, 'W'), Value::array(), 0, recorder, rowAction(recorder), {}, {});
    wide->showSheetPicker();
    label = std::dynamic_pointer_cast<Label>(wide->toolbar()->items()[2]->customView());
    EXPECT_EQ(label->frame(), Rect(0, 0, 180, 30).offsetBy(label->frame().x(), label->frame().y()));
    wide->dismissPicker();
}

TEST_F(SheetPickerTest, StringPickerRowsWidthsAndTheInvalidTargetLogLine)
{
    auto picker = SheetStringPicker::show("Rows", Value { "a", 5, 2.5, Value::object(), true }, 0, recorder,
        SheetStringPicker::SuccessAction { "pickerViewDidSelectRow:", {} }, {}, {});
    auto wheel = std::dynamic_pointer_cast<PickerView>(picker->pickerView());
    ASSERT_TRUE(wheel);
    EXPECT_EQ(wheel->titleForRow(0, 0), "a");
    EXPECT_EQ(wheel->titleForRow(1, 0), "5");
    EXPECT_EQ(wheel->titleForRow(2, 0), "2.5");
    EXPECT_EQ(wheel->titleForRow(3, 0), std::nullopt);
    EXPECT_EQ(wheel->titleForRow(4, 0), "1");
    EXPECT_EQ(wheel->widthForComponent(0), 290);
    EXPECT_TRUE(wheel->showsSelectionIndicator());

    // The target lives but has no function for the action: it does not respond.
    picker->actionPickerDone();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Invalid target/action ( Recorder / pickerViewDidSelectRow: ) combination used for SheetPicker");

    // A target that is gone reads as "(null)".
    auto gone = std::make_shared<Recorder>();
    auto orphan = SheetStringPicker::show("Rows", Value { "a" }, 0, gone, rowAction(gone), {}, {});
    gone.reset();
    orphan->actionPickerDone();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[1], "Invalid target/action ( (null) / pickerViewDidSelectRow: ) combination used for SheetPicker");
}

TEST_F(SheetPickerTest, StringPickerIndexFollowsTheRowTheWheelShows)
{
    // Null data: no wheel. Empty data: an inert wheel, and Done hands back the creation index.
    auto none = SheetStringPicker::show(std::nullopt, nullptr, 0, recorder, rowAction(recorder), {}, {});
    EXPECT_FALSE(none->pickerView());
    none->dismissPicker();
    auto empty = SheetStringPicker::show(std::nullopt, Value::array(), 3, recorder, rowAction(recorder), {}, {});
    auto inert = std::dynamic_pointer_cast<PickerView>(empty->pickerView());
    EXPECT_FALSE(inert->showsSelectionIndicator());
    EXPECT_FALSE(inert->isUserInteractionEnabled());
    empty->actionPickerDone();
    EXPECT_EQ(recorder->calls, (std::vector<std::string> { "row 3" }));

    // An initial selection past the rows selects nothing: the wheel stays on its first row.
    auto past = SheetStringPicker::show(std::nullopt, Value { "a", "b" }, 5, recorder, rowAction(recorder), {}, {});
    EXPECT_EQ(past->selectedIndex(), 0);
    past->dismissPicker();

    // Rows shrinking under the wheel: the index follows the clamped row, and the block's value
    // is the row's.
    long reportedIndex = -2;
    Value reportedValue = "unset";
    auto picker = SheetStringPicker::show(std::nullopt, Value { "a", "b", "c", "d" }, 0,
        [&](SheetStringPicker&, long index, const Value& value) {
            reportedIndex = index;
            reportedValue = value;
        },
        {}, {});
    auto wheel = std::dynamic_pointer_cast<PickerView>(picker->pickerView());
    wheel->turnTo(3, 0);
    picker->setData(Value { "x", "y" });
    EXPECT_EQ(wheel->selectedRow(0), 1);
    EXPECT_EQ(picker->selectedIndex(), 1);
    picker->actionPickerDone();
    EXPECT_EQ(reportedIndex, 1);
    EXPECT_EQ(reportedValue, "y");
}

TEST_F(SheetPickerTest, CancelTellsOnlyAResponderAndRotationClosesSilently)
{
    auto silent = SheetStringPicker::show(std::nullopt, Value { "a" }, 0, recorder, rowAction(recorder), {}, origin);
    tapItem(harness, silent->cancelBarButtonItem());
    EXPECT_TRUE(recorder->calls.empty());
    EXPECT_FALSE(silent->holdsSelfReference());
    harness.advance(0.3);

    auto cancelled = SheetStringPicker::show(std::nullopt, Value { "a" }, 0, recorder, rowAction(recorder), cancelAction(recorder), origin);
    cancelled->actionPickerCancel();
    EXPECT_EQ(recorder->calls, (std::vector<std::string> { "cancel" }));
    EXPECT_EQ(recorder->lastOrigin, origin);
    harness.advance(0.3);

    recorder->calls.clear();
    auto rotated = SheetStringPicker::show(std::nullopt, Value { "a" }, 0, recorder, rowAction(recorder), cancelAction(recorder), origin);
    harness.rotate(DeviceOrientation::LandscapeLeft);
    EXPECT_FALSE(rotated->holdsSelfReference());
    EXPECT_FALSE(rotated->actionSheet());
    // The widget closing it too on the same rotation changes nothing.
    rotated->dismissPicker();
    harness.advance(0.3);
    EXPECT_FALSE(PSActionSheet::hasWindow());
    EXPECT_TRUE(recorder->calls.empty());
}

TEST_F(SheetPickerTest, RotationToAnUnsupportedOrientationLeavesTheSheetOpen)
{
    Application::shared().setSupportedInterfaceOrientations(InterfaceOrientationMask::Portrait);
    auto picker = SheetStringPicker::show(std::nullopt, Value { "a" }, 0, recorder, rowAction(recorder), {}, origin);
    DeviceInfo device = DeviceInfo::current();
    device.orientation = DeviceOrientation::LandscapeLeft;
    DeviceInfo::setCurrent(device);
    NotificationCenter::defaultCenter()->post(Application::kWillChangeStatusBarOrientationNotification);
    EXPECT_TRUE(picker->holdsSelfReference());
    picker->dismissPicker();
}

TEST_F(SheetPickerTest, APickerShownDuringAnotherOnesSlideOutStaysOnScreen)
{
    auto first = SheetStringPicker::show(std::nullopt, Value { "a" }, 0, recorder, rowAction(recorder), {}, origin);
    harness.advance(0.3);
    first->actionPickerDone();
    harness.advance(0.1);
    auto second = SheetStringPicker::show(std::nullopt, Value { "b" }, 0, recorder, rowAction(recorder), {}, origin);
    harness.advance(0.2);
    ASSERT_TRUE(PSActionSheet::hasWindow()) << "the first sheet's slide-out leaves the second one's window";
    EXPECT_EQ(PSActionSheet::actionSheetContainer()->actionSheet(), second->actionSheet());
    EXPECT_TRUE(second->actionSheet()->superview());
    EXPECT_TRUE(PSActionSheet::window()->isVisible());
    second->actionPickerDone();
    harness.advance(0.3);
    EXPECT_FALSE(PSActionSheet::hasWindow());
    EXPECT_EQ(recorder->calls, (std::vector<std::string> { "row 0", "row 0" }));
}

TEST_F(SheetPickerTest, DatePickerReturnsExactlyTheOpeningDateUntilTheWheelsMove)
{
    std::vector<double> dates;
    std::weak_ptr<Recorder> weak = recorder;
    SheetDatePicker::SuccessAction action { "dateChanged:", [&dates, weak](Date date, const SheetPickerOrigin&) {
                                               if (weak.lock())
                                                   dates.push_back(date.millisecondsSince1970());
                                           } };
    Date opening(1735689599123.5);
    auto picker = SheetDatePicker::show(std::nullopt, DatePickerMode::Date, opening, recorder, action, origin);
    auto wheels = std::dynamic_pointer_cast<DatePicker>(picker->pickerView());
    ASSERT_TRUE(wheels);
    EXPECT_EQ(wheels->mode(), DatePickerMode::Date);
    EXPECT_EQ(wheels->minuteInterval(), 1) << "the date field's 0 is the wheels' default";
    EXPECT_EQ(wheels->date(), opening);
    EXPECT_EQ(wheels->frame(), Rect(0, 40, 320, 216));
    picker->actionPickerDone();
    ASSERT_EQ(dates.size(), 1u);
    EXPECT_EQ(dates[0], 1735689599123.5);
    harness.advance(0.3);

    auto moved = SheetDatePicker::show("When", DatePickerMode::DateAndTime, opening, recorder, action, origin);
    moved->addCustomButton("Epoch", 0);
    auto movedWheels = std::dynamic_pointer_cast<DatePicker>(moved->pickerView());
    movedWheels->setDate(Date(5), Animated::No);
    EXPECT_EQ(moved->selectedDate(), opening) << "a date set from code is not a spin";
    movedWheels->turnTo(Date(86400000));
    EXPECT_EQ(moved->selectedDate(), Date(86400000));
    moved->actionCustomButton(0);
    EXPECT_EQ(movedWheels->date(), Date(0));
    moved->actionPickerDone();
    EXPECT_EQ(dates.back(), 0);

    // A target that is gone gets nothing, and nothing is logged.
    auto gone = SheetDatePicker::show(std::nullopt, DatePickerMode::Time, opening, std::make_shared<Recorder>(), action, origin);
    gone->actionPickerDone();
    EXPECT_EQ(dates.size(), 2u);
    EXPECT_TRUE(logged.empty());
}

TEST_F(SheetPickerTest, PadShowsAPopoverAtTheOriginAndAnOutsideTapCancelsAndReleasesThePicker)
{
    DeviceInfo device = DeviceInfo::current();
    device.setIdiom(DeviceIdiom::Pad);
    DeviceInfo::setCurrent(device);
    std::weak_ptr<SheetStringPicker> weak;
    {
        auto picker = SheetStringPicker::show("Pad", Value { "a", "b" }, 0, recorder, rowAction(recorder), cancelAction(recorder), origin);
        weak = picker;
        EXPECT_EQ(picker->viewSize(), (Size { 320, 320 }));
        auto popover = picker->popOverController();
        ASSERT_TRUE(popover);
        EXPECT_TRUE(popover->isPopoverVisible());
        EXPECT_EQ(popover->contentViewController()->preferredContentSize(), (Size { 320, 260 }));
        EXPECT_EQ(popover->contentViewController()->view()->bounds(), Rect(0, 0, 320, 260));
        EXPECT_EQ(popover->anchorRect(), Rect(20, 100, 120, 40));
        EXPECT_FALSE(PSActionSheet::hasWindow());
        // Done is tapped as a person would, in the popover's window.
        std::dynamic_pointer_cast<PickerView>(picker->pickerView())->turnTo(1, 0);
        tapItem(harness, picker->doneBarButtonItem());
        EXPECT_EQ(recorder->calls, (std::vector<std::string> { "row 1" }));
        EXPECT_FALSE(popover->isPopoverVisible());
    }
    EXPECT_TRUE(weak.expired());

    {
        auto picker = SheetStringPicker::show("Pad", Value { "a" }, 0, recorder, rowAction(recorder), cancelAction(recorder), origin);
        weak = picker;
        picker->popOverController()->tapOutside();
        EXPECT_EQ(recorder->calls.back(), "cancel");
        EXPECT_FALSE(picker->popOverController());
        EXPECT_TRUE(Application::shared().popovers().empty());
    }
    EXPECT_TRUE(weak.expired()) << "an outside tap leaves nothing keeping the picker";

    // Without an origin the popover points at the centre of the key window's root view.
    auto centred = SheetStringPicker::show("Pad", Value { "a" }, 0, recorder, rowAction(recorder), {}, {});
    EXPECT_EQ(centred->popOverController()->anchorRect(), Rect(160, 284, 1, 1));
    centred->dismissPicker();
}

TEST_F(SheetPickerTest, PicturesOfTheSheetMidSlideSettledAndThePadPopover)
{
    auto picker = SheetStringPicker::show("Colour", Value { "Red", "Green", "Blue" }, 1, recorder, rowAction(recorder), {}, origin);
    auto directory = lookFolder();
    harness.advance(0.15);
    ASSERT_TRUE(Renderer::renderKeyWindowPNG((directory / "sheet-picker-sliding.png").string(), { .scale = 2, .backdrop = Color::white() }));
    harness.advance(0.15);
    auto path = (directory / "sheet-picker.png").string();
    ASSERT_TRUE(Renderer::renderKeyWindowPNG(path, { .scale = 2, .backdrop = Color::white() }));
    auto image = Image::readFile(path);
    ASSERT_TRUE(image);
    // Dimmed above the sheet (white under black at 0.5), white behind the wheel.
    EXPECT_NEAR(image->pixelAt(2 * 160, 2 * 50).red, 128, 3);
    EXPECT_EQ(image->pixelAt(2 * 20, 2 * 550).red, 255);
    picker->dismissPicker();
    harness.advance(0.3);

    DeviceInfo device = DeviceInfo::current();
    device.setIdiom(DeviceIdiom::Pad);
    DeviceInfo::setCurrent(device);
    auto pad = SheetStringPicker::show("Colour", Value { "Red", "Green", "Blue" }, 2, recorder, rowAction(recorder), {}, origin);
    ASSERT_TRUE(Renderer::renderKeyWindowPNG((directory / "sheet-picker-popover.png").string(), { .scale = 2, .backdrop = Color::white() }));
    pad->dismissPicker();
}
