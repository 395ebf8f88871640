#include "core/session/UserAgent.h"

#include "core/base/OSUtil.h"
#include "platform/foundation/DeviceInfo.h"

#include <unicode/locid.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <optional>

namespace morvix {

namespace {

struct Cache {
    std::mutex mutex; // guards value and locale
    std::optional<std::string> value;
    std::optional<std::string> locale;
};

Cache& cache()
{
    static Cache instance;
    return instance;
}

std::string computeValue()
{
    auto device = platform::DeviceInfo::current();
    return std::string(UserAgent::kLibraryId) + "/" + std::string(UserAgent::kLibraryVersion) + " (" + OSUtil::appId() + "/"
        + OSUtil::appVersion() + "); (" + device.model + "; " + device.systemName + " " + device.systemVersion + ")";
}

std::string lowerCased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string computeLocale()
{
    auto device = platform::DeviceInfo::current();
    std::string language = device.preferredLanguages.empty() ? std::string() : device.preferredLanguages.front();
    language = language.substr(0, language.find('-'));
    // A locale such as "C" or "en" names no country; the language then goes alone rather than
    // with a dangling "-".
    // A POSIX locale may carry a character set or modifier ("en_US.UTF-8"), which is no part
    // of the country.
    std::string identifier = device.localeIdentifier.substr(0, device.localeIdentifier.find_first_of(".@"));
    std::string country = lowerCased(icu::Locale(identifier.c_str()).getCountry());
    if (country.empty())
        return language;
    return language + "-" + country;
}

std::string cached(std::optional<std::string> Cache::*slot, std::string (*compute)())
{
    auto& shared = cache();
    std::lock_guard lock(shared.mutex);
    if (!(shared.*slot))
        shared.*slot = compute();
    return *(shared.*slot);
}

} // namespace

std::string UserAgent::value()
{
    return cached(&Cache::value, computeValue);
}

std::string UserAgent::locale()
{
    return cached(&Cache::locale, computeLocale);
}

void UserAgent::resetForTesting()
{
    auto& shared = cache();
    std::lock_guard lock(shared.mutex);
    shared.value.reset();
    shared.locale.reset();
}

} // namespace morvix
