#pragma once
// The frame every sheet picker shares: toolbar, content, sheet or popover, target and actions.

#include "Libraries/SheetPicker/SheetPickerOrigin.h"
#include "Libraries/SheetPicker/SheetPickerTarget.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Rect.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/PopoverController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

class PSActionSheet;

/// The base of the wheel pickers: a toolbar (Cancel, custom buttons, a flexible space, the
/// title between two flexible spaces, Done) above the picker view a subclass supplies, in a
/// content view of `viewSize().width` by 260 points. On a phone the content slides up in a
/// `PSActionSheet`; on a pad it shows in a popover pointing at the origin.
///
/// Life cycle. Pickers are made by their classes' static `create` functions, which set the
/// self reference: a shown picker keeps itself alive until `dismissPicker` (after Done or
/// Cancel, from its creator, or on a phone's rotation), or, on a pad, until the user taps
/// outside the popover (which tells the target of a cancel and drops the self reference).
/// `dismissPicker` may be called any number of times; every method that may end in it holds
/// the picker until it returns.
///
/// Target and actions. The target is held weakly; it responds to an action while it is alive
/// and the action has a function. Done tells the subclass's success action (or block); Cancel
/// the cancel action, with the stored origin. Main thread only.
class AbstractSheetPicker : public std::enable_shared_from_this<AbstractSheetPicker>, public platform::PopoverControllerDelegate {
public:
    using CancelAction = SheetPickerAction<const SheetPickerOrigin&>;
    struct CustomButton {
        std::string title;
        platform::Value value;
    };

    static constexpr double kContentHeight = 260;
    static constexpr double kToolbarHeight = 44;
    static constexpr double kPickerY = 40;
    static constexpr double kPickerHeight = 216;
    static constexpr double kTitleWidth = 180;
    static constexpr double kTitleHeight = 30;
    static constexpr double kTitleFontSize = 16;
    static constexpr double kSideToolbarWidth = 8;
    static constexpr double kPadSize = 320;

    ~AbstractSheetPicker() override;
    AbstractSheetPicker(const AbstractSheetPicker&) = delete;
    AbstractSheetPicker& operator=(const AbstractSheetPicker&) = delete;

    /// The toolbar's title; none: no title item.
    const std::optional<std::string>& title() const { return m_title; }
    void setTitle(std::optional<std::string> title) { m_title = std::move(title); }
    bool hideCancel() const { return m_hideCancel; }
    void setHideCancel(bool hide) { m_hideCancel = hide; }
    const std::vector<CustomButton>& customButtons() const { return m_customButtons; }
    /// Appends a custom button: an empty title for none, the number 0 for a null value.
    void addCustomButton(std::optional<std::string> title, platform::Value value);
    /// Replaces the Done or Cancel item, wired to Done or Cancel: through its custom view when
    /// that is a control (touch-up-inside), else through the item's own action.
    void setDoneButton(const std::shared_ptr<platform::BarButtonItem>& item);
    void setCancelButton(const std::shared_ptr<platform::BarButtonItem>& item);

    const SheetPickerTarget& target() const { return m_target; }
    std::shared_ptr<platform::Toolbar> toolbar() const { return m_toolbar; }
    std::shared_ptr<platform::View> pickerView() const { return m_pickerView; }
    std::shared_ptr<platform::BarButtonItem> doneBarButtonItem() const { return m_doneItem; }
    std::shared_ptr<platform::BarButtonItem> cancelBarButtonItem() const { return m_cancelItem; }
    std::shared_ptr<platform::BarButtonItem> barButtonItem() const { return m_barButtonItem.lock(); }
    std::shared_ptr<platform::View> containerView() const { return m_containerView.lock(); }
    std::shared_ptr<PSActionSheet> actionSheet() const { return m_actionSheet; }
    std::shared_ptr<platform::PopoverController> popOverController() const { return m_popover; }
    /// Zero until shown; then the content view's frame.
    platform::Rect presentFromRect() const { return m_presentFromRect; }
    /// Whether the picker still keeps itself alive.
    bool holdsSelfReference() const { return m_selfReference != nullptr; }

