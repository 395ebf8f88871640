#include "widgets/controls/SingleTextInput.h"

#include "widgets/controls/MorvixTextField.h"

namespace morvix {

SingleTextInput::SingleTextInput(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : TextInput(key, std::move(id), std::move(client))
    , m_textField(MorvixTextField::create())
{
    m_textField->setBorderStyle(platform::TextBorderStyle::RoundedRect);
}

SingleTextInput::~SingleTextInput() = default;

std::shared_ptr<SingleTextInput> SingleTextInput::make(const std::string& id, std::shared_ptr<ClientContext> client)
{
    auto input = construct<SingleTextInput>(id, std::move(client));
    input->m_textField->setParent(input);
    input->m_textField->setLayoutDelegate(input);
    input->m_textField->setDelegate(input);
    input->bindTextInput(platform::TextField::kTextDidChangeNotification);
    return input;
}

std::shared_ptr<platform::View> SingleTextInput::getTextInput() const
{
    return m_textField;
}

void SingleTextInput::setType(std::optional<std::string> type)
{
    TextInput::setType(type);
    bool password = type == "password";
    bool search = type == "search";
    m_textField->setSecureTextEntry(password);
    m_textField->setReturnKeyType(search ? platform::ReturnKeyType::Search : platform::ReturnKeyType::Default);
    m_textField->setClearButtonMode(password || search ? platform::TextFieldViewMode::WhileEditing : platform::TextFieldViewMode::Never);
}

void SingleTextInput::setMessage(std::optional<std::string> message)
{
    TextInput::setMessage(message);
    m_textField->setPlaceholder(message.value_or(std::string()));
}

bool SingleTextInput::textFieldShouldReturn(platform::TextField& field)
{
    defaultSelected(&field);
    field.resignFirstResponder();
    return false;
}

} // namespace morvix
