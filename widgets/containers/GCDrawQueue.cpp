#include "widgets/containers/GCDrawQueue.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/Image.h"
#include "platform/net/URLRequest.h"
#include "platform/net/Url.h"
#include "widgets/images/ImageCache.h"
#include "widgets/images/ImageViewMorvix.h"

#include <exception>

namespace morvix {

using platform::Value;

namespace {

std::int64_t pixelsOf(const platform::Image& image)
{
    return std::int64_t(image.pixelWidth()) * image.pixelHeight();
}

platform::URLRequest cacheKey(const std::string& url)
{
    return platform::URLRequest(platform::Url::parse(url));
}

} // namespace

std::shared_ptr<GCDrawQueue> GCDrawQueue::create(std::string objectId, Runner runner)
{
    return std::shared_ptr<GCDrawQueue>(new GCDrawQueue(std::move(objectId), std::move(runner)));
}

GCDrawQueue::GCDrawQueue(std::string objectId, Runner runner)
    : m_objectId(std::move(objectId))
    , m_runner(std::move(runner))
{
}

GCDrawQueue::~GCDrawQueue()
{
    for (auto& [url, fetch] : m_fetches) {
        if (fetch.operation)
            fetch.operation->cancel();
    }
}

void GCDrawQueue::add(const Value& operations, const std::shared_ptr<ClientContext>& session)
{
    auto self = shared_from_this();
    m_session = session;
    if (!m_heldShare.isBound() && session)
        m_heldShare = session->sessionBudget()->share(platform::SessionBudget::Resource::BitmapPixels);
    List list;
    list.deadline = platform::Clock::current()->now() + MorvixHTTPClient::kPictureDeadline;
    if (session)
        findPictures(list, operations, *session);
    if (m_waiting.empty() && isReady(list))
        return run(list, operations, Failures::Propagate);
    if (m_waiting.size() >= kMaximumWaitingLists)
        runOldest();
    list.operations = operations;
    m_waiting.push_back(std::move(list));
    advance();
}

void GCDrawQueue::flush()
{
    auto self = shared_from_this();
    m_deadline.stop();
    while (!m_waiting.empty())
        runOldest();
}

std::shared_ptr<platform::Image> GCDrawQueue::picture(const std::string& path)
{
    if (!m_running)
        return nullptr;
    auto found = m_running->pictures.find(path);
    if (found == m_running->pictures.end())
        return nullptr;
    const auto& picture = found->second;
    if (picture.source == List::Source::Network) {
        auto fetch = m_fetches.find(picture.url);
        return fetch != m_fetches.end() ? fetch->second.image : nullptr;
    }
    if (picture.source == List::Source::Missing)
        return nullptr;
    // A file is decoded once per list, and held while the list runs.
    auto [memo, added] = m_localPictures.try_emplace(path);
    auto session = m_session.lock();
    if (!added || !session)
        return memo->second;
    memo->second = hold(session->imageFromPath(path), path);
    return memo->second;
}

void GCDrawQueue::findPictures(List& list, const Value& operations, const ClientContext& session)
{
    if (!operations.is_array())
        return;
    for (const auto& operation : operations) {
        if (!operation.is_array() || operation.size() < 2 || operation[0] != "drawImage" || !operation[1].is_string())
            continue;
        const auto& path = operation[1].get_ref<const std::string&>();
        if (list.pictures.contains(path))
            continue;
        auto url = session.relativeURLToServer(path);
        if (url && url->isHTTP())
            addNetworkPicture(list, path, url->absoluteString(), session);
        else
            list.pictures.emplace(path, List::Picture { List::Source::File, {} });
    }
}

void GCDrawQueue::addNetworkPicture(List& list, const std::string& path, const std::string& url, const ClientContext& session)
{
    auto http = session.httpClient();
    auto& picture = list.pictures[path];
    if (!http)
        return; // no session to fetch it with: missing
    if (list.networkPictures >= kMaximumPicturesPerList) {
        warn(platform::format("GC %@ draws the picture \"%@\" as missing: one list fetches at most %@ pictures", m_objectId,
            path, static_cast<long long>(kMaximumPicturesPerList)));
        return;
    }
    ++list.networkPictures;
    picture = { List::Source::Network, url };
    auto [found, added] = m_fetches.try_emplace(url);
    auto& fetch = found->second;
    ++fetch.lists;
    if (!added)
        return;
    if (auto cached = ImageViewMorvix::sharedImageCache()->cachedImageForRequest(cacheKey(url))) {
        // Image views cache pictures at the scale their value asked for; a drawing context
        // draws one pixel to the point, as it decodes them itself.
        fetch.done = true;
        fetch.image = hold(cached->scale() == 1 ? cached : cached->withScale(1, cached->orientation()), url);
        return;
    }
    auto parsed = platform::Url::parse(url);
    fetch.operation = http->newImageOperation(*parsed, [weak = weak_from_this(), url](std::shared_ptr<platform::Image> image) {
        if (auto self = weak.lock())
            self->pictureArrived(url, std::move(image));
    });
    fetch.operation->start();
}

std::unordered_map<std::string, GCDrawQueue::Fetch>::iterator GCDrawQueue::fetchOf(const List::Picture& picture)
{
    return picture.source == List::Source::Network ? m_fetches.find(picture.url) : m_fetches.end();
}

bool GCDrawQueue::isReady(const List& list)
{
    for (const auto& [path, picture] : list.pictures) {
        auto fetch = fetchOf(picture);
        if (fetch != m_fetches.end() && !fetch->second.done)
            return false;
    }
    return true;
}

void GCDrawQueue::runOldest()
{
    List list = std::move(m_waiting.front());
    m_waiting.pop_front();
    for (const auto& [path, picture] : list.pictures) {
        auto fetch = fetchOf(picture);
        if (fetch == m_fetches.end() || fetch->second.done)
            continue;
        fetch->second.done = true; // given up: drawn as missing
        if (auto operation = std::move(fetch->second.operation))
            operation->cancel();
    }
    run(list, list.operations, Failures::Log);
}

void GCDrawQueue::run(List& list, const Value& operations, Failures failures)
{
    // The list's pictures are let go however the run ends.
    struct Release {
        GCDrawQueue& queue;
        List& list;
        ~Release()
        {
            queue.m_running = nullptr;
            for (const auto& [path, image] : queue.m_localPictures) {
                if (image)
                    queue.letGo(*image);
            }
            queue.m_localPictures.clear();
            queue.release(list);
        }
    } release { *this, list };
    m_running = &list;
    m_warnings = 0;
    if (failures == Failures::Propagate)
        return m_runner(operations);
    try {
        m_runner(operations);
    } catch (const platform::Exception& exception) {
        logFailure(exception.name(), exception.reason());
    } catch (const std::exception& exception) {
        logFailure("std::exception", exception.what());
    }
}

void GCDrawQueue::release(const List& list)
{
    for (const auto& [path, picture] : list.pictures) {
        auto fetch = fetchOf(picture);
        if (fetch == m_fetches.end() || --fetch->second.lists > 0)
            continue;
        if (fetch->second.operation)
            fetch->second.operation->cancel();
        if (fetch->second.image)
            letGo(*fetch->second.image);
        m_fetches.erase(fetch);
    }
}

void GCDrawQueue::pictureArrived(const std::string& url, std::shared_ptr<platform::Image> image)
{
    auto found = m_fetches.find(url);
    if (found == m_fetches.end() || found->second.done)
        return;
    auto& fetch = found->second;
    fetch.done = true;
    fetch.operation.reset();
    if (image)
        ImageViewMorvix::sharedImageCache()->cacheImage(image, cacheKey(url));
    fetch.image = hold(std::move(image), url);
    advance();
}

void GCDrawQueue::advance()
{
    auto self = shared_from_this();
    auto now = platform::Clock::current()->now();
    while (!m_waiting.empty() && (isReady(m_waiting.front()) || m_waiting.front().deadline <= now))
        runOldest();
    m_deadline.stop();
    if (!m_waiting.empty())
        m_deadline.start(m_waiting.front().deadline - now, platform::Repeat::No, [this] { advance(); });
}

std::shared_ptr<platform::Image> GCDrawQueue::hold(std::shared_ptr<platform::Image> image, const std::string& name)
{
    if (!image)
        return nullptr;
    auto pixels = pixelsOf(*image);
    if (m_heldPixels + pixels > kMaximumHeldPixels) {
        warn(platform::format("GC %@ draws the picture \"%@\" as missing: its pictures would hold more than %@ pixels",
            m_objectId, name, static_cast<long long>(kMaximumHeldPixels)));
        return nullptr;
    }
    if (!m_heldShare.grow(static_cast<std::uint64_t>(pixels))) {
        warn(platform::format("GC %@ draws the picture \"%@\" as missing: it would take the session's bitmaps past %@ pixels",
            m_objectId, name, static_cast<long long>(m_heldShare.limit())));
        return nullptr;
    }
    m_heldPixels += pixels;
    return image;
}

void GCDrawQueue::letGo(const platform::Image& image)
{
    auto pixels = pixelsOf(image);
    m_heldPixels -= pixels;
    auto held = m_heldShare.amount();
    (void)m_heldShare.resize(held > static_cast<std::uint64_t>(pixels) ? held - static_cast<std::uint64_t>(pixels) : 0);
}

void GCDrawQueue::warn(std::string message)
{
    // A list of thousands of pictures past the bounds is worth a few lines, not thousands.
    if (m_warnings >= kMaximumWarnings)
        return;
    ++m_warnings;
    if (auto session = m_session.lock())
        session->log(LogEntry(std::move(message), LogEntry::Type::Warning));
}

void GCDrawQueue::logFailure(const std::string& name, const std::string& reason) const
{
    // As the operation dispatcher reports what a call threw.
    std::string line = platform::format("catching '%@' reason '%@'", name, reason);
    platform::systemLog(line);
    if (auto session = m_session.lock())
        session->log(LogEntry(std::move(line), LogEntry::Type::Error));
}

} // namespace morvix
