#include "widgets/controls/Text.h"

#include "core/MorvixClient.h"
#include "core/Notification.h"
#include "core/RemoteException.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/Toolbar.h"
#include "widgets/controls/TextDefaultSelectionListener.h"
#include "widgets/controls/TextReplacer.h"
#include "widgets/foundation/Display.h"

#include <cstdint>
#include <utility>

namespace morvix {

using platform::Value;

namespace {

platform::KeyboardType keyboardNamed(const std::string& name)
{
    using platform::KeyboardType;
    static const std::pair<const char*, KeyboardType> table[] = {
        { "ascii", KeyboardType::ASCIICapable },
        { "numbersAndPunctuation", KeyboardType::NumbersAndPunctuation },
        { "url", KeyboardType::URL },
        { "number", KeyboardType::NumberPad },
        { "phone", KeyboardType::PhonePad },
        { "email", KeyboardType::EmailAddress },
    };
    for (const auto& [entry, type] : table) {
        if (name == entry)
            return type;
    }
    if (name == "decimal") {
        bool pad = platform::DeviceInfo::current().idiom() == platform::DeviceIdiom::Pad;
        return pad ? KeyboardType::NumbersAndPunctuation : KeyboardType::DecimalPad;
    }
    return KeyboardType::Default;
}

bool isSelectionValue(const Value& value)
{
    return value.is_array() && value.size() == 2 && value[0].is_number() && value[1].is_number();
}

// The session's default for a trait; absent when the client is gone or gives none.
std::optional<bool> clientDefault(const ClientContext* client, std::optional<bool> (MorvixClient::*read)() const)
{
    auto* session = dynamic_cast<const MorvixClient*>(client);
    return session ? (session->*read)() : std::nullopt;
}

} // namespace

Text::~Text() = default;

const PropertyTable& Text::properties()
{
    static const PropertyTable table = PropertyTable::extend<Text>(Control::properties())
                                           .flag("verifyModifyListener", &Text::m_verifyModifyListener)
                                           .boolean("defaultSelectionListener", &Text::setDefaultSelectionListener,
                                               &Text::defaultSelectionListener)
                                           .string("text", &Text::setText, &Text::text)
                                           .string("toolTip", &Text::setToolTip, &Text::toolTip)
                                           .string("echoChar", &Text::setEchoChar, &Text::echoChar)
                                           .number("textLimit", &Text::setTextLimit, &Text::textLimit)
                                           .value("selection", &Text::setSelection, &Text::selection);
    return table;
}

const PropertyNames& Text::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "text", "enabled", "editable", "font", "toolTip", "echoChar" });
    return names;
}

platform::KeyInput* Text::keyInput() const
{
    return dynamic_cast<platform::KeyInput*>(getTextInput().get());
}

// MARK: Traits

void Text::setData(std::optional<Value> data)
{
    Control::setData(std::move(data));
    applyKeyboardType();
    applyAutoCapitalization();
    applyAutoCorrection();
}

void Text::setStyle(std::optional<Value> style)
{
    Control::setStyle(std::move(style));
    updateSecureTextEntry();
}

void Text::setEchoChar(std::optional<std::string> echoChar)
{
    m_echoChar = std::move(echoChar);
    updateSecureTextEntry();
}

void Text::applyKeyboardType()
{
    auto* input = keyInput();
    if (!input)
        return;
    const auto& data = this->data();
    const Value* name = data && data->is_object() && data->contains("keyboard") ? &data->at("keyboard") : nullptr;
    input->setKeyboardType(name && name->is_string() ? keyboardNamed(name->get<std::string>()) : platform::KeyboardType::Default);
}

void Text::applyAutoCapitalization()
{
    auto* input = keyInput();
    if (!input)
        return;
    if (dataForKey("autoCapitalize", true))
        input->setAutocapitalizationType(platform::AutocapitalizationType::Sentences);
    else if (dataForKey("autoCapitalize", false))
        input->setAutocapitalizationType(platform::AutocapitalizationType::None);
}

void Text::applyAutoCorrection()
{
    auto* input = keyInput();
    if (!input)
        return;
    if (dataForKey("autoCorrect", true))
        input->setAutocorrectionType(platform::AutocorrectionType::Yes);
    else if (dataForKey("autoCorrect", false))
        input->setAutocorrectionType(platform::AutocorrectionType::No);
}

void Text::applyAutoCapitalizationDefaults()
{
    auto* input = keyInput();
    if (!input)
        return;
    bool capitalize = clientDefault(client().get(), &MorvixClient::defaultAutoCapitalization).value_or(false);
    input->setAutocapitalizationType(capitalize ? platform::AutocapitalizationType::Sentences : platform::AutocapitalizationType::None);
}

void Text::applyAutoCorrectionDefaults()
{
    auto* input = keyInput();
    if (!input)
        return;
    bool correct = clientDefault(client().get(), &MorvixClient::defaultAutoCorrection).value_or(false);
    input->setAutocorrectionType(correct ? platform::AutocorrectionType::Default : platform::AutocorrectionType::No);
}

void Text::updateSecureTextEntry()
{
    if (auto* input = keyInput())
        input->setSecureTextEntry(hasStyle("PASSWORD") || m_echoChar.has_value());
}

// MARK: Selection and events

