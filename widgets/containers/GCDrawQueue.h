#pragma once
// The operation lists of a drawing context, held until the pictures they name have arrived.

#include "platform/foundation/Clock.h"
#include "platform/foundation/SessionBudget.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/Value.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

namespace morvix {

class ClientContext;
class NetHTTPRequestOperation;

namespace platform {
class Image;
}

/// Runs a drawing context's operation lists in the order they came, each once the pictures it
/// names from the network ("drawImage" of a path that resolves to an http or https URL) are at
/// hand, so that drawing never holds the main thread on a server. Pictures are fetched ahead
/// through the session's HTTP client and kept in the shared image cache.
///
/// Rules:
///  1. A list runs within `add` when no earlier list waits and every network picture it names
///     is in the shared image cache (or it names none); otherwise it waits behind the earlier
///     ones, and its pictures are fetched at once.
///  2. A network picture is fetched once however many operations and waiting lists name it,
///     with the session's download cap on its body.
///  3. A list runs at the latest `MorvixHTTPClient::kPictureDeadline` after it came, on the
///     process clock. A picture still on its way then is given up (its fetch cancelled) and,
///     like one that failed, drawn as missing: the operation draws nothing.
///  4. At most `kMaximumWaitingLists` lists wait: one more makes the oldest run at once, giving
///     up on its pictures. A list has at most `kMaximumPicturesPerList` network pictures, and
///     the pictures held for waiting lists at most `kMaximumHeldPixels` pixels together; the
///     ones past either bound are drawn as missing.
///  5. Every other picture (a file of the application, through the session's `imageFromPath`)
///     is read and decoded when its list runs, once per list.
///  6. What a list that did not wait throws reaches the caller of `add`; what a list that waited
///     throws is logged to the session, as the operation dispatcher logs it.
///
/// Owned by its drawing context. Main thread only. Fetches hold the queue weakly; destroying it
/// drops the waiting lists and cancels their fetches.
class GCDrawQueue final : public std::enable_shared_from_this<GCDrawQueue> {
public:
    /// Runs one list, asking `picture` for the pictures its operations name.
    using Runner = std::function<void(const platform::Value& operations)>;

    static constexpr std::size_t kMaximumWaitingLists = 4;
    static constexpr std::size_t kMaximumPicturesPerList = 16;
    /// Twice the largest picture: two pictures of the largest size, or many smaller ones.
    static constexpr std::int64_t kMaximumHeldPixels = 80'000'000;

    static std::shared_ptr<GCDrawQueue> create(std::string objectId, Runner runner);
    ~GCDrawQueue();
    GCDrawQueue(const GCDrawQueue&) = delete;
    GCDrawQueue& operator=(const GCDrawQueue&) = delete;

    /// Runs `operations` (a list of operations; anything else names no picture) for `session`
    /// now, or keeps a copy until its pictures are in (rules 1 and 3).
    void add(const platform::Value& operations, const std::shared_ptr<ClientContext>& session);
    /// Runs every waiting list now, in order, giving up on the pictures still on their way.
    void flush();
    /// For the list that runs now: the picture `path` names, or null when it is missing.
    std::shared_ptr<platform::Image> picture(const std::string& path);
    /// Lists that wait.
    std::size_t waitingCount() const { return m_waiting.size(); }

private:
    struct Fetch {
        std::shared_ptr<NetHTTPRequestOperation> operation; // while the picture is on its way
        std::shared_ptr<platform::Image> image;             // null when missing
        bool done = false;
        std::size_t lists = 0; // the waiting or running lists that name it
    };
    struct List {
        // Where a picture path of the list comes from.
        enum class Source { File, Network, Missing };
        struct Picture {
            Source source = Source::Missing;
            std::string url; // of a network picture
        };
        platform::Value operations; // kept while the list waits
        platform::TimePoint deadline;
        std::unordered_map<std::string, Picture> pictures;
        std::size_t networkPictures = 0;
    };
    enum class Failures { Propagate, Log };

    GCDrawQueue(std::string objectId, Runner runner);
    void findPictures(List& list, const platform::Value& operations, const ClientContext& session);
    void addNetworkPicture(List& list, const std::string& path, const std::string& url, const ClientContext& session);
    std::unordered_map<std::string, Fetch>::iterator fetchOf(const List::Picture& picture);
    bool isReady(const List& list);
    /// Runs the oldest waiting list, giving up on its pictures still on their way.
    void runOldest();
    void run(List& list, const platform::Value& operations, Failures failures);
    void release(const List& list);
    void pictureArrived(const std::string& url, std::shared_ptr<platform::Image> image);
    /// Runs the lists at the head that are ready or late, then sets the timer for the next.
    void advance();
    /// `image` counted among the held pixels, and in the session's bitmap pixels; null (and a
    /// warning naming `name`) when it would go past `kMaximumHeldPixels` or the session's limit.
    std::shared_ptr<platform::Image> hold(std::shared_ptr<platform::Image> image, const std::string& name);
    /// Gives back what `hold` counted for `image`.
    void letGo(const platform::Image& image);
    /// Logs a warning to the session, at most `kMaximumWarnings` between two runs.
    void warn(std::string message);
    void logFailure(const std::string& name, const std::string& reason) const;

    const std::string m_objectId;
    Runner m_runner;
    std::weak_ptr<ClientContext> m_session; // of the latest list
    std::deque<List> m_waiting;
    // The network pictures of the waiting lists and the running one, by URL.
    std::unordered_map<std::string, Fetch> m_fetches;
    std::int64_t m_heldPixels = 0;
    // The same pixels in the session's budget, beside its drawing contexts' bitmaps.
    platform::SessionBudget::Share m_heldShare;
    static constexpr int kMaximumWarnings = 4;
    int m_warnings = 0;
    // The list that runs now and the files it has read; null between runs.
    List* m_running = nullptr;
    std::unordered_map<std::string, std::shared_ptr<platform::Image>> m_localPictures;
    platform::Timer m_deadline;
};

} // namespace morvix
