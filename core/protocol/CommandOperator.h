#pragma once
// Applies the head keys and operations of incoming messages to the session's objects.

#include "platform/foundation/Value.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace morvix {

class ClientContext;
class ObjectRegistry;
class RemoteObject;

/// Applies what the other side says, one head key or one operation array at a time, as the
/// streaming reader and the script bridge hand them over. One per session.
///
/// Operations: ["create", id, type, {properties}], ["set", id, {properties}], ["listen", id,
/// {properties}], ["call", id, method, {properties}], ["get", id, property], ["destroy", id].
/// An element at a properties position that is not an object counts as absent; elements
/// beyond these are ignored. An operation on an unknown id is ignored, except that an id which
/// is itself a type name of the type table first creates an object of that type under that id
/// (this is how service objects come into being).
///
/// Head keys: "url" (text) moves the session to a new base URL; "requestCounter" (an integer
/// from 0 to 2^53) goes to the session's request counter; "morvix.UI" (number) switches the
/// application frame's bars; "error" (text) is returned as the message's error. A value of
/// another kind for one of these keys is logged like a failed operation and has no effect;
/// other keys have no effect.
///
/// Rules:
///  1. Every creation, every object operation and every head key is applied on the main
///     thread, one at a time and in the order handed over. Called on the main thread, it is
///     applied at once. A reader on another thread hands its head keys and operations over
///     with its abandoned flag and goes on reading: they wait in the operator's hand-off queue,
///     and the main loop applies one of them per turn, so that what applying one posts to the
///     main loop (a reload, say) runs before the next is applied. The calls without a flag
///     wait for the main thread instead and return its result.
///  2. Creation constructs the object, applies its properties as a "set" ("data" first,
///     "parent" last), then registers it, which calls its `registered`. When the "set" fails,
///     the object is not registered.
///  3. A failed operation (a named exception from an object, any other C++ exception, or a
///     malformed operation array) is logged as "catching '<name>' reason '<reason>'", to the
///     system log and to the session log as an error, and skipped; the result is nothing and
///     the caller goes on with the next operation.
///  4. A create of a type the type table does not hold is skipped; the first one of each type
///     name (up to a thousand names) is noted in the session log at debug level.
///  5. The abandoned flag is read on the main thread right before a key or operation is
///     applied, so nothing that was still queued when the reader was abandoned is applied; an
///     abandoned reader's later hand-overs are not queued at all.
///  6. The queue holds at most `kMaximumHandedOver` head keys and operations, and values of
///     at most about `kMaximumHandedOverBytes` in all (one larger value is taken alone): a
///     reader that runs that far ahead of the main thread waits for it to take the next one,
///     or for its abandonment (`readerAbandoned`).
///  7. `afterHandedOver` tasks and `endHandOffBatch` owners take their place in the same
///     queue: a task runs, and an owner is released, once everything handed over before it
///     has been applied or skipped. A quit of the main loop keeps the queue and its turn: it
///     goes on when the loop runs again, so that a body and its request's end are not lost to
///     an application that stops its loop and runs it again. (Meanwhile a reader may wait for
///     room; abandoning it, as destroying the session does, sets it free.)
///  8. Passes that coalesce (a layout of the window: the main loop's idle tasks) run when the
///     queue runs empty or at the end of a batch, never between two entries of a batch: the
///     turn that takes the next entry is an ordinary task of the main loop, posted behind
///     whatever the entry posted, except at a batch end where the passes are due, where it waits
///     for them. They are due at the first batch end, and then once the entries applied since
///     they last ran took four times as long as they did (at least `kApplyingBetweenPasses`).
///     So a response of many operations is laid out a few times however many chunks it comes
///     in, its cost stays linear in its operations, and a long one still shows its first
///     widgets before it ends.
///
/// Thread safety: `processHead` and `processOperation` may be called from any thread, one
/// reader at a time. The queue is guarded by one mutex, never held while anything is applied.
/// A queued flag is read on the main thread: whoever hands one over keeps it alive until the
/// queue is through with it (`endHandOffBatch`).
class CommandOperator : public std::enable_shared_from_this<CommandOperator> {
public:
    /// What the operator needs of its session. The session object implements it.
    class Session {
    public:
        virtual ~Session() = default;
        /// The session as its remote objects see it; handed to every object created.
        virtual std::shared_ptr<ClientContext> clientContext() = 0;
        virtual std::shared_ptr<ObjectRegistry> objectRegistry() = 0;
        /// "url": the session's HTTP client takes the URL it builds from `url` relative to the
        /// server as its new base URL. Main thread.
        virtual void changeBaseURL(const std::string& url) = 0;
        /// "requestCounter": hands the counter to the session's bindings. Main thread.
        virtual void receivedRequestCounter(long counter) = 0;
        /// "morvix.UI": whether the application frame's bars take part. Main thread.
        virtual void setMorvixUIActive(bool active) = 0;
    };

    /// How many head keys and operations a reader off the main thread may have waiting (rule 6).
    static constexpr std::size_t kMaximumHandedOver = 1024;
    /// About how much memory the values waiting in the queue may hold together (rule 6).
    static constexpr std::size_t kMaximumHandedOverBytes = std::size_t(16) << 20;

