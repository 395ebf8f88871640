#include "core/base/OSUtil.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/DeviceInfo.h"

#include <cctype>
#include <map>
#include <mutex>

namespace morvix {

namespace {

struct Cache {
    std::mutex mutex; // guards values
    std::map<std::string, std::string, std::less<>> values;
};

Cache& cache()
{
    static Cache instance;
    return instance;
}

std::string cachedInfoString(std::string_view key)
{
    auto& shared = cache();
    std::lock_guard lock(shared.mutex);
    auto found = shared.values.find(key);
    if (found != shared.values.end())
        return found->second;
    auto value = platform::BundleInfo::main().stringForInfoDictionaryKey(key).value_or(std::string());
    shared.values.emplace(std::string(key), value);
    return value;
}

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Compares two runs of digits by value, however long they are.
int compareDigitRuns(std::string_view a, std::string_view b)
{
    auto withoutLeadingZeros = [](std::string_view run) {
        auto first = run.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view() : run.substr(first);
    };
    a = withoutLeadingZeros(a);
    b = withoutLeadingZeros(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::size_t digitRunEnd(std::string_view text, std::size_t start)
{
    while (start < text.size() && isDigit(text[start]))
        ++start;
    return start;
}

} // namespace

int OSUtil::compareNumerically(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t aEnd = digitRunEnd(a, i);
            std::size_t bEnd = digitRunEnd(b, j);
            if (int order = compareDigitRuns(a.substr(i, aEnd - i), b.substr(j, bEnd - j)))
                return order;
            i = aEnd;
            j = bEnd;
            continue;
        }
        unsigned char left = static_cast<unsigned char>(a[i]);
        unsigned char right = static_cast<unsigned char>(b[j]);
        if (left != right)
            return left < right ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool OSUtil::isVersion(std::string_view version, std::string_view minimum)
{
    return compareNumerically(version, minimum) >= 0;
}

bool OSUtil::minimalRequiredVersion()
{
    return isVersion(platform::DeviceInfo::current().systemVersion, kMinimalVersion);
}

bool OSUtil::isPhone()
{
    return isPhone(platform::DeviceInfo::current().model);
}

bool OSUtil::isPhone(std::string_view model)
{
    return model.starts_with(platform::DeviceInfo::kPhoneModel);
}

std::string OSUtil::appId()
{
    return cachedInfoString(platform::BundleInfo::kIdentifierKey);
}

std::string OSUtil::appVersion()
{
    return cachedInfoString(platform::BundleInfo::kShortVersionKey);
}

std::string OSUtil::appVersionId()
{
    return cachedInfoString(platform::BundleInfo::kVersionKey);
}

std::string OSUtil::appName()
{
    return cachedInfoString(platform::BundleInfo::kDisplayNameKey);
}

void OSUtil::resetForTesting()
{
    std::lock_guard lock(cache().mutex);
    cache().values.clear();
}

} // namespace morvix
