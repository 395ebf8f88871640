#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace morvix::platform {

ObserverToken::ObserverToken(std::weak_ptr<NotificationCenter> center, std::shared_ptr<Entry> entry)
    : m_center(std::move(center))
    , m_entry(std::move(entry))
{
}

ObserverToken::ObserverToken(ObserverToken&& other) noexcept
    : m_center(std::move(other.m_center))
    , m_entry(std::move(other.m_entry))
{
}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept
{
    if (this != &other) {
        reset();
        m_center = std::move(other.m_center);
        m_entry = std::move(other.m_entry);
    }
    return *this;
}

void ObserverToken::reset()
{
    auto entry = std::move(m_entry);
    if (!entry)
        return;
    entry->alive = false;
    if (auto center = m_center.lock())
        center->remove(entry);
    m_center.reset();
}

namespace {
std::mutex s_defaultMutex; // guards s_default
std::shared_ptr<NotificationCenter> s_default;
// Bumped (under s_defaultMutex) each time s_default is replaced; 0 is never a generation.
std::atomic<std::uint64_t> s_defaultGeneration = 1;

// The default centre as a thread last found it. Weak, so that a thread that no longer posts
// keeps no replaced centre (and its observers' callbacks) alive.
struct CachedDefault {
    std::uint64_t generation = 0;
    std::weak_ptr<NotificationCenter> center;
};
thread_local CachedDefault t_cachedDefault;
}

std::shared_ptr<NotificationCenter> NotificationCenter::defaultCenter()
{
    // Every outgoing message asks for the centre: the usual call reads the thread's cache and
    // takes no lock. The cache is good while no reset has come in between; a centre replaced
    // after the generation was read may be gone already, and then the lock decides.
    auto& cached = t_cachedDefault;
    if (cached.generation == s_defaultGeneration.load(std::memory_order_acquire)) {
        if (auto center = cached.center.lock())
            return center;
    }
    std::lock_guard lock(s_defaultMutex);
    if (!s_default)
        s_default = create();
    cached.generation = s_defaultGeneration.load(std::memory_order_relaxed);
    cached.center = s_default;
    return s_default;
}

void NotificationCenter::resetDefaultForTesting()
{
    std::shared_ptr<NotificationCenter> old;
    std::lock_guard lock(s_defaultMutex);
    old = std::move(s_default);
    s_default = create();
    s_defaultGeneration.fetch_add(1, std::memory_order_release);
}

std::shared_ptr<NotificationCenter> NotificationCenter::create()
{
    return std::shared_ptr<NotificationCenter>(new NotificationCenter());
}

ObserverToken NotificationCenter::addObserver(std::string name, const void* sender, Callback callback)
{
    auto entry = std::make_shared<ObserverToken::Entry>();
    entry->name = std::move(name);
    entry->sender = sender;
    entry->callback = std::move(callback);
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(entry);
    }
    return ObserverToken(weak_from_this(), entry);
}

void NotificationCenter::remove(const std::shared_ptr<ObserverToken::Entry>&)
{
    // The entry is already marked dead, so posts skip it. Dead entries are dropped together once
    // they are half of the list: removing one by one would make tearing down many objects, each
    // with its observer, quadratic.
    std::vector<std::shared_ptr<ObserverToken::Entry>> dropped; // released outside the lock
    std::lock_guard lock(m_mutex);
    ++m_removedCount;
    if (m_removedCount * 2 < m_entries.size())
        return;
    auto dead = std::stable_partition(m_entries.begin(), m_entries.end(), [](const auto& entry) { return entry->alive.load(); });
    dropped.assign(std::make_move_iterator(dead), std::make_move_iterator(m_entries.end()));
    m_entries.erase(dead, m_entries.end());
    m_removedCount = 0;
}

void NotificationCenter::post(const Notification& notification)
{
    // A name has few observers as a rule: the first ones found are kept on the stack, so that a
    // post allocates nothing for them.
    constexpr std::size_t kKeptOnStack = 8;
    std::array<std::shared_ptr<ObserverToken::Entry>, kKeptOnStack> first;
    std::vector<std::shared_ptr<ObserverToken::Entry>> more;
    std::size_t count = 0;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& entry : m_entries) {
            if (!entry->alive)
                continue;
            if (!entry->name.empty() && entry->name != notification.name)
                continue;
            if (entry->sender && entry->sender != notification.sender)
                continue;
            if (count < kKeptOnStack)
                first[count] = entry;
            else
                more.push_back(entry);
            ++count;
        }
    }
    auto deliver = [&](const std::shared_ptr<ObserverToken::Entry>& entry) {
        if (entry->alive)
            entry->callback(notification);
    };
    for (std::size_t index = 0; index < std::min(count, kKeptOnStack); ++index)
        deliver(first[index]);
    for (const auto& entry : more)
        deliver(entry);
}

void NotificationCenter::post(std::string name, const void* sender, Value userInfo, std::any object)
{
    post(Notification { std::move(name), sender, std::move(object), std::move(userInfo) });
}

std::size_t NotificationCenter::observerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size() - m_removedCount;
}

} // namespace morvix::platform
