#include "platform/net/URLConnection.h"

#include "platform/net/HTTPRequestCheck.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/InputStream.h"
#include "platform/net/MimeTypes.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/URLError.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace morvix::platform {

namespace {

constexpr int kMaximumRedirects = 16;
constexpr std::size_t kFilePieceSize = 64 * 1024;
constexpr int kFilePiecesPerTask = 16;

// Marks a curl or OpenSSL callback into the connection as running for as long as it lives, so
// that `cancel` leaves the handle alone until the callback has returned.
class CallbackScope {
public:
    explicit CallbackScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~CallbackScope() { --m_depth; }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

private:
    int& m_depth;
};

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string trimmed(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return {};
    auto end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(begin, end - begin + 1));
}

// Scheme, host and port: what credentials and caller-set cookies are meant for.
bool isSameOrigin(const Url& a, const Url& b)
{
    return a.scheme() == b.scheme() && HTTPHeaders::namesEqual(a.host(), b.host()) && a.effectivePort() == b.effectivePort();
}

long errorCodeFor(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return kURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return kURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT:
        return kURLErrorTimedOut;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return kURLErrorNetworkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS:
        return kURLErrorHTTPTooManyRedirects;
    case CURLE_URL_MALFORMAT:
        return kURLErrorBadURL;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return kURLErrorUnsupportedURL;
    case CURLE_SSL_CONNECT_ERROR:
        return kURLErrorSecureConnectionFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
        return kURLErrorServerCertificateUntrusted;
    case CURLE_BAD_CONTENT_ENCODING:
        return kURLErrorCannotDecodeContentData;
    default:
        return kURLErrorUnknown;
    }
}

// Hands tasks to the network thread once their time has come: the timer that ends a throttle
// pause. The waiting happens on a thread of its own, so that the network thread, which carries
// every transfer, never sleeps for one of them. Made on first use and never destroyed.
class DelayedNetworkTasks {
public:
    static DelayedNetworkTasks& shared()
    {
        static auto* tasks = new DelayedNetworkTasks();
        return *tasks;
    }

    void performAfter(double seconds, NetworkThread::Task task)
    {
        auto due = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
        {
            std::lock_guard lock(m_mutex);
            m_tasks.emplace(due, std::move(task));
        }
        m_changed.notify_one();
    }

private:
    DelayedNetworkTasks()
    {
        std::thread([this] { run(); }).detach();
    }

    void run()
    {
        pthread_setname_np(pthread_self(), "Network timer");
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_tasks.empty()) {
                m_changed.wait(lock);
                continue;
            }
            auto first = m_tasks.begin();
            if (std::chrono::steady_clock::now() < first->first) {
                m_changed.wait_until(lock, first->first);
                continue;
            }
            auto task = std::move(first->second);
            m_tasks.erase(first);
            lock.unlock();
            NetworkThread::shared().perform(std::move(task));
            lock.lock();
        }
    }

    std::mutex m_mutex; // guards m_tasks
    std::condition_variable m_changed;
    std::multimap<std::chrono::steady_clock::time_point, NetworkThread::Task> m_tasks;
};

// Collects a synchronous transfer's result, up to a body size.
class CollectingDelegate final : public URLConnectionDelegate {
public:
    explicit CollectingDelegate(std::optional<std::uint64_t> maximumBodySize) : m_maximumBodySize(maximumBodySize) { }

    void connectionDidReceiveResponse(URLConnection&, const std::shared_ptr<const URLResponse>& response) override
    {
        result.response = response;
    }
    void connectionDidReceiveData(URLConnection& connection, std::string_view data) override
    {
        if (m_maximumBodySize && data.size() > *m_maximumBodySize - result.data.size()) {
            // Cancelled, the connection tells the delegate nothing more; the error is ours.
            result.data.clear();
            result.error = Error(POSIXErrorDomain, EFBIG,
                "the response is larger than the " + std::to_string(*m_maximumBodySize) + " bytes allowed");
            result.error->setFailingURL(connection.currentRequest().url() ? connection.currentRequest().url()->absoluteString() : "");
            connection.cancel();
            return;
        }
        result.data.append(data);
    }
    void connectionDidFailWithError(URLConnection&, const Error& error) override { result.error = error; }

    URLConnection::SynchronousResult result;

private:
    std::optional<std::uint64_t> m_maximumBodySize;
};

} // namespace

