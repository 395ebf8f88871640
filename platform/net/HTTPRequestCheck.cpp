#include "platform/net/HTTPRequestCheck.h"

namespace morvix::platform {

bool HTTPRequestCheck::isToken(std::string_view text)
{
    // A header name follows the same rule, and an empty value passes the value's.
    return !HTTPHeaders::validate(text, {}).has_value();
}

std::optional<Error> HTTPRequestCheck::validateMethod(std::string_view method)
{
    if (isToken(method))
        return std::nullopt;
    return Error(HTTPHeaderErrorDomain, kHTTPHeaderErrorInvalidMethod, "The request method is not valid.",
        "\"" + std::string(method) + "\" is not an HTTP token");
}

std::optional<Error> HTTPRequestCheck::validate(std::string_view method, const std::vector<HTTPHeaders::Field>& fields)
{
    if (auto error = validateMethod(method))
        return error;
    for (const auto& [name, value] : fields) {
        if (auto error = HTTPHeaders::validate(name, value))
            return error;
    }
    return std::nullopt;
}

} // namespace morvix::platform
