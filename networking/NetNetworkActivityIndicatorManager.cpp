#include "networking/NetNetworkActivityIndicatorManager.h"

#include "networking/NetURLConnectionOperation.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/Application.h"

namespace morvix {

namespace {

// The identity of a notification's object, for matching a finish to its start.
std::shared_ptr<const void> notificationSubject(const platform::Notification& notification)
{
    if (auto operation = std::any_cast<std::shared_ptr<NetURLConnectionOperation>>(&notification.object))
        return *operation;
    if (auto task = std::any_cast<std::shared_ptr<NetOriginalRequestProviding>>(&notification.object))
        return *task;
    return nullptr;
}

bool isAboutARequestWithURL(const platform::Notification& notification)
{
    auto request = NetNetworkRequestFromNotification(notification);
    return request && request->url();
}

} // namespace

std::optional<platform::URLRequest> NetNetworkRequestFromNotification(const platform::Notification& notification)
{
    if (auto operation = std::any_cast<std::shared_ptr<NetURLConnectionOperation>>(&notification.object)) {
        if (*operation)
            return (*operation)->request();
        return std::nullopt;
    }
    if (auto task = std::any_cast<std::shared_ptr<NetOriginalRequestProviding>>(&notification.object)) {
        if (*task)
            return (*task)->originalRequest();
    }
    return std::nullopt;
}

std::shared_ptr<NetNetworkActivityIndicatorManager> NetNetworkActivityIndicatorManager::sharedManager()
{
    static const auto shared = create();
    return shared;
}

std::shared_ptr<NetNetworkActivityIndicatorManager> NetNetworkActivityIndicatorManager::create()
{
    auto manager = std::shared_ptr<NetNetworkActivityIndicatorManager>(new NetNetworkActivityIndicatorManager);
    manager->observe();
    return manager;
}

void NetNetworkActivityIndicatorManager::observe()
{
    auto center = platform::NotificationCenter::defaultCenter();
    auto observeWith = [&](const char* name, void (NetNetworkActivityIndicatorManager::*handler)(const platform::Notification&)) {
        m_observers.push_back(center->addObserver(name, nullptr, [weak = weak_from_this(), handler](const platform::Notification& notification) {
            if (auto self = weak.lock())
                ((*self).*handler)(notification);
        }));
    };
    observeWith(NetworkingOperationDidStartNotification, &NetNetworkActivityIndicatorManager::networkRequestDidStart);
    observeWith(NetworkingOperationDidFinishNotification, &NetNetworkActivityIndicatorManager::networkRequestDidFinish);
    observeWith(NetworkingTaskDidResumeNotification, &NetNetworkActivityIndicatorManager::networkRequestDidStart);
    observeWith(NetworkingTaskDidSuspendNotification, &NetNetworkActivityIndicatorManager::networkRequestDidFinish);
    observeWith(NetworkingTaskDidCompleteNotification, &NetNetworkActivityIndicatorManager::networkRequestDidFinish);
}

NetNetworkActivityIndicatorManager::~NetNetworkActivityIndicatorManager()
{
    // The observer tokens and the timer go with the members; the timer may only be stopped on
    // the main loop, where the manager is destroyed in practice.
    m_observers.clear();
}

long NetNetworkActivityIndicatorManager::activityCount() const
{
    std::lock_guard lock(m_mutex);
    return m_activityCount;
}

void NetNetworkActivityIndicatorManager::changeCount(const std::function<long(long)>& change)
{
    long count = 0;
    {
        std::lock_guard lock(m_mutex);
        m_activityCount = change(m_activityCount);
        count = m_activityCount;
    }
    if (onActivityCountChanged)
        onActivityCountChanged(count);
    postToMain(&NetNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibilityDelayed);
}

void NetNetworkActivityIndicatorManager::incrementActivityCount()
{
    changeCount([](long count) { return count + 1; });
}

void NetNetworkActivityIndicatorManager::decrementActivityCount()
{
    changeCount([](long count) { return count > 0 ? count - 1 : 0; });
}

void NetNetworkActivityIndicatorManager::setActivityCount(long count)
{
    {
        std::lock_guard lock(m_mutex);
        if (count == 0)
            m_counted.clear();
    }
    changeCount([count](long) { return count; });
}

void NetNetworkActivityIndicatorManager::networkRequestDidStart(const platform::Notification& notification)
{
    if (!isAboutARequestWithURL(notification))
        return;
    if (auto subject = notificationSubject(notification)) {
        std::lock_guard lock(m_mutex);
        auto& entry = m_counted[subject.get()];
        if (entry.first.expired()) // a new object at a reused address
            entry = { subject, 0 };
        ++entry.second;
    }
    incrementActivityCount();
}

void NetNetworkActivityIndicatorManager::networkRequestDidFinish(const platform::Notification& notification)
{
    if (!isAboutARequestWithURL(notification))
        return;
    auto subject = notificationSubject(notification);
    {
        std::lock_guard lock(m_mutex);
        auto counted = m_counted.find(subject.get());
        if (counted == m_counted.end() || counted->second.first.expired())
            return; // a finish whose start was never counted (cancelled before it started)
        if (--counted->second.second == 0)
            m_counted.erase(counted);
    }
    decrementActivityCount();
}

void NetNetworkActivityIndicatorManager::postToMain(void (NetNetworkActivityIndicatorManager::*method)())
{
    platform::MainLoop::main().post([weak = weak_from_this(), method] {
        if (auto self = weak.lock())
            ((*self).*method)();
    });
}

void NetNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibilityDelayed()
{
    if (!isEnabled())
        return;
    if (!isNetworkActivityIndicatorVisible()) {
        // The timer belongs to the manager, so destroying the manager cancels it.
        m_activityIndicatorVisibilityTimer.start(kInvisibilityDelay, platform::Repeat::No,
            [this] { updateNetworkActivityIndicatorVisibility(); });
        return;
    }
    // Shown without delay; a pending hide is left to fire and then finds requests running.
    postToMain(&NetNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibility);
}

void NetNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibility()
{
    platform::Application::shared().setNetworkActivityIndicatorVisible(isNetworkActivityIndicatorVisible());
}

} // namespace morvix
