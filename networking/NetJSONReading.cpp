#include "networking/NetJSONReading.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace morvix {

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

platform::Error corruptDataError(const std::string& detail)
{
    platform::Error error(NetCocoaErrorDomain, NetPropertyListReadCorruptError,
        "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    error.setFailureReason(detail);
    return error;
}

std::optional<std::string> convertToUTF8(std::string_view bytes, const std::string& charset, bool strict)
{
    if (charset.empty())
        return std::nullopt; // ICU would open its default converter
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(charset.c_str(), &status));
    if (U_FAILURE(status))
        return std::nullopt;
    if (strict) {
        ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        if (U_FAILURE(status))
            return std::nullopt;
    }
    std::u16string utf16(bytes.size() * 2 + 2, u'\0');
    int32_t length = ucnv_toUChars(converter.get(), utf16.data(), static_cast<int32_t>(utf16.size()),
        bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    utf16.resize(static_cast<std::size_t>(length));
    UErrorCode toStatus = U_ZERO_ERROR;
    ConverterPtr utf8(ucnv_open("UTF-8", &toStatus));
    std::string result(utf16.size() * 3 + 1, '\0');
    int32_t written = ucnv_fromUChars(utf8.get(), result.data(), static_cast<int32_t>(result.size()),
        reinterpret_cast<const UChar*>(utf16.data()), static_cast<int32_t>(utf16.size()), &toStatus);
    if (U_FAILURE(toStatus))
        return std::nullopt;
    result.resize(static_cast<std::size_t>(written));
    return result;
}

} // namespace

std::optional<platform::Value> NetJSONObjectWithData(std::string_view utf8, unsigned long options,
    std::optional<platform::Error>* error)
{
    auto fail = [error](const std::string& detail) -> std::optional<platform::Value> {
        if (error)
            *error = corruptDataError(detail);
        return std::nullopt;
    };
    if (platform::jsonNestingDepth(utf8, std::size_t(kNetMaxNestingDepth)) > std::size_t(kNetMaxNestingDepth))
        return fail("nesting too deep");
    platform::Value value = platform::Value::parse(utf8.begin(), utf8.end(), nullptr, false);
    if (value.is_discarded())
        return fail("invalid JSON text");
    bool container = value.is_object() || value.is_array();
    if (!container && !(options & NetJSONReadingAllowFragments))
        return fail("JSON text did not start with array or object and option to allow fragments not set");
    return value;
}

platform::Value NetJSONObjectByRemovingKeysWithNullValues(const platform::Value& object, unsigned long options)
{
    if (object.is_array()) {
        platform::Value list = platform::Value::array();
        for (const auto& element : object)
            list.push_back(NetJSONObjectByRemovingKeysWithNullValues(element, options));
        return list;
    }
    if (!object.is_object())
        return object;
    platform::Value map = platform::Value::object();
    for (const auto& [key, value] : object.items()) {
        if (value.is_null())
            continue;
        map[key] = value.is_structured() ? NetJSONObjectByRemovingKeysWithNullValues(value, options) : value;
    }
    return map;
}

std::optional<std::string> NetDecodeText(std::string_view bytes, const std::string& charset)
{
    if (bytes.empty())
        return std::string();
    return convertToUTF8(bytes, charset, true);
}

std::string NetDecodeTextLossily(std::string_view bytes, const std::string& charset)
{
    if (auto text = convertToUTF8(bytes, charset, false))
        return *text;
    return convertToUTF8(bytes, "UTF-8", false).value_or(std::string());
}

bool NetIsKnownCharset(const std::string& charset)
{
    if (charset.empty())
        return false;
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(charset.c_str(), &status));
    return U_SUCCESS(status) && converter;
}

} // namespace morvix
