#pragma once
// The response-decoding interface of the HTTP layer, its error vocabulary and error helpers.

#include "platform/foundation/Error.h"

#include <any>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {
class URLResponse;
}

namespace morvix {

/// The error domain of response validation and decoding.
inline constexpr const char* NetURLResponseSerializationErrorDomain = "com.pelvarine.error.serialization.response";
/// User-info key of a validation error: the failing response (`std::shared_ptr<const platform::URLResponse>`).
inline constexpr const char* NetworkingOperationFailingURLResponseErrorKey = "com.pelvarine.serialization.response.error.response";
/// User-info key of a validation error: the body (`std::string`), present only when there was one.
inline constexpr const char* NetworkingOperationFailingURLResponseDataErrorKey = "com.pelvarine.serialization.response.error.data";

/// The URL-loading codes the serializers report.
inline constexpr long NetURLErrorBadServerResponse = -1011;
inline constexpr long NetURLErrorCannotDecodeContentData = -1016;

/// Turns a received response and its body into a response object. Implementations are called
/// concurrently on the HTTP layer's processing queue, so they must not change while in use and
/// keep no per-call state.
///
/// A response object is a `std::any`: empty means "no object". Which type it holds depends on
/// the serializer (the raw body as `std::string`, a `platform::Value`, an image, a parser).
class NetURLResponseSerialization {
public:
    virtual ~NetURLResponseSerialization() = default;

    /// Decodes `data` (null when no body was received) for `response` (null when there was
    /// none). When `error` is given it receives the validation or decoding error, if any; it is
    /// left alone when there is none.
    virtual std::any responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
        const std::string* data, std::optional<platform::Error>* error) const = 0;
};

/// Chains `underlying` under `error`: `error` alone when `underlying` is nothing, `underlying`
/// when `error` is nothing, `error` unchanged when it already has an underlying error, and
/// otherwise a copy of `error` whose underlying error is `underlying`.
std::optional<platform::Error> NetErrorWithUnderlyingError(std::optional<platform::Error> error,
    std::optional<platform::Error> underlying);

/// The error of a serializer that decoded a body after validating its response: a status
/// outside the acceptable codes stays in front, so that the failure reads as the status it was
/// ("Request failed: ... (500)"), with `decodingError` chained under it; otherwise
/// `decodingError` comes first with `validationError` under it, as `NetErrorWithUnderlyingError`
/// chains them.
std::optional<platform::Error> NetDecodingErrorAfterValidation(std::optional<platform::Error> decodingError,
    std::optional<platform::Error> validationError);

/// True when `error`, or an error reached through its chain of underlying errors, is a
/// content-type rejection (domain `NetURLResponseSerializationErrorDomain`, code -1016).
bool NetErrorOrUnderlyingErrorHasCodeInDomain(const std::optional<platform::Error>& error);

/// Looks `key` up in the string table "Networking". The library ships no translations, so the
/// key itself is the text.
std::string NetLocalizedString(const std::string& key);

} // namespace morvix
