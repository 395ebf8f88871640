#pragma once
// The service that keeps a long poll open so that the server can wake the client.

#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "core/session/ProtocolTransport.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/URLRequest.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class MorvixHTTPClient;
class NetHTTPRequestOperation;

/// The service object "zub.client.ServerPush". While the server keeps it active, the client
/// holds one long-poll GET open on the session's base URL with the query
/// "servicehandler=org.quendal.vek.serverpush"; when the server answers it, the client sends a
/// head-only "ping" message, whose response carries the server's changes. The transport
/// re-arms the long poll (`establishLink`) whenever a flush finds the queue empty, and cancels
/// it when the session is suspended. Made by the type table on first use, under its type name
/// as id.
///
/// Rules:
///  1. At most one long poll is open: `establishLink` leaves an executing one alone (unless it
///     has been cancelled).
///  2. Setting "active" to false, destroying the object and destruction cancel the long poll;
///     no ping follows a cancelled long poll.
///  3. A long poll that ends by cancellation is never reopened.
///  4. A long poll that fails is reopened at once after the first failure; after further
///     consecutive failures it is reopened after 1 s, 2 s, 4 s and so on, at most 60 s, timed
///     by `platform::Clock`. An `establishLink` while such a delay runs waits for it. A long
///     poll that the server answers ends the series; so does `cancel`.
///  5. A long poll is opened only while the object is active and its session has an HTTP
///     client with a base URL.
///
/// The long poll has no time-out, carries the session's headers and cookies, and uses the HTTP
/// layer's default certificate checks (the session's lax setting does not apply to it).
///
/// Thread safety: main thread, like every remote object; `establishLink`, `cancel` and
/// `isActive` may be called from any thread (a flush may run on the thread that sends a
/// message). The long poll's completions and the delayed reopening run on the main loop.
class ServerPush final : public RemoteClass<ServerPush>, public ServiceObject, public ProtocolTransport::PushLink {
public:
    static constexpr std::string_view kRemoteType = "zub.client.ServerPush";
    static constexpr std::string_view kServiceHandler = "servicehandler=org.quendal.vek.serverpush";
    static constexpr auto kFirstRetryDelay = std::chrono::seconds(1);
    static constexpr auto kMaximumRetryDelay = std::chrono::seconds(60);

    ServerPush(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);
    ~ServerPush() override;

    /// "active".
    static const PropertyTable& properties();

    bool isActive() const override { return m_active.load(); }
    /// Stores the flag; false also cancels (rule 2).
    void setActive(bool active);

    /// Does nothing: the service has no state to report.
    void synchronize() override { }
    /// Deactivates, then destroys as every object does.
    void destroy() override;

    /// Cancels the open long poll and a pending reopening; does nothing without them.
    void cancel() override;
    /// Opens the long poll unless one is executing or a reopening is pending (rules 1, 4, 5).
    void establishLink() override;

    /// The base URL's text with "?servicehandler=org.quendal.vek.serverpush" appended, or with
    /// "&..." when the text already holds a "?"; nothing without an HTTP client or base URL.
    std::optional<std::string> requestURL() const;
    /// The session's configured GET for `url`, without a time-out.
    std::optional<platform::URLRequest> requestWithURL(const platform::Url& url) const;
    /// A new long poll, not started; null when there is no request URL.
    std::shared_ptr<NetHTTPRequestOperation> createHTTPOperation();
    /// Sends a head-only message with "ping" at once.
    void sendUIRequest();

    /// The current long poll, or null.
    std::shared_ptr<NetHTTPRequestOperation> httpOperation() const;
    /// True while a failed long poll waits out its delay before it is reopened.
    bool isWaitingToReopen() const;
    /// The delay before the next reopening after `failures` consecutive failures (rule 4).
    static platform::Duration retryDelay(int failures);

private:
    std::shared_ptr<MorvixHTTPClient> httpClient() const;
    void longPollSucceeded(const NetHTTPRequestOperation& operation);
    void longPollFailed(const NetHTTPRequestOperation& operation, const platform::Error& error);
    bool isCurrent(const NetHTTPRequestOperation& operation);
    void reopenAfterDelay();

    std::atomic<bool> m_active = false;
    mutable std::recursive_mutex m_mutex; // guards m_httpOperation, m_consecutiveFailures and m_reopenTimer
    std::shared_ptr<NetHTTPRequestOperation> m_httpOperation;
    int m_consecutiveFailures = 0;
    platform::MainLoop::TimerId m_reopenTimer = 0; // 0: no reopening pending
};

} // namespace morvix
