#include "networking/NetHTTPResponseSerializer.h"

#include "networking/NetArchiving.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/net/HTTPURLResponse.h"

namespace morvix {

namespace {

platform::Error validationError(long code, std::string description, const platform::HTTPURLResponse& response,
    const std::shared_ptr<const platform::URLResponse>& shared, const std::string* data)
{
    platform::Error error(NetURLResponseSerializationErrorDomain, code, std::move(description));
    error.setFailingURL(response.url()->absoluteString());
    error.set(NetworkingOperationFailingURLResponseErrorKey, shared);
    if (data)
        error.set(NetworkingOperationFailingURLResponseDataErrorKey, *data);
    return error;
}

} // namespace

std::shared_ptr<NetHTTPResponseSerializer> NetHTTPResponseSerializer::serializer()
{
    return std::shared_ptr<NetHTTPResponseSerializer>(new NetHTTPResponseSerializer);
}

NetHTTPResponseSerializer::NetHTTPResponseSerializer()
{
    // Every operation makes a serializer: the set is built once and copied, which walks no tree.
    static const std::set<int> kSuccessCodes = [] {
        std::set<int> codes;
        for (int code = 200; code < 300; ++code)
            codes.insert(codes.end(), code);
        return codes;
    }();
    m_acceptableStatusCodes = kSuccessCodes;
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetHTTPResponseSerializer>("",
    [](platform::KeyedUnarchiver&) { return NetHTTPResponseSerializer::serializer(); });

} // namespace

void NetHTTPResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    if (m_acceptableStatusCodes)
        coder.encodeValue(platform::Value(*m_acceptableStatusCodes), "acceptableStatusCodes");
    if (m_acceptableContentTypes)
        coder.encodeValue(platform::Value(*m_acceptableContentTypes), "acceptableContentTypes");
}

void NetHTTPResponseSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    std::optional<std::set<int>> codes;
    std::optional<std::set<std::string>> types;
    auto refuse = [&](const char* key) { coder.fail(platform::kKeyedArchiveValueError, std::string("\"") + key + "\" is not a set of its kind"); };
    if (coder.contains("acceptableStatusCodes")) {
        auto list = coder.decodeValue("acceptableStatusCodes");
        if (!list || !list->is_array())
            return refuse("acceptableStatusCodes");
        codes.emplace();
        for (const auto& code : *list) {
            if (!code.is_number_integer() || code.get<std::int64_t>() < 0 || code.get<std::int64_t>() > 999)
                return refuse("acceptableStatusCodes");
            codes->insert(code.get<int>());
        }
    }
    if (coder.contains("acceptableContentTypes")) {
        auto list = coder.decodeValue("acceptableContentTypes");
        if (!list || !list->is_array())
            return refuse("acceptableContentTypes");
        types.emplace();
        for (const auto& type : *list) {
            if (!type.is_string())
                return refuse("acceptableContentTypes");
            types->insert(type.get<std::string>());
        }
    }
    m_acceptableStatusCodes = std::move(codes);
    m_acceptableContentTypes = std::move(types);
}

std::shared_ptr<NetHTTPResponseSerializer> NetHTTPResponseSerializer::copy() const
{
    auto other = serializer();
    copyValidationSetsTo(*other);
    return other;
}

void NetHTTPResponseSerializer::copyValidationSetsTo(NetHTTPResponseSerializer& other) const
{
    other.m_acceptableStatusCodes = m_acceptableStatusCodes;
    other.m_acceptableContentTypes = m_acceptableContentTypes;
}

bool NetHTTPResponseSerializer::validateResponse(const std::shared_ptr<const platform::URLResponse>& shared,
    const std::string* data, std::optional<platform::Error>* error) const
{
    auto* response = dynamic_cast<const platform::HTTPURLResponse*>(shared.get());
    if (!response)
        return true;
    bool valid = true;
    bool hasURL = response->url().has_value();
    std::optional<platform::Error> contentTypeError;
    if (m_acceptableContentTypes) {
        auto mimeType = response->mimeType();
        if (!mimeType || !m_acceptableContentTypes->count(*mimeType)) {
            if (data && !data->empty() && hasURL) {
                std::string text = platform::format(NetLocalizedString("Request failed: unacceptable content-type: %@"),
                    mimeType ? platform::FormatArg(*mimeType) : platform::FormatArg(nullptr));
                contentTypeError = validationError(NetURLErrorCannotDecodeContentData, std::move(text), *response, shared, data);
            }
            valid = false;
        }
    }
    std::optional<platform::Error> result = contentTypeError;
    int status = response->statusCode();
    if (m_acceptableStatusCodes && !m_acceptableStatusCodes->count(status) && hasURL) {
        std::string text = platform::format(NetLocalizedString("Request failed: %@ (%ld)"),
            platform::HTTPURLResponse::localizedStringForStatusCode(status), static_cast<long>(status));
        auto statusError = validationError(NetURLErrorBadServerResponse, std::move(text), *response, shared, data);
        result = NetErrorWithUnderlyingError(std::move(statusError), contentTypeError);
        valid = false;
    }
    if (!valid && error)
        *error = std::move(result);
    return valid;
}

std::any NetHTTPResponseSerializer::responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
    const std::string* data, std::optional<platform::Error>* error) const
{
    validateResponse(response, data, error);
    if (!data)
        return {};
    return *data;
}

bool NetHTTPResponseSerializer::shouldDecode(const std::shared_ptr<const platform::URLResponse>& response,
    const std::string* data, std::optional<platform::Error>* error) const
{
    if (validateResponse(response, data, error))
        return true;
    return error && !NetErrorOrUnderlyingErrorHasCodeInDomain(*error);
}

} // namespace morvix
