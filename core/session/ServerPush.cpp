#include "core/session/ServerPush.h"

#include "core/outgoing/HeadNotification.h"
#include "core/outgoing/Notifications.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/net/URLError.h"

#include <algorithm>
#include <utility>

namespace morvix {

ServerPush::ServerPush(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
}

ServerPush::~ServerPush()
{
    cancel();
}

const PropertyTable& ServerPush::properties()
{
    static const PropertyTable table = PropertyTable::extend<ServerPush>(BasicObject::properties())
        .boolean("active", &ServerPush::setActive, &ServerPush::isActive);
    return table;
}

void ServerPush::setActive(bool active)
{
    m_active = active;
    if (!active)
        cancel();
}

void ServerPush::destroy()
{
    setActive(false);
    BasicObject::destroy();
}

void ServerPush::cancel()
{
    std::shared_ptr<NetHTTPRequestOperation> operation;
    platform::MainLoop::TimerId reopening = 0;
    {
        std::lock_guard lock(m_mutex);
        operation = m_httpOperation;
        m_consecutiveFailures = 0;
        reopening = std::exchange(m_reopenTimer, 0);
    }
    if (reopening)
        platform::MainLoop::main().cancel(reopening);
    if (operation)
        operation->cancel();
}

void ServerPush::establishLink()
{
    std::shared_ptr<NetHTTPRequestOperation> started;
    {
        std::lock_guard lock(m_mutex);
        // A cancelled long poll may still be winding down on the network thread; it no longer
        // counts as open.
        if (m_httpOperation && m_httpOperation->isExecuting() && !m_httpOperation->isCancelled())
            return;
        if (m_reopenTimer)
            return; // a failed long poll is waiting out its delay
        if (!isActive())
            return;
        m_httpOperation = createHTTPOperation();
        started = m_httpOperation;
    }
    if (started)
        started->start();
}

std::shared_ptr<MorvixHTTPClient> ServerPush::httpClient() const
{
    auto session = std::dynamic_pointer_cast<MorvixClient>(client());
    return session ? session->httpClient() : nullptr;
}

std::optional<std::string> ServerPush::requestURL() const
{
    auto http = httpClient();
    if (!http)
        return std::nullopt;
    auto url = http->baseURL();
    if (url.empty())
        return std::nullopt; // a session without a server yet
    url += url.find('?') == std::string::npos ? "?" : "&";
    url += kServiceHandler;
    return url;
}

std::optional<platform::URLRequest> ServerPush::requestWithURL(const platform::Url& url) const
{
    auto http = httpClient();
    if (!http)
        return std::nullopt;
    auto request = http->requestWithURL(url);
    request.setMethod("GET");
    // A long poll waits for as long as the server likes.
    request.setTimeoutInterval(MorvixHTTPClient::kInfiniteTimeout);
    return request;
}

std::shared_ptr<NetHTTPRequestOperation> ServerPush::createHTTPOperation()
{
    auto text = requestURL();
    auto url = text ? platform::Url::parse(*text) : std::nullopt;
    auto request = url ? requestWithURL(*url) : std::nullopt;
    if (!request)
        return nullptr;
    // The operation keeps the HTTP layer's default security policy on purpose.
    auto operation = NetHTTPRequestOperation::create(std::move(*request));
    auto weak = std::weak_ptr<BasicObject>(weak_from_this());
    operation->setCompletionBlockWithSuccess(
        [weak](const std::shared_ptr<NetHTTPRequestOperation>& operation, const std::any&) {
            if (auto self = std::static_pointer_cast<ServerPush>(weak.lock()))
                self->longPollSucceeded(*operation);
        },
        [weak](const std::shared_ptr<NetHTTPRequestOperation>& operation, const platform::Error& error) {
            if (auto self = std::static_pointer_cast<ServerPush>(weak.lock()))
                self->longPollFailed(*operation, error);
        });
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> ServerPush::httpOperation() const
{
    std::lock_guard lock(m_mutex);
    return m_httpOperation;
}

bool ServerPush::isWaitingToReopen() const
{
    std::lock_guard lock(m_mutex);
    return m_reopenTimer != 0;
}

platform::Duration ServerPush::retryDelay(int failures)
{
    if (failures <= 1)
        return platform::Duration::zero();
    platform::Duration delay = kFirstRetryDelay;
    for (int step = 2; step < failures && delay < kMaximumRetryDelay; ++step)
        delay *= 2;
    return std::min<platform::Duration>(delay, kMaximumRetryDelay);
}

bool ServerPush::isCurrent(const NetHTTPRequestOperation& operation)
{
    std::lock_guard lock(m_mutex);
    return m_httpOperation.get() == &operation;
}

void ServerPush::longPollSucceeded(const NetHTTPRequestOperation& operation)
{
    if (!isCurrent(operation))
        return;
    {
        std::lock_guard lock(m_mutex);
        m_consecutiveFailures = 0;
    }
    if (isActive())
        sendUIRequest();
}

void ServerPush::longPollFailed(const NetHTTPRequestOperation& operation, const platform::Error& error)
{
    // A cancelled long poll was stopped on purpose (suspend, deactivation, destruction):
    // reopening it would undo that.
    if (operation.isCancelled() || error.is(platform::URLErrorDomain, platform::kURLErrorCancelled))
        return;
    if (!isCurrent(operation) || !isActive())
        return;
    {
        std::lock_guard lock(m_mutex);
        auto delay = retryDelay(++m_consecutiveFailures);
        if (delay > platform::Duration::zero()) {
            auto weak = std::weak_ptr<BasicObject>(weak_from_this());
            m_reopenTimer = platform::MainLoop::main().postAfter(delay, [weak] {
                if (auto self = std::static_pointer_cast<ServerPush>(weak.lock()))
                    self->reopenAfterDelay();
            });
            return;
        }
    }
    establishLink();
}

void ServerPush::reopenAfterDelay()
{
    // Held across the reopening, so that a `cancel` on another thread comes either before it
    // (and this does nothing) or after it (and cancels the new long poll).
    std::lock_guard lock(m_mutex);
    if (!m_reopenTimer)
        return;
    m_reopenTimer = 0;
    establishLink();
}

void ServerPush::sendUIRequest()
{
    Notifications::forHead()->ping();
}

} // namespace morvix
