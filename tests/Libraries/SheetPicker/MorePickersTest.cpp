#include "Libraries/SheetPicker/PSActionSheet.h"
#include "Libraries/SheetPicker/Pickers/DistancePickerView.h"
#include "Libraries/SheetPicker/Pickers/SheetCustomPicker.h"
#include "Libraries/SheetPicker/Pickers/SheetDistancePicker.h"
#include "Libraries/SheetPicker/Pickers/SheetLocalePicker.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/SystemLog.h"
#include "platform/ui/controls/Label.h"
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

class Target final { };

class MorePickersTest : public ::testing::Test {
protected:
    MorePickersTest()
    {
        DeviceInfo device = DeviceInfo::current();
        device.localeIdentifier = "en_US";
        device.timeZone = "UTC";
        DeviceInfo::setCurrent(device);
        harness.clock().setDate(WallTime(std::chrono::seconds(1704067200))); // 2024-01-01 UTC: winter time
        m_previousSink = setSystemLogSink([this](const std::string& line) { logged.push_back(line); });
    }
    ~MorePickersTest() override
    {
        PSActionSheet::destroyWindow();
        setSystemLogSink(m_previousSink);
    }

    void picture(const std::string& name)
    {
        const char* chosen = std::getenv("MORVIX_RENDER_DIR");
        auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
        std::filesystem::create_directories(directory);
        harness.advance(0.3);
        EXPECT_TRUE(Renderer::renderKeyWindowPNG((directory / name).string(), { .scale = 2, .backdrop = Color::white() }));
    }

    UITestHarness harness;
    std::shared_ptr<Target> target = std::make_shared<Target>();
    std::vector<std::string> logged;

private:
    SystemLogSink m_previousSink;
};

std::string rowText(PickerView& wheels, int row, int component)
{
    auto label = std::dynamic_pointer_cast<Label>(wheels.viewForRow(row, component));
    return label ? label->text() : "(none)";
}

} // namespace

TEST_F(MorePickersTest, DistancePickerHasAWheelPerDigitAndAddsTheDigitsUp)
{
    std::vector<std::int64_t> reported;
    SheetDistancePicker::SuccessAction action { "measurementWasSelected:", [&](std::int64_t big, std::int64_t small, const SheetPickerOrigin&) {
                                                   reported = { big, small };
                                               } };
    auto picker = SheetDistancePicker::show("Length", "m", 120, 105, "cm", 99, 42, target, action, {});
    auto wheels = std::dynamic_pointer_cast<DistancePickerView>(picker->pickerView());
    ASSERT_TRUE(wheels);
    ASSERT_EQ(wheels->numberOfComponents(), 5);
    std::vector<int> rows;
    std::vector<int> selected;
    for (int component = 0; component < 5; ++component) {
        rows.push_back(wheels->numberOfRows(component));
        selected.push_back(wheels->selectedRow(component));
    }
    EXPECT_EQ(rows, (std::vector<int> { 2, 10, 10, 10, 10 }));
    EXPECT_EQ(selected, (std::vector<int> { 1, 0, 5, 4, 2 }));
    EXPECT_EQ(wheels->titleForRow(7, 2), "7");
    // The unit labels widen the last wheel of each unit; the wheels share the rest.
    double total = 0;
    for (int component = 0; component < 5; ++component)
        total += wheels->widthForComponent(component);
    EXPECT_DOUBLE_EQ(total, 290);
    EXPECT_GT(wheels->widthForComponent(2), wheels->widthForComponent(1));
    ASSERT_TRUE(wheels->labelView(2));
    EXPECT_EQ(wheels->labelView(2)->text(), "m");
    EXPECT_EQ(wheels->labelView(4)->text(), "cm");
    picture("distance-picker.png");

    wheels->turnTo(0, 2);
    wheels->updateLabel("km", 2);
    EXPECT_EQ(wheels->labelView(2)->text(), "km");
    picker->addCustomButton("Far", 1);
    picker->actionCustomButton(0);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Not implemented. If you get around to it, please contribute back to the project :)");
    picker->actionPickerDone();
    EXPECT_EQ(reported, (std::vector<std::int64_t> { 100, 42 }));

    // A leading digit beyond the first wheel's rows selects nothing.
    auto high = SheetDistancePicker::show(std::nullopt, "m", 120, 250, "cm", 99, 0, target, action, {});
    auto highWheels = std::dynamic_pointer_cast<PickerView>(high->pickerView());
    EXPECT_EQ(highWheels->selectedRow(0), 0);
    EXPECT_EQ(highWheels->selectedRow(1), 5);
    high->dismissPicker();
}

