#pragma once
// Turns the return key or the Done item of a text widget into "DefaultSelection".

#include <memory>
#include <string>

namespace morvix {

class Text;

/// Exists while a text widget listens to "DefaultSelection" and reports it: when the widget's
/// text input is done (return, or the Done item above the keyboard), the focus report that hands
/// the focus back to the widget's parent is scheduled on the `Display` first, then the widget
/// sends "text", "selection" and "DefaultSelection" at once. Holds the widget weakly and does
/// nothing once it is gone. Owned by the widget. Main thread only.
class TextDefaultSelectionListener final {
public:
    explicit TextDefaultSelectionListener(std::weak_ptr<Text> widget);
    TextDefaultSelectionListener(const TextDefaultSelectionListener&) = delete;
    TextDefaultSelectionListener& operator=(const TextDefaultSelectionListener&) = delete;

    std::shared_ptr<Text> textWidget() const { return m_textWidget.lock(); }

    /// Reports, unless `sender` is other than the widget's text input (then nothing happens).
    void selected(const void* sender);
    /// Schedules "activeControl" and then "focusControl", both the id of the widget's parent,
    /// on the session's root object (the `Display`). Nothing for a widget without a parent.
    void scheduleFocusLost();
    /// Sends "text" = `text`, "selection" = the widget's selection, then "DefaultSelection".
    void sendDefaultSelection(const std::string& text);

private:
    std::weak_ptr<Text> m_textWidget;
};

} // namespace morvix
