#include "core/base/Strings.h"

#include "platform/foundation/Digest.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <memory>
#include <vector>

namespace morvix {

std::string Strings::toSingleLine(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x0A && byte <= 0x0D)
            continue;
        // U+0085 is C2 85; U+2028 and U+2029 are E2 80 A8 and E2 80 A9.
        if (byte == 0xC2 && text.substr(i + 1, 1) == "\x85") {
            ++i;
            continue;
        }
        if (byte == 0xE2 && (text.substr(i + 1, 2) == "\x80\xA8" || text.substr(i + 1, 2) == "\x80\xA9")) {
            i += 2;
            continue;
        }
        result.push_back(text[i]);
    }
    return result;
}

std::string Strings::removeTabs(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '\t')
            result.push_back(c);
    }
    return result;
}

std::string Strings::MD5(std::string_view text)
{
    auto end = text.find('\0');
    return platform::md5Hex(text.substr(0, end));
}

std::optional<std::string> Strings::encode(std::string_view text, std::string_view encoding)
{
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    std::vector<UChar> utf16(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    u_strFromUTF8(utf16.data(), length + 1, &length, text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;

    std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(std::string(encoding).c_str(), &status),
        &ucnv_close);
    if (U_FAILURE(status))
        return std::nullopt;
    // Refuse a character the encoding cannot hold rather than substituting one.
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    int32_t size = ucnv_fromUChars(converter.get(), nullptr, 0, utf16.data(), length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    status = U_ZERO_ERROR;
    ucnv_fromUChars(converter.get(), bytes.data(), size, utf16.data(), length, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return std::nullopt;
    return bytes;
}

std::optional<std::string> Strings::urlEncodeUsingEncoding(std::string_view text, std::string_view encoding)
{
    auto bytes = encode(text, encoding);
    if (!bytes)
        return std::nullopt;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(bytes->size() * 3);
    for (unsigned char byte : *bytes) {
        bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')
            || byte == '-' || byte == '.' || byte == '_' || byte == '~';
        if (unreserved) {
            result.push_back(static_cast<char>(byte));
            continue;
        }
        result.push_back('%');
        result.push_back(kHex[byte >> 4]);
        result.push_back(kHex[byte & 0x0F]);
    }
    return result;
}

} // namespace morvix
