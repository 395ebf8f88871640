#pragma once
// The session's gateway to the HTTP layer.

#include "platform/foundation/ConfinedFile.h"
#include "platform/foundation/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/Url.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {
class HTTPURLResponse;
class Image;
class Operation;
class OutputStream;
}

namespace morvix {

class MorvixClient;
class NetHTTPRequestOperation;
class NetHTTPRequestOperationManager;
class NetSecurityPolicy;

/// Knows the server URL and builds every request of the session with the same headers,
/// time-out and cookie handling; makes (but does not start) the HTTP operations of the protocol
/// transport and of the services that download files; resolves resource paths against the
/// server or against folders of the application; watches reachability; wipes cookies.
///
/// Every request carries "User-Agent" and "Accept-Language" (`UserAgent`), "Accept-Encoding:
/// gzip, deflate" (the HTTP layer decodes such bodies), cookies, and the session's time-out: an
/// idle time-out of `requestTimeout` seconds (90 unless the delegate says otherwise), or none
/// with `useInfiniteRequestTimeout`.
///
/// Certificates: with `useSSLStrict` (the default) every operation accepts only a trusted chain
/// issued for the host it connects to; without it, any certificate is accepted.
///
/// The session's GET and POSTs go to the base URL without a trailing slash; relative resources
/// resolve against the base URL as it is. The session makes a new client on every load.
///
/// The peer is not trusted with the machine's files: a file it names is read only when it is a
/// regular file inside `readableFolders` (after its escapes are undone and its links resolved)
/// and no larger than the place allows, and every download it starts is capped.
///
/// Thread safety: made and configured on the main thread. The base URL is guarded, so
/// operations may be made on any thread; their callbacks run on the main loop.
class MorvixHTTPClient final : public std::enable_shared_from_this<MorvixHTTPClient> {
public:
    using SuccessBlock = std::function<void(const platform::URLRequest&, const std::shared_ptr<const platform::HTTPURLResponse>&)>;
    using FailureBlock = std::function<void(const platform::URLRequest&, const std::shared_ptr<const platform::HTTPURLResponse>&,
        const platform::Error&)>;
    /// With the response body as text (nothing when it could not be decoded).
    using TextSuccessBlock = std::function<void(const platform::URLRequest&, const std::shared_ptr<const platform::HTTPURLResponse>&,
        const std::optional<std::string>&)>;
    /// (request, response, bytes read so far, bytes expected or -1).
    using ProgressBlock = std::function<void(const platform::URLRequest&, const std::shared_ptr<const platform::HTTPURLResponse>&,
        std::int64_t, std::int64_t)>;
    /// (bytes read so far, bytes expected or -1).
    using FileProgressBlock = std::function<void(std::int64_t, std::int64_t)>;

    static constexpr const char* kReachabilityDidChangeNotification = "com.zerivoquastel.morvix.notifications.ReachabilityDidChange";
    static constexpr const char* kReachabilityDidChangeKey = "com.zerivoquastel.morvix.notifications.ReachabilityDidChangeKey";
    /// The time-out of a session with `useInfiniteRequestTimeout`: the largest single-precision
    /// value, which the HTTP layer takes as "none".
    static constexpr double kInfiniteTimeout = 3.4028234663852886e38;
    static constexpr double kDefaultTimeout = 90;
    /// The most a file download a peer starts may bring (256 MiB), unless the place asks for
    /// less.
    static constexpr std::uint64_t kMaximumDownloadSize = platform::ConfinedFile::kDefaultMaximumSize;

    /// A client for `baseURL` (may be empty: a session without a server yet). The session is
    /// held weakly; without one the defaults apply. Main thread.
    static std::shared_ptr<MorvixHTTPClient> create(std::string baseURL, std::weak_ptr<MorvixClient> client);
    ~MorvixHTTPClient();
    MorvixHTTPClient(const MorvixHTTPClient&) = delete;
    MorvixHTTPClient& operator=(const MorvixHTTPClient&) = delete;

    std::string baseURL() const;
    /// From now on the session's POSTs and the cookie removal use `url`.
    void setBaseURL(std::string url);