URLConnection::OpenedFile URLConnection::openFileURL(const Url& url)
{
    OpenedFile file;
    auto path = url.decodedPath();
    if (!path) {
        file.errorCode = kURLErrorBadURL;
        return file;
    }
    file.path = std::move(*path);
    // Opened without blocking, so that a named pipe is turned down below instead of waiting
    // for a writer; the type is checked on the open file, not on the name.
    int descriptor = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        file.errorCode = errno == EISDIR ? kURLErrorFileIsDirectory : kURLErrorFileDoesNotExist;
        return file;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        file.errorCode = S_ISDIR(status.st_mode) ? kURLErrorFileIsDirectory : kURLErrorFileDoesNotExist;
        ::close(descriptor);
        return file;
    }
    file.descriptor = descriptor;
    file.size = static_cast<std::int64_t>(status.st_size);
    return file;
}

void URLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(URLConnection&, const AuthenticationChallenge& challenge)
{
    challenge.sender().performDefaultHandling(challenge);
}

std::shared_ptr<URLConnection> URLConnection::create(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate)
{
    return std::shared_ptr<URLConnection>(new URLConnection(std::move(request), std::move(delegate)));
}

URLConnection::URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate)
    : m_originalRequest(request)
    , m_request(std::move(request))
    , m_delegate(std::move(delegate))
{
}

URLConnection::~URLConnection()
{
    if (m_fileDescriptor >= 0)
        ::close(m_fileDescriptor);
    if (m_handle)
        curl_easy_cleanup(m_handle);
    curl_slist_free_all(m_headerList);
}

std::string URLConnection::failingURL() const
{
    return m_request.url() ? m_request.url()->absoluteString() : std::string();
}

void URLConnection::start()
{
    assert(NetworkThread::shared().isCurrent() && "a connection starts on the network thread");
    if (m_started)
        return;
    m_started = true;
    if (!m_request.url()) {
        failSoon(kURLErrorBadURL);
        return;
    }
    if (m_request.url()->isFileURL()) {
        performGuarded(&URLConnection::serveFile);
        return;
    }
    if (!m_request.url()->isHTTP()) {
        failSoon(kURLErrorUnsupportedURL);
        return;
    }
    if (!configure()) {
        failSoon(kURLErrorBadURL);
        return;
    }
    NetworkThread::shared().add(shared_from_this(), m_handle);
    applyPause();
}

void URLConnection::pause()
{
    NetworkThread::shared().perform([self = shared_from_this()] { self->setPaused(true); });
}

void URLConnection::unpause()
{
    NetworkThread::shared().perform([self = shared_from_this()] { self->setPaused(false); });
}

void URLConnection::setPaused(bool paused)
{
    if (m_userPaused == paused || m_synchronous)
        return;
    m_userPaused = paused;
    if (m_ended || m_cancelled)
        return;
    if (!paused)
        m_lastActivity = std::chrono::steady_clock::now();
    if (!paused && m_fileStalled) {
        m_fileStalled = false;
        performGuarded(&URLConnection::serveFileChunks);
        return;
    }
    applyPause();
}

void URLConnection::applyPause()
{
    if (!m_handle || m_synchronous || m_ended || m_cancelled)
        return;
    int held = m_userPaused ? CURLPAUSE_ALL : (m_throttlePaused ? CURLPAUSE_SEND : CURLPAUSE_CONT);
    // Resuming may deliver data held meanwhile; those callbacks guard themselves.
    curl_easy_pause(m_handle, held);
}

void URLConnection::pauseForThrottle(double seconds)
{
    m_throttlePaused = true;
    auto generation = ++m_throttleGeneration;
    DelayedNetworkTasks::shared().performAfter(seconds, [weak = weak_from_this(), generation] {
        if (auto self = weak.lock())
            self->endThrottlePause(generation);
    });
}

void URLConnection::endThrottlePause(unsigned generation)
{
    if (generation != m_throttleGeneration || !m_throttlePaused || m_ended || m_cancelled)
        return;
    m_throttlePaused = false;
    m_throttleServed = true;
    m_lastActivity = std::chrono::steady_clock::now();
    if (!m_userPaused)
        applyPause();
}

void URLConnection::failSoon(long code)
{
    NetworkThread::shared().perform([self = shared_from_this(), code] {
        if (self->m_cancelled || self->m_ended)
            return;
        self->m_ended = true;
        if (self->m_delegate)
            self->m_delegate->connectionDidFailWithError(*self, makeURLError(code, self->failingURL()));
        self->teardown();
    });
}

void URLConnection::performGuarded(void (URLConnection::*step)())
{
    NetworkThread::shared().perform([self = shared_from_this(), step] {
        try {
            (self.get()->*step)();
        } catch (const std::exception& exception) {
            self->endAfterException(exception.what());
        } catch (...) {
            self->endAfterException("an exception of unknown type");
        }
    });
}

