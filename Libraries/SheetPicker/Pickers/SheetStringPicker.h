#pragma once
// A one-wheel choice among a list of rows.

#include "Libraries/SheetPicker/AbstractSheetPicker.h"
#include "platform/foundation/Value.h"
#include "platform/ui/pickers/PickerView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

/// One wheel over `data`, an array of rows: a string shows as itself, a number as its text,
/// anything else with no title. A null `data` gives no wheel at all; an empty array an inert
/// one (no indicator, no touches). Done hands the target (index, origin), or the done block
/// (picker, index, the row's value or null), the index being `selectedIndex`.
///
/// `selectedIndex` is the row the wheel shows while there is at least one row: at creation it
/// is the initial selection when the wheel has that row (else the wheel's first row), a spin
/// sets it, and `setData` makes it follow the wheel's row once the wheel has reloaded (and
/// clamped it). With no rows it keeps its value. Main thread only.
class SheetStringPicker final : public AbstractSheetPicker, public platform::PickerViewDataSource, public platform::PickerViewDelegate {
public:
    using SuccessAction = SheetPickerAction<long, const SheetPickerOrigin&>;
    using DoneBlock = std::function<void(SheetStringPicker& picker, long selectedIndex, const platform::Value& selectedValue)>;
    using CancelBlock = std::function<void(SheetStringPicker& picker)>;

    static std::shared_ptr<SheetStringPicker> create(std::optional<std::string> title, platform::Value data, long initialSelection,
        SheetPickerTarget target, SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin);
    static std::shared_ptr<SheetStringPicker> create(std::optional<std::string> title, platform::Value data, long initialSelection,
        DoneBlock doneBlock, CancelBlock cancelBlock, SheetPickerOrigin origin);
    /// Creates, shows and returns the picker.
    static std::shared_ptr<SheetStringPicker> show(std::optional<std::string> title, platform::Value data, long initialSelection,
        SheetPickerTarget target, SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin);
    static std::shared_ptr<SheetStringPicker> show(std::optional<std::string> title, platform::Value data, long initialSelection,
        DoneBlock doneBlock, CancelBlock cancelBlock, SheetPickerOrigin origin);

    const platform::Value& data() const { return m_data; }
    /// Replaces the rows; the wheel on show reloads.
    void setData(platform::Value data);
    long selectedIndex() const { return m_selectedIndex; }

    // Wheel data source and delegate.
    int numberOfComponents(platform::PickerView& picker) override;
    int numberOfRows(platform::PickerView& picker, int component) override;
    std::optional<std::string> titleForRow(platform::PickerView& picker, int row, int component) override;
    std::optional<double> widthForComponent(platform::PickerView& picker, int component) override;
    void didSelectRow(platform::PickerView& picker, int row, int component) override;

protected:
    std::shared_ptr<platform::View> configuredPickerView() override;
    void notifyTargetDidSucceed(const SheetPickerOrigin& origin) override;
    void notifyTargetDidCancel(const SheetPickerOrigin& origin) override;

private:
    SheetStringPicker(std::optional<std::string> title, platform::Value data, long initialSelection, SheetPickerTarget target,
        SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin);
    int rowCount() const;
    void followWheel();

    platform::Value m_data;
    long m_selectedIndex = 0;
    SuccessAction m_successAction;
    DoneBlock m_doneBlock;
    CancelBlock m_cancelBlock;
};

} // namespace morvix
