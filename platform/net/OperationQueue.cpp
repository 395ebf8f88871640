#include "platform/net/OperationQueue.h"

#include "platform/foundation/Format.h"
#include "platform/net/Operation.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace morvix::platform {

struct OperationQueue::Entry {
    std::shared_ptr<Operation> operation;
    Operation::ObserverId observer = 0;
    std::vector<std::pair<std::weak_ptr<Operation>, Operation::ObserverId>> dependencyObservers;
    bool started = false;
};

std::shared_ptr<OperationQueue> OperationQueue::create()
{
    return std::shared_ptr<OperationQueue>(new OperationQueue(globalDispatchQueue(), kDefaultMaxConcurrentOperationCount));
}

std::shared_ptr<OperationQueue> OperationQueue::mainQueue()
{
    static auto queue = [] {
        auto main = std::shared_ptr<OperationQueue>(new OperationQueue(mainDispatchQueue(), 1));
        main->setName("main");
        return main;
    }();
    return queue;
}

OperationQueue::OperationQueue(DispatchQueue startQueue, int maxConcurrentOperationCount)
    : m_startQueue(std::move(startQueue))
    , m_maxConcurrentOperationCount(maxConcurrentOperationCount)
{
}

OperationQueue::~OperationQueue()
{
    for (const auto& entry : m_entries)
        removeObservers(entry);
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation)
{
    if (!operation || operation->isFinished())
        return;
    {
        std::lock_guard lock(m_mutex);
        auto present = std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.operation == operation; });
        if (present)
            return;
        Entry entry;
        entry.operation = std::move(operation);
        observe(entry);
        m_entries.push_back(std::move(entry));
    }
    startReadyOperations();
}

void OperationQueue::observe(Entry& entry)
{
    // Observers run inside the operation's announcements, possibly under its lock: they only
    // schedule a pass on another thread (rule 2).
    std::weak_ptr<OperationQueue> weak = weak_from_this();
    entry.observer = entry.operation->addKeyObserver([weak](Operation&, const std::string& key, KeyChange change) {
        if (change != KeyChange::Did || (key != "isFinished" && key != "isReady"))
            return;
        if (auto self = weak.lock())
            self->schedulePass();
    });
    for (const auto& dependency : entry.operation->dependencies()) {
        auto id = dependency->addKeyObserver([weak](Operation&, const std::string& key, KeyChange change) {
            if (change != KeyChange::Did || key != "isFinished")
                return;
            if (auto self = weak.lock())
                self->schedulePass();
        });
        entry.dependencyObservers.emplace_back(dependency, id);
    }
}

void OperationQueue::schedulePass()
{
    globalDispatchQueue()([weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->startReadyOperations();
    });
}

void OperationQueue::startReadyOperations()
{
    std::vector<Entry> finished;
    std::vector<std::shared_ptr<Operation>> toStart;
    {
        std::lock_guard lock(m_mutex);
        auto firstFinished = std::stable_partition(m_entries.begin(), m_entries.end(),
            [](const Entry& entry) { return !entry.operation->isFinished(); });
        std::move(firstFinished, m_entries.end(), std::back_inserter(finished));
        m_entries.erase(firstFinished, m_entries.end());

        auto running = static_cast<std::size_t>(std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& entry) { return entry.started; }));
        auto limit = concurrencyLimit();
        for (auto& entry : m_entries) {
            if (running >= limit)
                break;
            if (entry.started || !(entry.operation->isCancelled() || entry.operation->isReady()))
                continue;
            entry.started = true;
            ++running;
            toStart.push_back(entry.operation);
        }
    }
    for (const auto& entry : finished)
        removeObservers(entry);
    for (auto& operation : toStart) {
        m_startQueue([operation = std::move(operation)] { operation->start(); });
    }
}

std::size_t OperationQueue::concurrencyLimit() const
{
    if (m_maxConcurrentOperationCount < 0)
        return kDefaultConcurrencyLimit;
    return static_cast<std::size_t>(m_maxConcurrentOperationCount);
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<Operation>> result;
    for (const auto& entry : m_entries) {
        if (!entry.operation->isFinished())
            result.push_back(entry.operation);
    }
    return result;
}

std::size_t OperationQueue::operationCount() const
{
    return operations().size();
}

void OperationQueue::cancelAllOperations()
{
    // The waiting operations first: a running one that finishes on its cancel frees its place at
    // once, and the queue must not start a waiting one that is about to be cancelled.
    auto all = operations();
    for (const auto& operation : all) {
        if (!operation->isExecuting())
            operation->cancel();
    }
    for (const auto& operation : all)
        operation->cancel();
    startReadyOperations();
}

int OperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_maxConcurrentOperationCount;
}

void OperationQueue::setMaxConcurrentOperationCount(int count)
{
    {
        std::lock_guard lock(m_mutex);
        m_maxConcurrentOperationCount = count;
    }
    startReadyOperations();
}

std::string OperationQueue::name() const
{
    std::lock_guard lock(m_mutex);
    return m_name;
}

void OperationQueue::setName(std::string name)
{
    std::lock_guard lock(m_mutex);
    m_name = std::move(name);
}

std::string OperationQueue::description() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return format("<OperationQueue: %@>{name = '%@'}", std::string(address), name());
}

void OperationQueue::removeObservers(const Entry& entry)
{
    entry.operation->removeKeyObserver(entry.observer);
    for (const auto& [dependency, id] : entry.dependencyObservers) {
        if (auto locked = dependency.lock())
            locked->removeKeyObserver(id);
    }
}

} // namespace morvix::platform