    /// Adds the session's headers, cookie handling and time-out to `request`.
    void configureRequest(platform::URLRequest& request) const;
    platform::URLRequest requestWithURL(const platform::Url& url) const;
    /// The URL without its last "/" when its path is not empty and its text ends with one.
    static platform::Url removeTrailingSlash(const platform::Url& url);
    /// The negation of the session's `useSSLStrict`.
    bool allowsInvalidSSLCertificate() const;
    /// A new policy as the session's settings ask: no pinning; strict checks the chain and the
    /// host name, lax accepts anything.
    std::shared_ptr<NetSecurityPolicy> newSecurityPolicy() const;

    // Operations of the protocol; not started. `output` receives the response body.
    std::shared_ptr<NetHTTPRequestOperation> newGetJsonOperation(SuccessBlock success, FailureBlock failure,
        std::shared_ptr<platform::OutputStream> output) const;
    std::shared_ptr<NetHTTPRequestOperation> newPostJsonOperation(const std::string& json, SuccessBlock success, FailureBlock failure,
        std::shared_ptr<platform::OutputStream> output) const;
    /// An operation for `request` with the session's security policy; `output` may be null (the
    /// body is then kept in memory).
    std::shared_ptr<NetHTTPRequestOperation> newOperationWithRequestAndOutput(platform::URLRequest request, SuccessBlock success,
        FailureBlock failure, std::shared_ptr<platform::OutputStream> output) const;
    /// A copy of `operation` (same request, same security policy) with new callbacks and, when
    /// given, a new output, when it is exactly an HTTP request operation; any other operation is
    /// returned as it is.
    std::shared_ptr<platform::Operation> newOperationFromOperation(const std::shared_ptr<platform::Operation>& operation,
        SuccessBlock success, FailureBlock failure, std::shared_ptr<platform::OutputStream> output) const;

    // Operations for services; not started.
    /// Keeps the response body in memory, at most `maximumBodySize` bytes of it and never more
    /// than `maximumResponseSize` (nothing: that size). A larger body cancels the transfer and
    /// fails the operation with a POSIX EFBIG error.
    std::shared_ptr<NetHTTPRequestOperation> newOperationWithRequestAndProgress(platform::URLRequest request, TextSuccessBlock success,
        FailureBlock failure, ProgressBlock progress, std::optional<std::uint64_t> maximumBodySize = std::nullopt) const;
    /// Downloads `source` into the file `destinationPath` (overwritten). A download that grows
    /// past `maximumSize` bytes is cancelled and fails with a POSIX EFBIG error; the file then
    /// holds no more than that.
    std::shared_ptr<NetHTTPRequestOperation> newFileDownloadOperation(const platform::Url& source, const std::string& destinationPath,
        SuccessBlock success, FailureBlock failure, FileProgressBlock progress, std::uint64_t maximumSize = kMaximumDownloadSize) const;
    /// Uploads the file `fileURL` names to `targetPath` (resolved as `relativeURLToServer`): a
    /// multipart POST from the manager's request serializer with one part "file" (the file's
    /// name and MIME type, streamed from the file), configured as every session request, made
    /// by the manager (its security policy) and added to its queue, so it starts by itself.
    /// `progress` gets (bytes written, bytes expected). When the file cannot be appended (not a
    /// file URL, missing, unreadable) or the target resolves to no URL, nothing is sent:
    /// `failure` is called on the main loop with the error and the result is null.
    std::shared_ptr<NetHTTPRequestOperation> newFileUploadOperation(const platform::Url& fileURL, const std::string& targetPath,
        SuccessBlock success, FailureBlock failure, FileProgressBlock progress) const;

