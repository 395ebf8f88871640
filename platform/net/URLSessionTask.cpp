#include "platform/net/URLSessionTask.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionTransfer.h"

namespace morvix::platform {

URLSessionTask::URLSessionTask(Kind kind, std::uint64_t identifier, std::weak_ptr<URLSession> session, std::optional<URLRequest> request)
    : m_kind(kind)
    , m_identifier(identifier)
    , m_session(std::move(session))
    , m_originalRequest(request)
    , m_currentRequest(std::move(request))
{
}

URLSessionTask::~URLSessionTask() = default;

URLSessionTaskState URLSessionTask::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::string URLSessionTask::taskDescription() const
{
    std::lock_guard lock(m_mutex);
    return m_description;
}

void URLSessionTask::setTaskDescription(std::string description)
{
    std::lock_guard lock(m_mutex);
    m_description = std::move(description);
}

std::optional<URLRequest> URLSessionTask::originalRequest() const
{
    std::lock_guard lock(m_mutex);
    return m_originalRequest;
}

std::optional<URLRequest> URLSessionTask::currentRequest() const
{
    std::lock_guard lock(m_mutex);
    return m_currentRequest;
}

std::shared_ptr<const URLResponse> URLSessionTask::response() const
{
    std::lock_guard lock(m_mutex);
    return m_response;
}

std::int64_t URLSessionTask::countOfBytesReceived() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesReceived;
}

std::int64_t URLSessionTask::countOfBytesSent() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesSent;
}

std::int64_t URLSessionTask::countOfBytesExpectedToSend() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesExpectedToSend;
}

std::int64_t URLSessionTask::countOfBytesExpectedToReceive() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesExpectedToReceive;
}

std::optional<Error> URLSessionTask::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void URLSessionTask::resume()
{
    URLSessionTaskState before;
    Step step = Step::None;
    {
        std::lock_guard lock(m_mutex);
        before = m_state;
        if (m_state == URLSessionTaskState::Suspended) {
            m_state = URLSessionTaskState::Running;
            step = m_started ? Step::Continue : Step::Start;
            m_started = true;
        }
    }
    runStep(step);
    if (before != URLSessionTaskState::Running)
        postStateNotification(kResumeNotification);
}

void URLSessionTask::suspend()
{
    URLSessionTaskState before;
    Step step = Step::None;
    {
        std::lock_guard lock(m_mutex);
        before = m_state;
        if (m_state == URLSessionTaskState::Running) {
            m_state = URLSessionTaskState::Suspended;
            step = Step::Pause;
        }
    }
    runStep(step);
    if (before != URLSessionTaskState::Suspended)
        postStateNotification(kSuspendNotification);
}

void URLSessionTask::cancel()
{
    std::shared_ptr<URLSessionTransfer> transfer;
    {
        std::lock_guard lock(m_mutex);
        if (m_state == URLSessionTaskState::Canceling || m_state == URLSessionTaskState::Completed)
            return;
        m_state = URLSessionTaskState::Canceling;
        // A task that never started ends through a transfer too, so that its completion reaches
        // the delegate like any other.
        if (!m_transfer)
            m_transfer = URLSessionTransfer::create(m_session, shared_from_this());
        transfer = m_transfer;
    }
    NetworkThread::shared().perform([transfer] { transfer->cancel(); });
}

void URLSessionTask::runStep(Step step)
{
    std::shared_ptr<URLSessionTransfer> transfer;
    {
        std::lock_guard lock(m_mutex);
        transfer = m_transfer;
    }
    switch (step) {
    case Step::None:
        return;
    case Step::Start:
        if (auto session = m_session.lock())
            session->startTask(shared_from_this());
        return;
    case Step::Continue:
        if (transfer)
            NetworkThread::shared().perform([transfer] { transfer->unpause(); });
        return;
    case Step::Pause:
        if (transfer)
            NetworkThread::shared().perform([transfer] { transfer->pause(); });
        return;
    }
}

void URLSessionTask::postStateNotification(const char* name)
{
    NotificationCenter::defaultCenter()->post(name, this, nullptr, std::any(shared_from_this()));
}

void URLSessionDownloadTask::cancelByProducingResumeData(std::function<void(std::optional<std::string>)> completion)
{
    std::shared_ptr<URLSessionTransfer> transfer;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != URLSessionTaskState::Canceling && m_state != URLSessionTaskState::Completed) {
            m_state = URLSessionTaskState::Canceling;
            if (!m_transfer)
                m_transfer = URLSessionTransfer::create(m_session, shared_from_this());
            transfer = m_transfer;
        }
    }
    if (transfer) {
        NetworkThread::shared().perform([transfer, completion = std::move(completion)]() mutable {
            transfer->cancelProducingResumeData(std::move(completion));
        });
        return;
    }
    if (auto session = m_session.lock())
        session->runOnDelegateQueue([completion = std::move(completion)] { completion(std::nullopt); });
}

} // namespace morvix::platform
