#include "widgets/controls/Text.h"

#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/controls/KeyInput.h"
#include "widgets/controls/MultiText.h"
#include "widgets/controls/SingleText.h"
#include "widgets/controls/TextDefaultSelectionListener.h"
#include "widgets/controls/TextEditing.h"
#include "widgets/controls/TextReplacer.h"
#include "widgets/foundation/Display.h"
#include "widgets/foundation/StyleWords.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace morvix {

using platform::Value;

namespace {

constexpr CreationVariant kSingleVariant { .property = "style", .value = "", .kind = "a single-line field" };
constexpr CreationVariant kMultiVariant { .property = "style", .value = "MULTI", .kind = "a multi-line text" };
constexpr StyleDeclaration kMultiStyle { .word = "MULTI", .effect = "makes a multi-line text (at creation)" };
constexpr StyleDeclaration kPasswordStyle { .word = "PASSWORD", .effect = "hides the characters (as any \"echoChar\" does)" };
constexpr StyleDeclaration kLeftStyle { .word = "LEFT", .effect = "aligns the text left" };
constexpr StyleDeclaration kRightStyle { .word = "RIGHT", .effect = "aligns the text right, over \"LEFT\"" };
constexpr StyleDeclaration kCenterStyle { .word = "CENTER", .effect = "centres the text, over \"LEFT\" and \"RIGHT\"" };

constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .note = "after \"text\" and \"selection\", whenever the selection changes: as the user moves the caret or "
            "selects, on the first focus, on each change of the text, and when the peer sets \"selection\"",
};
constexpr EventDeclaration kModifyEvent {
    .listen = "Modify, VerifyModify",
    .name = "Modify",
    .note = "after \"text\" and \"selection\", on each change of the text",
};
constexpr EventDeclaration kFocusInEvent {
    .listen = "FocusIn",
    .name = "FocusIn",
    .note = "when editing begins",
};
constexpr EventDeclaration kFocusOutEvent {
    .listen = "FocusOut",
    .name = "FocusOut",
    .note = "when editing ends",
};

} // namespace

const EventDeclaration Text::kDefaultSelectionEvent {
    .listen = "DefaultSelection",
    .name = "DefaultSelection",
    .note = "after \"text\" and \"selection\", on the return key of a single-line field or the Done item above "
            "the keyboard of a multi-line text; the display's \"activeControl\" and \"focusControl\" are then "
            "scheduled with the parent's id",
};

const ReportDeclaration Text::kTextReport {
    .name = "text",
    .kind = "string",
    .note = "with \"Selection\", \"Modify\" and \"DefaultSelection\"; on a change of the text that sends no "
            "\"Modify\", stored",
};

const ReportDeclaration Text::kSelectionReport {
    .name = "selection",
    .kind = "[start, end]",
    .note = "the selection in UTF-16 code units, with \"text\" at the same times",
};

Text::~Text() = default;

std::shared_ptr<BasicObject> Text::create(const std::string& id, const Value* properties, std::shared_ptr<ClientContext> client)
{
    if (creationStyleHasWord(properties, kMultiStyle))
        return MultiText::make(id, std::move(client));
    return SingleText::make(id, std::move(client));
}

const WireTable& Text::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .variant(kSingleVariant)
                                       .variant(kMultiVariant)
                                       .style(kMultiStyle)
                                       .style(kPasswordStyle)
                                       .style(kLeftStyle)
                                       .style(kRightStyle)
                                       .style(kCenterStyle)
                                       .event(kSelectionEvent)
                                       .event(kModifyEvent)
                                       .event(kFocusInEvent)
                                       .event(kFocusOutEvent)
                                       .event(kDefaultSelectionEvent)
                                       .report(kTextReport)
                                       .report(kSelectionReport);
    return table;
}

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
                                           .font("font", &Text::setFont, &Text::currentFont)
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
    input->setKeyboardType(name && name->is_string() ? textediting::keyboardNamed(name->get<std::string>()) : platform::KeyboardType::Default);
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
    if (auto* input = keyInput())
        textediting::applyCapitalizationDefault(*input, client().get());
}

void Text::applyAutoCorrectionDefaults()
{
    if (auto* input = keyInput())
        textediting::applyCorrectionDefault(*input, client().get());
}

void Text::updateSecureTextEntry()
{
    if (auto* input = keyInput())
        input->setSecureTextEntry(hasStyle(kPasswordStyle) || m_echoChar.has_value());
}

// MARK: Look

void Text::setForeground(std::optional<platform::Color> color)
{
    Control::setForeground(color);
    if (auto input = getTextInput())
        textediting::setTextColor(*input, color.value_or(platform::Color::black()));
}

void Text::setFont(std::optional<platform::Font> font)
{
    Control::setFont(font);
    if (auto input = getTextInput())
        textediting::setFont(*input, font.value_or(FontHelper::textFont()));
}

std::optional<platform::Font> Text::currentFont() const
{
    return font().value_or(FontHelper::textFont());
}

void Text::applyAlignmentStyle()
{
    auto input = getTextInput();
    if (!input)
        return;
    // Checked in this order, so that a later word of the three wins.
    if (hasStyle(kLeftStyle))
        textediting::setTextAlignment(*input, platform::TextAlignment::Left);
    if (hasStyle(kRightStyle))
        textediting::setTextAlignment(*input, platform::TextAlignment::Right);
    if (hasStyle(kCenterStyle))
        textediting::setTextAlignment(*input, platform::TextAlignment::Center);
}

// MARK: Selection and events

void Text::setSelection(std::optional<Value> selection)
{
    if (selection && selection->is_null())
        selection.reset();
    if (selection && !textediting::isSelectionValue(*selection))
        RemoteException::throwIncorrectParameter("property \"selection\" expects null or two numbers, got %@", selection->dump());
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
    message->report(kTextReport, text().value_or(std::string()));
    message->report(kSelectionReport, m_selection.value_or(nullptr));
    message->fire(kSelectionEvent);
}

void Text::textModified()
{
    auto range = currentSelection();
    setSelection(Value::array({ range.location, range.end() }));
    auto message = notificationForObject();
    if (message) {
        message->report(kTextReport, text().value_or(std::string()));
        message->report(kSelectionReport, m_selection.value_or(nullptr));
        if (m_modifyListener || m_verifyModifyListener)
            message->fire(kModifyEvent);
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
            message->fire(kFocusInEvent);
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
        message->fire(kFocusOutEvent);
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
    return textediting::doneToolbar(weak_from_this(), [weak = std::weak_ptr<Text>(std::static_pointer_cast<Text>(shared_from_this()))] {
        if (auto self = weak.lock())
            self->clickedDone();
    });
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
