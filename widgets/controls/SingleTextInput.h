#pragma once
// The one-line kind of "morvix.TextInput".

#include "platform/ui/controls/TextField.h"
#include "widgets/controls/TextInput.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

class MorvixTextField;

/// "morvix.TextInput" of any type but "multiline": a `MorvixTextField` with a rounded border,
/// whose delegate it is. "type" sets three traits at once: "password" secure entry, the default
/// return key and a clear button while editing; "search" plain entry, the search return key and
/// a clear button while editing; anything else plain entry, the default return key and no clear
/// button. "message" is the placeholder. Return sends "accept" (when listened) and ends
/// editing. No keyboard toolbar. Main thread only.
class SingleTextInput final : public TextInput, public platform::TextFieldDelegate {
public:
    SingleTextInput(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~SingleTextInput() override;
    /// Constructs it and binds it to its field (parent, layout delegate, delegate, observer).
    static std::shared_ptr<SingleTextInput> make(const std::string& id, std::shared_ptr<ClientContext> client);

    std::shared_ptr<platform::View> getTextInput() const override;
    const std::shared_ptr<MorvixTextField>& textField() const { return m_textField; }

    void setType(std::optional<std::string> type) override;
    void setMessage(std::optional<std::string> message) override;
    std::shared_ptr<platform::View> accessoryView() override { return nullptr; }

    // platform::TextFieldDelegate
    bool textFieldShouldBeginEditing(platform::TextField& field) override { return shouldBeginEditing(field); }
    void textFieldDidBeginEditing(platform::TextField&) override { focusedIn(); }
    void textFieldDidEndEditing(platform::TextField&) override { focusedOut(); }
    bool textFieldShouldReturn(platform::TextField& field) override;
    bool textFieldShouldChangeCharacters(platform::TextField&, platform::TextRange, const std::string&) override { return editable(); }

private:
    std::shared_ptr<MorvixTextField> m_textField;
};

} // namespace morvix
