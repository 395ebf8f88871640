#include "platform/foundation/Locale.h"

#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/NotificationCenter.h"

#include <unicode/uloc.h>
#include <unicode/ustring.h>

namespace morvix::platform {

Locale::Locale(std::string identifier)
    : m_identifier(std::move(identifier))
{
}

Locale Locale::current()
{
    return Locale(DeviceInfo::current().localeIdentifier);
}

void Locale::setCurrent(const std::string& identifier)
{
    auto device = DeviceInfo::current();
    if (device.localeIdentifier == identifier)
        return;
    device.localeIdentifier = identifier;
    DeviceInfo::setCurrent(std::move(device));
    NotificationCenter::defaultCenter()->post(kCurrentLocaleDidChangeNotification);
}

std::string Locale::languageCode() const
{
    char code[ULOC_LANG_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    uloc_getLanguage(m_identifier.c_str(), code, sizeof code, &status);
    return U_SUCCESS(status) ? std::string(code) : std::string();
}

std::string Locale::countryCode() const
{
    char code[ULOC_COUNTRY_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    uloc_getCountry(m_identifier.c_str(), code, sizeof code, &status);
    return U_SUCCESS(status) ? std::string(code) : std::string();
}

std::u16string Locale::utf16(std::string_view text)
{
    std::u16string result(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &length, text.data(),
        static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    result.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return result;
}

std::string Locale::utf8(std::u16string_view text)
{
    std::string result(text.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &length, text.data(),
        static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    result.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return result;
}

} // namespace morvix::platform
