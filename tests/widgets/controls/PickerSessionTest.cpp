// Combo boxes and date fields made by a script application in a real session: the picker opened
// by a tap, its wheel turned, and Done, Cancel or a rotation tapped or played as a person would.

#include "widgets/controls/Combo.h"
#include "widgets/controls/DateTime.h"

#include "Libraries/SheetPicker/PSActionSheet.h"
#include "Libraries/SheetPicker/Pickers/SheetDatePicker.h"
#include "Libraries/SheetPicker/Pickers/SheetStringPicker.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/pickers/DatePicker.h"
#include "platform/ui/pickers/PickerView.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/delegating/DelegatingButton.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Value;

class PickerSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        pinDevice("en_US", "UTC");
        m_token = platform::NotificationCenter::defaultCenter()->addObserver(Message::kScheduleNotification, nullptr,
            [this](const platform::Notification&) { ++scheduled; });
    }
    void TearDown() override
    {
        PSActionSheet::destroyWindow();
        m_token = {};
        ScriptSessionFixture::TearDown();
    }
    static void pinDevice(const std::string& locale, const std::string& zone)
    {
        auto device = platform::DeviceInfo::current();
        device.localeIdentifier = locale;
        device.timeZone = zone;
        platform::DeviceInfo::setCurrent(device);
    }
    template<typename T>
    std::shared_ptr<T> as(const std::string& id) { return std::dynamic_pointer_cast<T>(object(id)); }
    void tap(const std::shared_ptr<platform::View>& view)
    {
        harness.touches().tapView(*view, view->bounds().center());
        harness.runUntilIdle();
    }
    // Opens the widget's picker and lets the sheet slide in.
    void open(const std::string& id)
    {
        tap(widget(id)->view());
        harness.advance(0.3);
        harness.runUntilIdle();
    }
    // Taps an item of the toolbar and lets the sheet slide out.
    void tapItem(const std::shared_ptr<platform::BarButtonItem>& item)
    {
        ASSERT_TRUE(item);
        tap(item->view());
        harness.advance(0.3);
        harness.runUntilIdle();
    }
    std::shared_ptr<platform::PickerView> wheel(const std::string& id)
    {
        return std::dynamic_pointer_cast<platform::PickerView>(as<Combo>(id)->actionSheetPicker()->pickerView());
    }
    static std::vector<std::string> rows(platform::PickerView& picker)
    {
        std::vector<std::string> titles;
        for (int row = 0; row < picker.numberOfRows(0); ++row)
            titles.push_back(picker.titleForRow(row, 0).value_or("?"));
        return titles;
    }
    static platform::Date utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
    {
        platform::Calendar calendar(*platform::TimeZone::withIdentifier("UTC"), platform::Locale("en_US"));
        calendar.clear();
        calendar.set(platform::CalendarField::Year, year);
        calendar.set(platform::CalendarField::Month, month);
        calendar.set(platform::CalendarField::Day, day);
        calendar.set(platform::CalendarField::Hour, hour);
        calendar.set(platform::CalendarField::Minute, minute);
        calendar.set(platform::CalendarField::Second, second);
        return calendar.date();
    }

    int scheduled = 0;

private:
    platform::ObserverToken m_token;
};

