#pragma once
// The built-in presenter of session errors: an alert with "Restart" and "Retry".

#include "core/session/MorvixClientErrorDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AlertView.h"

#include <memory>

namespace morvix {

/// Shows a session error as an alert titled with the error's description, whose message is its
/// failure reason, with the buttons "Restart" (index 0, the cancel button: reloads the session)
/// and "Retry" (index 1: sends the failed request again). Made by the session on its first
/// error when the application set no error delegate.
///
/// Rules:
///  1. The alert appears on a later turn of the main loop; one closed before then never appears.
///  2. A second error while an alert is showing closes the first one (without acting on it)
///     before the second is shown.
///  3. Pressing a button stops observing, forgets the alert, acts (load or retry), then closes.
///  4. Going to the background ("com.zerivoquastel.morvix.DidEnterBackground"), `close` and
///     destruction take the alert away without a reload or a retry.
///
/// Holds the session weakly. Main thread only.
class ErrorHandler final : public MorvixClientErrorDelegate,
                           public platform::AlertViewDelegate,
                           public std::enable_shared_from_this<ErrorHandler> {
public:
    static constexpr const char* kRestartTitle = "Restart";
    static constexpr const char* kRetryTitle = "Retry";

    static std::shared_ptr<ErrorHandler> create();
    ~ErrorHandler() override;
    ErrorHandler(const ErrorHandler&) = delete;
    ErrorHandler& operator=(const ErrorHandler&) = delete;

    void errorOccured(const platform::Error& error, const std::shared_ptr<MorvixClient>& client) override;
    void close() override;

    /// The alert being shown or about to be shown; null when none.
    std::shared_ptr<platform::AlertView> errorDialog() const { return m_errorDialog; }

    void clickedButtonAtIndex(platform::AlertView& alert, int index) override;

private:
    ErrorHandler() = default;
    void show();

    std::shared_ptr<platform::AlertView> m_errorDialog;
    std::weak_ptr<MorvixClient> m_client;
    platform::ObserverToken m_backgroundObserver;
};

} // namespace morvix