    // Resources.
    /// A URL with a scheme as it is; else a file under the session's local resource roots;
    /// else `text` resolved against the base URL. Nothing when `text` is no URL reference.
    std::optional<platform::Url> relativeURLToServer(const std::string& text) const;
    /// The first existing file `path` names under the session's local resource roots.
    std::optional<platform::Url> localLookup(const std::string& path) const;
    /// The first existing file `path` names under `roots`: an absolute root as it is, a
    /// relative one under `appRoot`.
    static std::optional<platform::Url> lookup(const std::string& path, const std::string& appRoot, const std::vector<std::string>& roots);
    std::optional<platform::Url> resolveToBaseURL(const std::string& text) const;
    /// The application's folder on this machine: the folder of a "file" server URL ("file:///a/"
    /// and "file:///a/app.json" give "/a/"); nothing for any other URL.
    static std::optional<std::string> applicationFolder(const std::string& serverURL);
    /// The folders whose files a peer may have read: the application's folder (of the base URL
    /// the client was made with, the session's server URL, which the application gives; where
    /// the peer moves the base URL later does not count), the session's local resource roots
    /// (relative ones under the resource folder, as `localLookup` finds them) and the bundle's
    /// resource folder. Any thread.
    std::vector<std::string> readableFolders() const;
    /// The file `url` names (a "file" URL), when it is a regular file inside `readableFolders`
    /// of at most `maximumSize` bytes; not opened. A refusal is logged to the session.
    platform::ConfinedFile::Result locateLocalFile(const platform::Url& url, std::uint64_t maximumSize) const;
    /// `locateLocalFile`, then the file's bytes.
    platform::ConfinedFile::Result readLocalFile(const platform::Url& url, std::uint64_t maximumSize) const;
    /// The largest response body the session takes (its `maximumResponseSize`; the default
    /// without a session).
    std::uint64_t maximumResponseSize() const;
    /// Fetches and decodes the image at `path` (resolved as `relativeURLToServer`; a file only
    /// inside `readableFolders`). Blocks the calling thread, which must not be the network
    /// thread, for at most `kPictureDeadline` however the server trickles; a body larger than
    /// `maximumResponseSize` is not taken. Null on any failure.
    std::shared_ptr<platform::Image> imageFromPath(const std::string& path) const;
    /// Receives a fetched picture, or null when it could not be had.
    using ImageBlock = std::function<void(std::shared_ptr<platform::Image>)>;
    /// A GET of the picture at `url` (an http or https URL), configured as every request of the
    /// session and asking for "image/*"; not started. At most `maximumResponseSize` bytes of
    /// body are taken (a larger one cancels the transfer). The body is decoded at scale 1 by its
    /// signature, whatever its content type, on the processing queue; `done` then runs on the
    /// main loop with the picture, or with null after any failure (not after a cancel).
    std::shared_ptr<NetHTTPRequestOperation> newImageOperation(const platform::Url& url, ImageBlock done) const;
    /// The longest a picture a drawing context names may take to arrive: past it, the picture
    /// is drawn as missing.
    static constexpr std::chrono::milliseconds kPictureDeadline { 3000 };

    // Housekeeping.
    /// Removes the cookies stored for the base URL (without its trailing slash). Takes effect
    /// before any request started afterwards.
    void deleteCookies() const;
    /// The HTTP layer keeps no response cache, so there is nothing to clear.
    void clearCache() const { }
    /// Cancels the operations of the manager's queue; those started with `start` (the
    /// transport's) go on.
    void cancelAllOperations();
    /// `cancelAllOperations`, `deleteCookies`, `clearCache`, in that order.
    void reset();

    /// -1 unknown, 0 not reachable, 1 via WWAN, 2 via WiFi; any other status gives -1.
    std::int32_t reachabilityStatus() const;
    long internalNetworkReachabilityStatus() const;

    /// The manager made for the base URL given at construction: its queue, request serializer,
    /// security policy and reachability manager serve the client.
    const std::shared_ptr<NetHTTPRequestOperationManager>& manager() const { return m_manager; }

private:
    MorvixHTTPClient(std::string baseURL, std::weak_ptr<MorvixClient> client);
    void configureManager();
    std::optional<platform::Url> baseURLValue() const;
    std::optional<platform::Url> sessionURL() const;
    platform::URLRequest jsonRequest(const char* method) const;
    void logRefusal(const platform::ConfinedFile::Result& result) const;

    std::weak_ptr<MorvixClient> m_client;
    mutable std::mutex m_mutex; // guards m_baseURL
    std::string m_baseURL;
    const std::optional<std::string> m_applicationFolder; // of the base URL given at construction
    std::shared_ptr<NetHTTPRequestOperationManager> m_manager;
};

} // namespace morvix
