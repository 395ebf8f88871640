#pragma once
// The base of the editable text widgets.

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

class TextDefaultSelectionListener;

/// What the single- and multi-line text widgets ("zub.widgets.Text") share: keyboard and input
/// traits from "data" ("keyboard", "autoCapitalize", "autoCorrect"), password entry ("PASSWORD"
/// or any "echoChar"), the text limit, the selection, the events "Modify", "FocusIn", "FocusOut",
/// "Selection" and "DefaultSelection", the hand-off to a text replacer (data "textReplacement")
/// and the Done toolbar above the keyboard. The kinds own the native view (`getTextInput`, a
/// `MorvixTextField` or `MorvixTextView`), make themselves its delegate and call `textModified`,
/// `focusedIn`, `focusedOut`, `defaultSelected` and `willBeWithinLimit` from its callbacks.
///
/// Lengths, offsets, selections and the limit count UTF-16 code units (`platform::utf16`).
///
/// Orders (each step only where it applies):
///  1. `textModified`: the native selection becomes `setSelection` [start, end] (which may send
///     "Selection"); "text" and "selection" are recorded; "Modify" is sent at once with them
///     while "Modify" or "VerifyModify" is listened, else they are stored for the next request;
///     then the text replacer.
///  2. `focusedIn`: the `Display`'s focus control becomes this widget; a selection still unknown
///     becomes the caret at the end; "FocusIn"; the text replacer.
///  3. `focusedOut`: the `Display`'s focus control is cleared; "FocusOut".
///  4. `setSelection` with an array: stored; with "Selection" listened, "text", "selection" and
///     "Selection" are sent at once; then the text replacer. Null only clears it.
///
/// Main thread only.
class Text : public RemoteClass<Text, Control>, public TextWidget {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Text";

    using RemoteClass::RemoteClass;
    ~Text() override;

    /// `MultiText` when the create's "style" holds "MULTI", else `SingleText`.
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// `Control`'s names plus "text", "enabled", "editable", "font", "toolTip", "echoChar".
    static const PropertyNames& remoteObjectProperties();
    /// The events of both kinds, "text" and "selection", and the style words both read.
    static const WireTable& wire();
    /// What the return key or the Done item sends; see `TextDefaultSelectionListener`.
    static const EventDeclaration kDefaultSelectionEvent;
    static const ReportDeclaration kTextReport;
    static const ReportDeclaration kSelectionReport;

    /// The native text field or view; null in the base.
    virtual std::shared_ptr<platform::View> getTextInput() const { return nullptr; }
    /// The text input's editing interface; null without one.
    platform::KeyInput* keyInput() const;
    /// The native selection; (0, 0) in the base.
    virtual platform::TextRange currentSelection() const { return {}; }

    /// The base's storage; the kinds read and write the native view.
    virtual std::optional<std::string> text() const { return m_text; }
    virtual void setText(std::optional<std::string> text) { m_text = text.value_or(std::string()); }
    const std::optional<std::string>& toolTip() const { return m_toolTip; }
    void setToolTip(std::optional<std::string> toolTip) { m_toolTip = std::move(toolTip); }
    const std::optional<std::string>& echoChar() const { return m_echoChar; }
    /// Stores the character (never shown), then updates the secure entry.
    void setEchoChar(std::optional<std::string> echoChar);
    const std::optional<platform::Value>& textLimit() const { return m_textLimit; }
    void setTextLimit(std::optional<platform::Value> limit) { m_textLimit = std::move(limit); }
    /// [start, end], or nothing until first known.
    const std::optional<platform::Value>& selection() const { return m_selection; }
    /// Null or an array of two numbers, else the parameter exception. See order 4.
    virtual void setSelection(std::optional<platform::Value> selection);
    bool verifyModifyListener() const { return m_verifyModifyListener; }
    bool focusInListener() const { return m_focusInListener; }
    bool focusOutListener() const { return m_focusOutListener; }
    bool defaultSelectionListener() const { return m_defaultSelectionListener; }
    /// On: a `TextDefaultSelectionListener` for this widget; off: it is dropped.
    void setDefaultSelectionListener(bool listen);
    const std::shared_ptr<TextDefaultSelectionListener>& textDefaultSelectionListener() const { return m_textDefaultSelectionListener; }

    /// `Control`'s, then the keyboard type, auto-capitalisation and auto-correction.
    void setData(std::optional<platform::Value> data) override;
    /// `Control`'s, then the secure entry.
    void setStyle(std::optional<platform::Value> style) override;
    /// Stored; the text input's text colour (black for none).
    void setForeground(std::optional<platform::Color> color) override;
    /// Stored; the text input's font (`FontHelper::textFont` for none).
    void setFont(std::optional<platform::Font> font) override;
    /// The stored font, else `FontHelper::textFont`.
    std::optional<platform::Font> currentFont() const;
    /// Drops every notification observation of the widget and its listener, then `Control`'s.
    void destroy() override;

    /// Data "keyboard" by name; an unknown name or none gives the default keyboard. "decimal"
    /// is the numbers-and-punctuation keyboard on a pad, the decimal pad elsewhere.
    void applyKeyboardType();
    /// Data "autoCapitalize" true: sentences; false: none; anything else: unchanged.
    void applyAutoCapitalization();
    /// Data "autoCorrect" true: on; false: off; anything else: unchanged.
    void applyAutoCorrection();
    /// The session's default: true gives sentences, otherwise none.
    void applyAutoCapitalizationDefaults();
    /// The session's default: true gives the platform's default correction (the user's
    /// setting), otherwise off.
    void applyAutoCorrectionDefaults();
    /// Secure entry while the style has "PASSWORD" or any echo character is set.
    void updateSecureTextEntry();

    void selectionChanged();
    void sendSelectionEvent();
    void textModified();
    void focusedIn();
    void focusedOut();
    /// Hands the widget to the `TextReplacer` that data "textReplacement" names; nothing when
    /// the key is absent or names anything else.
    void checkForTextReplacement();

    /// With "DefaultSelection" listened, tells the listener that `sender` is done.
    void defaultSelected(const void* sender);
    /// A toolbar sized to fit with a flexible space and a system Done item that calls
    /// `clickedDone`; the multi-line kind shows it above the keyboard.
    virtual std::shared_ptr<platform::View> accessoryView();
    /// `defaultSelected` with the text input, then the text input ends editing.
    void clickedDone();

    /// Whether replacing `range` of `input`'s text by `replacement` keeps it within "textLimit":
    /// always without a limit, and always when the replacement holds "\n"; otherwise when the
    /// new length is at most the limit, both taken as unsigned (a negative limit never limits).
    bool willBeWithinLimit(const platform::KeyInput& input, platform::TextRange range, const std::string& replacement) const;
    static std::size_t currentTextLength(const platform::KeyInput& input);

protected:
    /// Style words "LEFT", "RIGHT", "CENTER" on the text input, checked in that order (the
    /// last one present wins).
    void applyAlignmentStyle();
    /// Keeps `token` until the widget is destroyed (the kinds' text-did-change observers).
    void addObservation(platform::ObserverToken token) { m_observations.push_back(std::move(token)); }

private:
    bool m_verifyModifyListener = false;
    std::string m_text;
    std::optional<std::string> m_toolTip;
    std::optional<std::string> m_echoChar;
    std::optional<platform::Value> m_textLimit;
    std::shared_ptr<TextDefaultSelectionListener> m_textDefaultSelectionListener;
    std::optional<platform::Value> m_selection;
    std::vector<platform::ObserverToken> m_observations;
};

} // namespace morvix
