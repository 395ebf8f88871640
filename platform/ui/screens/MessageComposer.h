#pragma once
// The system's text-message composer.

#include "platform/ui/ViewController.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class MessageComposer;

/// How a message composer ended, by the platform's numbers.
enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

/// Hears that a message composer ended; it should dismiss the composer. Main thread.
class MessageComposerDelegate {
public:
    virtual ~MessageComposerDelegate() = default;
    virtual void messageComposerDidFinish(MessageComposer& composer, MessageComposeResult result) = 0;
};

/// A text message ready for the user to send. The headless device sends no texts unless the
/// embedding application (or a test) declares it can with `setCanSendText`; the composer records
/// its recipients and body, shows them as a titled card, and ends only when `finish` is called.
/// Main thread (the availability flag: any thread).
class MessageComposer final : public ViewController {
public:
    static std::shared_ptr<MessageComposer> create();
    const char* className() const override { return "MessageComposer"; }

    /// False until set.
    static bool canSendText();
    static void setCanSendText(bool can);

    const std::vector<std::string>& recipients() const { return m_recipients; }
    void setRecipients(std::vector<std::string> recipients) { m_recipients = std::move(recipients); }
    const std::string& body() const { return m_body; }
    void setBody(std::string body) { m_body = std::move(body); }
    /// Held weakly; null until set.
    std::shared_ptr<MessageComposerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<MessageComposerDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Driver: the user ended the composer; tells the delegate.
    void finish(MessageComposeResult result);

    void loadView() override;

private:
    MessageComposer() = default;

    std::vector<std::string> m_recipients;
    std::string m_body;
    std::weak_ptr<MessageComposerDelegate> m_delegate;
};

} // namespace morvix::platform
