#include "Libraries/SheetPicker/Pickers/SheetDistancePicker.h"

#include "Libraries/SheetPicker/Pickers/DistancePickerView.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/Font.h"
#include "platform/ui/controls/Label.h"

namespace morvix {

using namespace platform;

namespace {

int decimalDigits(std::int64_t value)
{
    return static_cast<int>(std::to_string(value).size());
}

std::int64_t power10(int exponent)
{
    std::int64_t result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

double labelWidth(const std::string& text)
{
    auto label = Label::create();
    label->setFont(Font::system(SheetDistancePicker::kUnitFontSize, { .bold = true }));
    label->setText(text);
    return label->sizeThatFits({ 0, 0 }).width;
}

} // namespace

SheetDistancePicker::SheetDistancePicker(std::optional<std::string> title, std::string bigUnitString, std::int64_t bigUnitMax,
    std::int64_t selectedBigUnit, std::string smallUnitString, std::int64_t smallUnitMax, std::int64_t selectedSmallUnit,
    SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin)
    : AbstractSheetPicker(std::move(target), {}, std::move(origin))
    , m_bigUnitString(std::move(bigUnitString))
    , m_bigUnitMax(bigUnitMax)
    , m_selectedBigUnit(selectedBigUnit)
    , m_smallUnitString(std::move(smallUnitString))
    , m_smallUnitMax(smallUnitMax)
    , m_selectedSmallUnit(selectedSmallUnit)
    , m_bigDigits(decimalDigits(bigUnitMax))
    , m_smallDigits(decimalDigits(smallUnitMax))
    , m_successAction(std::move(action))
{
    setTitle(std::move(title));
}

std::shared_ptr<SheetDistancePicker> SheetDistancePicker::create(std::optional<std::string> title, std::string bigUnitString,
    std::int64_t bigUnitMax, std::int64_t selectedBigUnit, std::string smallUnitString, std::int64_t smallUnitMax,
    std::int64_t selectedSmallUnit, SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin)
{
    auto picker = std::shared_ptr<SheetDistancePicker>(new SheetDistancePicker(std::move(title), std::move(bigUnitString), bigUnitMax,
        selectedBigUnit, std::move(smallUnitString), smallUnitMax, selectedSmallUnit, std::move(target), std::move(action), std::move(origin)));
    picker->finishCreation();
    return picker;
}

std::shared_ptr<SheetDistancePicker> SheetDistancePicker::show(std::optional<std::string> title, std::string bigUnitString,
    std::int64_t bigUnitMax, std::int64_t selectedBigUnit, std::string smallUnitString, std::int64_t smallUnitMax,
    std::int64_t selectedSmallUnit, SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin)
{
    auto picker = create(std::move(title), std::move(bigUnitString), bigUnitMax, selectedBigUnit, std::move(smallUnitString), smallUnitMax,
        selectedSmallUnit, std::move(target), std::move(action), std::move(origin));
    picker->showSheetPicker();
    return picker;
}

int SheetDistancePicker::numberOfComponents(PickerView&)
{
    return m_bigDigits + m_smallDigits;
}

int SheetDistancePicker::numberOfRows(PickerView&, int component)
{
    if (component == 0)
        return static_cast<int>(m_bigUnitMax / power10(m_bigDigits - 1) + 1);
    if (component == m_bigDigits)
        return static_cast<int>(m_smallUnitMax / power10(m_smallDigits - 1) + 1);
    return 10;
}

std::optional<std::string> SheetDistancePicker::titleForRow(PickerView&, int row, int)
{
    return std::to_string(row);
}

std::optional<double> SheetDistancePicker::widthForComponent(PickerView& picker, int component)
{
    double big = labelWidth(m_bigUnitString);
    double small = labelWidth(m_smallUnitString);
    double available = picker.bounds().width() - 30;
    double width = (available - big - small) / (m_bigDigits + m_smallDigits);
    if (component == m_bigDigits - 1)
        return width + big;
    if (component == m_bigDigits + m_smallDigits - 1)
        return width + small;
    return width;
}

void SheetDistancePicker::selectDigits(PickerView& wheels, std::int64_t value, int first, int digits)
{
    // The first wheel takes the leading part whole: a value above the maximum may not fit it.
    for (int i = 0; i < digits; ++i) {
        std::int64_t digit = value / power10(digits - 1 - i);
        if (i > 0)
            digit %= 10;
        if (digit >= 0 && digit < wheels.numberOfRows(first + i))
            wheels.selectRow(static_cast<int>(digit), first + i, Animated::No);
    }
}

std::shared_ptr<View> SheetDistancePicker::configuredPickerView()
{
    auto wheels = DistancePickerView::create({ 0, kPickerY, viewSize().width, kPickerHeight });
    auto self = std::static_pointer_cast<SheetDistancePicker>(shared_from_this());
    wheels->setDelegate(std::static_pointer_cast<PickerViewDelegate>(self));
    wheels->setDataSource(std::static_pointer_cast<PickerViewDataSource>(self));
    wheels->setShowsSelectionIndicator(true);
    wheels->addLabel(m_bigUnitString, m_bigDigits - 1);
    wheels->addLabel(m_smallUnitString, m_bigDigits + m_smallDigits - 1);
    selectDigits(*wheels, m_selectedBigUnit, 0, m_bigDigits);
    selectDigits(*wheels, m_selectedSmallUnit, m_bigDigits, m_smallDigits);
    setPickerView(wheels);
    return wheels;
}

void SheetDistancePicker::notifyTargetDidSucceed(const SheetPickerOrigin& origin)
{
    auto wheels = std::dynamic_pointer_cast<PickerView>(pickerView());
    if (!wheels || !target().responds(m_successAction))
        return;
    int components = m_bigDigits + m_smallDigits;
    std::int64_t big = 0;
    for (int i = 0; i < m_bigDigits; ++i)
        big += wheels->selectedRow(i) * power10(m_bigDigits - 1 - i);
    std::int64_t small = 0;
    for (int c = m_bigDigits; c < components; ++c)
        small += wheels->selectedRow(c) * power10(components - 1 - c);
    m_successAction.function(big, small, origin);
}

void SheetDistancePicker::customButtonPressed(int)
{
    systemLog("Not implemented. If you get around to it, please contribute back to the project :)");
}

} // namespace morvix