void Text::setSelection(std::optional<Value> selection)
{
    if (selection && selection->is_null())
        selection.reset();
    if (selection && !isSelectionValue(*selection))
        RemoteException::throwIncorrectParameter("property \"selection\" expects null or two numbers, got {}", selection->dump());
    m_selection = std::move(selection);
    if (m_selection)
        selectionChanged();
}

void Text::selectionChanged()
{
    if (m_selectionListener)
        sendSelectionEvent();
    checkForTextReplacement();
}

void Text::sendSelectionEvent()
{
    auto message = notificationForObject();
    if (!message)
        return;
    message->attributeChanged(text().value_or(std::string()), "text");
    message->attributeChanged(m_selection.value_or(nullptr), "selection");
    message->fireSelection();
}

void Text::textModified()
{
    auto range = currentSelection();
    setSelection(Value::array({ range.location, range.end() }));
    auto message = notificationForObject();
    if (message) {
        message->attributeChanged(text().value_or(std::string()), "text");
        message->attributeChanged(m_selection.value_or(nullptr), "selection");
        if (m_modifyListener || m_verifyModifyListener)
            message->fireEvent("Modify");
        else
            message->store();
    }
    checkForTextReplacement();
}

void Text::focusedIn()
{
    auto client = this->client();
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->setFocusControl(objectId());
    if (!m_selection) {
        std::size_t length = platform::utf16::length(text().value_or(std::string()));
        setSelection(Value::array({ length, length }));
    }
    if (m_focusInListener) {
        if (auto message = notificationForObject())
            message->fireEvent("FocusIn");
    }
    checkForTextReplacement();
}

void Text::focusedOut()
{
    auto client = this->client();
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->setFocusControl(std::nullopt);
    if (!m_focusOutListener)
        return;
    if (auto message = notificationForObject())
        message->fireEvent("FocusOut");
}

void Text::checkForTextReplacement()
{
    const auto& data = this->data();
    if (!data || !data->is_object() || !data->contains("textReplacement") || !data->at("textReplacement").is_string())
        return;
    auto client = this->client();
    auto object = client ? client->objectById(data->at("textReplacement").get<std::string>()) : nullptr;
    if (auto replacer = std::dynamic_pointer_cast<TextReplacer>(object))
        replacer->handle(std::static_pointer_cast<Text>(shared_from_this()));
}

// MARK: Default selection

void Text::setDefaultSelectionListener(bool listen)
{
    m_defaultSelectionListener = listen;
    if (!listen) {
        m_textDefaultSelectionListener.reset();
        return;
    }
    if (!m_textDefaultSelectionListener)
        m_textDefaultSelectionListener = std::make_shared<TextDefaultSelectionListener>(std::static_pointer_cast<Text>(shared_from_this()));
}

void Text::defaultSelected(const void* sender)
{
    if (m_defaultSelectionListener && m_textDefaultSelectionListener)
        m_textDefaultSelectionListener->selected(sender);
}

std::shared_ptr<platform::View> Text::accessoryView()
{
    auto toolbar = platform::Toolbar::create();
    auto done = platform::BarButtonItem::createSystem(platform::BarButtonSystemItem::Done);
    done->setTarget(weak_from_this(), [weak = std::weak_ptr<Text>(std::static_pointer_cast<Text>(shared_from_this()))](platform::BarButtonItem&) {
        if (auto self = weak.lock())
            self->clickedDone();
    });
    toolbar->setItems({ platform::BarButtonItem::createSystem(platform::BarButtonSystemItem::FlexibleSpace), done });
    toolbar->sizeToFit();
    return toolbar;
}

void Text::clickedDone()
{
    auto input = getTextInput();
    defaultSelected(input.get());
    // Resigning, not a forced `endEditing`: the forced form drops the first responder without
    // asking it, so the input's end of editing (and with it "FocusOut") would never come.
    if (input)
        input->resignFirstResponder();
}

bool Text::willBeWithinLimit(const platform::KeyInput& input, platform::TextRange range, const std::string& replacement) const
{
    if (!m_textLimit || !(m_textLimit->is_number() || m_textLimit->is_boolean()))
        return true;
    if (replacement.find('\n') != std::string::npos)
        return true;
    std::size_t current = currentTextLength(input);
    std::size_t replaced = std::min(platform::utf16::roundedRange(input.text(), range).length, current);
    auto newLength = static_cast<std::uint64_t>(current - replaced + platform::utf16::length(replacement));
    // The limit is read as an unsigned count, so a negative one never limits.
    std::uint64_t limit = 0;
    if (m_textLimit->is_boolean())
        limit = m_textLimit->get<bool>() ? 1 : 0;
    else if (m_textLimit->is_number_float()) {
        double value = m_textLimit->get<double>();
        // Beyond the 64-bit range (and NaN) the limit is larger than any text, read unsigned.
        if (!(value > -9.2e18 && value < 9.2e18))
            return true;
        limit = static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
    } else
        limit = m_textLimit->get<std::uint64_t>();
    return newLength <= limit;
}

std::size_t Text::currentTextLength(const platform::KeyInput& input)
{
    return platform::utf16::length(input.text());
}

void Text::destroy()
{
    m_observations.clear();
    m_textDefaultSelectionListener.reset();
    Control::destroy();
}

} // namespace morvix
