#pragma once
// What alerts and action sheets on screen have in common.

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

/// An alert or action sheet: a title, a message and buttons, shown through the application's
/// alert list and answered by pressing a button by its title (a person, a test or a script) or
/// dismissed from code. Owned by the application while shown. Main thread only.
class Alert : public std::enable_shared_from_this<Alert> {
public:
    virtual ~Alert() = default;
    Alert(const Alert&) = delete;
    Alert& operator=(const Alert&) = delete;

    virtual const char* className() const = 0;
    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    const std::string& message() const { return m_message; }
    void setMessage(std::string message) { m_message = std::move(message); }
    const std::vector<std::string>& buttonTitles() const { return m_buttons; }
    /// Adds a button and returns its index.
    int addButton(std::string title);
    std::string buttonTitle(int index) const;
    int cancelButtonIndex() const { return m_cancelIndex; }
    void setCancelButtonIndex(int index) { m_cancelIndex = index; }
    bool isVisible() const { return m_visible; }

    /// Presses the first button titled `title`; false (and nothing happens) when there is none
    /// or the alert is not shown.
    bool press(const std::string& title);
    /// Presses the button at `index` as a person would: the delegate hears of the click, then of
    /// the dismissal. False when the index is out of range or the alert is not shown.
    bool pressButton(int index);
    /// Takes the alert off screen from code: the delegate hears of the dismissal only.
    void dismissWithClickedButtonIndex(int index, bool animated);

protected:
    Alert() = default;
    /// Puts the alert on screen (the application's list).
    void showOnScreen();
    virtual void clicked(int index) = 0;
    virtual void willDismiss(int index) = 0;
    virtual void didDismiss(int index) = 0;

private:
    std::string m_title;
    std::string m_message;
    std::vector<std::string> m_buttons;
    int m_cancelIndex = -1;
    bool m_visible = false;
};

} // namespace morvix::platform
