#pragma once
// The binding that connects a session to the local script peer.

#include "core/outgoing/Binding.h"
#include "core/script/JSBridge.h"
#include "platform/foundation/Value.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace morvix {

class CommandOperator;
class Message;

/// Runs the session's peer as a script inside the library: on `start` it loads the boot script
/// the application declares (the "morvix" member of the JSON at the server URL, resolved against
/// the server URL) or, when there is none, the built-in one (`builtInBootScript`), into a
/// `JSBridge` and starts the bridge. Afterwards it hands the events of outgoing messages to the
/// script, as calls of "morvix._notify" with (object id, event, attributes); property changes,
/// calls and head messages are dropped, since the script reads what it needs through the
/// bridge.
///
/// Rules:
///  1. `start`: the active flag, the network activity indicator, the session's application
///     frame switched on, the script loaded and run, the bridge started, in this order. The
///     bridge starts even when no script could be loaded (and then logs that "morvix" is
///     missing).
///  2. An unreadable declared script logs "Could not load Resource:\n<path>"; a "morvix" member
///     that is not text counts as no path ("<undefined>"). The built-in script then does not run.
///     The declared path is resolved and confined as the bridge's `load` does (`JSBridge::resolve`):
///     a local file, in any session, only inside the application folder, so a session served
///     over http runs no local file at all; a refused one counts as unreadable.
///  3. `storeMessage`, `scheduleMessage` and `sendMessage` are one and the same: each event of the
///     message is fired, in order (each followed by "ProcessingFinished"), then
///     "com.zerivoquastel.morvix.OperationSucceeded" is posted once, whatever the message held.
///     A message handed on off the main thread is delivered on the main loop's next turn.
///  4. `stop` then `start` runs the script again in the same context; `reset` gives the next
///     `start` a new context.
///  5. `retry` reloads the session on a later turn of the main loop, never inline, since the
///     reload resets this very binding.
///
/// Thread safety: `start`, `reset`, `retry`, `execute` and message delivery run script, so on
/// the main thread; the flags may be read on any thread.
class JSBinding final : public Binding, public std::enable_shared_from_this<JSBinding> {
public:
    static constexpr const char* kOperationSucceeded = "com.zerivoquastel.morvix.OperationSucceeded";

    /// What the binding needs of its session, beyond what the bridge needs.
    class Session : public JSBridge::Session {
    public:
        virtual std::shared_ptr<CommandOperator> commandOperator() = 0;
        /// Whether the peer drives the application frame.
        virtual void setMorvixUIActive(bool active) = 0;
        /// Reloads the whole session. Main thread.
        virtual void load() = 0;
    };

    /// Keeps the session weakly and makes the first bridge with its command operator.
    static std::shared_ptr<JSBinding> create(std::weak_ptr<Session> session);
    /// What a `MorvixClient` takes among its binding factories to run its peer as a script:
    ///
    ///     auto client = MorvixClient::create(window, { JSBinding::factory() });
    ///
    /// The client's server URL then names the application: a folder ("file:///apps/hello/")
    /// whose package.json or index.js is the main module, or a JSON file whose "morvix" member
    /// names the application's own boot script.
    static BindingFactory factory();
    ~JSBinding() override = default;
    JSBinding(const JSBinding&) = delete;
    JSBinding& operator=(const JSBinding&) = delete;

    void start() override;
    /// Nothing.
    void suspend() override { }
    /// Nothing.
    void resume() override { }
    void retry() override;
    void stop() override { m_active = false; }

    void sendMessage(const std::shared_ptr<Message>& message) override { handleNotificationsFor(message); }
    void scheduleMessage(const std::shared_ptr<Message>& message) override { handleNotificationsFor(message); }
    void storeMessage(const std::shared_ptr<Message>& message) override { handleNotificationsFor(message); }

    /// `stop`, then a new bridge with a new context.
    void reset() override;
    bool isActive() override { return m_active; }
    /// Always false: the script peer answers at once.
    bool isProcessing() override { return false; }
    /// Nothing.
    void receivedRequestCounter(std::int64_t) override { }
    /// Always true.
    bool supportsCustomDrawer() override { return true; }

    /// Runs `script` on the bridge (which posts "ProcessingFinished").
    std::optional<platform::Value> execute(std::string_view script, const std::optional<std::string>& sourceURL = std::nullopt);
    /// Fires "refresh" with no attributes for "morvix.ui".
    void flushOperationsQueue();

    std::shared_ptr<JSBridge> bridge() const;

    /// The text at `url`, its encoding taken from a byte-order mark, else UTF-8, else
    /// Windows-1252; nothing when it cannot be read. Not confined: for URLs the application
    /// gave or `JSBridge::resolve` let through.
    std::optional<std::string> contentOfFile(const std::string& url) const;

private:
    explicit JSBinding(std::weak_ptr<Session> session);
    void createBridge();
    void loadDeclaredResources(const std::optional<std::string>& serverURL);
    void loadDeclaredResource(const std::optional<std::string>& path);
    std::optional<platform::Value> parseJsonFile(const std::string& url) const;
    void executeBootCode();
    void showCouldNotLoadResourceError(const std::optional<std::string>& path);
    void handleNotificationsFor(const std::shared_ptr<Message>& message);

    std::weak_ptr<Session> m_session;
    std::shared_ptr<Session> m_ownedSession; // the factory's adapter, which holds the client weakly
    std::atomic<bool> m_active { false };
    mutable std::mutex m_bridgeMutex; // guards the m_bridge pointer
    std::shared_ptr<JSBridge> m_bridge;
};

} // namespace morvix
