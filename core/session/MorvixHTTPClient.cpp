#include "core/session/MorvixHTTPClient.h"

#include "core/base/LogEntry.h"
#include "core/session/CappedOutputStream.h"
#include "core/session/MorvixClient.h"
#include "core/session/UserAgent.h"
#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetHTTPRequestOperationManager.h"
#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetImageResponseSerializer.h"
#include "networking/NetMultipartFormData.h"
#include "networking/NetNetworkReachabilityManager.h"
#include "networking/NetSecurityPolicy.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/net/FileOutputStream.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/MemoryOutputStream.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/OperationQueue.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLError.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <typeinfo>

namespace morvix {

using platform::URLRequest;
using platform::Url;

namespace {

std::shared_ptr<const platform::HTTPURLResponse> httpResponse(NetHTTPRequestOperation& operation)
{
    return operation.response();
}

// Hands the outcome of `operation` to the session's blocks, with the request and response.
void installCompletion(NetHTTPRequestOperation& operation, MorvixHTTPClient::SuccessBlock success, MorvixHTTPClient::FailureBlock failure)
{
    operation.setCompletionBlockWithSuccess(
        [success = std::move(success)](const std::shared_ptr<NetHTTPRequestOperation>& done, const std::any&) {
            if (success)
                success(done->request(), httpResponse(*done));
        },
        [failure = std::move(failure)](const std::shared_ptr<NetHTTPRequestOperation>& done, const platform::Error& error) {
            if (failure)
                failure(done->request(), httpResponse(*done), error);
        });
}

// Whether a stored cookie of `domain` and `path` is sent to `url` (RFC 6265 domain and path
// match).
bool cookieMatches(std::string domain, const std::string& path, const Url& url)
{
    constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
    if (domain.starts_with(kHttpOnlyPrefix))
        domain.erase(0, kHttpOnlyPrefix.size());
    if (!domain.empty() && domain.front() == '.')
        domain.erase(0, 1);
    const std::string& host = url.host();
    bool domainMatch = host == domain || (host.size() > domain.size() && host.ends_with(domain) && host[host.size() - domain.size() - 1] == '.');
    if (!domainMatch)
        return false;
    std::string urlPath = url.path().empty() ? "/" : url.path();
    return urlPath.starts_with(path);
}

// Runs on the network thread, which is the only user of the shared cookie store.
void removeCookiesFor(const Url& url)
{
    CURL* handle = curl_easy_init();
    if (!handle)
        return;
    curl_easy_setopt(handle, CURLOPT_SHARE, platform::NetworkThread::shared().cookieShare());
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    curl_slist* cookies = nullptr;
    curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &cookies);
    std::vector<std::string> kept;
    for (auto* line = cookies; line; line = line->next) {
        // Netscape format: domain, tail match, path, secure, expiry, name, value.
        std::istringstream fields(line->data);
        std::string domain, tailMatch, path;
        std::getline(fields, domain, '\t');
        std::getline(fields, tailMatch, '\t');
        std::getline(fields, path, '\t');
        if (!cookieMatches(domain, path, url))
            kept.emplace_back(line->data);
    }
    curl_slist_free_all(cookies);
    curl_easy_setopt(handle, CURLOPT_COOKIELIST, "ALL");
    for (const auto& line : kept)
        curl_easy_setopt(handle, CURLOPT_COOKIELIST, line.c_str());
    curl_easy_cleanup(handle);
}

} // namespace

std::shared_ptr<MorvixHTTPClient> MorvixHTTPClient::create(std::string baseURL, std::weak_ptr<MorvixClient> client)
{
    auto httpClient = std::shared_ptr<MorvixHTTPClient>(new MorvixHTTPClient(std::move(baseURL), std::move(client)));
    httpClient->configureManager();
    return httpClient;
}

MorvixHTTPClient::MorvixHTTPClient(std::string baseURL, std::weak_ptr<MorvixClient> client)
    : m_client(std::move(client))
    , m_baseURL(std::move(baseURL))
    , m_applicationFolder(applicationFolder(m_baseURL))
{
}

MorvixHTTPClient::~MorvixHTTPClient() = default;

