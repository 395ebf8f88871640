#pragma once
// The one check that a request's method and header fields can go on the wire as they are.

#include "platform/foundation/Error.h"
#include "platform/net/HTTPHeaders.h"

#include <optional>
#include <string_view>
#include <vector>

namespace morvix::platform {

/// The code of a method refused by HTTPRequestCheck, in HTTPHeaderErrorDomain beside the
/// header codes.
inline constexpr long kHTTPHeaderErrorInvalidMethod = 3;

/// What may be written into a request's head: a method that is an HTTP token (so "GET\r\nX"
/// cannot start a second line), header names that are tokens and header values without CR,
/// LF or NUL (`HTTPHeaders::validate`). URLConnection refuses a request whose method fails;
/// HTTPHeaders refuses such fields when they are set. Any thread.
class HTTPRequestCheck final {
public:
    HTTPRequestCheck() = delete;

    /// Why `method` cannot be a request method (empty, or a character outside the token set),
    /// or nothing.
    static std::optional<Error> validateMethod(std::string_view method);
    /// The method first, then each field in order: the first refusal, or nothing.
    static std::optional<Error> validate(std::string_view method, const std::vector<HTTPHeaders::Field>& fields);
    /// Whether every character of `text` (not empty) belongs to the HTTP token set.
    static bool isToken(std::string_view text);
};

} // namespace morvix::platform