TEST_F(PickerSessionTest, ComboOpensASheetAndDoneReportsTheRowUnderTheWheel)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w3', 'zub.widgets.Combo', {parent: 'w1', bounds: [10, 10, 200, 32], items: ['Red', 'Green', 'Blue'],
            selectionIndex: 0, toolTip: 'Colour'});
        client.listen('w3', 'Selection', true);)");
    auto combo = as<Combo>("w3");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->text(), "Red");
    EXPECT_EQ(combo->button()->layer().cornerRadius(), 5) << "screen scale 2";
    EXPECT_EQ(combo->button()->layer().borderWidth(), 0.4);
    sent();

    open("w3");
    auto picker = combo->actionSheetPicker();
    ASSERT_TRUE(picker && picker->actionSheet());
    auto content = picker->pickerView()->superview();
    EXPECT_EQ(content->convertRectTo(content->bounds(), nullptr), platform::Rect(0, 308, 320, 260));
    auto items = picker->toolbar()->items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0], picker->cancelBarButtonItem());
    EXPECT_TRUE(items[1]->isFlexibleSpace() && items[3]->isFlexibleSpace());
    EXPECT_TRUE(items[2]->customView()) << "the title";
    EXPECT_EQ(items[4], picker->doneBarButtonItem());
    auto spun = wheel("w3");
    EXPECT_EQ(rows(*spun), (std::vector<std::string> { "Red", "Green", "Blue" }));
    EXPECT_EQ(spun->selectedRow(0), 0);

    spun->turnTo(1, 0);
    tapItem(picker->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w3",{"listVisible":false,"selection":[0,5],"selectionIndex":1}])",
                          R"(["notify","w3","Selection",{"selectionIndex":1}])" }));
    EXPECT_EQ(combo->text(), "Green");
    EXPECT_FALSE(picker->holdsSelfReference());
    EXPECT_FALSE(PSActionSheet::hasWindow()) << "the sheet's window goes after the slide-out";

    // Cancel and a rotation close the picker and report nothing.
    open("w3");
    tapItem(combo->actionSheetPicker()->cancelBarButtonItem());
    open("w3");
    harness.rotate();
    harness.runUntilIdle();
    EXPECT_FALSE(combo->actionSheetPicker()->holdsSelfReference());
    EXPECT_EQ(combo->selectionIndex(), 1);
    EXPECT_TRUE(sent().empty());
}

TEST_F(PickerSessionTest, ComboBlankRowUnicodeLengthsListenersAndItemsChangedWhileOpen)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w3', 'zub.widgets.Combo', {parent: 'w1', bounds: [10, 10, 200, 32], items: ['Red', 'Green', 'Blue']});)");
    auto combo = as<Combo>("w3");
    EXPECT_EQ(combo->text(), "");
    EXPECT_EQ(combo->getWithMethod("selectionIndex"), Value(-1));
    sent();

    // Nothing selected: a blank first row, and Done on it reports -1 and an empty selection,
    // scheduled for want of a listener.
    open("w3");
    EXPECT_EQ(rows(*wheel("w3")), (std::vector<std::string> { "", "Red", "Green", "Blue" }));
    EXPECT_EQ(wheel("w3")->selectedRow(0), 0);
    tapItem(combo->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w3",{"listVisible":false,"selection":[0,0],"selectionIndex":-1}])" }));
    EXPECT_EQ(scheduled, 1);
    EXPECT_EQ(combo->text(), "");

    // Lengths in UTF-16 code units; "DefaultSelection" alone is sent with no attributes.
    run("client.set('w3', {items: ['a', 'né😀'], selectionIndex: 1}); client.listen('w3', 'DefaultSelection', true);");
    sent();
    open("w3");
    tapItem(combo->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w3",{"listVisible":false,"selection":[0,4],"selectionIndex":1}])",
                          R"(["notify","w3","DefaultSelection",{}])" }));

    // Items shrunk under an open wheel: Done reports the row the wheel shows.
    run("client.set('w3', {items: ['A', 'B', 'C', 'D'], selectionIndex: 3});");
    sent();
    open("w3");
    run("client.set('w3', {items: ['A', 'B']});");
    EXPECT_EQ(wheel("w3")->selectedRow(0), 1);
    tapItem(combo->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w3",{"listVisible":false,"selection":[0,1],"selectionIndex":1}])",
                          R"(["notify","w3","DefaultSelection",{}])" }));

    // Items emptied under an open wheel: Done reports no selection, never a row that is gone.
    run("client.set('w3', {items: ['A', 'B', 'C'], selectionIndex: 2});");
    sent();
    open("w3");
    run("client.set('w3', {items: []});");
    tapItem(combo->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w3",{"listVisible":false,"selection":[0,0],"selectionIndex":-1}])",
                          R"(["notify","w3","DefaultSelection",{}])" }));
    EXPECT_EQ(combo->selectionIndex(), -1);
    run("client.set('w3', {items: ['A', 'B'], selectionIndex: 1});");

    // An index past the items leaves the title and opens on the blank row.
    run("client.set('w3', {selectionIndex: 5});");
    EXPECT_EQ(combo->text(), "B");
    open("w3");
    EXPECT_EQ(rows(*wheel("w3")).front(), "");
    EXPECT_EQ(wheel("w3")->selectedRow(0), 0);
    combo->close();

    // No background shows white but reads back as none.
    EXPECT_EQ(combo->view()->backgroundColor(), platform::Color::white());
    EXPECT_FALSE(combo->internalBackground());

    // Disabled: half alpha and no dots.
    run("client.set('w3', {enabled: false});");
    EXPECT_EQ(combo->view()->alpha(), 0.5);
    auto disabled = combo->button()->backgroundImageForState(platform::ControlState::Disabled);
    ASSERT_TRUE(disabled);
    EXPECT_EQ(disabled->pixelAt(37, 17).alpha, 0);
    EXPECT_GT(combo->button()->backgroundImageForState(platform::ControlState::Normal)->pixelAt(37, 17).alpha, 0);
}