void MorvixHTTPClient::configureManager()
{
    m_manager = NetHTTPRequestOperationManager::create(baseURLValue());
    m_manager->setSecurityPolicy(newSecurityPolicy());
    auto reachability = m_manager->reachabilityManager();
    if (!reachability)
        return;
    reachability->setReachabilityStatusChangeBlock([](NetNetworkReachabilityStatus status) {
        platform::MainLoop::main().post([status] {
            platform::Value info = platform::Value::object();
            info[kReachabilityDidChangeKey] = static_cast<long>(status);
            platform::NotificationCenter::defaultCenter()->post(kReachabilityDidChangeNotification, nullptr, std::move(info));
        });
    });
    reachability->startMonitoring();
}

std::string MorvixHTTPClient::baseURL() const
{
    std::lock_guard lock(m_mutex);
    return m_baseURL;
}

void MorvixHTTPClient::setBaseURL(std::string url)
{
    std::lock_guard lock(m_mutex);
    m_baseURL = std::move(url);
}

std::optional<Url> MorvixHTTPClient::baseURLValue() const
{
    return Url::parse(baseURL());
}

std::optional<Url> MorvixHTTPClient::sessionURL() const
{
    auto url = baseURLValue();
    if (!url)
        return std::nullopt;
    return removeTrailingSlash(*url);
}

void MorvixHTTPClient::configureRequest(URLRequest& request) const
{
    request.setValueForHeader(UserAgent::value(), "User-Agent");
    request.setValueForHeader(UserAgent::locale(), "Accept-Language");
    request.setValueForHeader("gzip, deflate", "Accept-Encoding");
    request.setCachePolicy(0);
    request.setShouldUsePipelining(true);
    request.setShouldHandleCookies(true);
    auto client = m_client.lock();
    if (client && client->useInfiniteRequestTimeout())
        request.setTimeoutInterval(kInfiniteTimeout);
    else
        request.setTimeoutInterval(client ? static_cast<double>(client->requestTimeout()) : kDefaultTimeout);
}

URLRequest MorvixHTTPClient::requestWithURL(const Url& url) const
{
    URLRequest request(url);
    configureRequest(request);
    return request;
}

Url MorvixHTTPClient::removeTrailingSlash(const Url& url)
{
    const auto& text = url.absoluteString();
    if (url.path().empty() || !text.ends_with('/'))
        return url;
    return Url::parse(std::string_view(text).substr(0, text.size() - 1)).value_or(url);
}

bool MorvixHTTPClient::allowsInvalidSSLCertificate() const
{
    auto client = m_client.lock();
    return client && !client->useSSLStrict();
}

std::shared_ptr<NetSecurityPolicy> MorvixHTTPClient::newSecurityPolicy() const
{
    auto policy = NetSecurityPolicy::create();
    policy->setSSLPinningMode(NetSSLPinningMode::None);
    bool lax = allowsInvalidSSLCertificate();
    policy->setAllowInvalidCertificates(lax);
    // Strict sessions check the host name too: a trusted chain issued for another host is no
    // proof of talking to this server.
    policy->setValidatesDomainName(!lax);
    return policy;
}

URLRequest MorvixHTTPClient::jsonRequest(const char* method) const
{
    URLRequest request(sessionURL());
    configureRequest(request);
    request.setMethod(method);
    request.setValueForHeader("application/json", "Accept");
    return request;
}

std::shared_ptr<NetHTTPRequestOperation> MorvixHTTPClient::newGetJsonOperation(SuccessBlock success, FailureBlock failure,
    std::shared_ptr<platform::OutputStream> output) const
{
    return newOperationWithRequestAndOutput(jsonRequest("GET"), std::move(success), std::move(failure), std::move(output));
}

std::shared_ptr<NetHTTPRequestOperation> MorvixHTTPClient::newPostJsonOperation(const std::string& json, SuccessBlock success,
    FailureBlock failure, std::shared_ptr<platform::OutputStream> output) const
{
    auto request = jsonRequest("POST");
    request.setValueForHeader("application/json; charset=utf-8", "Content-Type");
    request.setBody(json);
    return newOperationWithRequestAndOutput(std::move(request), std::move(success), std::move(failure), std::move(output));
}

