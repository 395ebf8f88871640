#include "platform/ui/screens/MailComposer.h"

#include "platform/ui/Screen.h"
#include "platform/ui/screens/SystemSheetView.h"

#include <atomic>

namespace morvix::platform {

namespace {

std::atomic<bool> s_canSendMail { false };

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const auto& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

} // namespace

std::shared_ptr<MailComposer> MailComposer::create()
{
    return std::shared_ptr<MailComposer>(new MailComposer());
}

bool MailComposer::canSendMail()
{
    return s_canSendMail;
}

void MailComposer::setCanSendMail(bool can)
{
    s_canSendMail = can;
}

void MailComposer::setMessageBody(std::string body, bool isHTML)
{
    m_body = std::move(body);
    m_bodyIsHTML = isHTML;
}

void MailComposer::finish(MailComposeResult result)
{
    // The delegate usually lets go of the composer here.
    auto keepAlive = shared_from_this();
    if (auto delegate = m_delegate.lock())
        delegate->mailComposerDidFinish(*this, result);
}

void MailComposer::loadView()
{
    auto card = SystemSheetView::create(Screen::main().bounds());
    card->setTitle("New Message");
    card->setLines({ "To: " + joined(m_to), "Cc: " + joined(m_cc), "Subject: " + m_subject, (m_bodyIsHTML ? "HTML: " : "") + m_body });
    setView(card);
}

} // namespace morvix::platform
