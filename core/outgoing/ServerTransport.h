#pragma once
// What the server binding needs of the transport that carries its messages.

#include <cstdint>
#include <string>

namespace morvix {

class ServerMessage;

/// The carrier of one session's exchanges with the application server, as `ServerBinding`
/// drives it: it opens the session, sends one `ServerMessage` at a time and reports whether a
/// request is in flight. `ProtocolTransport` implements it.
///
/// Thread safety: the binding calls `busy`, `sendMessage` and `queueFlushed` from any thread,
/// one sender at a time, and never while holding a lock of its own, so an implementation may
/// hand a message back to the binding (or wait for a thread that does) inside these calls.
class ServerTransport {
public:
    virtual ~ServerTransport() = default;

    /// Opens a new session with the server at `serverURL`.
    virtual void newSession(const std::string& serverURL) = 0;
    /// Sends `message`, after writing the request counter into its head.
    virtual void sendMessage(ServerMessage message) = 0;
    /// True while a request is in flight or a failed request is kept for a retry; the binding
    /// sends nothing then and flushes again on the next "ProcessingFinished".
    virtual bool busy() = 0;
    /// A flush found nothing to send.
    virtual void queueFlushed() = 0;

    virtual void suspend() = 0;
    virtual void resume() = 0;
    virtual void retry() = 0;
    /// Announces the end of the session to the server.
    virtual void sendShutdown() = 0;
    /// Cancels the request in flight and forgets the session's state.
    virtual void destroy() = 0;

    /// Whether any session was ever started in this process.
    virtual bool wasActive() = 0;
    /// The server announced `counter`; the transport's counter never goes back.
    virtual void setRequestCounter(std::int64_t counter) = 0;

protected:
    ServerTransport() = default;
};

} // namespace morvix
