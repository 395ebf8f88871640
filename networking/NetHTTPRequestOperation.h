#pragma once
// An HTTP exchange with response validation and decoding.

#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetURLConnectionOperation.h"

#include <any>
#include <functional>
#include <memory>
#include <optional>

namespace morvix::platform {
class HTTPURLResponse;
}

namespace morvix {

/// A URL connection operation whose response goes through a response serializer (the base
/// `NetHTTPResponseSerializer` unless set) and whose outcome reaches exactly one of a success
/// and a failure block.
///
/// Usage:
///     auto operation = NetHTTPRequestOperation::create(request);
///     operation->setResponseSerializer(NetJSONResponseSerializer::serializer());
///     operation->setCompletionBlockWithSuccess(
///         [](auto& operation, const std::any& object) { ... },
///         [](auto& operation, const platform::Error& error) { ... });
///     operation->start();
///
/// Rules:
///  1. The serializer runs once the operation has finished without a transfer error, on the
///     first read of `responseObject`: with completion blocks installed that read happens on
///     the shared processing queue (the global concurrent queue), off the network thread and
///     off the main loop. The one exception is the base serializer with a body of at most
///     `kInPlaceValidationLimit` bytes: it decodes nothing, so it validates where the completion
///     runs (the main loop when no queue is set), which spares the round trip to the processing
///     queue on every exchange.
///  2. Exactly one of success and failure is called (none when that block is null), on the
///     completion queue (the main loop when none), as a member of the completion group (a
///     shared HTTP completion group when none). A transfer error, a validation error (status
///     outside the acceptable codes) or a decoding error goes to failure. Without a completion
///     queue, a delivery that is already on the main loop calls the block there at once.
///  3. With a completion group, the group stays entered from the start of processing until
///     success or failure has been submitted, so a caller waiting on it sees the whole delivery.
///
/// Thread safety: any thread. `responseObject` and `setResponseSerializer` take the
/// operation's lock; serializers are called while it is held.
class NetHTTPRequestOperation : public NetURLConnectionOperation {
public:
    using SuccessBlock = std::function<void(const std::shared_ptr<NetHTTPRequestOperation>& operation, const std::any& responseObject)>;
    using FailureBlock = std::function<void(const std::shared_ptr<NetHTTPRequestOperation>& operation, const platform::Error& error)>;

    /// The largest body the base serializer validates without leaving the completion's thread.
    static constexpr std::size_t kInPlaceValidationLimit = 64 * 1024;

    static std::shared_ptr<NetHTTPRequestOperation> create(platform::URLRequest request);

    /// The shared group of deliveries of operations without a completion group of their own.
    static std::shared_ptr<platform::DispatchGroup> httpCompletionGroup();

    std::shared_ptr<NetHTTPResponseSerializer> responseSerializer() const;
    /// Replaces the serializer and forgets the decoded object and its error, so that the next
    /// read of `responseObject` decodes again. Null restores the base serializer.
    void setResponseSerializer(std::shared_ptr<NetHTTPResponseSerializer> serializer);

    /// The decoded response; empty before the operation has finished, after a transfer error,
    /// or when the serializer made no object.
    std::any responseObject();
    /// The serializer's error from the last decoding, if any.
    std::optional<platform::Error> responseSerializationError() const;
    /// The serialization error when there is one, else the transfer error.
    std::optional<platform::Error> error() const override;
    /// The response, when it is an HTTP one.
    std::shared_ptr<const platform::HTTPURLResponse> response() const;

    /// Installs the delivery of rule 2 as the operation's completion block. A started operation
    /// stays alive until the delivery has run, even when the caller drops it; one that is never
    /// started is simply released. Either block may be null.
    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure);

    /// Pauses the transfer and rewrites the request so that `resume` asks only for the rest:
    /// "Range: bytes=<offset>-" with the bytes already in the output stream, and "If-Range" with
    /// the response's "ETag" when it had one. A running transfer is stopped first, and its
    /// request is rewritten on the network thread once no more bytes can arrive; the request of
    /// a ready or finished operation is rewritten before `pause` returns (a finished one is
    /// rewritten even though it cannot pause). A cancelled transfer's request is left alone.
    void pause() override;

    /// The base class's copy, with a copy of the response serializer.
    std::shared_ptr<NetURLConnectionOperation> copy() const override;

    /// Archiving: the base class's keys and "responseSerializer" (any HTTP response serializer).
    static constexpr const char* kArchiveClassName = "NetHTTPRequestOperation";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeWithCoder(platform::KeyedUnarchiver& coder) override;

protected:
    std::shared_ptr<NetURLConnectionOperation> makeWithRequest(platform::URLRequest request) const override;
    explicit NetHTTPRequestOperation(platform::URLRequest request);
    std::string className() const override { return "NetHTTPRequestOperation"; }
    void didPauseTransfer(std::int64_t bytesInStream) override;

private:
    void deliver(const SuccessBlock& success, const FailureBlock& failure);
    /// Whether the response may be validated on the thread the completion runs on (rule 1).
    bool validatesInPlace() const;
    void askForTheRestAfter(std::int64_t bytesInStream);

    // Guarded by the operation's lock.
    std::shared_ptr<NetHTTPResponseSerializer> m_responseSerializer;
    std::any m_responseObject;
    std::optional<platform::Error> m_responseSerializationError;
};

} // namespace morvix
