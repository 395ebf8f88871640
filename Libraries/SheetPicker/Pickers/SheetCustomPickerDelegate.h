#pragma once
// What a custom sheet picker asks of its delegate.

#include "Libraries/SheetPicker/SheetPickerOrigin.h"
#include "platform/ui/pickers/PickerView.h"

namespace morvix {

class SheetCustomPicker;

/// The wheel's data source and delegate, plus three optional operations. Each optional one is
/// a small interface of its own that the delegate adopts when it implements it; the picker
/// looks for it with `dynamic_cast` and calls it only then.
class SheetCustomPickerDelegate : public platform::PickerViewDataSource, public platform::PickerViewDelegate {
public:
    /// Adopted to adjust the wheel once it is made.
    class ConfiguresPickerView {
    public:
        virtual ~ConfiguresPickerView() = default;
        virtual void actionSheetPickerConfigurePickerView(SheetCustomPicker& picker, platform::PickerView& pickerView) = 0;
    };
    /// Adopted to hear of Done.
    class HearsSuccess {
    public:
        virtual ~HearsSuccess() = default;
        virtual void actionSheetPickerDidSucceed(SheetCustomPicker& picker, const SheetPickerOrigin& origin) = 0;
    };
    /// Adopted to hear of Cancel.
    class HearsCancel {
    public:
        virtual ~HearsCancel() = default;
        virtual void actionSheetPickerDidCancel(SheetCustomPicker& picker, const SheetPickerOrigin& origin) = 0;
    };
};

} // namespace morvix
