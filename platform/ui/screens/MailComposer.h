#pragma once
// The system's mail composer.

#include "platform/ui/ViewController.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class MailComposer;

/// How a mail composer ended, by the platform's numbers.
enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

/// Hears that a mail composer ended; it should dismiss the composer. Main thread.
class MailComposerDelegate {
public:
    virtual ~MailComposerDelegate() = default;
    virtual void mailComposerDidFinish(MailComposer& composer, MailComposeResult result) = 0;
};

/// A mail ready for the user to send. The headless device has no mail account unless the
/// embedding application (or a test) declares one with `setCanSendMail`; the composer records
/// what it was given, shows it as a titled card, and ends only when `finish` is called. Main
/// thread (the availability flag: any thread).
class MailComposer final : public ViewController {
public:
    static std::shared_ptr<MailComposer> create();
    const char* className() const override { return "MailComposer"; }

    /// False until set.
    static bool canSendMail();
    static void setCanSendMail(bool can);

    const std::vector<std::string>& toRecipients() const { return m_to; }
    void setToRecipients(std::vector<std::string> recipients) { m_to = std::move(recipients); }
    const std::vector<std::string>& ccRecipients() const { return m_cc; }
    void setCcRecipients(std::vector<std::string> recipients) { m_cc = std::move(recipients); }
    const std::string& subject() const { return m_subject; }
    void setSubject(std::string subject) { m_subject = std::move(subject); }
    const std::string& messageBody() const { return m_body; }
    bool isBodyHTML() const { return m_bodyIsHTML; }
    void setMessageBody(std::string body, bool isHTML);
    /// Held weakly; null until set.
    std::shared_ptr<MailComposerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<MailComposerDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Driver: the user ended the composer; tells the delegate.
    void finish(MailComposeResult result);

    void loadView() override;

private:
    MailComposer() = default;

    std::vector<std::string> m_to;
    std::vector<std::string> m_cc;
    std::string m_subject;
    std::string m_body;
    bool m_bodyIsHTML = false;
    std::weak_ptr<MailComposerDelegate> m_delegate;
};

} // namespace morvix::platform
