#include "core/session/ErrorHandler.h"

#include "core/session/MorvixClient.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"

namespace morvix {

std::shared_ptr<ErrorHandler> ErrorHandler::create()
{
    return std::shared_ptr<ErrorHandler>(new ErrorHandler());
}

ErrorHandler::~ErrorHandler()
{
    close();
}

void ErrorHandler::errorOccured(const platform::Error& error, const std::shared_ptr<MorvixClient>& client)
{
    platform::assertOnMainThread();
    // Only one alert at a time: an earlier one would otherwise stay on screen and still act.
    close();
    m_client = client;
    m_errorDialog = platform::AlertView::create(error.description(), error.failureReason().value_or(std::string()),
        weak_from_this(), kRestartTitle, { kRetryTitle });
    platform::MainLoop::main().post([weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->show();
    });
    m_backgroundObserver = platform::NotificationCenter::defaultCenter()->addObserver(MorvixClient::kDidEnterBackgroundNotification,
        nullptr, [weak = weak_from_this()](const platform::Notification&) {
            if (auto self = weak.lock())
                self->close();
        });
}

void ErrorHandler::show()
{
    // Reads the dialog now: one closed before this turn is not shown.
    if (m_errorDialog)
        m_errorDialog->show();
}

void ErrorHandler::clickedButtonAtIndex(platform::AlertView& alert, int index)
{
    if (&alert != m_errorDialog.get())
        return; // an alert this handler has already let go of
    m_backgroundObserver.reset();
    auto client = m_client.lock();
    if (index == 1 || index == 0) {
        m_errorDialog = nullptr;
        if (client && index == 1)
            client->retry();
        if (client && index == 0)
            client->load();
    }
    close();
}

void ErrorHandler::close()
{
    m_backgroundObserver.reset();
    auto dialog = std::move(m_errorDialog);
    m_errorDialog = nullptr;
    // Dismissing from code tells the delegate of the dismissal only, never of a click.
    if (dialog && dialog->isVisible())
        dialog->dismissWithClickedButtonIndex(1, false);
}

} // namespace morvix
