#pragma once
// A modal alert with a title, a message and buttons.

#include "platform/ui/Alert.h"

#include <memory>

namespace morvix::platform {

class AlertView;

/// Hears which button of an alert was pressed. Every call has an empty default.
class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void clickedButtonAtIndex(AlertView&, int index) { (void)index; }
    virtual void willDismissWithButtonIndex(AlertView&, int index) { (void)index; }
    virtual void didDismissWithButtonIndex(AlertView&, int index) { (void)index; }
};

/// An alert shown over everything until a button is pressed. The delegate is held weakly.
/// Main thread only.
class AlertView final : public Alert {
public:
    /// `cancelButtonTitle` (when not empty) becomes button 0 and the cancel button; the others
    /// follow in order.
    static std::shared_ptr<AlertView> create(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate = {},
        std::string cancelButtonTitle = {}, std::vector<std::string> otherButtonTitles = {});
    const char* className() const override { return "AlertView"; }

    std::shared_ptr<AlertViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<AlertViewDelegate> delegate) { m_delegate = std::move(delegate); }
    /// Puts the alert on screen; showing it again does nothing.
    void show();

private:
    AlertView() = default;
    void clicked(int index) override;
    void willDismiss(int index) override;
    void didDismiss(int index) override;
    std::weak_ptr<AlertViewDelegate> m_delegate;
};

} // namespace morvix::platform
