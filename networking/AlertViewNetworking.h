#pragma once
// Alerts that show an operation's error when it finishes.

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {
class AlertViewDelegate;
class Error;
}

namespace morvix {

class NetURLConnectionOperation;

/// Shows an alert for an operation that finishes with an error. Main thread only.
class AlertViewNetworking final {
public:
    /// The same, with the localised "Dismiss" as the cancel button and no other buttons.
    static void showAlertViewForRequestOperationWithErrorOnCompletion(const std::shared_ptr<NetURLConnectionOperation>& operation,
        std::weak_ptr<platform::AlertViewDelegate> delegate);
    /// Waits, once, for `operation`'s finish notification. When the operation then has an
    /// error, an alert with `delegate`, the cancel button and the other buttons in order is shown,
    /// titled as `alertTexts` says. Without an error nothing is shown. Either way the wait ends
    /// with that notification; an operation that never finishes keeps it waiting.
    static void showAlertViewForRequestOperationWithErrorOnCompletion(const std::shared_ptr<NetURLConnectionOperation>& operation,
        std::weak_ptr<platform::AlertViewDelegate> delegate, std::string cancelButtonTitle, std::vector<std::string> otherButtonTitles);

    struct AlertTexts {
        std::string title;
        std::string message;
    };
    /// An error's own description as the title with its recovery suggestion (else its failure
    /// reason) as the message; with neither, the title is the localised "Error" and the message
    /// the description. An error without a description of its own reads "Error" and
    /// "<domain> Error: <code>" from the localised format "%@ Error: %ld".
    static AlertTexts alertTexts(const platform::Error& error);

    AlertViewNetworking() = delete;
};

} // namespace morvix
