#pragma once
// Applies the head keys and operations of incoming messages to the session's objects.

#include "platform/foundation/Value.h"

#include <atomic>
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
///     thread: inline when called there, otherwise by a synchronous hand-off while the caller
///     waits. So operations run one at a time and in the order they were handed over.
///  2. Creation constructs the object, applies its properties as a "set" ("data" first,
///     "parent" last), then registers it, which calls its `registered`. When the "set" fails,
///     the object is not registered.
///  3. A failed operation (a named exception from an object, any other C++ exception, or a
///     malformed operation array) is logged as "catching '<name>' reason '<reason>'", to the
///     system log and to the session log as an error, and skipped; the result is nothing and
///     the caller goes on with the next operation.
///  4. A create of a type the type table does not hold is skipped; the first one of each type
///     name (up to a thousand names) is noted in the session log at debug level.
///  5. A reader hands its head keys and operations over with its abandoned flag. The flag is
///     read on the main thread right before the key or operation is applied, so nothing that
///     was waiting for the main thread when the reader was abandoned is applied.
///
/// Thread safety: `processHead` and `processOperation` may be called from any thread, one
/// caller at a time per message. They block while the main thread applies the operation, so
/// the main thread must keep turning.
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

    /// The session is held weakly; once it is gone, nothing is applied.
    static std::shared_ptr<CommandOperator> create(std::weak_ptr<Session> session);
    virtual ~CommandOperator() = default;
    CommandOperator(const CommandOperator&) = delete;
    CommandOperator& operator=(const CommandOperator&) = delete;

    /// Applies one head key; the result is the text of an "error" key, nothing otherwise.
    virtual std::optional<std::string> processHead(const platform::Value& value, const std::string& key);
    /// Applies one operation array; the result is what a "get" or "call" returned, nothing for
    /// every other operation and after a failure. Nothing ever answers the peer with it.
    virtual std::optional<platform::Value> processOperation(const platform::Value& operation);

    /// What a reader calls: the same as the two above, except that nothing is applied once
    /// `abandoned` is true when the main thread comes to it (rule 5). The flag must outlive the
    /// call. An "error" key's text is returned even when abandoned.
    virtual std::optional<std::string> processHead(const platform::Value& value, const std::string& key,
        const std::atomic<bool>& abandoned);
    virtual std::optional<platform::Value> processOperation(const platform::Value& operation,
        const std::atomic<bool>& abandoned);

    /// The object registered under `id`, creating it first when `id` is a type name of the
    /// type table and nothing is registered under it.
    std::shared_ptr<RemoteObject> objectById(const std::string& id);

    /// Writes "catching '<name>' reason '<reason>'" to the system log (`platform::systemLog`)
    /// and, as an error, to the session log. Any thread.
    void log(std::string_view name, std::string_view reason);

protected:
    explicit CommandOperator(std::weak_ptr<Session> session);

private:
    std::optional<platform::Value> apply(const platform::Value& operation, const std::atomic<bool>& abandoned);
    void applyHead(Session& session, const platform::Value& value, const std::string& key);
    std::shared_ptr<RemoteObject> objectById(const std::string& id, const std::atomic<bool>& abandoned);
    void createObject(const std::string& type, const platform::Value* properties, const std::string& id,
        const std::atomic<bool>& abandoned);
    void noteUnknownType(const std::string& type);
    template<typename Function>
    auto guarded(const std::atomic<bool>& abandoned, Function&& function) -> decltype(function());

    static constexpr std::size_t kMaximumNotedTypes = 1000;

    std::weak_ptr<Session> m_session;
    std::mutex m_unknownTypesMutex; // guards m_unknownTypes
    std::unordered_set<std::string> m_unknownTypes;
};

} // namespace morvix
