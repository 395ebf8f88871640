#pragma once
// A session's connection to its peer.

#include <cstdint>
#include <functional>
#include <memory>

namespace morvix {

class Message;
class MorvixClient;

/// The interface of a peer connection: the HTTP server binding or the local script binding.
/// The session knows its bindings only through its `NotificationsDispatcher`, which owns them
/// and calls every operation below while holding its re-entrant lock, on the caller's thread.
/// A binding keeps its session weakly.
class Binding {
public:
    virtual ~Binding() = default;

    /// Opens the connection or starts the peer for a new session.
    virtual void start() = 0;
    /// The application went to the background.
    virtual void suspend() = 0;
    /// The application came back.
    virtual void resume() = 0;
    /// Repeats the last failed exchange (the user asked for it).
    virtual void retry() = 0;
    /// Ends the session.
    virtual void stop() = 0;

    /// Queues the message's content and flushes now. `message` is never null.
    virtual void sendMessage(const std::shared_ptr<Message>& message) = 0;
    /// Queues the message's content and flushes soon.
    virtual void scheduleMessage(const std::shared_ptr<Message>& message) = 0;
    /// Queues the message's content only.
    virtual void storeMessage(const std::shared_ptr<Message>& message) = 0;

    /// Drops queued content and the connection state.
    virtual void reset() = 0;
    /// Whether the session is up.
    virtual bool isActive() = 0;
    /// Whether an exchange is in progress.
    virtual bool isProcessing() = 0;
    /// The peer announced `counter` as the request counter in a response head.
    virtual void receivedRequestCounter(std::int64_t counter) = 0;
    /// Whether the application frame may use an application-defined drawer.
    virtual bool supportsCustomDrawer() = 0;

protected:
    Binding() = default;
};

/// Makes a binding for a session; the session is given a list of these and calls each once.
using BindingFactory = std::function<std::shared_ptr<Binding>(std::weak_ptr<MorvixClient>)>;

} // namespace morvix
