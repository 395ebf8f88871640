#include "platform/ui/screens/MessageComposer.h"

#include "platform/ui/Screen.h"
#include "platform/ui/screens/SystemSheetView.h"

#include <atomic>

namespace morvix::platform {

namespace {

std::atomic<bool> s_canSendText { false };

} // namespace

std::shared_ptr<MessageComposer> MessageComposer::create()
{
    return std::shared_ptr<MessageComposer>(new MessageComposer());
}

bool MessageComposer::canSendText()
{
    return s_canSendText;
}

void MessageComposer::setCanSendText(bool can)
{
    s_canSendText = can;
}

void MessageComposer::finish(MessageComposeResult result)
{
    // The delegate usually lets go of the composer here.
    auto keepAlive = shared_from_this();
    if (auto delegate = m_delegate.lock())
        delegate->messageComposerDidFinish(*this, result);
}

void MessageComposer::loadView()
{
    auto card = SystemSheetView::create(Screen::main().bounds());
    card->setTitle("New Text Message");
    std::vector<std::string> lines;
    for (const auto& recipient : m_recipients)
        lines.push_back("To: " + recipient);
    lines.push_back(m_body);
    card->setLines(std::move(lines));
    setView(card);
}

} // namespace morvix::platform
