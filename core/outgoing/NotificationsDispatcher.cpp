#include "core/outgoing/NotificationsDispatcher.h"

#include "core/outgoing/Message.h"

#include <algorithm>

namespace morvix {

std::shared_ptr<NotificationsDispatcher> NotificationsDispatcher::create(std::shared_ptr<platform::NotificationCenter> center)
{
    auto dispatcher = std::shared_ptr<NotificationsDispatcher>(new NotificationsDispatcher(std::move(center)));
    dispatcher->observe();
    return dispatcher;
}

NotificationsDispatcher::NotificationsDispatcher(std::shared_ptr<platform::NotificationCenter> center)
    : m_center(std::move(center))
{
}

void NotificationsDispatcher::observe()
{
    // The observers hold the dispatcher weakly: a post on another thread may still be running
    // one of them while the dispatcher is being destroyed.
    auto observe = [this](const char* name, void (Binding::*handler)(const std::shared_ptr<Message>&)) {
        m_observers.push_back(m_center->addObserver(name, nullptr,
            [weak = weak_from_this(), handler](const platform::Notification& notification) {
                if (auto self = weak.lock())
                    self->dispatch(notification, handler);
            }));
    };
    observe(Message::kStoreNotification, &Binding::storeMessage);
    observe(Message::kScheduleNotification, &Binding::scheduleMessage);
    observe(Message::kSendNotification, &Binding::sendMessage);
}

void NotificationsDispatcher::addBinding(std::shared_ptr<Binding> binding)
{
    std::lock_guard lock(m_mutex);
    if (!binding || std::find(m_bindings->begin(), m_bindings->end(), binding) != m_bindings->end())
        return;
    auto bindings = std::make_shared<BindingList>(*m_bindings);
    bindings->push_back(std::move(binding));
    replaceBindings(std::move(bindings));
}

void NotificationsDispatcher::removeBinding(const std::shared_ptr<Binding>& binding)
{
    std::lock_guard lock(m_mutex);
    auto bindings = std::make_shared<BindingList>(*m_bindings);
    std::erase(*bindings, binding);
    replaceBindings(std::move(bindings));
}

void NotificationsDispatcher::replaceBindings(std::shared_ptr<const BindingList> bindings)
{
    // A message walk under way on this thread goes on over the list it started with.
    std::lock_guard lock(m_bindingsMutex);
    if (m_messageWalks > 0)
        m_retiredBindings.push_back(std::move(m_bindings));
    m_bindings = std::move(bindings);
}

void NotificationsDispatcher::dispatch(const platform::Notification& notification,
    void (Binding::*handler)(const std::shared_ptr<Message>&))
{
    // Only messages travel on these names; anything else posted under them is not ours to pass.
    const auto* message = std::any_cast<std::shared_ptr<Message>>(&notification.object);
    if (!message || !*message)
        return;
    std::lock_guard lock(m_mutex);
    // Every message walks the list: it is borrowed, not copied, and a list replaced meanwhile is
    // kept until the outermost walk ends.
    const BindingList& bindings = *m_bindings;
    ++m_messageWalks;
    struct WalkEnd {
        NotificationsDispatcher& dispatcher;
        ~WalkEnd()
        {
            if (--dispatcher.m_messageWalks == 0)
                dispatcher.m_retiredBindings.clear();
        }
    } walkEnd { *this };
    for (const auto& binding : bindings)
        (binding.get()->*handler)(*message);
}

std::vector<std::shared_ptr<Binding>> NotificationsDispatcher::bindings() const
{
    // Not the walks' lock: the session asks from the main thread, which a binding call on
    // another thread may be waiting for.
    std::lock_guard lock(m_bindingsMutex);
    return *m_bindings;
}

std::shared_ptr<const NotificationsDispatcher::BindingList> NotificationsDispatcher::snapshot() const
{
    // A binding call may add or remove a binding; the walk goes on over the list it started with.
    return m_bindings;
}

void NotificationsDispatcher::forEachBinding(void (Binding::*operation)())
{
    std::lock_guard lock(m_mutex);
    auto bindings = snapshot();
    for (const auto& binding : *bindings)
        (binding.get()->*operation)();
}

void NotificationsDispatcher::start()
{
    forEachBinding(&Binding::start);
}

void NotificationsDispatcher::suspend()
{
    forEachBinding(&Binding::suspend);
}

void NotificationsDispatcher::resume()
{
    forEachBinding(&Binding::resume);
}

void NotificationsDispatcher::retry()
{
    forEachBinding(&Binding::retry);
}

void NotificationsDispatcher::stop()
{
    forEachBinding(&Binding::stop);
}

void NotificationsDispatcher::reset()
{
    forEachBinding(&Binding::reset);
}

bool NotificationsDispatcher::isActive()
{
    std::lock_guard lock(m_mutex);
    auto bindings = snapshot();
    if (bindings->empty())
        return false;
    return std::all_of(bindings->begin(), bindings->end(), [](const auto& binding) { return binding->isActive(); });
}

bool NotificationsDispatcher::isProcessing()
{
    std::lock_guard lock(m_mutex);
    auto bindings = snapshot();
    return std::any_of(bindings->begin(), bindings->end(), [](const auto& binding) { return binding->isProcessing(); });
}

void NotificationsDispatcher::receivedRequestCounter(std::int64_t counter)
{
    std::lock_guard lock(m_mutex);
    auto bindings = snapshot();
    for (const auto& binding : *bindings)
        binding->receivedRequestCounter(counter);
}

} // namespace morvix