void URLConnection::endAfterException(const std::string& what)
{
    auto self = shared_from_this();
    if (!m_ended && !m_cancelled && m_delegate) {
        m_ended = true;
        auto error = makeURLError(kURLErrorUnknown, failingURL());
        error.setFailureReason(what);
        try {
            m_delegate->connectionDidFailWithError(*this, error);
        } catch (...) {
            std::fprintf(stderr, "morvix: a connection delegate threw while hearing of a failure: %s\n", what.c_str());
        }
    }
    teardown();
}

void URLConnection::serveFile()
{
    if (m_cancelled || m_ended)
        return;
    const auto& url = *m_request.url();
    auto file = openFileURL(url);
    if (file.errorCode) {
        m_ended = true;
        m_delegate->connectionDidFailWithError(*this, makeURLError(file.errorCode, failingURL()));
        teardown();
        return;
    }
    m_fileDescriptor = file.descriptor;
    auto response = std::make_shared<const URLResponse>(url, mimeTypeForPath(file.path), file.size, std::nullopt);
    m_delegate->connectionDidReceiveResponse(*this, response);
    serveFileChunks();
}

void URLConnection::serveFileChunks()
{
    // A file arrives piece by piece like any body, so that its delegate can stop a huge one as
    // it would an HTTP body and memory holds one piece at a time. On the network thread one
    // task reads a few pieces and hands over to the next, letting other transfers and cancels
    // run in between.
    std::string buffer(kFilePieceSize, '\0');
    for (int piece = 0; m_synchronous || piece < kFilePiecesPerTask; ++piece) {
        if (m_cancelled || m_ended)
            return;
        if (m_userPaused) {
            m_fileStalled = true; // `unpause` reads on
            return;
        }
        ssize_t count = ::read(m_fileDescriptor, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            m_ended = true;
            auto error = makeURLError(kURLErrorFileDoesNotExist, failingURL());
            error.setFailureReason(std::strerror(errno));
            m_delegate->connectionDidFailWithError(*this, error);
            teardown();
            return;
        }
        if (count == 0) {
            m_ended = true;
            m_delegate->connectionDidFinishLoading(*this);
            teardown();
            return;
        }
        m_delegate->connectionDidReceiveData(*this, std::string_view(buffer.data(), static_cast<std::size_t>(count)));
    }
    performGuarded(&URLConnection::serveFileChunks);
}

void URLConnection::cancel()
{
    if (m_ended || m_cancelled)
        return;
    auto self = shared_from_this();
    m_cancelled = true;
    // Inside a curl callback the handle must stay; the callback returns an error and the
    // transfer's end is then dropped in `transferDone`.
    if (m_callbackDepth == 0 && !m_synchronous)
        teardown();
}

void URLConnection::teardown()
{
    m_ended = true;
    if (m_fileDescriptor >= 0)
        ::close(std::exchange(m_fileDescriptor, -1));
    if (m_handle && !m_synchronous) {
        auto handle = m_handle;
        m_handle = nullptr;
        NetworkThread::shared().remove(handle);
        curl_easy_cleanup(handle);
    }
    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
    if (!m_delegate)
        return;
    if (m_synchronous) {
        m_delegate.reset();
        return;
    }
    // The delegate may be the object whose method is running now; let it go once that is over.
    NetworkThread::shared().perform([delegate = std::move(m_delegate)] { });
}

bool URLConnection::configure()
{
    if (!m_handle)
        m_handle = curl_easy_init();
    else
        curl_easy_reset(m_handle);
    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
    m_status = 0;
    m_responseHeaders = {};
    m_uploaded = 0;
    m_bodyLength = -1;
    m_bodyRead = 0;
    m_throttlePaused = false;
    m_throttleServed = false;
    ++m_throttleGeneration;
    CURL* handle = m_handle;
    // A method that is no token would write a second line into the request's head.
    if (HTTPRequestCheck::validateMethod(m_request.method()))
        return false;
    if (curl_easy_setopt(handle, CURLOPT_URL, m_request.url()->absoluteString().c_str()) != CURLE_OK)
        return false;
    m_errorBuffer[0] = '\0';
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, headerCallback);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeCallback);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, progressCallback);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");

    // The request's interval is an idle time-out: connecting, and then any stretch without a
    // byte moving, may not last longer (see `onProgress`). "No time-out" is a day-long bound on
    // connecting only, so that no interval is ever converted into an overflowing number.
    m_lastActivity = std::chrono::steady_clock::now();
    m_downloaded = 0;
    if (m_request.hasTimeout()) {
        auto milliseconds = static_cast<long>(std::ceil(m_request.timeoutInterval() * 1000));
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, milliseconds);
    } else {
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, 24L * 60 * 60 * 1000);
    }
    // An overall deadline holds for the whole transfer, whatever trickles in: each attempt
    // (after a redirect or a credential) gets what is left of it, at least a millisecond so
    // that curl does not take the 0 for "no limit".
    if (m_deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*m_deadline - m_lastActivity);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<std::int64_t>(left.count(), 1)));
    }

    if (m_request.shouldHandleCookies()) {
        curl_easy_setopt(handle, CURLOPT_SHARE, NetworkThread::shared().cookieShare());
        curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    }

    // Trust is decided in our verify callback (ServerTrust), never by curl's own checks.
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, sslContextCallback);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, this);
    curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, prerequestCallback);
    curl_easy_setopt(handle, CURLOPT_PREREQDATA, this);
    if (m_reuse == ConnectionReuse::Forbidden) {
        curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
    } else if (m_freshConnection) {
        curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
    }
    if (m_httpCredential) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, m_httpCredential->user().c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, m_httpCredential->password().c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    }
    addBody();
    addHeaders();
    return true;
}

