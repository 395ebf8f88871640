#pragma once
// A sheet picker whose wheel and results belong to a delegate.

#include "Libraries/SheetPicker/AbstractSheetPicker.h"
#include "Libraries/SheetPicker/Pickers/SheetCustomPickerDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

/// A wheel whose rows come from the delegate (held strongly, as the picker's only owner of
/// it), with `initialSelections[i]` selected in component i (a row past the component's rows
/// selects nothing). Done and Cancel go to the delegate's optional operations when it adopts
/// them. Main thread only.
class SheetCustomPicker final : public AbstractSheetPicker {
public:
    static std::shared_ptr<SheetCustomPicker> create(std::optional<std::string> title, std::shared_ptr<SheetCustomPickerDelegate> delegate,
        bool showCancelButton, SheetPickerOrigin origin, std::vector<int> initialSelections = {});
    /// Creates, shows and returns the picker.
    static std::shared_ptr<SheetCustomPicker> show(std::optional<std::string> title, std::shared_ptr<SheetCustomPickerDelegate> delegate,
        bool showCancelButton, SheetPickerOrigin origin, std::vector<int> initialSelections = {});

    std::shared_ptr<SheetCustomPickerDelegate> delegate() const { return m_delegate; }
    const std::vector<int>& initialSelections() const { return m_initialSelections; }

protected:
    std::shared_ptr<platform::View> configuredPickerView() override;
    void notifyTargetDidSucceed(const SheetPickerOrigin& origin) override;
    void notifyTargetDidCancel(const SheetPickerOrigin& origin) override;

private:
    SheetCustomPicker(std::optional<std::string> title, std::shared_ptr<SheetCustomPickerDelegate> delegate, SheetPickerOrigin origin,
        std::vector<int> initialSelections);

    std::shared_ptr<SheetCustomPickerDelegate> m_delegate;
    std::vector<int> m_initialSelections;
};

} // namespace morvix
