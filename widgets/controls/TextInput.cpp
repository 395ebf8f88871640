#include "widgets/controls/TextInput.h"

#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/controls/KeyInput.h"
#include "widgets/controls/MultiTextInput.h"
#include "widgets/controls/SingleTextInput.h"
#include "widgets/controls/TextEditing.h"
#include "widgets/foundation/Display.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

using platform::Value;

namespace {

constexpr CreationVariant kSingleLineVariant { .property = "type", .value = "", .kind = "a single-line input" };
constexpr CreationVariant kMultilineVariant { .property = "type", .value = "multiline", .kind = "a multi-line input" };

constexpr EventDeclaration kModifyEvent {
    .listen = "modify",
    .name = "modify",
    .attributes = R"({"text": string})",
    .note = "on each change of the text, with the new text",
};
constexpr EventDeclaration kAcceptEvent {
    .listen = "accept",
    .name = "accept",
    .attributes = R"({"text": string})",
    .note = "on the return key of a single-line input or the Done item above the keyboard of a multi-line one",
};
constexpr EventDeclaration kFocusEvent {
    .listen = "focus",
    .name = "focus",
    .note = "when editing begins",
};
constexpr EventDeclaration kBlurEvent {
    .listen = "blur",
    .name = "blur",
    .note = "when editing ends",
};

} // namespace

TextInput::~TextInput() = default;

const WireTable& TextInput::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .variant(kSingleLineVariant)
                                       .variant(kMultilineVariant)
                                       .event(kModifyEvent)
                                       .event(kAcceptEvent)
                                       .event(kFocusEvent)
                                       .event(kBlurEvent);
    return table;
}

std::shared_ptr<BasicObject> TextInput::create(const std::string& id, const Value* properties, std::shared_ptr<ClientContext> client)
{
    std::optional<std::string> type;
    if (properties && properties->is_object() && properties->contains("type") && properties->at("type").is_string())
        type = properties->at("type").get<std::string>();
    std::shared_ptr<TextInput> input;
    if (isSingleLine(type))
        input = SingleTextInput::make(id, std::move(client));
    else
        input = MultiTextInput::make(id, std::move(client));
    input->setType(type);
    input->setForeground(platform::Color::black());
    input->setBackground(platform::Color::white());
    input->setEditable(true);
    input->setEnabled(true);
    input->applyAutoCorrectionDefaults();
    input->applyAutoCapitalizationDefaults();
    input->setFont(std::nullopt);
    return input;
}

bool TextInput::isSingleLine(const std::optional<std::string>& type)
{
    return type != kMultilineVariant.value;
}

const PropertyTable& TextInput::properties()
{
    static const PropertyTable table = PropertyTable::extend<TextInput>(Control::properties())
                                           .boolean("enabled", &TextInput::setEnabled, &TextInput::isEnabled)
                                           .boolean("editable", &TextInput::setEditable, &TextInput::editable)
                                           .boolean("autoCorrect", &TextInput::setAutoCorrect, &TextInput::autoCorrect)
                                           .boolean("autoCapitalize", &TextInput::setAutoCapitalize, &TextInput::autoCapitalize)
                                           .flag("focusListener", &TextInput::m_focusListener)
                                           .flag("blurListener", &TextInput::m_blurListener)
                                           .flag("acceptListener", &TextInput::m_acceptListener)
                                           .string("type", &TextInput::setType, &TextInput::type)
                                           .string("text", &TextInput::setText, &TextInput::text)
                                           .string("message", &TextInput::setMessage, &TextInput::message)
                                           .value("selection", &TextInput::setSelection, &TextInput::selection)
                                           .string("alignment", &TextInput::setAlignment, &TextInput::alignment)
                                           .string("keyboard", &TextInput::setKeyboard, &TextInput::keyboard)
                                           .font("font", &TextInput::setFont, &TextInput::currentFont);
    return table;
}

const PropertyNames& TextInput::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "type", "text", "enabled", "editable", "selection", "alignment", "keyboard", "autoCorrect", "autoCapitalize" });
    return names;
}

platform::KeyInput* TextInput::keyInput() const
{
    return dynamic_cast<platform::KeyInput*>(getTextInput().get());
}

platform::TextRange TextInput::currentSelection() const
{
    auto* input = keyInput();
    return input ? input->selectedRange() : platform::TextRange {};
}

void TextInput::bindTextInput(const char* name)
{
    auto input = getTextInput();
    std::weak_ptr<TextInput> weak = std::static_pointer_cast<TextInput>(shared_from_this());
    // Every input posts this; only this widget's own view counts.
    m_observations.push_back(platform::NotificationCenter::defaultCenter()->addObserver(name, input.get(),
        [weak](const platform::Notification&) {
            if (auto self = weak.lock())
                self->textModified();
        }));
}

// MARK: Properties

