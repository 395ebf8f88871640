#pragma once
// What a URL session tells the object it was made with.

#include "platform/foundation/Error.h"
#include "platform/net/URLConnectionDelegate.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace morvix::platform {

class AuthenticationChallenge;
class InputStream;
class URLResponse;
class URLSession;
class URLSessionDataTask;
class URLSessionDownloadTask;
class URLSessionTask;
class Url;

/// What to do with a response of a data task.
enum class URLSessionResponseDisposition : int { Cancel = 0, Allow = 1, BecomeDownload = 2 };

/// How a challenge is answered.
enum class URLSessionAuthChallengeDisposition : int {
    UseCredential = 0,
    PerformDefaultHandling = 1,
    CancelAuthenticationChallenge = 2,
    RejectProtectionSpace = 3,
};

struct URLSessionChallengeAnswer {
    URLSessionAuthChallengeDisposition disposition = URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    std::optional<URLCredential> credential;
};

/// Receives a session's events, all on the session's delegate queue, one at a time. For each
/// task, in this order: challenges and redirects, the response, data (or, for a download, the
/// resume offset and the writes), upload progress, then for a download the finished file, and
/// last exactly one `didCompleteWithError`. `didBecomeInvalid` comes after the last task's
/// completion.
///
/// The calls that answer a question (challenges, redirects, responses, body streams) hold the
/// transfer until they return; keep them short and never wait in them for the transfer itself.
///
/// The optional calls answer `std::optional`: nothing means "not offered", and the session
/// does what it does without a delegate. Every method has a default.
class URLSessionDelegate {
public:
    virtual ~URLSessionDelegate() = default;

    // The session.
    virtual void sessionDidBecomeInvalid(URLSession&, const std::optional<Error>&) { }
    /// Server-trust challenges; other challenges go to `taskDidReceiveChallenge`.
    virtual URLSessionChallengeAnswer sessionDidReceiveChallenge(URLSession&, const AuthenticationChallenge&) { return {}; }
    /// Comes only when the embedding application reports it (URLSession::reportBackgroundEventsFinished).
    virtual void sessionDidFinishEventsForBackgroundURLSession(URLSession&) { }

    // Every task.
    /// Nothing: follow the redirect. An answer holding no request stops following, and the
    /// redirect response becomes the task's response.
    virtual std::optional<std::optional<URLRequest>> taskWillPerformHTTPRedirection(URLSession&, const std::shared_ptr<URLSessionTask>&,
        const std::shared_ptr<const URLResponse>& /*response*/, const URLRequest& /*request*/) { return std::nullopt; }
    virtual URLSessionChallengeAnswer taskDidReceiveChallenge(URLSession&, const std::shared_ptr<URLSessionTask>&, const AuthenticationChallenge&) { return {}; }
    /// The body of a streamed upload, asked for when its transfer starts; null sends no body.
    virtual std::shared_ptr<InputStream> taskNeedNewBodyStream(URLSession&, const std::shared_ptr<URLSessionTask>&) { return nullptr; }
    virtual void taskDidSendBodyData(URLSession&, const std::shared_ptr<URLSessionTask>&, std::int64_t /*bytesSent*/,
        std::int64_t /*totalBytesSent*/, std::int64_t /*totalBytesExpectedToSend*/) { }
    virtual void taskDidCompleteWithError(URLSession&, const std::shared_ptr<URLSessionTask>&, const std::optional<Error>&) { }

    // Data tasks.
    /// Nothing: allow.
    virtual std::optional<URLSessionResponseDisposition> dataTaskDidReceiveResponse(URLSession&, const std::shared_ptr<URLSessionDataTask>&,
        const std::shared_ptr<const URLResponse>&) { return std::nullopt; }
    virtual void dataTaskDidBecomeDownloadTask(URLSession&, const std::shared_ptr<URLSessionDataTask>&,
        const std::shared_ptr<URLSessionDownloadTask>&) { }
    virtual void dataTaskDidReceiveData(URLSession&, const std::shared_ptr<URLSessionDataTask>&, std::string_view) { }
    /// Nothing: the proposed response. The session keeps no cache, so the answer is not stored.
    virtual std::optional<std::optional<CachedURLResponse>> dataTaskWillCacheResponse(URLSession&, const std::shared_ptr<URLSessionDataTask>&,
        const CachedURLResponse&) { return std::nullopt; }

    // Download tasks.
    /// `location` is a temporary file, deleted when this call returns: move it to keep it.
    virtual void downloadTaskDidFinishDownloading(URLSession&, const std::shared_ptr<URLSessionDownloadTask>&, const Url& /*location*/) { }
    virtual void downloadTaskDidWriteData(URLSession&, const std::shared_ptr<URLSessionDownloadTask>&, std::int64_t /*bytesWritten*/,
        std::int64_t /*totalBytesWritten*/, std::int64_t /*totalBytesExpectedToWrite*/) { }
    virtual void downloadTaskDidResume(URLSession&, const std::shared_ptr<URLSessionDownloadTask>&, std::int64_t /*fileOffset*/,
        std::int64_t /*expectedTotalBytes*/) { }
};

} // namespace morvix::platform