void URLConnection::addHeaders()
{
    for (const auto& [name, value] : m_request.headers().fields()) {
        if (HTTPHeaders::namesEqual(name, "Content-Length") || HTTPHeaders::namesEqual(name, "Expect"))
            continue;
        // curl decodes only what it asked for itself, so the encodings are handed to it.
        if (HTTPHeaders::namesEqual(name, "Accept-Encoding")) {
            curl_easy_setopt(m_handle, CURLOPT_ACCEPT_ENCODING, value.c_str());
            continue;
        }
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        m_headerList = curl_slist_append(m_headerList, line.c_str());
    }
    // curl would otherwise ask large uploads to wait for "100 Continue".
    m_headerList = curl_slist_append(m_headerList, "Expect:");
    curl_easy_setopt(m_handle, CURLOPT_HTTPHEADER, m_headerList);
}

void URLConnection::addBody()
{
    const auto& method = m_request.method();
    bool bodyless = method == "GET" || method == "HEAD";
    if (method == "HEAD")
        curl_easy_setopt(m_handle, CURLOPT_NOBODY, 1L);
    else if (method != "GET" && method != "POST")
        curl_easy_setopt(m_handle, CURLOPT_CUSTOMREQUEST, method.c_str());
    if (bodyless)
        return;
    if (m_request.bodyStream()) {
        curl_easy_setopt(m_handle, CURLOPT_POST, 1L);
        curl_easy_setopt(m_handle, CURLOPT_READFUNCTION, readCallback);
        curl_easy_setopt(m_handle, CURLOPT_READDATA, this);
        curl_off_t size = -1; // chunked
        if (auto length = m_request.valueForHeader("Content-Length")) {
            try {
                size = std::stoll(*length);
            } catch (const std::exception&) {
                size = -1;
            }
        }
        curl_easy_setopt(m_handle, CURLOPT_POSTFIELDSIZE_LARGE, size);
        m_bodyLength = size < 0 ? -1 : size;
        return;
    }
    const std::string body = m_request.body().value_or(std::string());
    if (method != "POST" && !m_request.body())
        return;
    curl_easy_setopt(m_handle, CURLOPT_POST, 1L);
    curl_easy_setopt(m_handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(m_handle, CURLOPT_COPYPOSTFIELDS, body.c_str());
}

template<typename Result, typename Step>
Result URLConnection::guardCallback(Result refusal, Step&& step)
{
    CallbackScope scope(m_callbackDepth);
    // Nothing may unwind through curl or OpenSSL: a throwing delegate fails its own transfer.
    try {
        return step();
    } catch (const std::exception& exception) {
        failInCallback(exception.what());
    } catch (...) {
        failInCallback("an exception of unknown type");
    }
    return refusal;
}

void URLConnection::failInCallback(const std::string& what)
{
    if (m_failure)
        return;
    m_failure = makeURLError(kURLErrorUnknown, failingURL());
    m_failure->setFailureReason(what);
}

std::size_t URLConnection::headerCallback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* connection = static_cast<URLConnection*>(self);
    return connection->guardCallback<std::size_t>(0, [&] { return connection->onHeader(data, size * count); });
}

std::size_t URLConnection::writeCallback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* connection = static_cast<URLConnection*>(self);
    return connection->guardCallback<std::size_t>(0, [&] { return connection->onData(data, size * count); });
}

std::size_t URLConnection::readCallback(char* buffer, std::size_t size, std::size_t count, void* self)
{
    auto* connection = static_cast<URLConnection*>(self);
    return connection->guardCallback<std::size_t>(CURL_READFUNC_ABORT, [&] { return connection->onRead(buffer, size * count); });
}

int URLConnection::progressCallback(void* self, std::int64_t, std::int64_t downloadNow, std::int64_t uploadTotal, std::int64_t uploadNow)
{
    auto* connection = static_cast<URLConnection*>(self);
    return connection->guardCallback(1, [&] { return connection->onProgress(downloadNow, uploadTotal, uploadNow); });
}

