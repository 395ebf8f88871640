#include "platform/net/Operation.h"

#include <algorithm>

namespace morvix::platform {

bool Operation::isReady() const
{
    auto pending = dependencies();
    return std::all_of(pending.begin(), pending.end(), [](const auto& dependency) { return dependency->isFinished(); });
}

void Operation::addDependency(std::shared_ptr<Operation> operation)
{
    std::lock_guard lock(m_mutex);
    m_dependencies.push_back(std::move(operation));
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const
{
    std::lock_guard lock(m_mutex);
    return m_dependencies;
}

void Operation::setCompletionBlock(std::function<void()> block)
{
    std::lock_guard lock(m_mutex);
    m_completion = std::move(block);
}

std::function<void()> Operation::completionBlock() const
{
    std::lock_guard lock(m_mutex);
    return m_completion;
}

Operation::ObserverId Operation::addKeyObserver(KeyObserver observer)
{
    std::lock_guard lock(m_mutex);
    auto id = m_nextObserver++;
    m_observers.emplace_back(id, std::make_shared<KeyObserver>(std::move(observer)));
    return id;
}

void Operation::removeKeyObserver(ObserverId id)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_observers, [id](const auto& entry) { return entry.first == id; });
}

void Operation::willChangeValueForKey(const std::string& key)
{
    announce(key, KeyChange::Will);
}

void Operation::didChangeValueForKey(const std::string& key)
{
    announce(key, KeyChange::Did);
    if (key != "isFinished" || !isFinished() || m_completionScheduled.exchange(true))
        return;
    // The completion block runs once, elsewhere, so that it never runs inside the caller's lock.
    completionBlockQueue()([self = shared_from_this()] {
        if (auto block = self->completionBlock())
            block();
    });
}

void Operation::announce(const std::string& key, KeyChange change)
{
    std::vector<std::pair<ObserverId, std::shared_ptr<KeyObserver>>> observers;
    {
        std::lock_guard lock(m_mutex);
        observers = m_observers;
    }
    for (const auto& [id, observer] : observers) {
        bool stillObserving;
        {
            std::lock_guard lock(m_mutex);
            stillObserving = std::any_of(m_observers.begin(), m_observers.end(), [id = id](const auto& entry) { return entry.first == id; });
        }
        if (stillObserving)
            (*observer)(*this, key, change);
    }
}

} // namespace morvix::platform