TEST_F(MorePickersTest, TimeZonePickerSplitsZonesIntoContinentsAndCities)
{
    std::vector<std::string> picked;
    auto done = [&](SheetLocalePicker&, const std::optional<TimeZone>& zone) { picked.push_back(zone ? zone->identifier() : "(none)"); };
    auto picker = SheetLocalePicker::create("Zone", TimeZone::withIdentifier("Europe/Zurich"), done, {}, {});
    picker->showSheetPicker();
    auto wheels = std::dynamic_pointer_cast<PickerView>(picker->pickerView());
    ASSERT_TRUE(wheels);
    EXPECT_EQ(picker->selectedContinent(), "Europe");
    EXPECT_EQ(picker->selectedCity(), "Zurich");
    EXPECT_EQ(rowText(*wheels, wheels->selectedRow(1), 1), "Zurich (GMT+1)");
    EXPECT_EQ(wheels->widthForComponent(0), 100);
    EXPECT_EQ(wheels->widthForComponent(1), 160);
    EXPECT_EQ(wheels->viewForRow(0, 1)->frame().size, (Size { 160, 32 }));
    // Continents in order of first appearance, each once; three-part ids keep "second/third".
    const auto& continents = picker->continents();
    EXPECT_EQ(std::count(continents.begin(), continents.end(), "America"), 1);
    const auto& american = picker->cities("America");
    EXPECT_NE(std::find(american.begin(), american.end(), "Indiana/Knox"), american.end());
    picture("time-zone-picker.png");

    // A new continent reloads the cities, clamping the city row before it is read.
    int america = static_cast<int>(std::find(continents.begin(), continents.end(), "America") - continents.begin());
    wheels->turnTo(static_cast<int>(picker->cities("Europe").size()) - 1, 1);
    wheels->turnTo(america, 0);
    EXPECT_EQ(picker->selectedContinent(), "America");
    ASSERT_TRUE(picker->selectedCity());
    EXPECT_EQ(*picker->selectedCity(), american[static_cast<std::size_t>(wheels->selectedRow(1))]);
    picker->actionPickerDone();
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0], "America/" + american[static_cast<std::size_t>(wheels->selectedRow(1))]);

    // A three-part initial zone is matched as the list splits it.
    auto knox = SheetLocalePicker::create(std::nullopt, TimeZone::withIdentifier("America/Indiana/Knox"), done, {}, {});
    knox->showSheetPicker();
    EXPECT_EQ(knox->selectedCity(), "Indiana/Knox");
    knox->addCustomButton("Tokyo", "Asia/Tokyo");
    knox->actionCustomButton(0);
    EXPECT_EQ(knox->selectedContinent(), "Asia");
    EXPECT_EQ(knox->selectedCity(), "Tokyo");
    knox->actionPickerDone();
    EXPECT_EQ(picked.back(), "Asia/Tokyo");

    // A zone matching nothing starts on the first rows; the invalid target line is logged.
    auto utc = SheetLocalePicker::create(std::nullopt, TimeZone(), target, { "timeZoneWasSelected:", {} }, {}, {});
    utc->showSheetPicker();
    EXPECT_EQ(std::dynamic_pointer_cast<PickerView>(utc->pickerView())->selectedRow(0), 0);
    EXPECT_EQ(utc->selectedContinent(), continents.front());
    utc->actionPickerDone();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Invalid target/action ( Target / timeZoneWasSelected: ) combination used for SheetPicker");
}

namespace {

// Two components of 3 and 4 rows; adopts the configure and success operations, not cancel.
class Delegate final : public SheetCustomPickerDelegate, public SheetCustomPickerDelegate::ConfiguresPickerView,
                       public SheetCustomPickerDelegate::HearsSuccess {
public:
    std::vector<std::string> calls;
    int numberOfComponents(PickerView&) override { return 2; }
    int numberOfRows(PickerView&, int component) override { return component == 0 ? 3 : 4; }
    void actionSheetPickerConfigurePickerView(SheetCustomPicker&, PickerView& view) override
    {
        calls.push_back("configure " + std::to_string(view.selectedRow(0)) + "," + std::to_string(view.selectedRow(1)));
    }
    void actionSheetPickerDidSucceed(SheetCustomPicker&, const SheetPickerOrigin&) override { calls.push_back("succeed"); }
};

} // namespace

TEST_F(MorePickersTest, CustomPickerCallsOnlyTheOperationsItsDelegateAdopts)
{
    auto delegate = std::make_shared<Delegate>();
    auto picker = SheetCustomPicker::show("Custom", delegate, false, {}, { 2, 9 });
    EXPECT_TRUE(picker->hideCancel());
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "configure 2,0" })) << "a row past the component's rows selects nothing";
    picker->actionPickerCancel();
    EXPECT_EQ(delegate->calls.size(), 1u);
    harness.advance(0.3);
    auto again = SheetCustomPicker::show(std::nullopt, delegate, true, {});
    again->actionPickerDone();
    EXPECT_EQ(delegate->calls.back(), "succeed");
}
