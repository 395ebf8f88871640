#pragma once
// The part of a URL session task that runs on the network thread.

#include "platform/net/URLConnectionDelegate.h"
#include "platform/net/URLSessionResumeData.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

class InputStream;
class URLSession;
class URLSessionTask;

/// Runs one session task's connection and turns its events into the task's state and the
/// session delegate's calls. Created by the session for a task when it first starts; the task
/// holds it while it runs, and it holds the task until it ends (becoming a download replaces
/// the task it reports for). Its connection holds it while the transfer runs.
///
/// Thread safety: every method on the network thread, except `create` and `setResumeData`
/// (before the task starts).
class URLSessionTransfer final : public URLConnectionDelegate, public std::enable_shared_from_this<URLSessionTransfer> {
public:
    static std::shared_ptr<URLSessionTransfer> create(std::weak_ptr<URLSession> session, std::shared_ptr<URLSessionTask> task);
    URLSessionTransfer(std::weak_ptr<URLSession> session, std::shared_ptr<URLSessionTask> task);

    void setResumeData(URLSessionResumeData resumeData) { m_resume = std::move(resumeData); }

    /// Starts the connection; `bodyStream` replaces the body of a streamed upload.
    void start(std::shared_ptr<InputStream> bodyStream);
    void pause();
    void unpause();
    /// Ends the task with kURLErrorCancelled unless it has ended.
    void cancel();
    /// As `cancel`, keeping the partial file of a download for the resume data given to
    /// `completion` (on the delegate queue, before the task's completion).
    void cancelProducingResumeData(std::function<void(std::optional<std::string>)> completion);

    // URLConnectionDelegate
    void connectionWillSendRequestForAuthenticationChallenge(URLConnection&, const AuthenticationChallenge&) override;
    std::optional<URLRequest> connectionWillSendRequest(URLConnection&, URLRequest request,
        const std::shared_ptr<const URLResponse>& redirectResponse) override;
    void connectionDidSendBodyData(URLConnection&, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
        std::int64_t totalBytesExpectedToWrite) override;
    void connectionDidReceiveResponse(URLConnection&, const std::shared_ptr<const URLResponse>& response) override;
    void connectionDidReceiveData(URLConnection&, std::string_view data) override;
    std::optional<CachedURLResponse> connectionWillCacheResponse(URLConnection&, CachedURLResponse proposed) override;
    void connectionDidFinishLoading(URLConnection&) override;
    void connectionDidFailWithError(URLConnection&, const Error& error) override;

private:
    std::shared_ptr<URLSession> session() const { return m_session.lock(); }
    bool isDownload() const;
    void becomeDownload(URLSession& session);
    /// Opens the temporary file (or, for a 206 answer to resume data, the partial file) and
    /// tells the delegate where the download resumes; false when no file could be opened.
    bool openDownloadFile(const std::shared_ptr<const URLResponse>& response);
    void failWith(Error error);
    void finish(std::optional<Error> error);
    void closeFile();

    std::weak_ptr<URLSession> m_session;
    std::shared_ptr<URLSessionTask> m_task;
    std::shared_ptr<URLConnection> m_connection;
    std::shared_ptr<URLConnection> m_replacedConnection; // cancelled while it called us
    std::optional<URLSessionResumeData> m_resume;
    std::shared_ptr<const URLResponse> m_response;
    int m_file = -1;
    std::string m_filePath;
    bool m_keepFile = false; // the partial file belongs to resume data
    std::int64_t m_written = 0;
    std::int64_t m_expectedToWrite = -1;
    bool m_ended = false;
    bool m_paused = false;
};

} // namespace morvix::platform
