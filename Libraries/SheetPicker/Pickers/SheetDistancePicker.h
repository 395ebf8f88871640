#pragma once
// A distance in a big and a small unit, one wheel per decimal digit.

#include "Libraries/SheetPicker/AbstractSheetPicker.h"
#include "platform/ui/pickers/PickerView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

/// A value in two units ("m" and "cm"), picked digit by digit: each unit has one wheel per
/// decimal digit of its maximum, most significant first, the big unit's wheels first. A unit's
/// first wheel has max ÷ 10^(digits − 1) + 1 rows, the others 10. The wheels start on the
/// digits of the selected values (a leading digit beyond its wheel's rows selects nothing).
/// Done hands the target (big, small, origin); picks above a maximum are not clamped. Custom
/// buttons are not supported (they log a line). Main thread only.
class SheetDistancePicker final : public AbstractSheetPicker, public platform::PickerViewDataSource, public platform::PickerViewDelegate {
public:
    using SuccessAction = SheetPickerAction<std::int64_t, std::int64_t, const SheetPickerOrigin&>;
    static constexpr double kUnitFontSize = 20;

    static std::shared_ptr<SheetDistancePicker> create(std::optional<std::string> title, std::string bigUnitString, std::int64_t bigUnitMax,
        std::int64_t selectedBigUnit, std::string smallUnitString, std::int64_t smallUnitMax, std::int64_t selectedSmallUnit,
        SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin);
    /// Creates, shows and returns the picker.
    static std::shared_ptr<SheetDistancePicker> show(std::optional<std::string> title, std::string bigUnitString, std::int64_t bigUnitMax,
        std::int64_t selectedBigUnit, std::string smallUnitString, std::int64_t smallUnitMax, std::int64_t selectedSmallUnit,
        SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin);

    int bigUnitDigits() const { return m_bigDigits; }
    int smallUnitDigits() const { return m_smallDigits; }

    int numberOfComponents(platform::PickerView& picker) override;
    int numberOfRows(platform::PickerView& picker, int component) override;
    std::optional<std::string> titleForRow(platform::PickerView& picker, int row, int component) override;
    std::optional<double> widthForComponent(platform::PickerView& picker, int component) override;

protected:
    std::shared_ptr<platform::View> configuredPickerView() override;
    void notifyTargetDidSucceed(const SheetPickerOrigin& origin) override;
    void customButtonPressed(int index) override;

private:
    SheetDistancePicker(std::optional<std::string> title, std::string bigUnitString, std::int64_t bigUnitMax, std::int64_t selectedBigUnit,
        std::string smallUnitString, std::int64_t smallUnitMax, std::int64_t selectedSmallUnit, SheetPickerTarget target,
        SuccessAction action, SheetPickerOrigin origin);
    void selectDigits(platform::PickerView& wheels, std::int64_t value, int first, int digits);

    std::string m_bigUnitString;
    std::int64_t m_bigUnitMax;
    std::int64_t m_selectedBigUnit;
    std::string m_smallUnitString;
    std::int64_t m_smallUnitMax;
    std::int64_t m_selectedSmallUnit;
    int m_bigDigits;
    int m_smallDigits;
    SuccessAction m_successAction;
};

} // namespace morvix
