#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/pickers/DatePicker.h"
#include "platform/ui/pickers/PickerView.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

// Rows per component as given; records what the delegate hears.
class Wheels final : public PickerViewDataSource, public PickerViewDelegate {
public:
    std::vector<int> rows;
    std::vector<std::string> heard;

    int numberOfComponents(PickerView&) override { return static_cast<int>(rows.size()); }
    int numberOfRows(PickerView&, int component) override { return rows[static_cast<std::size_t>(component)]; }
    std::optional<std::string> titleForRow(PickerView&, int row, int component) override
    {
        return std::to_string(component) + ":" + std::to_string(row);
    }
    void didSelectRow(PickerView&, int row, int component) override
    {
        heard.push_back(std::to_string(component) + ":" + std::to_string(row));
    }
};

} // namespace

TEST(PickerViewTest, SelectionFromCodeIsSilentOutOfRangeIsIgnoredAndReloadClamps)
{
    UITestHarness harness;
    auto wheels = std::make_shared<Wheels>();
    wheels->rows = { 5, 0 };
    auto picker = PickerView::create();
    EXPECT_EQ(picker->frame(), Rect(0, 0, 320, 216));
    picker->setDataSource(wheels);
    picker->setDelegate(wheels);
    EXPECT_EQ(picker->numberOfComponents(), 2);
    EXPECT_EQ(picker->selectedRow(0), 0);
    EXPECT_EQ(picker->selectedRow(1), -1) << "no rows, no selection";

    picker->selectRow(4, 0, Animated::Yes);
    picker->selectRow(9, 0);
    picker->selectRow(0, 1);
    picker->selectRow(0, 7);
    EXPECT_EQ(picker->selectedRow(0), 4);
    EXPECT_TRUE(wheels->heard.empty());
    EXPECT_EQ(picker->titleForRow(4, 0), "0:4");
    EXPECT_EQ(picker->titleForRow(5, 0), std::nullopt);

    wheels->rows = { 2, 3 };
    picker->reloadAllComponents();
    EXPECT_EQ(picker->selectedRow(0), 1);
    EXPECT_EQ(picker->selectedRow(1), 0);
    EXPECT_EQ(picker->widthForComponent(1), 160) << "equal shares without the delegate's widths";

    picker->turnTo(2, 1);
    EXPECT_EQ(wheels->heard, (std::vector<std::string> { "1:2" }));
    picker->setUserInteractionEnabled(false);
    picker->turnTo(0, 1);
    EXPECT_EQ(picker->selectedRow(1), 2) << "no spin while touches are off";

    // The data source is held weakly.
    wheels.reset();
    EXPECT_EQ(picker->numberOfComponents(), 0);
}

TEST(DatePickerTest, MinuteIntervalLimitsSpinsAndTheDisplayedText)
{
    UITestHarness harness;
    DeviceInfo device = DeviceInfo::current();
    device.localeIdentifier = "en_US";
    device.timeZone = "UTC";
    DeviceInfo::setCurrent(device);
    auto picker = DatePicker::create();
    EXPECT_EQ(picker->date(), Date::now());
    for (auto [given, kept] : std::vector<std::pair<int, int>> { { 0, 1 }, { 15, 15 }, { 7, 1 }, { 30, 30 }, { 60, 1 }, { -5, 1 } }) {
        picker->setMinuteInterval(given);
        EXPECT_EQ(picker->minuteInterval(), kept) << given;
    }

    int changes = 0;
    picker->addAction([&](Control&, const Event*) { ++changes; }, ControlEventValueChanged);
    Date christmas = Date::fromSeconds(1735084800); // 2024-12-25 00:00 UTC
    picker->setDate(christmas, Animated::Yes);
    EXPECT_EQ(changes, 0);
    picker->setMinimumDate(christmas);
    picker->setMaximumDate(christmas.addingSeconds(3600));
    picker->turnTo(christmas.addingSeconds(-60));
    EXPECT_EQ(picker->date(), christmas);
    picker->turnTo(christmas.addingSeconds(7200));
    EXPECT_EQ(picker->date(), christmas.addingSeconds(3600));
    EXPECT_EQ(changes, 2);

    picker->setMode(DatePickerMode::Date);
    EXPECT_EQ(picker->displayText(), "Dec 25, 2024");
    picker->setMode(DatePickerMode::Time);
    EXPECT_EQ(picker->displayText().substr(0, 4), "1:00");
    picker->setTimeZone(TimeZone::withIdentifier("Europe/Zurich"));
    EXPECT_EQ(picker->displayText().substr(0, 4), "2:00");
}
