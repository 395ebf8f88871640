#pragma once
// The system's composers for social-network services.

#include "platform/ui/ViewController.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class SocialComposer;

/// The services a social composer posts to.
enum class SocialService { Twitter, Facebook };

/// How a social composer ended, by the platform's numbers.
enum class SocialComposeResult { Cancelled = 0, Done = 1 };

/// Hears that a social composer ended; it should dismiss the composer. Main thread.
class SocialComposerDelegate {
public:
    virtual ~SocialComposerDelegate() = default;
    virtual void socialComposerDidFinish(SocialComposer& composer, SocialComposeResult result) = 0;
};

/// A post for one service, ready for the user to send. No service is available on the headless
/// device unless the embedding application (or a test) declares it with `setAvailable`; the
/// composer records its text and links, shows them as a titled card, and ends only when `finish`
/// is called. Main thread (the availability flags: any thread).
class SocialComposer final : public ViewController {
public:
    static std::shared_ptr<SocialComposer> create(SocialService service);
    const char* className() const override { return "SocialComposer"; }

    /// False for both services until set.
    static bool isAvailableForService(SocialService service);
    static void setAvailable(SocialService service, bool available);
    /// Both services unavailable.
    static void resetAvailabilityForTesting();

    SocialService service() const { return m_service; }
    const std::string& initialText() const { return m_text; }
    void setInitialText(std::string text) { m_text = std::move(text); }
    const std::vector<std::string>& urls() const { return m_urls; }
    void addURL(std::string url) { m_urls.push_back(std::move(url)); }
    /// Held weakly; null until set.
    std::shared_ptr<SocialComposerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<SocialComposerDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Driver: the user ended the composer; tells the delegate.
    void finish(SocialComposeResult result);

    void loadView() override;

private:
    explicit SocialComposer(SocialService service) : m_service(service) { }

    SocialService m_service;
    std::string m_text;
    std::vector<std::string> m_urls;
    std::weak_ptr<SocialComposerDelegate> m_delegate;
};

} // namespace morvix::platform
