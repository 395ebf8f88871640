#include "platform/foundation/Error.h"

namespace morvix::platform {

Error::Error(std::string domain, long code)
    : m_domain(std::move(domain))
    , m_code(code)
{
}

Error::Error(std::string domain, long code, std::string description, std::string failureReason)
    : Error(std::move(domain), code)
{
    setDescription(std::move(description));
    if (!failureReason.empty())
        setFailureReason(std::move(failureReason));
}

std::string Error::description() const
{
    if (auto text = value<std::string>(kDescriptionKey))
        return *text;
    return "The operation couldn't be completed. (" + m_domain + " error " + std::to_string(m_code) + ".)";
}

bool Error::hasDescription() const
{
    auto text = value<std::string>(kDescriptionKey);
    return text && !text->empty();
}

void Error::setDescription(std::string description)
{
    set(kDescriptionKey, std::move(description));
}

std::optional<std::string> Error::failureReason() const
{
    if (auto text = value<std::string>(kFailureReasonKey))
        return *text;
    return std::nullopt;
}

void Error::setFailureReason(std::string reason)
{
    set(kFailureReasonKey, std::move(reason));
}

std::optional<std::string> Error::recoverySuggestion() const
{
    if (auto text = value<std::string>(kRecoverySuggestionKey))
        return *text;
    return std::nullopt;
}

void Error::setRecoverySuggestion(std::string suggestion)
{
    set(kRecoverySuggestionKey, std::move(suggestion));
}

std::shared_ptr<const Error> Error::underlyingError() const
{
    if (auto error = value<std::shared_ptr<const Error>>(kUnderlyingErrorKey))
        return *error;
    return nullptr;
}

void Error::setUnderlyingError(Error error)
{
    set(kUnderlyingErrorKey, std::shared_ptr<const Error>(std::make_shared<Error>(std::move(error))));
}

std::optional<std::string> Error::failingURL() const
{
    if (auto url = value<std::string>(kFailingURLKey))
        return *url;
    return std::nullopt;
}

void Error::setFailingURL(std::string url)
{
    set(kFailingURLKey, std::move(url));
}

} // namespace morvix::platform