void TextInput::setAutoCorrect(bool correct)
{
    m_autoCorrect = correct;
    if (auto* input = keyInput())
        input->setAutocorrectionType(correct ? platform::AutocorrectionType::Yes : platform::AutocorrectionType::No);
}

void TextInput::setAutoCapitalize(bool capitalize)
{
    m_autoCapitalize = capitalize;
    if (auto* input = keyInput())
        input->setAutocapitalizationType(capitalize ? platform::AutocapitalizationType::Sentences : platform::AutocapitalizationType::None);
}

std::optional<std::string> TextInput::text() const
{
    auto* input = keyInput();
    return input ? std::optional<std::string>(input->text()) : std::nullopt;
}

void TextInput::setText(std::optional<std::string> text)
{
    if (auto* input = keyInput())
        input->setText(text.value_or(std::string()));
}

void TextInput::setSelection(std::optional<Value> selection)
{
    if (selection && selection->is_null())
        selection.reset();
    if (selection && !textediting::isSelectionValue(*selection))
        RemoteException::throwIncorrectParameter("property \"selection\" expects null or two numbers, got %@", selection->dump());
    m_selection = std::move(selection);
    if (auto* input = keyInput())
        textediting::applySelection(*input, m_selection);
}

void TextInput::setAlignment(std::optional<std::string> alignment)
{
    m_alignment = std::move(alignment);
    auto input = getTextInput();
    if (!input)
        return;
    auto native = platform::TextAlignment::Left;
    if (m_alignment == "right")
        native = platform::TextAlignment::Right;
    else if (m_alignment == "center")
        native = platform::TextAlignment::Center;
    textediting::setTextAlignment(*input, native);
}

void TextInput::setKeyboard(std::optional<std::string> keyboard)
{
    m_keyboard = std::move(keyboard);
    if (auto* input = keyInput())
        input->setKeyboardType(textediting::keyboardNamed(m_keyboard.value_or(std::string())));
}

void TextInput::setForeground(std::optional<platform::Color> color)
{
    Control::setForeground(color);
    if (auto input = getTextInput())
        textediting::setTextColor(*input, color.value_or(platform::Color::black()));
}

void TextInput::setFont(std::optional<platform::Font> font)
{
    Control::setFont(font);
    if (auto input = getTextInput())
        textediting::setFont(*input, font.value_or(FontHelper::textFont()));
}

std::optional<platform::Font> TextInput::currentFont() const
{
    return font().value_or(FontHelper::textFont());
}

void TextInput::applyAutoCorrectionDefaults()
{
    if (auto* input = keyInput())
        textediting::applyCorrectionDefault(*input, client().get());
}

void TextInput::applyAutoCapitalizationDefaults()
{
    if (auto* input = keyInput())
        textediting::applyCapitalizationDefault(*input, client().get());
}

// MARK: Editing and events

void TextInput::textModified()
{
    auto range = currentSelection();
    setSelection(Value::array({ range.location, range.end() }));
    if (!m_modifyListener)
        return;
    if (auto message = notificationForObject())
        message->fire(kModifyEvent, { { "text", text().value_or(std::string()) } });
}

void TextInput::defaultSelected(const void* sender)
{
    (void)sender;
    if (!m_acceptListener)
        return;
    if (auto message = notificationForObject())
        message->fire(kAcceptEvent, { { "text", text().value_or(std::string()) } });
}

void TextInput::focusedIn()
{
    auto client = this->client();
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->setFocusControl(objectId());
    if (!m_selection) {
        std::size_t length = platform::utf16::length(text().value_or(std::string()));
        setSelection(Value::array({ length, length }));
    }
    if (!m_focusListener)
        return;
    if (auto message = notificationForObject())
        message->fire(kFocusEvent);
}

void TextInput::focusedOut()
{
    auto client = this->client();
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->setFocusControl(std::nullopt);
    if (!m_blurListener)
        return;
    if (auto message = notificationForObject())
        message->fire(kBlurEvent);
}

bool TextInput::shouldBeginEditing(platform::View& input)
{
    if (m_enabled) {
        if (auto* keys = dynamic_cast<platform::KeyInput*>(&input))
            keys->setInputAccessoryView(accessoryView());
    }
    return m_enabled;
}

std::shared_ptr<platform::View> TextInput::accessoryView()
{
    return textediting::doneToolbar(weak_from_this(), [weak = std::weak_ptr<TextInput>(std::static_pointer_cast<TextInput>(shared_from_this()))] {
        if (auto self = weak.lock())
            self->clickedDone();
    });
}

void TextInput::clickedDone()
{
    auto input = getTextInput();
    defaultSelected(input.get());
    // Resigning, so that the input hears that editing ended (and "blur" goes out).
    if (input)
        input->resignFirstResponder();
}

void TextInput::destroy()
{
    m_observations.clear();
    Control::destroy();
}

} // namespace morvix
