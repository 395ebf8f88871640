#include "networking/NetActivityIndicatorViewNotificationObserver.h"

#include "networking/NetURLConnectionOperation.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/controls/ActivityIndicatorView.h"

namespace morvix {

namespace {

void setAnimating(platform::ActivityIndicatorView& view, bool animating)
{
    if (animating)
        view.startAnimating();
    else
        view.stopAnimating();
}

} // namespace

std::shared_ptr<NetActivityIndicatorViewNotificationObserver> NetActivityIndicatorViewNotificationObserver::create(
    std::weak_ptr<platform::ActivityIndicatorView> view)
{
    return std::shared_ptr<NetActivityIndicatorViewNotificationObserver>(new NetActivityIndicatorViewNotificationObserver(std::move(view)));
}

NetActivityIndicatorViewNotificationObserver::NetActivityIndicatorViewNotificationObserver(std::weak_ptr<platform::ActivityIndicatorView> view)
    : m_view(std::move(view))
{
}

void NetActivityIndicatorViewNotificationObserver::setAnimatingWithStateOfOperation(const std::shared_ptr<NetURLConnectionOperation>& operation)
{
    platform::assertOnMainThread();
    m_start.reset();
    m_finish.reset();
    if (!operation || operation->isFinished())
        return;
    if (auto view = m_view.lock())
        setAnimating(*view, operation->isExecuting());
    m_start = observe(NetworkingOperationDidStartNotification, *operation, true);
    m_finish = observe(NetworkingOperationDidFinishNotification, *operation, false);
}

platform::ObserverToken NetActivityIndicatorViewNotificationObserver::observe(const char* name, const NetURLConnectionOperation& operation,
    bool animating)
{
    // The operation posts with itself, as its base class, as the sender.
    return platform::NotificationCenter::defaultCenter()->addObserver(name, &operation,
        [view = m_view, animating](const platform::Notification&) {
            platform::MainLoop::main().post([view, animating] {
                if (auto shown = view.lock())
                    setAnimating(*shown, animating);
            });
        });
}

} // namespace morvix
