#include "widgets/controls/MultiText.h"

#include "core/objects/ClientContext.h"
#include "platform/foundation/NotificationCenter.h"
#include "widgets/controls/MorvixTextView.h"
#include "widgets/controls/MultiTextInput.h"
#include "widgets/controls/TextEditing.h"
#include "widgets/foundation/Display.h"

#include <chrono>

namespace morvix {

using platform::Value;

namespace {

constexpr auto kInterval = std::chrono::milliseconds(100);

constexpr StyleDeclaration kHorizontalScrollStyle { .word = "H_SCROLL", .effect = "scrolls sideways, with an indicator" };
constexpr StyleDeclaration kVerticalScrollStyle { .word = "V_SCROLL", .effect = "scrolls up and down, with an indicator" };
constexpr StyleDeclaration kBorderStyle { .word = "BORDER", .effect = "a light grey rounded border" };

} // namespace

const WireTable& MultiText::wire()
{
    static const WireTable table
        = WireTable::extend(Text::wire()).style(kHorizontalScrollStyle).style(kVerticalScrollStyle).style(kBorderStyle);
    return table;
}

MultiText::MultiText(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_textView(MorvixTextView::create())
{
}

MultiText::~MultiText() = default;

std::shared_ptr<MultiText> MultiText::make(const std::string& id, std::shared_ptr<ClientContext> client)
{
    auto text = construct<MultiText>(id, std::move(client));
    text->m_textView->setParent(text);
    text->m_textView->setLayoutDelegate(text);
    text->m_textView->setTextDelegate(text);
    text->applyAutoCorrectionDefaults();
    text->applyAutoCapitalizationDefaults();
    return text;
}

void MultiText::didConstruct()
{
    RemoteClass::didConstruct();
    std::weak_ptr<MultiText> weak = std::static_pointer_cast<MultiText>(shared_from_this());
    // Every text view posts this; only this widget's own view counts.
    addObservation(platform::NotificationCenter::defaultCenter()->addObserver(platform::TextView::kTextDidChangeNotification,
        m_textView.get(), [weak](const platform::Notification&) {
            if (auto self = weak.lock())
                self->textModified();
        }));
    setForeground(platform::Color::black());
    setBackground(platform::Color::white());
    setEditable(true);
}

const PropertyTable& MultiText::properties()
{
    static const PropertyTable table = PropertyTable::extend<MultiText>(Text::properties())
                                           .boolean("editable", &MultiText::setEditable, &MultiText::editable);
    return table;
}

std::shared_ptr<platform::View> MultiText::view() const
{
    return m_textView;
}

std::shared_ptr<platform::View> MultiText::getTextInput() const
{
    return m_textView;
}

platform::TextRange MultiText::currentSelection() const
{
    return m_textView->selectedRange();
}

std::optional<std::string> MultiText::text() const
{
    return m_textView->text();
}

void MultiText::setText(std::optional<std::string> text)
{
    m_textView->setText(text.value_or(std::string()));
}

void MultiText::setEditable(bool editable)
{
    m_editable = editable;
    m_textView->setEditable(editable);
}

void MultiText::setStyle(std::optional<Value> style)
{
    Text::setStyle(std::move(style));
    if (hasStyle(kHorizontalScrollStyle)) {
        m_textView->setShowsHorizontalScrollIndicator(true);
        m_textView->setAlwaysBounceHorizontal(true);
        m_textView->setScrollEnabled(true);
    }
    if (hasStyle(kVerticalScrollStyle)) {
        m_textView->setShowsVerticalScrollIndicator(true);
        m_textView->setAlwaysBounceVertical(true);
        m_textView->setScrollEnabled(true);
    }
    if (hasStyle(kBorderStyle))
        applyBorder(*m_textView);
    applyAlignmentStyle();
}

void MultiText::setSelection(std::optional<Value> selection)
{
    Text::setSelection(std::move(selection));
    textediting::applySelection(*m_textView, this->selection());
}

void MultiText::destroy()
{
    stopSelectionTimer();
    Text::destroy();
}

bool MultiText::textViewShouldBeginEditing(platform::TextView& view)
{
    auto client = this->client();
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->setActiveTextField(m_textView);
    if (isEnabled())
        view.setInputAccessoryView(accessoryView());
    return isEnabled();
}

void MultiText::textViewDidBeginEditing(platform::TextView&)
{
    focusedIn();
    startSelectionTimer();
}

void MultiText::textViewDidEndEditing(platform::TextView&)
{
    stopSelectionTimer();
    focusedOut();
}

bool MultiText::textViewShouldChangeText(platform::TextView& view, platform::TextRange range, const std::string& replacement)
{
    return m_editable && willBeWithinLimit(view, range, replacement);
}

void MultiText::textViewDidChangeSelection(platform::TextView&)
{
    if (m_timerState != SelectionTimer::Fired)
        return;
    auto current = currentSelection();
    if (textediting::selectionDiffers(selection(), current))
        Text::setSelection(Value::array({ current.location, current.end() }));
}

void MultiText::startSelectionTimer()
{
    m_timerState = SelectionTimer::Armed;
    m_timer.start(kInterval, platform::Repeat::No, [this] {
        m_timerState = SelectionTimer::Fired;
        textediting::applySelection(*m_textView, selection());
    });
}

void MultiText::stopSelectionTimer()
{
    m_timer.stop();
    m_timerState = SelectionTimer::None;
}

} // namespace morvix