TEST_F(PickerSessionTest, ComboOnAPadShowsAPopoverThatATapOutsideClosesSilently)
{
    auto device = platform::DeviceInfo::current();
    device.setIdiom(platform::DeviceIdiom::Pad);
    platform::DeviceInfo::setCurrent(device);
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w3', 'zub.widgets.Combo', {parent: 'w1', bounds: [10, 10, 200, 32], items: ['Red'], selectionIndex: 0});
        client.listen('w3', 'Selection', true);)");
    sent();
    open("w3");
    std::weak_ptr<SheetStringPicker> picker = as<Combo>("w3")->actionSheetPicker();
    auto popover = picker.lock()->popOverController();
    ASSERT_TRUE(popover && popover->isPopoverVisible());
    EXPECT_EQ(popover->contentViewController()->preferredContentSize(), platform::Size(320, 260));
    popover->tapOutside();
    harness.runUntilIdle();
    EXPECT_TRUE(sent().empty());
    EXPECT_FALSE(picker.lock()->holdsSelfReference());
    run("client.destroy('w3');");
    EXPECT_TRUE(picker.expired()) << "nothing keeps the closed picker";
}

TEST_F(PickerSessionTest, DateFieldTitlesAndReportsTheFieldsOfThePick)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w4', 'zub.widgets.DateTime', {parent: 'w1', bounds: [10, 10, 200, 32], style: ['DATE'],
            year: 2024, month: 11, day: 31});
        client.create('w5', 'zub.widgets.DateTime', {parent: 'w1', bounds: [10, 50, 200, 32], style: ['TIME', 'MEDIUM'],
            hours: 9, minutes: 5});
        client.create('w6', 'zub.widgets.DateTime', {parent: 'w1', bounds: [10, 90, 200, 32],
            year: 2024, month: 11, day: 31, hours: 9, minutes: 5});
        client.listen('w4', 'Selection', true);)");
    auto date = as<DateTime>("w4");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->text(), "12/31/2024");
    EXPECT_EQ(as<DateTime>("w5")->text(), "09:05");
    EXPECT_EQ(as<DateTime>("w6")->text().substr(0, 10), "12/31/24, ") << "short styles without DATE or TIME";
    sent();

    open("w4");
    auto picker = date->actionSheetPicker();
    auto wheels = std::dynamic_pointer_cast<platform::DatePicker>(picker->pickerView());
    ASSERT_TRUE(wheels);
    EXPECT_EQ(wheels->mode(), platform::DatePickerMode::Date);
    wheels->turnTo(utc(2025, 2, 2));
    tapItem(picker->doneBarButtonItem());
    EXPECT_EQ(date->text(), "03/02/2025");
    EXPECT_EQ(sent(), wire({ R"(["set","w4",{"day":2,"month":2,"year":2025}])", R"(["notify","w4","Selection",{}])" }));

    // An untouched Done reports the same time, seconds included, scheduled.
    open("w5");
    EXPECT_EQ(as<DateTime>("w5")->actionSheetPicker()->datePickerMode(), platform::DatePickerMode::Time);
    tapItem(as<DateTime>("w5")->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w5",{"hours":9,"minutes":5,"seconds":0}])" }));
    EXPECT_EQ(scheduled, 1);

    // Neither style: a pick changes the field and reports nothing.
    open("w6");
    std::dynamic_pointer_cast<platform::DatePicker>(as<DateTime>("w6")->actionSheetPicker()->pickerView())->turnTo(utc(2020, 0, 1, 10, 30));
    tapItem(as<DateTime>("w6")->actionSheetPicker()->doneBarButtonItem());
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(as<DateTime>("w6")->getWithMethod("year"), Value(2020));
    EXPECT_EQ(as<DateTime>("w6")->getWithMethod("hours"), Value(10));

    // A year before the first comes back as it was given from an untouched Done.
    run("client.set('w4', {year: -44, month: 2, day: 15});");
    sent();
    open("w4");
    tapItem(date->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w4",{"day":15,"month":2,"year":-44}])", R"(["notify","w4","Selection",{}])" }));
}