std::shared_ptr<NetHTTPRequestOperation> MorvixHTTPClient::newOperationWithRequestAndOutput(URLRequest request, SuccessBlock success,
    FailureBlock failure, std::shared_ptr<platform::OutputStream> output) const
{
    auto operation = NetHTTPRequestOperation::create(std::move(request));
    operation->setSecurityPolicy(newSecurityPolicy());
    installCompletion(*operation, std::move(success), std::move(failure));
    if (output)
        operation->setOutputStream(std::move(output));
    return operation;
}

std::shared_ptr<platform::Operation> MorvixHTTPClient::newOperationFromOperation(const std::shared_ptr<platform::Operation>& operation,
    SuccessBlock success, FailureBlock failure, std::shared_ptr<platform::OutputStream> output) const
{
    auto* http = dynamic_cast<NetHTTPRequestOperation*>(operation.get());
    if (!http || typeid(*http) != typeid(NetHTTPRequestOperation))
        return operation;
    auto copy = NetHTTPRequestOperation::create(http->request());
    // The copy keeps the original's policy, so a repeat is checked exactly as the first try.
    copy->setSecurityPolicy(http->securityPolicy());
    installCompletion(*copy, std::move(success), std::move(failure));
    if (output)
        copy->setOutputStream(std::move(output));
    return copy;
}

