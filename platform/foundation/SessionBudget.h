#pragma once
// What one session may hold at once of the things a peer can make it take.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace morvix::platform {

/// The budgets of one session. Each object bounds what one message may make it hold (a body, a
/// bitmap, a stack), but a message may name many objects: the sums over all of a session's
/// objects are bounded here, and every bound that protects a session from its peer as a whole
/// is written here, in one place (docs/protocol.md, "Budgets of one session", says the same for
/// the peer's developer).
///
/// Resources and their limits:
///  - `Downloads`: downloads a peer started (HTTP requests, print jobs) that are in flight at
///    once: kMaximumDownloads. A download past it waits for a place (`whenDownloadPlaceFree`).
///  - `DownloadBytes`: the bytes those downloads have received and not yet handed on (to the
///    peer, to the print dialog): kMaximumDownloadBytes. The write that would pass it fails its
///    download.
///  - `BitmapPixels`: the pixels of every drawing context's bitmap: kMaximumBitmapPixels.
///  - `SavedStates`: the drawing states saved and not restored, over every drawing context:
///    kMaximumSavedStates (one context alone: kMaximumSaveDepth).
///
/// An object holds what it takes as a `Share`, which gives it back when it is released or
/// destroyed, whatever the thread. A share that would take the session's sum past the limit is
/// refused and nothing changes; what to tell the peer is the object's to decide.
///
/// Besides, the budget keeps the files the session made for its objects (print jobs) and
/// removes those still there when the session ends (`endSession`).
///
/// Thread safety: every method may be called on any thread. `whenDownloadPlaceFree` starts a
/// waiting download on the main loop.
class SessionBudget final : public std::enable_shared_from_this<SessionBudget> {
public:
    enum class Resource : std::size_t { Downloads, DownloadBytes, BitmapPixels, SavedStates };

    /// Downloads a peer started that run at once; the browser's usual number of connections.
    static constexpr std::uint64_t kMaximumDownloads = 6;
    /// The bytes those downloads hold at once: two bodies of the largest size one request may
    /// take (256 MiB).
    static constexpr std::uint64_t kMaximumDownloadBytes = std::uint64_t(512) * 1024 * 1024;
    /// The pixels of all drawing contexts' bitmaps together (4 bytes each): twice the largest
    /// one bitmap may have (40 million).
    static constexpr std::uint64_t kMaximumBitmapPixels = 80'000'000;
    /// The drawing states one drawing context may have saved and not restored.
    static constexpr std::uint64_t kMaximumSaveDepth = 1024;
    /// The drawing states all drawing contexts together may have saved and not restored.
    static constexpr std::uint64_t kMaximumSavedStates = 65536;

    /// A part of one resource held by one object. An unbound share (made by default, or moved
    /// from) belongs to no session: it holds nothing and every change succeeds. Used by one
    /// thread at a time; may be moved to another thread.
    class Share final {
    public:
        Share() = default;
        Share(Share&& other) noexcept;
        Share& operator=(Share&& other) noexcept;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        /// Gives back what it holds.
        ~Share();

        bool isBound() const { return m_budget != nullptr; }
        std::uint64_t amount() const { return m_amount; }
        /// The session's limit of the share's resource; the largest number when unbound.
        std::uint64_t limit() const;
        /// Takes `more` on top of what it holds; false, with nothing changed, when the session's
        /// sum would pass the limit.
        [[nodiscard]] bool grow(std::uint64_t more);
        /// Holds `amount` instead; false, with nothing changed, when growing would take the
        /// session's sum past the limit. Shrinking always succeeds.
        [[nodiscard]] bool resize(std::uint64_t amount);
        /// Gives back everything it holds; it stays bound.
        void release();

    private:
        friend class SessionBudget;
        Share(std::shared_ptr<SessionBudget> budget, Resource resource, std::uint64_t amount);

        std::shared_ptr<SessionBudget> m_budget;
        Resource m_resource = Resource::Downloads;
        std::uint64_t m_amount = 0;
    };

    /// Keeps a download's wait for a place; dropping it withdraws the wait.
    using Wait = std::shared_ptr<void>;

    static std::shared_ptr<SessionBudget> create();
    ~SessionBudget();
    SessionBudget(const SessionBudget&) = delete;
    SessionBudget& operator=(const SessionBudget&) = delete;

    /// The limit of `resource` written above.
    static std::uint64_t defaultLimit(Resource resource);
    std::uint64_t limit(Resource resource) const;
    /// Another limit for this session (an application that needs other bounds, a test). Shares
    /// already held stay; they only cannot grow while the sum lies past the new limit.
    void setLimit(Resource resource, std::uint64_t limit);
    /// What the session's shares hold now.
    std::uint64_t inUse(Resource resource) const;
    /// The most the session's shares ever held at once.
    std::uint64_t peak(Resource resource) const;

    /// An empty share of `resource` in this session.
    Share share(Resource resource);
    /// Calls `start` with a share of one download once a place is free: at once when one is free
    /// and no download waits, otherwise on the main loop, after the downloads that waited
    /// before it. The download runs while it holds the share. Dropping the result before
    /// `start` was called withdraws the wait (`start` is then never called); `start` is
    /// dropped after its call.
    [[nodiscard]] Wait whenDownloadPlaceFree(std::function<void(Share place)> start);
    /// The number of downloads waiting for a place.
    std::size_t waitingDownloads() const;

    /// Remembers a file made for one of the session's objects, to be removed by `endSession`.
    void holdFile(std::string path);
    /// Forgets the file (its object removed it, or keeps it for good); nothing when not held.
    void releaseFile(const std::string& path);
    /// Removes every file still held. Called when the session ends (a new load, the session
    /// going away).
    void endSession();

private:
    struct Waiter {
        std::function<void(Share)> start;
    };
    static constexpr std::size_t kResourceCount = 4;

    SessionBudget();
    bool take(Resource resource, std::uint64_t amount);
    void give(Resource resource, std::uint64_t amount);
    void startWaitingDownloads();

    std::array<std::atomic<std::uint64_t>, kResourceCount> m_limit;
    std::array<std::atomic<std::uint64_t>, kResourceCount> m_inUse {};
    std::array<std::atomic<std::uint64_t>, kResourceCount> m_peak {};
    mutable std::mutex m_waitMutex; // guards m_waiters and m_pruneAt
    std::deque<std::weak_ptr<Waiter>> m_waiters;
    std::size_t m_pruneAt = 64;
    std::mutex m_fileMutex; // guards m_files
    std::set<std::string> m_files;
};

} // namespace morvix::platform
