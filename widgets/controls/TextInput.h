#pragma once
// "morvix.TextInput": the product's own text-entry widget.

#include "core/objects/RemoteClass.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Utf16.h"
#include "widgets/foundation/Control.h"
#include "widgets/foundation/TextWidget.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

namespace platform {
class KeyInput;
}

/// What the one- and multi-line kinds of "morvix.TextInput" share: plain properties ("type",
/// "editable", "enabled", "autoCorrect", "autoCapitalize", "keyboard", "alignment", "message",
/// "selection") and the lower-case events "modify" {"text"}, "accept" {"text"}, "focus" and
/// "blur", each sent at once and only while listened. There is no text limit, no selection
/// event and no property change: without a "modify" listener typing sends and stores nothing.
///
/// `enabled` is the widget's own flag: setting it only stores it (the view's look and user
/// interaction stay), and it only decides whether editing may begin. Changes are allowed
/// exactly while `editable`.
///
/// `create` picks `MultiTextInput` for "type" "multiline", else `SingleTextInput`, then in this
/// order: the type, foreground black, background white, editable, enabled, the session's
/// correction and capitalisation defaults, the default font; the create's properties follow as
/// a set ("type" again).
///
/// Main thread only.
class TextInput : public RemoteClass<TextInput, Control>, public TextWidget {
public:
    static constexpr std::string_view kRemoteType = "morvix.TextInput";

    using RemoteClass::RemoteClass;
    ~TextInput() override;

    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    /// True unless `type` is "multiline" (none is one line).
    static bool isSingleLine(const std::optional<std::string>& type);

    static const PropertyTable& properties();
    /// `Control`'s names plus "type", "text", "enabled", "editable", "selection", "alignment",
    /// "keyboard", "autoCorrect", "autoCapitalize".
    static const PropertyNames& remoteObjectProperties();
    /// "modify", "accept", "focus" and "blur"; the kinds, by "type".
    static const WireTable& wire();

    /// The native text field or view.
    virtual std::shared_ptr<platform::View> getTextInput() const = 0;
    platform::KeyInput* keyInput() const;
    /// The native selection.
    virtual platform::TextRange currentSelection() const;

    std::shared_ptr<platform::View> view() const override { return getTextInput(); }

    bool isEnabled() const { return m_enabled; }
    /// Stores only (see the class comment).
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool editable() const { return m_editable; }
    virtual void setEditable(bool editable) { m_editable = editable; }
    bool autoCorrect() const { return m_autoCorrect; }
    void setAutoCorrect(bool correct);
    bool autoCapitalize() const { return m_autoCapitalize; }
    void setAutoCapitalize(bool capitalize);
    const std::optional<std::string>& type() const { return m_type; }
    virtual void setType(std::optional<std::string> type) { m_type = std::move(type); }
    /// The view's text.
    std::optional<std::string> text() const;
    void setText(std::optional<std::string> text);
    const std::optional<std::string>& message() const { return m_message; }
    virtual void setMessage(std::optional<std::string> message) { m_message = std::move(message); }
    const std::optional<platform::Value>& selection() const { return m_selection; }
    /// Null or an array of two numbers, else the parameter exception. Stored as given and
    /// applied to the view (clamped, see `textediting::applySelection`); sends nothing.
    void setSelection(std::optional<platform::Value> selection);
    const std::optional<std::string>& alignment() const { return m_alignment; }
    /// "right" and "center" align so; anything else aligns left.
    void setAlignment(std::optional<std::string> alignment);
    const std::optional<std::string>& keyboard() const { return m_keyboard; }
    void setKeyboard(std::optional<std::string> keyboard);
    /// Stored; the view's text colour (black for none).
    void setForeground(std::optional<platform::Color> color) override;
    /// Stored; the view's font (`FontHelper::textFont` for none).
    void setFont(std::optional<platform::Font> font) override;
    std::optional<platform::Font> currentFont() const;

    void applyAutoCorrectionDefaults();
    void applyAutoCapitalizationDefaults();

    /// After a typed change: the native selection is stored (no event); with "modify"
    /// listened, "modify" {"text"} is sent at once.
    void textModified();
    /// With "accept" listened, "accept" {"text"} at once.
    void defaultSelected(const void* sender);
    /// The `Display`'s focus control becomes this widget; a selection still unknown becomes
    /// the caret at the end; "focus" when listened.
    void focusedIn();
    /// The `Display`'s focus control is cleared; "blur" when listened.
    void focusedOut();
    /// A toolbar with the Done item (`clickedDone`); the multi-line kind shows it.
    virtual std::shared_ptr<platform::View> accessoryView();
    /// `defaultSelected` with the text input, then the text input ends editing.
    void clickedDone();
    /// Stops observing, then `Control`'s destroy.
    void destroy() override;

    bool focusListener() const { return m_focusListener; }
    bool blurListener() const { return m_blurListener; }
    bool acceptListener() const { return m_acceptListener; }

protected:
    /// Observes the text-did-change notification `name` from the widget's own view, and makes
    /// the widget the view's parent and layout delegate. The kinds call it once constructed.
    void bindTextInput(const char* name);
    /// The begin-of-editing answer both kinds give: `enabled`, with the keyboard toolbar set
    /// when enabled.
    bool shouldBeginEditing(platform::View& input);

private:
    bool m_enabled = true;
    bool m_editable = true;
    bool m_autoCorrect = false;
    bool m_autoCapitalize = false;
    bool m_focusListener = false;
    bool m_blurListener = false;
    bool m_acceptListener = false;
    std::optional<std::string> m_type;
    std::optional<std::string> m_message;
    std::optional<platform::Value> m_selection;
    std::optional<std::string> m_alignment;
    std::optional<std::string> m_keyboard;
    std::vector<platform::ObserverToken> m_observations;
};

} // namespace morvix
