#pragma once
// The one-line kind of "zub.widgets.Text".

#include "platform/foundation/Timer.h"
#include "platform/ui/controls/TextField.h"
#include "widgets/controls/Text.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

class MorvixTextField;

/// "zub.widgets.Text" without "MULTI": the base's logic on a `MorvixTextField`, whose delegate
/// and layout delegate it is. Styles, applied again on every set after the base's: "SEARCH"
/// (search return key, clear button always), "CANCEL" (clear button always), "BORDER" (rounded
/// border), then "LEFT", "RIGHT", "CENTER" in that order. "message" is the placeholder.
///
/// `editable` reads true exactly while the field takes user interaction and has the rounded
/// border, so a read-only field with "BORDER" reads true; changes are refused by the stored
/// flag all the same.
///
/// Orders:
///  1. Begin of editing: asked first, it answers `enabled` (and, enabled, sets no keyboard
///     toolbar: this kind has none); then the selection timer starts, then `focusedIn`.
///  2. Selection: 0.1 s after the begin the stored selection is applied to the field; from then
///     on the field's selection is polled every 0.1 s and stored (`setSelection`) when an end
///     differs. End of editing and `destroy` stop the timer.
///  3. Return: `defaultSelected`, then editing ends; the field is told no.
///
/// Main thread only.
class SingleText final : public RemoteClass<SingleText, Text>, public platform::TextFieldDelegate {
public:
    static constexpr double kSelectionInterval = 0.1;

    SingleText(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~SingleText() override;
    /// Constructs it, makes it the field's parent, layout delegate and delegate, then applies the
    /// session's correction and capitalisation defaults.
    static std::shared_ptr<SingleText> make(const std::string& id, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// The style words of the single-line kind.
    static const WireTable& wire();

    std::shared_ptr<platform::View> view() const override;
    std::shared_ptr<platform::View> getTextInput() const override;
    platform::TextRange currentSelection() const override;
    const std::shared_ptr<MorvixTextField>& textField() const { return m_textField; }

    std::optional<std::string> text() const override;
    void setText(std::optional<std::string> text) override;
    std::optional<std::string> message() const;
    void setMessage(std::optional<std::string> message);
    bool editable() const;
    /// Stores the flag; the border is the rounded rectangle when true, none when false.
    void setEditable(bool editable);
    void setStyle(std::optional<platform::Value> style) override;
    /// The base's, then the selection is applied to the field.
    void setSelection(std::optional<platform::Value> selection) override;
    /// None: the one-line field has no keyboard toolbar.
    std::shared_ptr<platform::View> accessoryView() override { return nullptr; }
    void destroy() override;

    // platform::TextFieldDelegate
    bool textFieldShouldBeginEditing(platform::TextField& field) override;
    void textFieldDidBeginEditing(platform::TextField& field) override;
    void textFieldDidEndEditing(platform::TextField& field) override;
    bool textFieldShouldReturn(platform::TextField& field) override;
    bool textFieldShouldChangeCharacters(platform::TextField& field, platform::TextRange range, const std::string& replacement) override;

protected:
    void didConstruct() override;

private:
    void startSelectionTimer();
    void applySelection();
    void checkTextFieldSelection();

    std::shared_ptr<MorvixTextField> m_textField;
    bool m_editable = true;
    platform::Timer m_timer;
};

} // namespace morvix
