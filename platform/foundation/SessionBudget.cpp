#include "platform/foundation/SessionBudget.h"

#include "platform/foundation/MainLoop.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>

namespace morvix::platform {

namespace {

std::size_t indexOf(SessionBudget::Resource resource)
{
    return static_cast<std::size_t>(resource);
}

} // namespace

// MARK: Share

SessionBudget::Share::Share(std::shared_ptr<SessionBudget> budget, Resource resource, std::uint64_t amount)
    : m_budget(std::move(budget))
    , m_resource(resource)
    , m_amount(amount)
{
}

SessionBudget::Share::Share(Share&& other) noexcept
    : m_budget(std::move(other.m_budget))
    , m_resource(other.m_resource)
    , m_amount(std::exchange(other.m_amount, 0))
{
}

SessionBudget::Share& SessionBudget::Share::operator=(Share&& other) noexcept
{
    if (this == &other)
        return *this;
    release();
    m_budget = std::move(other.m_budget);
    m_resource = other.m_resource;
    m_amount = std::exchange(other.m_amount, 0);
    return *this;
}

SessionBudget::Share::~Share()
{
    release();
}

std::uint64_t SessionBudget::Share::limit() const
{
    return m_budget ? m_budget->limit(m_resource) : std::numeric_limits<std::uint64_t>::max();
}

bool SessionBudget::Share::grow(std::uint64_t more)
{
    if (!m_budget) {
        m_amount += more;
        return true;
    }
    if (!m_budget->take(m_resource, more))
        return false;
    m_amount += more;
    return true;
}

bool SessionBudget::Share::resize(std::uint64_t amount)
{
    if (amount >= m_amount)
        return grow(amount - m_amount);
    if (m_budget)
        m_budget->give(m_resource, m_amount - amount);
    m_amount = amount;
    return true;
}

void SessionBudget::Share::release()
{
    (void)resize(0);
}

// MARK: Budget

std::shared_ptr<SessionBudget> SessionBudget::create()
{
    return std::shared_ptr<SessionBudget>(new SessionBudget());
}

SessionBudget::SessionBudget()
{
    for (auto resource : { Resource::Downloads, Resource::DownloadBytes, Resource::BitmapPixels, Resource::SavedStates })
        m_limit[indexOf(resource)] = defaultLimit(resource);
}

SessionBudget::~SessionBudget()
{
    endSession();
}

std::uint64_t SessionBudget::defaultLimit(Resource resource)
{
    // In the order of the resources.
    static constexpr std::array<std::uint64_t, kResourceCount> kLimits { kMaximumDownloads, kMaximumDownloadBytes, kMaximumBitmapPixels,
        kMaximumSavedStates };
    return kLimits[indexOf(resource)];
}

std::uint64_t SessionBudget::limit(Resource resource) const
{
    return m_limit[indexOf(resource)].load();
}

void SessionBudget::setLimit(Resource resource, std::uint64_t limit)
{
    m_limit[indexOf(resource)] = limit;
}

std::uint64_t SessionBudget::inUse(Resource resource) const
{
    return m_inUse[indexOf(resource)].load();
}

std::uint64_t SessionBudget::peak(Resource resource) const
{
    return m_peak[indexOf(resource)].load();
}

SessionBudget::Share SessionBudget::share(Resource resource)
{
    return Share(shared_from_this(), resource, 0);
}

bool SessionBudget::take(Resource resource, std::uint64_t amount)
{
    std::size_t index = indexOf(resource);
    std::uint64_t limit = m_limit[index].load();
    std::uint64_t current = m_inUse[index].load();
    do {
        if (amount > limit || current > limit - amount)
            return false;
    } while (!m_inUse[index].compare_exchange_weak(current, current + amount));
    std::uint64_t now = current + amount;
    std::uint64_t peak = m_peak[index].load();
    while (now > peak && !m_peak[index].compare_exchange_weak(peak, now)) {
    }
    return true;
}

void SessionBudget::give(Resource resource, std::uint64_t amount)
{
    m_inUse[indexOf(resource)].fetch_sub(amount);
    if (resource != Resource::Downloads || amount == 0 || waitingDownloads() == 0)
        return;
    // Started on a later turn, never inside the code that ended the download before.
    MainLoop::main().post([weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->startWaitingDownloads();
    });
}

SessionBudget::Wait SessionBudget::whenDownloadPlaceFree(std::function<void(Share place)> start)
{
    {
        std::lock_guard lock(m_waitMutex);
        while (!m_waiters.empty() && m_waiters.front().expired())
            m_waiters.pop_front();
        if (!m_waiters.empty() || !take(Resource::Downloads, 1)) {
            // Not made with make_shared: a withdrawn wait's function goes at once, while the
            // queue still holds its weak entry.
            std::shared_ptr<Waiter> waiter(new Waiter { std::move(start) });
            m_waiters.push_back(waiter);
            // Withdrawn waits are swept out as the queue doubles, so that a peer that sends and
            // aborts over and over does not grow it.
            if (m_waiters.size() >= m_pruneAt) {
                std::erase_if(m_waiters, [](const std::weak_ptr<Waiter>& entry) { return entry.expired(); });
                m_pruneAt = std::max<std::size_t>(64, 2 * m_waiters.size());
            }
            return waiter;
        }
    }
    start(Share(shared_from_this(), Resource::Downloads, 1));
    return nullptr;
}

std::size_t SessionBudget::waitingDownloads() const
{
    std::lock_guard lock(m_waitMutex);
    return m_waiters.size();
}

void SessionBudget::startWaitingDownloads()
{
    for (;;) {
        std::shared_ptr<Waiter> next;
        {
            std::lock_guard lock(m_waitMutex);
            while (!m_waiters.empty() && !(next = m_waiters.front().lock()))
                m_waiters.pop_front();
            if (!next || !take(Resource::Downloads, 1))
                return;
            m_waiters.pop_front();
        }
        auto start = std::move(next->start);
        next.reset();
        start(Share(shared_from_this(), Resource::Downloads, 1));
    }
}

void SessionBudget::holdFile(std::string path)
{
    std::lock_guard lock(m_fileMutex);
    m_files.insert(std::move(path));
}

void SessionBudget::releaseFile(const std::string& path)
{
    std::lock_guard lock(m_fileMutex);
    m_files.erase(path);
}

void SessionBudget::endSession()
{
    std::set<std::string> files;
    {
        std::lock_guard lock(m_fileMutex);
        files.swap(m_files);
    }
    for (const auto& path : files) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
}

} // namespace morvix::platform