TEST_F(PickerSessionTest, DateFieldSeparatorsLocalesAndSkippedHours)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w4', 'zub.widgets.DateTime', {parent: 'w1', bounds: [10, 10, 200, 32], style: ['DATE', 'TIME'],
            datePattern: 'DMY', dateSeparator: '.', year: 2024, month: 11, day: 31});)");
    auto date = as<DateTime>("w4");
    EXPECT_EQ(date->text(), "31.12.2024") << "DATE wins over TIME";
    run("client.set('w4', {dateSeparator: ' de '});");
    EXPECT_EQ(date->text(), "31 de 12 de 2024");
    run("client.set('w4', {dateSeparator: \"'\", datePattern: 'MDY'});");
    EXPECT_EQ(date->text(), "12'31'2024");
    run("client.set('w4', {dateSeparator: 'h'});");
    EXPECT_EQ(date->text(), "12h31h2024");
    run("client.set('w4', {dateSeparator: \"'h'\"});");
    EXPECT_EQ(date->text(), "12'h'31'h'2024");

    // Digits that are not ASCII in the title still give the right fields.
    pinDevice("ar_EG", "UTC");
    run("client.set('w4', {dateSeparator: '/'});");
    EXPECT_NE(date->text(), "12/31/2024");
    sent();
    open("w4");
    tapItem(date->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w4",{"day":31,"month":11,"year":2024}])" }));

    // 02:30 does not exist in Zurich on 2024-03-31: the lenient calendar moves it on an hour.
    pinDevice("en_US", "Europe/Zurich");
    run("client.create('w5', 'zub.widgets.DateTime', {parent: 'w1', bounds: [10, 50, 200, 32], style: ['TIME'],"
        " year: 2024, month: 2, day: 31, hours: 2, minutes: 30});");
    EXPECT_EQ(as<DateTime>("w5")->text(), "03:30");
    sent();
    open("w5");
    tapItem(as<DateTime>("w5")->actionSheetPicker()->doneBarButtonItem());
    EXPECT_EQ(sent(), wire({ R"(["set","w5",{"hours":3,"minutes":30,"seconds":0}])" }));
}

} // namespace
} // namespace morvix
