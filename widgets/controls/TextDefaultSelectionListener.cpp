#include "widgets/controls/TextDefaultSelectionListener.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/View.h"
#include "platform/ui/controls/KeyInput.h"
#include "widgets/controls/Text.h"
#include "widgets/foundation/Display.h"

namespace morvix {

TextDefaultSelectionListener::TextDefaultSelectionListener(std::weak_ptr<Text> widget)
    : m_textWidget(std::move(widget))
{
}

void TextDefaultSelectionListener::selected(const void* sender)
{
    auto widget = m_textWidget.lock();
    if (!widget)
        return;
    auto input = widget->getTextInput();
    if (!input || sender != input.get())
        return;
    scheduleFocusLost();
    auto* keyInput = widget->keyInput();
    sendDefaultSelection(keyInput ? keyInput->text() : widget->text().value_or(std::string()));
}

void TextDefaultSelectionListener::scheduleFocusLost()
{
    auto widget = m_textWidget.lock();
    if (!widget)
        return;
    // Without a parent there is no control to hand the focus to; a null id would be no id at all.
    auto parent = widget->parent();
    auto client = widget->client();
    auto root = client ? client->rootObject() : nullptr;
    if (!parent || !root || !widget->notifications())
        return;
    auto message = widget->notifications()(root->objectId());
    if (!message)
        return;
    message->report(Display::kActiveControlReport, parent->objectId());
    message->report(Display::kFocusControlReport, parent->objectId());
    message->schedule();
}

void TextDefaultSelectionListener::sendDefaultSelection(const std::string& text)
{
    auto widget = m_textWidget.lock();
    auto message = widget ? widget->notificationForObject() : nullptr;
    if (!message)
        return;
    message->report(Text::kTextReport, text);
    message->report(Text::kSelectionReport, widget->selection().value_or(nullptr));
    message->fire(Text::kDefaultSelectionEvent);
}

} // namespace morvix