std::shared_ptr<NetHTTPRequestOperation> MorvixHTTPClient::newOperationWithRequestAndProgress(URLRequest request,
    TextSuccessBlock success, FailureBlock failure, ProgressBlock progress, std::optional<std::uint64_t> maximumBodySize) const
{
    auto operation = NetHTTPRequestOperation::create(std::move(request));
    operation->setSecurityPolicy(newSecurityPolicy());
    std::uint64_t limit = std::min(maximumBodySize.value_or(maximumResponseSize()), maximumResponseSize());
    operation->setOutputStream(CappedOutputStream::create(platform::MemoryOutputStream::create(), limit));
    operation->setCompletionBlockWithSuccess(
        [success = std::move(success)](const std::shared_ptr<NetHTTPRequestOperation>& done, const std::any&) {
            if (success)
                success(done->request(), httpResponse(*done), done->responseString());
        },
        [failure = std::move(failure)](const std::shared_ptr<NetHTTPRequestOperation>& done, const platform::Error& error) {
            if (failure)
                failure(done->request(), httpResponse(*done), error);
        });
    if (progress) {
        std::weak_ptr<NetHTTPRequestOperation> weak = operation;
        operation->setDownloadProgressBlock([weak, progress = std::move(progress)](std::int64_t, std::int64_t total, std::int64_t expected) {
            if (auto self = weak.lock())
                progress(self->request(), httpResponse(*self), total, expected);
        });
    }
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> MorvixHTTPClient::newFileDownloadOperation(const Url& source, const std::string& destinationPath,
    SuccessBlock success, FailureBlock failure, FileProgressBlock progress, std::uint64_t maximumSize) const
{
    auto output = CappedOutputStream::create(platform::FileOutputStream::create(destinationPath, platform::FileMode::Truncate), maximumSize);
    auto operation = newOperationWithRequestAndOutput(requestWithURL(source), std::move(success), std::move(failure), std::move(output));
    if (progress) {
        operation->setDownloadProgressBlock([progress = std::move(progress)](std::int64_t, std::int64_t total, std::int64_t expected) {
            progress(total, expected);
        });
    }
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> MorvixHTTPClient::newFileUploadOperation(const Url& fileURL, const std::string& targetPath,
    SuccessBlock success, FailureBlock failure, FileProgressBlock progress) const
{
    auto refuse = [&](URLRequest request, platform::Error error) -> std::shared_ptr<NetHTTPRequestOperation> {
        // An upload that cannot be built sends nothing, not an empty POST.
        platform::MainLoop::main().post([failure = std::move(failure), request = std::move(request), error = std::move(error)] {
            if (failure)
                failure(request, nullptr, error);
        });
        return nullptr;
    };
    auto target = relativeURLToServer(targetPath);
    if (!target)
        return refuse(URLRequest(), platform::makeURLError(platform::kURLErrorBadURL, targetPath));
    std::optional<platform::Error> appendError;
    std::optional<platform::Error> error;
    auto request = m_manager->requestSerializer()->multipartFormRequestWithMethod("POST", target->absoluteString(), std::nullopt,
        [&](NetMultipartFormData& form) { form.appendPartWithFileURL(fileURL, "file", &appendError); }, &error);
    if (appendError || error || !request)
        return refuse(URLRequest(*target), appendError.value_or(error.value_or(platform::makeURLError(platform::kURLErrorBadURL, targetPath))));
    configureRequest(*request);
    auto operation = m_manager->HTTPRequestOperationWithRequest(std::move(*request), nullptr, nullptr);
    installCompletion(*operation, std::move(success), std::move(failure));
    if (progress) {
        operation->setUploadProgressBlock([progress = std::move(progress)](std::int64_t, std::int64_t total, std::int64_t expected) {
            progress(total, expected);
        });
    }
    m_manager->operationQueue()->addOperation(operation);
    return operation;
}

std::optional<Url> MorvixHTTPClient::relativeURLToServer(const std::string& text) const
{
    if (auto url = Url::parse(text); url && !url->scheme().empty())
        return url;
    if (auto local = localLookup(text))
        return local;
    return resolveToBaseURL(text);
}

std::optional<Url> MorvixHTTPClient::localLookup(const std::string& path) const
{
    auto client = m_client.lock();
    auto roots = client ? client->localResourceRoots() : std::nullopt;
    if (!roots)
        return std::nullopt;
    return lookup(path, platform::BundleInfo::main().resourcePath, *roots);
}

std::optional<Url> MorvixHTTPClient::lookup(const std::string& path, const std::string& appRoot, const std::vector<std::string>& roots)
{
    namespace fs = std::filesystem;
    for (const auto& root : roots) {
        fs::path folder = fs::path(root).is_absolute() ? fs::path(root) : fs::path(appRoot) / root;
        std::error_code error;
        auto base = fs::canonical(fs::absolute(folder, error), error);
        if (error)
            continue;
        // Symbolic links are resolved before the check: a path that leaves its root, by "..",
        // by being absolute or through a link, finds nothing there.
        auto candidate = fs::weakly_canonical(base / path, error);
        if (error || !platform::ConfinedFile::isInside(candidate, base))
            continue;
        if (fs::exists(candidate, error))
            return Url::fileURL(candidate.string());
    }
    return std::nullopt;
}

std::optional<Url> MorvixHTTPClient::resolveToBaseURL(const std::string& text) const
{
    auto base = baseURLValue();
    if (!base)
        return std::nullopt;
    return Url::resolve(*base, text);
}

std::optional<std::string> MorvixHTTPClient::applicationFolder(const std::string& serverURL)
{
    auto server = Url::parse(serverURL);
    if (!server || !server->isFileURL())
        return std::nullopt;
    auto folder = Url::resolve(*server, ".");
    return folder ? platform::ConfinedFile::decodeReference(folder->absoluteString()) : std::nullopt;
}

std::vector<std::string> MorvixHTTPClient::readableFolders() const
{
    std::vector<std::string> folders;
    std::string resources = platform::BundleInfo::main().resourcePath;
    if (m_applicationFolder)
        folders.push_back(*m_applicationFolder);
    if (auto client = m_client.lock()) {
        for (const auto& root : client->localResourceRoots().value_or(std::vector<std::string>())) {
            bool absolute = std::filesystem::path(root).is_absolute();
            folders.push_back(absolute ? root : (std::filesystem::path(resources) / root).string());
        }
    }
    if (!resources.empty())
        folders.push_back(std::move(resources));
    return folders;
}

platform::ConfinedFile::Result MorvixHTTPClient::locateLocalFile(const Url& url, std::uint64_t maximumSize) const
{
    auto result = platform::ConfinedFile::locate(url.absoluteString(), readableFolders(), maximumSize);
    logRefusal(result);
    return result;
}

platform::ConfinedFile::Result MorvixHTTPClient::readLocalFile(const Url& url, std::uint64_t maximumSize) const
{
    auto result = platform::ConfinedFile::read(url.absoluteString(), readableFolders(), maximumSize);
    logRefusal(result);
    return result;
}

void MorvixHTTPClient::logRefusal(const platform::ConfinedFile::Result& result) const
{
    auto client = m_client.lock();
    if (result || !client)
        return;
    if (auto entry = LogEntry::entryWithWarning("refused a local file: " + result.reason))
        client->log(*entry);
}

std::uint64_t MorvixHTTPClient::maximumResponseSize() const
{
    auto client = m_client.lock();
    return client ? client->maximumResponseSize() : MorvixClient::kDefaultMaximumResponseSize;
}

std::shared_ptr<platform::Image> MorvixHTTPClient::imageFromPath(const std::string& path) const
{
    auto url = relativeURLToServer(path);
    if (!url)
        return nullptr;
    // Local files are read only inside the readable folders, and then with the image reader's
    // size cap.
    if (url->isFileURL()) {
        auto file = locateLocalFile(*url, platform::ConfinedFile::kDefaultMaximumSize);
        return file ? platform::Image::readFile(file.path) : nullptr;
    }
    platform::URLConnection::SynchronousLimits limits;
    limits.maximumBodySize = maximumResponseSize();
    limits.deadline = kPictureDeadline;
    auto result = platform::URLConnection::sendSynchronousRequest(requestWithURL(*url), limits);
    if (result.error || result.data.empty())
        return nullptr;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(result.data.data());
    return platform::Image::decode(std::span(bytes, result.data.size()));
}

std::shared_ptr<NetHTTPRequestOperation> MorvixHTTPClient::newImageOperation(const Url& url, ImageBlock done) const
{
    auto request = requestWithURL(url);
    request.setValueForHeader("image/*", "Accept");
    auto operation = NetHTTPRequestOperation::create(std::move(request));
    operation->setSecurityPolicy(newSecurityPolicy());
    operation->setOutputStream(CappedOutputStream::create(platform::MemoryOutputStream::create(), maximumResponseSize()));
    // A picture is known by its signature, as `imageFromPath` knows it; it is decoded once, as
    // it arrived, since the decoder's bitmaps are ready to draw.
    auto serializer = NetImageResponseSerializer::serializer();
    serializer->setAcceptableContentTypes(std::nullopt);
    serializer->setImageScale(1);
    serializer->setAutomaticallyInflatesResponseImage(false);
    operation->setResponseSerializer(std::move(serializer));
    operation->setCompletionBlockWithSuccess(
        [done](const std::shared_ptr<NetHTTPRequestOperation>&, const std::any& object) {
            auto* image = std::any_cast<std::shared_ptr<platform::Image>>(&object);
            done(image ? *image : nullptr);
        },
        [done](const std::shared_ptr<NetHTTPRequestOperation>& failed, const platform::Error&) {
            if (!failed->isCancelled())
                done(nullptr);
        });
    return operation;
}

void MorvixHTTPClient::deleteCookies() const
{
    auto url = sessionURL();
    if (!url || url->host().empty())
        return;
    // Connections are started on the network thread in the order handed over, so a request
    // started after this call no longer finds the cookies.
    platform::NetworkThread::shared().perform([url = *url] { removeCookiesFor(url); });
}

void MorvixHTTPClient::cancelAllOperations()
{
    m_manager->operationQueue()->cancelAllOperations();
}

void MorvixHTTPClient::reset()
{
    cancelAllOperations();
    deleteCookies();
    clearCache();
}

std::int32_t MorvixHTTPClient::reachabilityStatus() const
{
    long status = internalNetworkReachabilityStatus();
    return status >= -1 && status <= 2 ? static_cast<std::int32_t>(status) : -1;
}

long MorvixHTTPClient::internalNetworkReachabilityStatus() const
{
    auto reachability = m_manager->reachabilityManager();
    return reachability ? static_cast<long>(reachability->networkReachabilityStatus()) : -1;
}

} // namespace morvix
