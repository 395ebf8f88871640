#include "widgets/controls/SingleText.h"

#include "platform/foundation/NotificationCenter.h"
#include "widgets/controls/MorvixTextField.h"
#include "widgets/controls/TextEditing.h"

#include <chrono>

namespace morvix {

using platform::Value;

namespace {

constexpr auto kInterval = std::chrono::milliseconds(100);

constexpr StyleDeclaration kSearchStyle { .word = "SEARCH", .effect = "a search return key and a clear button" };
constexpr StyleDeclaration kCancelStyle { .word = "CANCEL", .effect = "a clear button" };
constexpr StyleDeclaration kBorderStyle {
    .word = "BORDER",
    .effect = "a rounded border, also when not editable (\"editable\" then reads back true)",
};

} // namespace

const WireTable& SingleText::wire()
{
    static const WireTable table = WireTable::extend(Text::wire()).style(kSearchStyle).style(kCancelStyle).style(kBorderStyle);
    return table;
}

SingleText::SingleText(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_textField(MorvixTextField::create())
{
}

SingleText::~SingleText() = default;

std::shared_ptr<SingleText> SingleText::make(const std::string& id, std::shared_ptr<ClientContext> client)
{
    auto text = construct<SingleText>(id, std::move(client));
    text->m_textField->setParent(text);
    text->m_textField->setLayoutDelegate(text);
    text->m_textField->setDelegate(text);
    text->applyAutoCorrectionDefaults();
    text->applyAutoCapitalizationDefaults();
    return text;
}

void SingleText::didConstruct()
{
    RemoteClass::didConstruct();
    std::weak_ptr<SingleText> weak = std::static_pointer_cast<SingleText>(shared_from_this());
    // Every field posts this; only this widget's own field counts.
    addObservation(platform::NotificationCenter::defaultCenter()->addObserver(platform::TextField::kTextDidChangeNotification,
        m_textField.get(), [weak](const platform::Notification&) {
            if (auto self = weak.lock())
                self->textModified();
        }));
    setEditable(true);
    setBackground(platform::Color::white());
    setForeground(platform::Color::black());
}

const PropertyTable& SingleText::properties()
{
    static const PropertyTable table = PropertyTable::extend<SingleText>(Text::properties())
                                           .string("message", &SingleText::setMessage, &SingleText::message)
                                           .boolean("editable", &SingleText::setEditable, &SingleText::editable);
    return table;
}

std::shared_ptr<platform::View> SingleText::view() const
{
    return m_textField;
}

std::shared_ptr<platform::View> SingleText::getTextInput() const
{
    return m_textField;
}

platform::TextRange SingleText::currentSelection() const
{
    return m_textField->selectedRange();
}

std::optional<std::string> SingleText::text() const
{
    return m_textField->text();
}

void SingleText::setText(std::optional<std::string> text)
{
    m_textField->setText(text.value_or(std::string()));
}

std::optional<std::string> SingleText::message() const
{
    return m_textField->placeholder();
}

void SingleText::setMessage(std::optional<std::string> message)
{
    m_textField->setPlaceholder(message.value_or(std::string()));
}

bool SingleText::editable() const
{
    return m_textField->isUserInteractionEnabled() && m_textField->borderStyle() == platform::TextBorderStyle::RoundedRect;
}

void SingleText::setEditable(bool editable)
{
    m_editable = editable;
    m_textField->setBorderStyle(editable ? platform::TextBorderStyle::RoundedRect : platform::TextBorderStyle::None);
}

void SingleText::setStyle(std::optional<Value> style)
{
    Text::setStyle(std::move(style));
    if (hasStyle(kSearchStyle)) {
        m_textField->setReturnKeyType(platform::ReturnKeyType::Search);
        m_textField->setClearButtonMode(platform::TextFieldViewMode::Always);
    }
    if (hasStyle(kCancelStyle))
        m_textField->setClearButtonMode(platform::TextFieldViewMode::Always);
    if (hasStyle(kBorderStyle))
        m_textField->setBorderStyle(platform::TextBorderStyle::RoundedRect);
    applyAlignmentStyle();
}

void SingleText::setSelection(std::optional<Value> selection)
{
    Text::setSelection(std::move(selection));
    textediting::applySelection(*m_textField, this->selection());
}

void SingleText::destroy()
{
    m_timer.stop();
    Text::destroy();
}

bool SingleText::textFieldShouldBeginEditing(platform::TextField& field)
{
    if (isEnabled())
        field.setInputAccessoryView(accessoryView());
    return isEnabled();
}

void SingleText::textFieldDidBeginEditing(platform::TextField&)
{
    startSelectionTimer();
    focusedIn();
}

void SingleText::textFieldDidEndEditing(platform::TextField&)
{
    m_timer.stop();
    focusedOut();
}

bool SingleText::textFieldShouldReturn(platform::TextField& field)
{
    defaultSelected(&field);
    field.resignFirstResponder();
    return false;
}

bool SingleText::textFieldShouldChangeCharacters(platform::TextField& field, platform::TextRange range, const std::string& replacement)
{
    return m_editable && willBeWithinLimit(field, range, replacement);
}

void SingleText::startSelectionTimer()
{
    m_timer.start(kInterval, platform::Repeat::No, [this] { applySelection(); });
}

void SingleText::applySelection()
{
    m_timer.stop();
    textediting::applySelection(*m_textField, selection());
    m_timer.start(kInterval, platform::Repeat::Yes, [this] { checkTextFieldSelection(); });
}

void SingleText::checkTextFieldSelection()
{
    auto current = currentSelection();
    if (textediting::selectionDiffers(selection(), current))
        setSelection(Value::array({ current.location, current.end() }));
}

} // namespace morvix