// What a TLS context knows of the transfer that made it. curl makes one context per connection
// and keeps the connection in its pool after that transfer has ended (and its URLConnection is
// gone), so the transfer is held weakly and asked whether it still runs. Owned by the context:
// freed with it.
struct URLConnection::TLSBinding {
    std::weak_ptr<URLConnection> owner;
    // The default evaluation refused the chain and only the owner's delegate accepted it: the
    // connection serves no other transfer.
    bool trustedOnlyByOwner = false;

    static int index()
    {
        static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr,
            [](void*, void* binding, CRYPTO_EX_DATA*, int, long, void*) { delete static_cast<TLSBinding*>(binding); });
        return index;
    }
    static TLSBinding* of(SSL_CTX* context) { return static_cast<TLSBinding*>(SSL_CTX_get_ex_data(context, index())); }
};

int URLConnection::sslContextCallback(CURL*, void* context, void* self)
{
    // Called while the transfer that opens the connection runs, so `self` is alive here; it is
    // never stored in the context.
    auto* connection = static_cast<URLConnection*>(self);
    auto* sslContext = static_cast<SSL_CTX*>(context);
    // A renegotiation would run the verify callback again, on a pooled connection, for whichever
    // transfer happens to use it then.
    SSL_CTX_set_options(sslContext, SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_verify(sslContext, SSL_VERIFY_PEER, nullptr);
    delete TLSBinding::of(sslContext);
    auto* binding = new TLSBinding { connection->weak_from_this(), false };
    SSL_CTX_set_ex_data(sslContext, TLSBinding::index(), binding);
    SSL_CTX_set_cert_verify_callback(sslContext, verifyCallback, binding);
    return CURLE_OK;
}

int URLConnection::verifyCallback(X509_STORE_CTX* context, void* bindingData)
{
    auto* binding = static_cast<TLSBinding*>(bindingData);
    auto connection = binding->owner.lock();
    TrustDecision decision = TrustDecision::Refused;
    if (connection && !connection->m_ended && !connection->m_cancelled)
        decision = connection->guardCallback(TrustDecision::Refused, [&] { return connection->onVerify(context); });
    if (decision == TrustDecision::Refused) {
        X509_STORE_CTX_set_error(context, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
    binding->trustedOnlyByOwner = decision == TrustDecision::TrustedOnlyByDelegate;
    return 1;
}

int URLConnection::prerequestCallback(void* self, char*, char*, int, int)
{
    auto* connection = static_cast<URLConnection*>(self);
    return connection->guardCallback<int>(CURL_PREREQFUNC_ABORT, [&] { return connection->onConnectionReady(); });
}

int URLConnection::onConnectionReady()
{
    if (m_cancelled)
        return CURL_PREREQFUNC_ABORT;
    // A connection whose certificate only another transfer's delegate accepted is not this
    // transfer's to use: nothing is sent on it, and the request starts over on a connection of
    // its own, judged by this transfer.
    const curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(m_handle, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || !session
        || session->backend != CURLSSLBACKEND_OPENSSL || !session->internals)
        return CURL_PREREQFUNC_OK;
    auto* binding = TLSBinding::of(SSL_get_SSL_CTX(static_cast<SSL*>(session->internals)));
    if (!binding || !binding->trustedOnlyByOwner || binding->owner.lock().get() == this)
        return CURL_PREREQFUNC_OK;
    m_freshConnection = true;
    m_pendingRedirect = m_request;
    return CURL_PREREQFUNC_ABORT;
}

std::size_t URLConnection::onHeader(const char* data, std::size_t length)
{
    if (m_cancelled)
        return 0;
    m_lastActivity = std::chrono::steady_clock::now();
    std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
        auto space = line.find(' ');
        m_status = space == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
        m_responseHeaders = {};
        return length;
    }
    auto text = trimmed(line);
    if (text.empty())
        return onHeadersComplete() ? length : 0;
    auto colon = text.find(':');
    if (colon != std::string::npos)
        m_responseHeaders.add(trimmed(std::string_view(text).substr(0, colon)), trimmed(std::string_view(text).substr(colon + 1)));
    return length;
}

bool URLConnection::onHeadersComplete()
{
    if (m_status < 200)
        return true; // an interim response; the real one follows
    auto response = HTTPURLResponse::create(m_request.url(), m_status, m_responseHeaders);
    auto location = m_responseHeaders.value("Location");
    if (isRedirect(m_status) && location) {
        if (++m_redirectCount > kMaximumRedirects) {
            m_failure = makeURLError(kURLErrorHTTPTooManyRedirects, failingURL());
            m_failure->setFailureReason("the server redirected the request more than " + std::to_string(kMaximumRedirects) + " times");
            return false;
        }
        if (auto next = redirectRequest(m_status, *location)) {
            auto answer = m_delegate->connectionWillSendRequest(*this, std::move(*next), response);
            if (m_cancelled)
                return false;
            if (answer) {
                m_pendingRedirect = std::move(answer);
                return false; // the redirect's own body is not wanted
            }
        } else if (m_failure) {
            return false;
        }
    }
    if (m_status == 401 && askForCredential())
        return false; // this response's body is not wanted
    m_response = response;
    m_responseDelivered = true;
    m_delegate->connectionDidReceiveResponse(*this, response);
    return !m_cancelled;
}

std::optional<URLRequest> URLConnection::redirectRequest(int status, const std::string& location)
{
    auto target = Url::resolve(*m_request.url(), location);
    if (!target || !target->isHTTP())
        return std::nullopt;
    URLRequest next = m_request;
    next.setURL(*target);
    // Credentials and cookies the caller set were meant for this origin alone; stored cookies
    // are still sent where their own domain says.
    if (!isSameOrigin(*m_request.url(), *target)) {
        next.headers().remove("Authorization");
        next.headers().remove("Cookie");
    }
    const auto& method = m_request.method();
    bool becomesGet = status == 303 ? method != "HEAD" : ((status == 301 || status == 302) && method == "POST");
    if (becomesGet) {
        next.setMethod("GET");
        next.setBody(std::nullopt);
        next.setBodyStream(nullptr);
        next.headers().remove("Content-Type");
        next.headers().remove("Content-Length");
        return next;
    }
    if (m_request.bodyStream()) {
        auto replayed = m_request.bodyStream()->replay();
        if (!replayed) {
            m_failure = makeURLError(kURLErrorUnknown, failingURL());
            return std::nullopt;
        }
        next.setBodyStream(std::move(replayed));
    }
    return next;
}

std::size_t URLConnection::onData(const char* data, std::size_t length)
{
    if (m_cancelled)
        return 0;
    if (!m_responseDelivered)
        return length;
    m_delegate->connectionDidReceiveData(*this, std::string_view(data, length));
    return m_cancelled ? 0 : length;
}

std::size_t URLConnection::onRead(char* buffer, std::size_t length)
{
    if (m_cancelled)
        return CURL_READFUNC_ABORT;
    const auto& stream = m_request.bodyStream();
    if (stream->streamStatus() == StreamStatus::NotOpen)
        stream->open();
    if (!std::exchange(m_throttleServed, false)) {
        if (double delay = stream->delayBeforeNextRead(); delay > 0) {
            if (!m_synchronous) {
                pauseForThrottle(delay);
                return CURL_READFUNC_PAUSE;
            }
            // A synchronous request runs on its caller's thread, which may wait.
            std::this_thread::sleep_for(std::chrono::duration<double>(delay));
        }
    }
    long got = stream->read(buffer, length);
    if (got > 0) {
        m_lastActivity = std::chrono::steady_clock::now();
        m_bodyRead += got;
    }
    if (got < 0 || stream->streamError()) {
        m_failure = stream->streamError().value_or(makeURLError(kURLErrorUnknown, failingURL()));
        return CURL_READFUNC_ABORT;
    }
    if (got == 0 && length > 0 && m_bodyRead < m_bodyLength) {
        // The server waits for the bytes the head promised; nothing would move until the idle
        // time-out.
        m_failure = Error(URLErrorDomain, kURLErrorRequestBodyStreamExhausted, "The request body stream was exhausted.");
        m_failure->setFailingURL(failingURL());
        m_failure->setFailureReason("the body stream ended after " + std::to_string(m_bodyRead) + " of the "
            + std::to_string(m_bodyLength) + " bytes its Content-Length declares");
        return CURL_READFUNC_ABORT;
    }
    return static_cast<std::size_t>(got);
}

std::optional<std::chrono::steady_clock::time_point> URLConnection::idleDeadline() const
{
    if (m_ended || m_cancelled || m_userPaused || m_throttlePaused || !m_request.hasTimeout())
        return std::nullopt;
    return m_lastActivity + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(m_request.timeoutInterval()));
}

int URLConnection::onProgress(std::int64_t downloadNow, std::int64_t uploadTotal, std::int64_t uploadNow)
{
    if (m_cancelled)
        return 1;
    auto now = std::chrono::steady_clock::now();
    if (downloadNow > m_downloaded || uploadNow > m_uploaded)
        m_lastActivity = now;
    m_downloaded = std::max(m_downloaded, downloadNow);
    // curl calls this at least once a second while the transfer waits, and the network thread
    // wakes at the deadline, so a stalled transfer ends within a moment of its time-out.
    if (auto deadline = idleDeadline(); deadline && now >= *deadline) {
        m_failure = makeURLError(kURLErrorTimedOut, failingURL());
        m_failure->setFailureReason("no data moved for " + std::to_string(std::lround(m_request.timeoutInterval() * 1000)) + " ms");
        return 1;
    }
    if (uploadNow > m_uploaded) {
        auto step = uploadNow - m_uploaded;
        m_uploaded = uploadNow;
        m_delegate->connectionDidSendBodyData(*this, step, uploadNow, uploadTotal > 0 ? uploadTotal : -1);
    }
    return m_cancelled ? 1 : 0;
}

bool URLConnection::passesDefaultEvaluation(const ServerTrust& trust)
{
    // The default handling judges the chain as presented, whatever the delegate did to `trust`.
    auto fresh = ServerTrust::create(trust.presentedChain(), TrustPolicy::ssl(m_request.url()->host()));
    TrustResult result;
    bool valid = fresh->evaluate(result) == 0 && (result == TrustResult::Proceed || result == TrustResult::Unspecified);
    m_trustFailureReason = fresh->failureReason();
    return valid;
}

URLConnection::TrustDecision URLConnection::onVerify(X509_STORE_CTX* context)
{
    if (m_cancelled)
        return TrustDecision::Refused;
    X509* leaf = X509_STORE_CTX_get0_cert(context);
    std::vector<std::shared_ptr<const Certificate>> chain;
    if (auto certificate = Certificate::fromX509(leaf))
        chain.push_back(std::move(certificate));
    STACK_OF(X509)* presented = X509_STORE_CTX_get0_untrusted(context);
    for (int index = 0; presented && index < sk_X509_num(presented); ++index) {
        X509* certificate = sk_X509_value(presented, index);
        if (X509_cmp(certificate, leaf) == 0)
            continue;
        if (auto wrapped = Certificate::fromX509(certificate))
            chain.push_back(std::move(wrapped));
    }
    const auto& url = *m_request.url();
    auto trust = ServerTrust::create(std::move(chain), TrustPolicy::ssl(url.host()));
    if (!trust)
        return TrustDecision::Refused;
    ProtectionSpace space { url.host(), url.effectivePort(), url.scheme(), AuthenticationMethodServerTrust, {}, trust };
    m_answer = ChallengeAnswer::None;
    AuthenticationChallenge challenge(space, 0, *this);
    m_delegate->connectionWillSendRequestForAuthenticationChallenge(*this, challenge);
    if (m_cancelled)
        return TrustDecision::Refused;
    switch (m_answer) {
    case ChallengeAnswer::UseCredential:
        return passesDefaultEvaluation(*trust) ? TrustDecision::Trusted : TrustDecision::TrustedOnlyByDelegate;
    case ChallengeAnswer::Cancel:
        m_trustRejectedByDelegate = true;
        return TrustDecision::Refused;
    case ChallengeAnswer::None:
    case ChallengeAnswer::ContinueWithout:
    case ChallengeAnswer::Default:
        break;
    }
    bool valid = passesDefaultEvaluation(*trust);
    m_trustRejectedByDefault = !valid;
    return valid ? TrustDecision::Trusted : TrustDecision::Refused;
}

bool URLConnection::askForCredential()
{
    // Basic authentication only; a challenge of another scheme is delivered as the response.
    auto offered = m_responseHeaders.value("WWW-Authenticate");
    if (!offered || offered->size() < 5 || !HTTPHeaders::namesEqual(offered->substr(0, 5), "Basic"))
        return false;
    const auto& url = *m_request.url();
    std::string realm;
    if (auto start = offered->find("realm=\""); start != std::string::npos) {
        start += 7;
        realm = offered->substr(start, offered->find('"', start) - start);
    }
    ProtectionSpace space { url.host(), url.effectivePort(), url.scheme(), AuthenticationMethodHTTPBasic, realm, nullptr };
    m_answer = ChallengeAnswer::None;
    m_offeredCredential.reset();
    AuthenticationChallenge challenge(space, m_authenticationFailures, *this);
    m_delegate->connectionWillSendRequestForAuthenticationChallenge(*this, challenge);
    if (m_cancelled)
        return true;
    if (m_answer == ChallengeAnswer::Cancel) {
        m_failure = makeURLError(kURLErrorUserCancelledAuthentication, failingURL());
        return true;
    }
    if (m_answer != ChallengeAnswer::UseCredential || !m_offeredCredential || m_offeredCredential->isForTrust())
        return false;
    ++m_authenticationFailures;
    m_httpCredential = std::exchange(m_offeredCredential, std::nullopt);
    m_pendingRedirect = m_request;
    return true;
}

void URLConnection::useCredential(const URLCredential& credential, const AuthenticationChallenge&)
{
    m_answer = ChallengeAnswer::UseCredential;
    m_offeredCredential = credential;
}

void URLConnection::continueWithoutCredential(const AuthenticationChallenge&)
{
    m_answer = ChallengeAnswer::ContinueWithout;
}

void URLConnection::cancelAuthenticationChallenge(const AuthenticationChallenge&)
{
    m_answer = ChallengeAnswer::Cancel;
}

void URLConnection::performDefaultHandling(const AuthenticationChallenge&)
{
    m_answer = ChallengeAnswer::Default;
}

URLConnection::Outcome URLConnection::handleResult(int resultCode)
{
    auto code = static_cast<CURLcode>(resultCode);
    if (m_cancelled)
        return Outcome::Ended;
    if (m_pendingRedirect) {
        // A credential the server of one origin asked for is never offered to another.
        if (!m_pendingRedirect->url() || !isSameOrigin(*m_request.url(), *m_pendingRedirect->url())) {
            m_httpCredential.reset();
            m_authenticationFailures = 0;
        }
        m_request = std::move(*m_pendingRedirect);
        m_pendingRedirect.reset();
        return Outcome::Restart;
    }
    m_ended = true;
    if (!m_failure && code != CURLE_OK) {
        long mapped = errorCodeFor(code);
        if (m_trustRejectedByDelegate)
            mapped = kURLErrorUserCancelledAuthentication;
        else if (m_trustRejectedByDefault)
            mapped = kURLErrorServerCertificateUntrusted;
        m_failure = makeURLError(mapped, failingURL());
        // The description is the code's own; what curl or the certificate check saw is the reason.
        if (m_trustRejectedByDefault && !m_trustFailureReason.empty())
            m_failure->setFailureReason(m_trustFailureReason);
        else
            m_failure->setFailureReason(m_errorBuffer[0] ? m_errorBuffer : curl_easy_strerror(code));
    }
    if (m_failure) {
        m_delegate->connectionDidFailWithError(*this, *m_failure);
        return Outcome::Ended;
    }
    if (!m_responseDelivered) {
        // Only a response without any header block gets here; give it what curl saw.
        long status = 0;
        curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &status);
        m_response = HTTPURLResponse::create(m_request.url(), static_cast<int>(status), {});
        m_delegate->connectionDidReceiveResponse(*this, m_response);
    }
    if (m_request.method() == "GET")
        m_delegate->connectionWillCacheResponse(*this, { m_response, {} });
    m_delegate->connectionDidFinishLoading(*this);
    return Outcome::Ended;
}