    /// The session is held weakly; once it is gone, nothing is applied.
    static std::shared_ptr<CommandOperator> create(std::weak_ptr<Session> session);
    virtual ~CommandOperator();
    CommandOperator(const CommandOperator&) = delete;
    CommandOperator& operator=(const CommandOperator&) = delete;

    /// Applies one head key; the result is the text of an "error" key, nothing otherwise.
    virtual std::optional<std::string> processHead(const platform::Value& value, const std::string& key);
    /// Applies one operation array; the result is what a "get" or "call" returned, nothing for
    /// every other operation and after a failure. Nothing ever answers the peer with it.
    virtual std::optional<platform::Value> processOperation(const platform::Value& operation);

    /// What a reader calls: the same as the two above, except that nothing is applied once
    /// `abandoned` is true when the main thread comes to it (rule 5), and that off the main
    /// thread they queue what they are given and return nothing at once (rule 1). The flag must
    /// outlive the call and, off the main thread, the queue's use of it (rule 7). An "error"
    /// key's text is returned at once, even when abandoned; it is not queued.
    virtual std::optional<std::string> processHead(const platform::Value& value, const std::string& key,
        const std::atomic<bool>& abandoned);
    virtual std::optional<platform::Value> processOperation(const platform::Value& operation,
        const std::atomic<bool>& abandoned);

    /// Runs `task` on the main thread once every head key and operation handed over before it
    /// from another thread has been applied or skipped (rule 7): at once when called on the main
    /// thread with nothing queued and nothing being applied, otherwise on a turn of its own.
    /// Dropped unrun when the main loop quits first. Any thread.
    void afterHandedOver(std::function<void()> task);
    /// Bracket what a reader off the main thread reads from one chunk: what it hands over
    /// meanwhile is queued without waking the main loop, which gets one turn posted for the
    /// whole batch when the batch ends (a reader that fills the queue gets its turn at once).
    /// `endHandOffBatch` keeps `owner` until everything handed over so far has been applied or
    /// skipped (rule 7), or releases it at once when nothing is queued or being applied: a
    /// reader's owner passes itself, so that the flag its queued hand-overs point at outlives
    /// them. Any thread; batches of several threads may overlap, and the turn is posted when
    /// the last one ends.
    void beginHandOffBatch();
    void endHandOffBatch(std::shared_ptr<const void> owner);
    /// Wakes the readers that wait for room in the queue, so that one whose flag is now set
    /// stops waiting and queues nothing more (rule 5). A reader's `abandon` calls it. Any thread.
    void readerAbandoned();

    /// The object registered under `id`, creating it first when `id` is a type name of the
    /// type table and nothing is registered under it.
    std::shared_ptr<RemoteObject> objectById(const std::string& id);

    /// Writes "catching '<name>' reason '<reason>'" to the system log (`platform::systemLog`)
    /// and, as an error, to the session log. Any thread.
    void log(std::string_view name, std::string_view reason);

protected:
    explicit CommandOperator(std::weak_ptr<Session> session);
    /// Called on a reader's thread when it is about to wait for room in the queue (rule 6),
    /// without the queue's lock. For tests; does nothing here.
    virtual void willWaitForRoom() { }

private:
    std::optional<platform::Value> apply(const platform::Value& operation, const std::atomic<bool>& abandoned);
    void applyHead(Session& session, const platform::Value& value, const std::string& key);
    std::shared_ptr<RemoteObject> objectById(const std::string& id, const std::atomic<bool>& abandoned);
    void createObject(const std::string& type, const platform::Value* properties, const std::string& id,
        const std::atomic<bool>& abandoned);
    void noteUnknownType(const std::string& type);
    template<typename Function>
    auto guarded(const std::atomic<bool>& abandoned, Function&& function) -> decltype(function());

    // The hand-off queue of rules 1, 5, 6 and 7, defined with its functions in the source.
    class HandOff;
    struct HandedOver;
    class HandOffTurn;
    enum class NextTurn { Now, AfterPasses };
    void handOver(HandedOver entry);
    void scheduleHandOff(NextTurn when = NextTurn::Now);
    static bool letPassesRun(HandOff& handOff);
    static void notePassesRan(HandOff& handOff);
    void applyHandedOver();
    void apply(HandedOver& entry);
    void dropHandedOver();
    std::optional<std::string> applyHeadNow(const platform::Value& value, const std::string& key,
        const std::atomic<bool>& abandoned);
    std::optional<platform::Value> applyOperationNow(const platform::Value& operation, const std::atomic<bool>& abandoned);

    static constexpr std::size_t kMaximumNotedTypes = 1000;
    static constexpr std::chrono::milliseconds kApplyingBetweenPasses { 250 };

    std::unique_ptr<HandOff> m_handOff;
    std::weak_ptr<Session> m_session;
    std::mutex m_unknownTypesMutex; // guards m_unknownTypes
    std::unordered_set<std::string> m_unknownTypes;
};

} // namespace morvix
