#include "networking/NetHTTPRequestOperation.h"

#include "networking/NetArchiving.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/OutputStream.h"

#include <typeinfo>

namespace morvix {

namespace {

// Decoding runs here: several operations may decode at once, away from the network thread
// and the main loop.
const platform::DispatchQueue& processingQueue()
{
    static const platform::DispatchQueue queue = platform::globalDispatchQueue();
    return queue;
}

} // namespace

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperation::create(platform::URLRequest request)
{
    return std::shared_ptr<NetHTTPRequestOperation>(new NetHTTPRequestOperation(std::move(request)));
}

NetHTTPRequestOperation::NetHTTPRequestOperation(platform::URLRequest request)
    : NetURLConnectionOperation(std::move(request))
    , m_responseSerializer(NetHTTPResponseSerializer::serializer())
{
}

std::shared_ptr<NetURLConnectionOperation> NetHTTPRequestOperation::makeWithRequest(platform::URLRequest request) const
{
    return create(std::move(request));
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetHTTPRequestOperation>(NetURLConnectionOperation::kArchiveClassName,
    [](platform::KeyedUnarchiver& coder) {
        auto request = coder.decodeObject<NetArchivedURLRequest>("request");
        return request ? NetHTTPRequestOperation::create(request->request()) : nullptr;
    });

} // namespace

void NetHTTPRequestOperation::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetURLConnectionOperation::encodeWithCoder(coder);
    if (auto serializer = responseSerializer())
        coder.encodeObject(*serializer, "responseSerializer");
}

void NetHTTPRequestOperation::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    NetURLConnectionOperation::decodeWithCoder(coder);
    if (coder.error() || !coder.contains("responseSerializer"))
        return;
    if (auto serializer = coder.decodeObject<NetHTTPResponseSerializer>("responseSerializer"))
        setResponseSerializer(std::move(serializer));
}

std::shared_ptr<NetURLConnectionOperation> NetHTTPRequestOperation::copy() const
{
    auto copy = NetURLConnectionOperation::copy();
    static_cast<NetHTTPRequestOperation&>(*copy).setResponseSerializer(responseSerializer()->copy());
    return copy;
}

std::shared_ptr<platform::DispatchGroup> NetHTTPRequestOperation::httpCompletionGroup()
{
    static const auto group = platform::DispatchGroup::create();
    return group;
}

std::shared_ptr<NetHTTPResponseSerializer> NetHTTPRequestOperation::responseSerializer() const
{
    std::lock_guard guard(lock());
    return m_responseSerializer;
}

void NetHTTPRequestOperation::setResponseSerializer(std::shared_ptr<NetHTTPResponseSerializer> serializer)
{
    std::lock_guard guard(lock());
    m_responseSerializer = serializer ? std::move(serializer) : NetHTTPResponseSerializer::serializer();
    m_responseObject.reset();
    m_responseSerializationError.reset();
}

std::any NetHTTPRequestOperation::responseObject()
{
    std::lock_guard guard(lock());
    if (!m_responseObject.has_value() && isFinished() && !error()) {
        const std::optional<std::string>& data = responseDataWhileLocked();
        std::optional<platform::Error> serializationError;
        m_responseObject = m_responseSerializer->responseObjectForResponse(NetURLConnectionOperation::response(),
            data ? &*data : nullptr, &serializationError);
        if (serializationError)
            m_responseSerializationError = std::move(serializationError);
    }
    return m_responseObject;
}

std::optional<platform::Error> NetHTTPRequestOperation::responseSerializationError() const
{
    std::lock_guard guard(lock());
    return m_responseSerializationError;
}

std::optional<platform::Error> NetHTTPRequestOperation::error() const
{
    if (auto serializationError = responseSerializationError())
        return serializationError;
    return NetURLConnectionOperation::error();
}

std::shared_ptr<const platform::HTTPURLResponse> NetHTTPRequestOperation::response() const
{
    return std::dynamic_pointer_cast<const platform::HTTPURLResponse>(NetURLConnectionOperation::response());
}

void NetHTTPRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure)
{
    // The block needs no strong hold on the operation: the network thread keeps a running
    // operation alive and the base keeps a finished one alive until its completion has run. A
    // weak hold lets an operation that is dropped without ever being started go away.
    std::weak_ptr<NetHTTPRequestOperation> weak = std::static_pointer_cast<NetHTTPRequestOperation>(strongSelf());
    setCompletionBlock([weak, success = std::move(success), failure = std::move(failure)] {
        auto self = weak.lock();
        if (!self)
            return;
        if (self->validatesInPlace())
            return self->deliver(success, failure);
        auto group = self->completionGroup();
        if (group)
            group->enter();
        processingQueue()([self, success, failure, group] {
            self->deliver(success, failure);
            if (group)
                group->leave();
        });
    });
}

bool NetHTTPRequestOperation::validatesInPlace() const
{
    std::lock_guard guard(lock());
    if (!m_responseSerializer || typeid(*m_responseSerializer) != typeid(NetHTTPResponseSerializer))
        return false;
    const auto& data = responseDataWhileLocked();
    return !data || data->size() <= kInPlaceValidationLimit;
}

void NetHTTPRequestOperation::deliver(const SuccessBlock& success, const FailureBlock& failure)
{
    platform::DispatchQueue queue = completionQueue();
    if (!queue)
        queue = platform::mainDispatchQueue();
    auto group = completionGroup();
    if (!group)
        group = httpCompletionGroup();
    // Already on the main loop with no queue of the caller's: the block runs here, in this turn.
    const bool here = !completionQueue() && platform::isMainThread();
    auto submit = [&](std::function<void()> block) {
        if (!here)
            return group->async(queue, std::move(block));
        group->enter();
        block();
        group->leave();
    };
    auto self = std::static_pointer_cast<NetHTTPRequestOperation>(strongSelf());
    auto deliverFailure = [&](platform::Error error) {
        if (failure)
            submit([self, failure, error = std::move(error)] { failure(self, error); });
    };
    if (auto transferError = error())
        return deliverFailure(std::move(*transferError));
    std::any object = responseObject();
    if (auto serializationError = error())
        return deliverFailure(std::move(*serializationError));
    if (success)
        submit([self, success, object = std::move(object)] { success(self, object); });
}

void NetHTTPRequestOperation::pause()
{
    std::lock_guard guard(lock());
    // The stream of a running transfer belongs to the network thread until the transfer has
    // stopped there; `didPauseTransfer` rewrites the request then.
    if (isTransferAttached())
        return NetURLConnectionOperation::pause();
    NetURLConnectionOperation::pause();
    askForTheRestAfter(bytesInOutputStream());
}

void NetHTTPRequestOperation::didPauseTransfer(std::int64_t bytesInStream)
{
    askForTheRestAfter(bytesInStream);
}

void NetHTTPRequestOperation::askForTheRestAfter(std::int64_t bytesInStream)
{
    auto offset = static_cast<unsigned long long>(bytesInStream);
    platform::URLRequest rewritten = request();
    if (auto httpResponse = response()) {
        if (auto tag = httpResponse->valueForHeader("ETag"))
            rewritten.setValueForHeader(*tag, "If-Range");
    }
    rewritten.setValueForHeader(platform::format("bytes=%llu-", offset), "Range");
    setRequest(std::move(rewritten));
}

} // namespace morvix
