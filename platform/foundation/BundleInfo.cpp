#include "platform/foundation/BundleInfo.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace morvix::platform {

namespace {

struct Shared {
    std::mutex mutex; // guards info
    BundleInfo info = BundleInfo::defaults();
};

// Built on first use, so that other static initialisers may already read the facts.
Shared& shared()
{
    static Shared instance;
    return instance;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string programFolder()
{
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path(error).string();
    return program.parent_path().string();
}

std::string homeFolder()
{
    std::string home = environment("HOME");
    return home.empty() ? std::filesystem::temp_directory_path().string() : home;
}

// The documents folder of an application that names none: "Documents" in its support folder,
// so that two applications never share one; the home's only where there is no support folder.
std::string derivedDocumentsPath(const BundleInfo& info)
{
    if (auto support = info.applicationSupportPath())
        return *support + "/Documents";
    return homeFolder() + "/Documents";
}

// Whether `path` is a documents folder derived rather than chosen: the one derived for no
// identifier (the defaults') or for the facts in place (a copy of `main()` handed back).
bool isDerivedDocumentsPath(const std::string& path, const BundleInfo& current)
{
    return path.empty() || path == derivedDocumentsPath(BundleInfo {}) || path == derivedDocumentsPath(current);
}

} // namespace

std::optional<Value> BundleInfo::objectForInfoDictionaryKey(std::string_view key) const
{
    if (!info.is_object())
        return std::nullopt;
    auto entry = info.find(std::string(key));
    if (entry == info.end())
        return std::nullopt;
    return *entry;
}

std::optional<std::string> BundleInfo::stringForInfoDictionaryKey(std::string_view key) const
{
    auto entry = objectForInfoDictionaryKey(key);
    if (!entry || !entry->is_string())
        return std::nullopt;
    return entry->get<std::string>();
}

std::optional<std::string> BundleInfo::applicationSupportPath() const
{
    std::string id = stringForInfoDictionaryKey(kIdentifierKey).value_or("");
    if (id.empty()) {
        std::error_code error;
        id = std::filesystem::read_symlink("/proc/self/exe", error).filename().string();
    }
    if (id.empty() || id == "." || id == ".." || id.find('/') != std::string::npos)
        return std::nullopt;
    if (std::string data = environment("XDG_DATA_HOME"); !data.empty())
        return data + "/" + id;
    if (std::string home = environment("HOME"); !home.empty())
        return home + "/.local/share/" + id;
    return std::nullopt;
}

BundleInfo BundleInfo::defaults()
{
    BundleInfo result;
    std::string home = homeFolder();
    result.resourcePath = programFolder();
    result.documentsPath = derivedDocumentsPath(result);
    std::string caches = environment("XDG_CACHE_HOME");
    result.cachesPath = caches.empty() ? home + "/.cache" : caches;
    return result;
}

std::optional<BundleInfo> BundleInfo::fromInfoFile(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        return std::nullopt;
    Value entries = Value::parse(file, nullptr, false);
    if (!entries.is_object())
        return std::nullopt;
    BundleInfo result = defaults();
    result.info = std::move(entries);
    result.documentsPath = derivedDocumentsPath(result);
    return result;
}

BundleInfo BundleInfo::main()
{
    std::lock_guard lock(shared().mutex);
    return shared().info;
}

void BundleInfo::setMain(BundleInfo info)
{
    std::lock_guard lock(shared().mutex);
    if (isDerivedDocumentsPath(info.documentsPath, shared().info))
        info.documentsPath = derivedDocumentsPath(info);
    shared().info = std::move(info);
}

void BundleInfo::resetForTesting()
{
    setMain(defaults());
}

} // namespace morvix::platform
