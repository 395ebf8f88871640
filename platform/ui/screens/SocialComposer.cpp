#include "platform/ui/screens/SocialComposer.h"

#include "platform/ui/Screen.h"
#include "platform/ui/screens/SystemSheetView.h"

#include <atomic>

namespace morvix::platform {

namespace {

std::atomic<bool> s_twitter { false };
std::atomic<bool> s_facebook { false };

std::atomic<bool>& flag(SocialService service)
{
    switch (service) {
    case SocialService::Twitter:
        return s_twitter;
    case SocialService::Facebook:
        return s_facebook;
    }
    return s_twitter;
}

} // namespace

std::shared_ptr<SocialComposer> SocialComposer::create(SocialService service)
{
    return std::shared_ptr<SocialComposer>(new SocialComposer(service));
}

bool SocialComposer::isAvailableForService(SocialService service)
{
    return flag(service);
}

void SocialComposer::setAvailable(SocialService service, bool available)
{
    flag(service) = available;
}

void SocialComposer::resetAvailabilityForTesting()
{
    s_twitter = false;
    s_facebook = false;
}

void SocialComposer::finish(SocialComposeResult result)
{
    // The delegate usually lets go of the composer here.
    auto keepAlive = shared_from_this();
    if (auto delegate = m_delegate.lock())
        delegate->socialComposerDidFinish(*this, result);
}

void SocialComposer::loadView()
{
    auto card = SystemSheetView::create(Screen::main().bounds());
    card->setTitle(m_service == SocialService::Twitter ? "Twitter" : "Facebook");
    std::vector<std::string> lines { m_text };
    lines.insert(lines.end(), m_urls.begin(), m_urls.end());
    card->setLines(std::move(lines));
    setView(card);
}

} // namespace morvix::platform
