#pragma once
// A list of choices shown from a place in a view.

#include "platform/graphics/Rect.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Forward.h"

#include <memory>
#include <optional>

namespace morvix::platform {

/// Hears which button of an action sheet was pressed. Every call has an empty default.
class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void clickedButtonAtIndex(ActionSheet&, int index) { (void)index; }
    virtual void willDismissWithButtonIndex(ActionSheet&, int index) { (void)index; }
    virtual void didDismissWithButtonIndex(ActionSheet&, int index) { (void)index; }
};

enum class ActionSheetStyle { Default, BlackTranslucent };

/// A sheet of buttons shown in a view or from a rectangle of a view (recorded for the renderer
/// and tests, with whether it was shown and dismissed animated). The delegate and the view are
/// held weakly. Main thread only.
class ActionSheet final : public Alert {
public:
    static std::shared_ptr<ActionSheet> create(std::string title, std::weak_ptr<ActionSheetDelegate> delegate = {});
    const char* className() const override { return "ActionSheet"; }

    std::shared_ptr<ActionSheetDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<ActionSheetDelegate> delegate) { m_delegate = std::move(delegate); }
    int destructiveButtonIndex() const { return m_destructiveIndex; }
    void setDestructiveButtonIndex(int index) { m_destructiveIndex = index; }

    ActionSheetStyle style() const { return m_style; }
    void setStyle(ActionSheetStyle style) { m_style = style; }

    void showInView(const std::shared_ptr<View>& view);
    void showFromRect(const Rect& rect, const std::shared_ptr<View>& view, bool animated);
    /// Takes the sheet off screen from code, recording `animated`; a person's press is recorded
    /// as animated.
    void dismissWithClickedButtonIndex(int index, bool animated);
    bool wasShownAnimated() const { return m_shownAnimated; }
    bool wasDismissedAnimated() const { return m_dismissedAnimated; }
    std::shared_ptr<View> shownInView() const { return m_view.lock(); }
    /// The rectangle it was shown from, in `shownInView`'s coordinates; the view's bounds for
    /// `showInView`.
    Rect shownFromRect() const { return m_rect; }

private:
    ActionSheet() = default;
    void clicked(int index) override;
    void willDismiss(int index) override;
    void didDismiss(int index) override;
    std::weak_ptr<ActionSheetDelegate> m_delegate;
    std::weak_ptr<View> m_view;
    Rect m_rect;
    int m_destructiveIndex = -1;
    ActionSheetStyle m_style = ActionSheetStyle::Default;
    bool m_shownAnimated = false;
    bool m_dismissedAnimated = false;
    // Set by a dismissal from code for the will-dismiss that follows; a press has none.
    std::optional<bool> m_dismissAnimated;
};

} // namespace morvix::platform