void URLConnection::transferDone(int code)
{
    auto self = shared_from_this();
    if (handleResult(code) == Outcome::Restart) {
        auto handle = m_handle;
        m_handle = nullptr;
        NetworkThread::shared().remove(handle);
        curl_easy_cleanup(handle);
        if (configure()) {
            NetworkThread::shared().add(self, m_handle);
            applyPause();
            return;
        }
        m_ended = true;
        m_delegate->connectionDidFailWithError(*this, makeURLError(kURLErrorBadURL, failingURL()));
    }
    teardown();
}

URLConnection::SynchronousResult URLConnection::sendSynchronousRequest(const URLRequest& request, const SynchronousLimits& limits)
{
    NetworkThread::shared(); // sets the libraries up once, before any handle is made here
    auto delegate = std::make_shared<CollectingDelegate>(limits.maximumBodySize);
    auto connection = create(request, delegate);
    connection->m_synchronous = true;
    connection->m_started = true;
    if (limits.deadline)
        connection->m_deadline = std::chrono::steady_clock::now() + *limits.deadline;
    try {
        connection->performSynchronously();
    } catch (const std::exception& exception) {
        delegate->result = {};
        delegate->result.error = makeURLError(kURLErrorUnknown, connection->failingURL());
        delegate->result.error->setFailureReason(exception.what());
    }
    connection->teardown();
    return delegate->result;
}

void URLConnection::performSynchronously()
{
    auto& delegate = static_cast<CollectingDelegate&>(*m_delegate);
    if (m_request.url() && m_request.url()->isFileURL()) {
        serveFile();
        return;
    }
    if (!m_request.url() || !m_request.url()->isHTTP()) {
        delegate.result.error = makeURLError(m_request.url() ? kURLErrorUnsupportedURL : kURLErrorBadURL, failingURL());
        return;
    }
    for (;;) {
        if (!configure()) {
            delegate.result.error = makeURLError(kURLErrorBadURL, failingURL());
            return;
        }
        CURLcode code = curl_easy_perform(m_handle);
        if (handleResult(code) != Outcome::Restart)
            return;
        delegate.result = {};
    }
}

} // namespace morvix::platform