    /// 320 by 320 on a pad, else the main screen's bounds size.
    platform::Size viewSize() const;
    bool isViewPortrait() const;
    /// The bar button item of the origin when there is one, else its view.
    SheetPickerOrigin storedOrigin() const;

    /// Builds the content and shows it (see the class comment).
    void showSheetPicker();
    /// Takes the sheet or popover away without telling the target and drops the picker's
    /// references to them and to itself. Idempotent.
    void dismissPicker();
    /// Done: the success notification, then `dismissPicker`.
    void actionPickerDone();
    /// Cancel: the cancel notification, then `dismissPicker`.
    void actionPickerCancel();
    /// A custom button's tap: `customButtonPressed` with its index.
    void actionCustomButton(int index);

    void popoverControllerDidDismissPopover(platform::PopoverController& popover) override;

protected:
    AbstractSheetPicker(SheetPickerTarget target, CancelAction cancelAction, SheetPickerOrigin origin);
    /// The rest of creation, which needs the shared pointer: the Done and Cancel items and the
    /// self reference. Every `create` calls it once.
    void finishCreation();

    /// The subclass's picker view, configured; it stores it with `setPickerView`. None here.
    virtual std::shared_ptr<platform::View> configuredPickerView() { return nullptr; }
    /// Tells the target (or a block) what was picked. Nothing here.
    virtual void notifyTargetDidSucceed(const SheetPickerOrigin& origin) { (void)origin; }
    /// Performs the cancel action with the origin when the target responds to it.
    virtual void notifyTargetDidCancel(const SheetPickerOrigin& origin);
    /// Selects the row of the button's value in the wheel's first component, animated (a row
    /// out of range selects nothing), then tells the picker's own did-select when it is the
    /// wheel's delegate.
    virtual void customButtonPressed(int index);

    void setPickerView(std::shared_ptr<platform::View> view) { m_pickerView = std::move(view); }
    /// Logs "Invalid target/action ( <target class> / <action> ) combination used for SheetPicker".
    void logInvalidTarget(const std::string& actionName) const;
    const CancelAction& cancelAction() const { return m_cancelAction; }

    std::shared_ptr<platform::Toolbar> createPickerToolbar(const std::optional<std::string>& title);
    std::shared_ptr<platform::BarButtonItem> createToolbarLabel(const std::string& title);
    std::shared_ptr<platform::BarButtonItem> createButton(platform::BarButtonSystemItem item, void (AbstractSheetPicker::*action)());

private:
    void presentPickerForView(const std::shared_ptr<platform::View>& content);
    void configureAndPresentActionSheetForView(const std::shared_ptr<platform::View>& content);
    void presentActionSheet(const std::shared_ptr<PSActionSheet>& sheet);
    void configureAndPresentPopoverForView(const std::shared_ptr<platform::View>& content);
    void presentPopover(const std::shared_ptr<platform::PopoverController>& popover);
    void didRotate();
    void wire(const std::shared_ptr<platform::BarButtonItem>& item, void (AbstractSheetPicker::*action)());

    SheetPickerTarget m_target;
    CancelAction m_cancelAction;
    std::weak_ptr<platform::BarButtonItem> m_barButtonItem;
    std::weak_ptr<platform::View> m_containerView;
    std::optional<std::string> m_title;
    bool m_hideCancel = false;
    std::vector<CustomButton> m_customButtons;
    platform::Rect m_presentFromRect;
    std::shared_ptr<platform::Toolbar> m_toolbar;
    std::shared_ptr<platform::View> m_pickerView;
    std::shared_ptr<platform::BarButtonItem> m_doneItem;
    std::shared_ptr<platform::BarButtonItem> m_cancelItem;
    std::shared_ptr<PSActionSheet> m_actionSheet;
    std::shared_ptr<platform::PopoverController> m_popover;
    std::shared_ptr<AbstractSheetPicker> m_selfReference;
    platform::ObserverToken m_rotationObserver;
};

} // namespace morvix
