#pragma once
// The request-building interface of the HTTP layer.

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"

#include <optional>

namespace morvix {

/// The error domain of request serialisation.
inline constexpr const char* NetURLRequestSerializationErrorDomain = "com.pelvarine.error.serialization.request";
/// A user-information key for the request an operation failed with; nothing here writes it.
inline constexpr const char* NetworkingOperationFailingURLRequestErrorKey = "com.pelvarine.serialization.request.error.response";

/// Turns a request and a parameter dictionary into the request to send.
class NetURLRequestSerialization {
public:
    virtual ~NetURLRequestSerialization() = default;

    /// `request` with `parameters` (nothing for none) encoded into it; nothing when encoding
    /// failed, with the reason in `error` when given.
    virtual std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
        const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const = 0;
};

} // namespace morvix
