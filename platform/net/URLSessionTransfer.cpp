#include "platform/net/URLSessionTransfer.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace morvix::platform {

namespace {

// A download's temporary file, deleted when the last holder lets go: after the delegate's call
// returns, or when its call is dropped unrun.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) { }
    ~TemporaryFile() { ::unlink(m_path.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::string failingURLOf(const std::optional<URLRequest>& request)
{
    return request && request->url() ? request->url()->absoluteString() : std::string();
}

int statusOf(const std::shared_ptr<const URLResponse>& response)
{
    auto http = std::dynamic_pointer_cast<const HTTPURLResponse>(response);
    return http ? http->statusCode() : 200;
}

constexpr const char* kDownloadPrefix = "URLSessionDownload-";

// Where downloads keep their files: the caches folder, or the temporary folder without one.
std::filesystem::path downloadFolder()
{
    std::filesystem::path folder = BundleInfo::main().cachesPath;
    if (folder.empty())
        folder = std::filesystem::temp_directory_path();
    return folder;
}

// A new empty file in the download folder; nothing when none can be made.
std::optional<std::string> makeTemporaryFile(int& descriptor)
{
    std::filesystem::path folder = downloadFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::string pattern = (folder / (std::string(kDownloadPrefix) + "XXXXXX")).string();
    descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    return pattern;
}

// The partial file that resume data names, with its links resolved, when it is one of the
// files downloads make: a regular file directly in the download folder whose name carries
// their prefix, and no other name for the same file. Resume data comes from outside, and
// resuming truncates, appends to or deletes the file, so nothing else may be taken for one.
std::optional<std::string> ownPartialFile(const std::string& path)
{
    std::error_code error;
    auto folder = std::filesystem::canonical(downloadFolder(), error);
    if (error)
        return std::nullopt;
    auto resolved = std::filesystem::canonical(path, error);
    if (error || resolved.parent_path() != folder || !resolved.filename().string().starts_with(kDownloadPrefix))
        return std::nullopt;
    struct stat info {};
    if (::lstat(resolved.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)
        return std::nullopt;
    return resolved.string();
}

} // namespace

std::shared_ptr<URLSessionTransfer> URLSessionTransfer::create(std::weak_ptr<URLSession> session, std::shared_ptr<URLSessionTask> task)
{
    return std::make_shared<URLSessionTransfer>(std::move(session), std::move(task));
}

URLSessionTransfer::URLSessionTransfer(std::weak_ptr<URLSession> session, std::shared_ptr<URLSessionTask> task)
    : m_session(std::move(session))
    , m_task(std::move(task))
{
}

bool URLSessionTransfer::isDownload() const
{
    return m_task && m_task->kind() == URLSessionTask::Kind::Download;
}

void URLSessionTransfer::start(std::shared_ptr<InputStream> bodyStream)
{
    if (m_ended || m_connection)
        return;
    auto session = this->session();
    if (!session) {
        finish(makeURLError(kURLErrorCancelled, failingURLOf(m_task->originalRequest())));
        return;
    }
    auto request = session->preparedRequest(m_task->originalRequest().value_or(URLRequest()));
    if (bodyStream)
        request.setBodyStream(std::move(bodyStream));
    if (m_resume) {
        auto partialFile = ownPartialFile(m_resume->partialFilePath);
        struct stat info {};
        bool partialFileIsWhole = partialFile && ::stat(partialFile->c_str(), &info) == 0 && info.st_size >= m_resume->bytesReceived;
        if (partialFileIsWhole && m_resume->bytesReceived > 0) {
            m_resume->partialFilePath = *partialFile;
            (void)request.setValueForHeader("bytes=" + std::to_string(m_resume->bytesReceived) + "-", "Range");
            if (auto validator = m_resume->entityTag ? m_resume->entityTag : m_resume->lastModified)
                (void)request.setValueForHeader(*validator, "If-Range");
        } else {
            // Nothing to continue: start again. A file of our own goes; any other file named
            // there is not ours to touch.
            if (partialFile)
                ::unlink(partialFile->c_str());
            m_resume.reset();
        }
    }
    {
        std::lock_guard lock(m_task->m_mutex);
        m_task->m_currentRequest = request;
        m_paused = m_paused || m_task->m_state == URLSessionTaskState::Suspended;
    }
    bool secure = request.url() && request.url()->scheme() == "https";
    m_connection = URLConnection::create(std::move(request), shared_from_this());
    // The delegate decides trust for this session (a pinned certificate, say), and a pooled
    // connection whose trust someone else decided would carry the request without asking it.
    if (secure && session->delegate())
        m_connection->setConnectionReuse(ConnectionReuse::Forbidden);
    if (m_paused)
        m_connection->pause();
    m_connection->start();
}

void URLSessionTransfer::pause()
{
    m_paused = true;
    if (m_connection)
        m_connection->pause();
}

void URLSessionTransfer::unpause()
{
    m_paused = false;
    if (m_connection)
        m_connection->unpause();
}

void URLSessionTransfer::cancel()
{
    if (m_ended)
        return;
    if (m_connection)
        m_connection->cancel();
    auto request = m_task->currentRequest();
    finish(makeURLError(kURLErrorCancelled, failingURLOf(request)));
}

void URLSessionTransfer::cancelProducingResumeData(std::function<void(std::optional<std::string>)> completion)
{
    std::optional<std::string> resumeData;
    auto url = m_task ? m_task->originalRequest() : std::nullopt;
    if (!m_ended && isDownload() && m_file >= 0 && m_written > 0 && url && url->url()) {
        auto http = std::dynamic_pointer_cast<const HTTPURLResponse>(m_response);
        URLSessionResumeData data { *url->url(), m_filePath, m_written, std::nullopt, std::nullopt };
        if (http) {
            data.entityTag = http->valueForHeader("ETag");
            data.lastModified = http->valueForHeader("Last-Modified");
        }
        resumeData = data.encode();
        m_keepFile = true;
    }
    if (auto session = this->session())
        session->runOnDelegateQueue([completion = std::move(completion), resumeData = std::move(resumeData)] { completion(resumeData); });
    cancel();
}

void URLSessionTransfer::connectionWillSendRequestForAuthenticationChallenge(URLConnection&, const AuthenticationChallenge& challenge)
{
    URLSessionChallengeAnswer answer;
    bool serverTrust = challenge.protectionSpace().authenticationMethod == AuthenticationMethodServerTrust;
    auto task = m_task;
    auto session = this->session();
    bool answered = session && session->ask([&](URLSessionDelegate& delegate, URLSession& asked) {
        answer = serverTrust ? delegate.sessionDidReceiveChallenge(asked, challenge) : delegate.taskDidReceiveChallenge(asked, task, challenge);
    });
    auto& sender = challenge.sender();
    if (!answered) {
        sender.performDefaultHandling(challenge);
        return;
    }
    switch (answer.disposition) {
    case URLSessionAuthChallengeDisposition::UseCredential:
        if (answer.credential)
            sender.useCredential(*answer.credential, challenge);
        else
            sender.continueWithoutCredential(challenge);
        return;
    case URLSessionAuthChallengeDisposition::PerformDefaultHandling:
        sender.performDefaultHandling(challenge);
        return;
    case URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge:
        sender.cancelAuthenticationChallenge(challenge);
        return;
    case URLSessionAuthChallengeDisposition::RejectProtectionSpace:
        // There is no other protection space to offer: a rejected trust is refused, a rejected
        // password space goes on without a credential.
        if (serverTrust)
            sender.cancelAuthenticationChallenge(challenge);
        else
            sender.continueWithoutCredential(challenge);
        return;
    }
}

std::optional<URLRequest> URLSessionTransfer::connectionWillSendRequest(URLConnection&, URLRequest request,
    const std::shared_ptr<const URLResponse>& redirectResponse)
{
    std::optional<std::optional<URLRequest>> answer;
    auto task = m_task;
    if (auto session = this->session(); session && redirectResponse) {
        session->ask([&](URLSessionDelegate& delegate, URLSession& asked) {
            answer = delegate.taskWillPerformHTTPRedirection(asked, task, redirectResponse, request);
        });
    }
    std::optional<URLRequest> next = answer ? std::move(*answer) : std::optional<URLRequest>(std::move(request));
    if (next) {
        std::lock_guard lock(m_task->m_mutex);
        m_task->m_currentRequest = next;
    }
    return next;
}

void URLSessionTransfer::connectionDidSendBodyData(URLConnection&, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
    std::int64_t totalBytesExpectedToWrite)
{
    std::int64_t expected;
    {
        std::lock_guard lock(m_task->m_mutex);
        m_task->m_bytesSent = totalBytesWritten;
        if (m_task->m_bytesExpectedToSend < 0 && totalBytesExpectedToWrite >= 0 && !m_task->m_streamed)
            m_task->m_bytesExpectedToSend = totalBytesExpectedToWrite;
        expected = m_task->m_bytesExpectedToSend;
    }
    if (auto session = this->session()) {
        session->deliver([task = m_task, bytesWritten, totalBytesWritten, expected](URLSessionDelegate& delegate, URLSession& session) {
            delegate.taskDidSendBodyData(session, task, bytesWritten, totalBytesWritten, expected);
        });
    }
}

void URLSessionTransfer::connectionDidReceiveResponse(URLConnection& connection, const std::shared_ptr<const URLResponse>& response)
{
    m_response = response;
    {
        std::lock_guard lock(m_task->m_mutex);
        m_task->m_response = response;
        m_task->m_bytesExpectedToReceive = response->expectedContentLength();
    }
    auto session = this->session();
    if (!session)
        return;
    if (isDownload() && m_resume && statusOf(response) == 206) {
        auto http = std::dynamic_pointer_cast<const HTTPURLResponse>(response);
        if (!http || !http->contentRangeStartsAt(m_resume->bytesReceived)) {
            // A part that does not continue the bytes held would be appended to them all the
            // same: the whole body is fetched again instead, into a file of its own.
            connection.cancel();
            ::unlink(m_resume->partialFilePath.c_str()); // the session's own, checked at the start
            m_resume.reset();
            m_replacedConnection = std::move(m_connection); // it is still calling us
            // A new transfer cannot start inside a callback of this one.
            NetworkThread::shared().perform([self = shared_from_this()] { self->start(nullptr); });
            return;
        }
    }
    if (isDownload()) {
        if (!openDownloadFile(response))
            failWith(makeURLError(kURLErrorCannotWriteToFile, failingURLOf(m_task->currentRequest())));
        return;
    }
    auto disposition = URLSessionResponseDisposition::Allow;
    auto task = std::static_pointer_cast<URLSessionDataTask>(m_task);
    session->ask([&](URLSessionDelegate& delegate, URLSession& asked) {
        disposition = delegate.dataTaskDidReceiveResponse(asked, task, response).value_or(URLSessionResponseDisposition::Allow);
    });
    switch (disposition) {
    case URLSessionResponseDisposition::Allow:
        return;
    case URLSessionResponseDisposition::Cancel:
        connection.cancel();
        finish(makeURLError(kURLErrorCancelled, failingURLOf(m_task->currentRequest())));
        return;
    case URLSessionResponseDisposition::BecomeDownload:
        becomeDownload(*session);
        if (!openDownloadFile(response))
            failWith(makeURLError(kURLErrorCannotWriteToFile, failingURLOf(m_task->currentRequest())));
        return;
    }
}

void URLSessionTransfer::becomeDownload(URLSession& session)
{
    auto dataTask = std::static_pointer_cast<URLSessionDataTask>(m_task);
    auto download = session.replaceWithDownloadTask(dataTask);
    {
        std::scoped_lock lock(dataTask->m_mutex, download->m_mutex);
        download->m_state = dataTask->m_state;
        download->m_started = true;
        download->m_currentRequest = dataTask->m_currentRequest;
        download->m_response = dataTask->m_response;
        download->m_bytesSent = dataTask->m_bytesSent;
        download->m_bytesExpectedToSend = dataTask->m_bytesExpectedToSend;
        download->m_bytesExpectedToReceive = dataTask->m_bytesExpectedToReceive;
        download->m_transfer = shared_from_this();
        // The data task ends here, without an error and without a completion of its own.
        dataTask->m_state = URLSessionTaskState::Completed;
        dataTask->m_transfer.reset();
    }
    m_task = download;
    session.deliver([dataTask, download](URLSessionDelegate& delegate, URLSession& session) {
        delegate.dataTaskDidBecomeDownloadTask(session, dataTask, download);
    });
}

bool URLSessionTransfer::openDownloadFile(const std::shared_ptr<const URLResponse>& response)
{
    auto length = response->expectedContentLength();
    std::int64_t offset = 0;
    if (m_resume && statusOf(response) == 206) {
        // The file was checked when the task started; it must still be that regular file.
        m_file = ::open(m_resume->partialFilePath.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        struct stat info {};
        bool regular = m_file >= 0 && ::fstat(m_file, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
        if (regular && ::ftruncate(m_file, m_resume->bytesReceived) == 0 && ::lseek(m_file, 0, SEEK_END) == m_resume->bytesReceived) {
            m_filePath = m_resume->partialFilePath;
            offset = m_resume->bytesReceived;
        } else {
            closeFile();
            return false;
        }
    } else {
        if (m_resume)
            ::unlink(m_resume->partialFilePath.c_str()); // the server sends the whole body again
        auto path = makeTemporaryFile(m_file);
        if (!path)
            return false;
        m_filePath = *path;
    }
    m_written = offset;
    m_expectedToWrite = length >= 0 ? offset + length : -1;
    if (m_resume) {
        auto download = std::static_pointer_cast<URLSessionDownloadTask>(m_task);
        if (auto session = this->session()) {
            session->deliver([download, offset, expected = m_expectedToWrite](URLSessionDelegate& delegate, URLSession& session) {
                delegate.downloadTaskDidResume(session, download, offset, expected);
            });
        }
    }
    return true;
}

void URLSessionTransfer::connectionDidReceiveData(URLConnection&, std::string_view data)
{
    {
        std::lock_guard lock(m_task->m_mutex);
        m_task->m_bytesReceived += static_cast<std::int64_t>(data.size());
    }
    auto session = this->session();
    if (!isDownload()) {
        if (session) {
            session->deliver([task = std::static_pointer_cast<URLSessionDataTask>(m_task), bytes = std::string(data)](
                                 URLSessionDelegate& delegate, URLSession& session) { delegate.dataTaskDidReceiveData(session, task, bytes); });
        }
        return;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        auto count = ::write(m_file, data.data() + done, data.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            auto error = makeURLError(kURLErrorCannotWriteToFile, failingURLOf(m_task->currentRequest()));
            error.setFailureReason(std::strerror(count < 0 ? errno : ENOSPC));
            failWith(std::move(error));
            return;
        }
        done += static_cast<std::size_t>(count);
    }
    m_written += static_cast<std::int64_t>(data.size());
    if (session) {
        session->deliver([task = std::static_pointer_cast<URLSessionDownloadTask>(m_task), size = static_cast<std::int64_t>(data.size()),
                             written = m_written, expected = m_expectedToWrite](URLSessionDelegate& delegate, URLSession& session) {
            delegate.downloadTaskDidWriteData(session, task, size, written, expected);
        });
    }
}

std::optional<CachedURLResponse> URLSessionTransfer::connectionWillCacheResponse(URLConnection&, CachedURLResponse proposed)
{
    if (isDownload())
        return proposed;
    if (auto session = this->session()) {
        session->deliver([task = std::static_pointer_cast<URLSessionDataTask>(m_task), proposed](URLSessionDelegate& delegate, URLSession& session) {
            (void)delegate.dataTaskWillCacheResponse(session, task, proposed);
        });
    }
    return proposed;
}

void URLSessionTransfer::connectionDidFinishLoading(URLConnection&)
{
    finish(std::nullopt);
}

void URLSessionTransfer::connectionDidFailWithError(URLConnection&, const Error& error)
{
    finish(error);
}

void URLSessionTransfer::failWith(Error error)
{
    if (m_connection)
        m_connection->cancel();
    finish(std::move(error));
}

void URLSessionTransfer::closeFile()
{
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
}

void URLSessionTransfer::finish(std::optional<Error> error)
{
    if (m_ended)
        return;
    m_ended = true;
    auto self = shared_from_this(); // the task's reference goes below
    bool downloaded = isDownload() && m_file >= 0 && !error;
    closeFile();
    auto task = std::move(m_task);
    {
        std::lock_guard lock(task->m_mutex);
        task->m_state = URLSessionTaskState::Completed;
        task->m_error = error;
        task->m_transfer.reset();
    }
    m_connection.reset();
    std::shared_ptr<TemporaryFile> file;
    if (!m_filePath.empty() && !m_keepFile)
        file = std::make_shared<TemporaryFile>(m_filePath);
    auto session = this->session();
    if (!session)
        return;
    // The call holds the only reference to the file, so that it goes when the call is done
    // with it (or dropped unrun), never later on this thread.
    session->deliver([task, error, file = std::move(file), downloaded](URLSessionDelegate& delegate, URLSession& session) mutable {
        if (downloaded) {
            auto download = std::static_pointer_cast<URLSessionDownloadTask>(task);
            delegate.downloadTaskDidFinishDownloading(session, download, Url::fileURL(file->path()));
        }
        file.reset(); // deleted now that the delegate has had its chance to move it
        delegate.taskDidCompleteWithError(session, task, error);
    });
    session->removeTask(*task);
}

} // namespace morvix::platform
