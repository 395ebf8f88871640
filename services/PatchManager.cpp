#include "services/PatchManager.h"

#include "core/base/LogEntry.h"
#include "core/base/Strings.h"
#include "core/objects/ClientContext.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/UUID.h"
#include "platform/net/Url.h"
#include "services/ZipArchive/ZAZipArchive.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morvix {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStagingPrefix = ".staging-";

/// The entries of `folder` without hidden ones, as paths; none when it cannot be listed.
std::vector<fs::path> listing(const fs::path& folder)
{
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().starts_with('.'))
            continue;
        entries.push_back(it->path());
    }
    return entries;
}

/// The patch folders of a base folder, newest first.
std::vector<fs::path> patchFolders(const fs::path& baseFolder)
{
    std::vector<fs::path> folders;
    for (auto& entry : listing(baseFolder)) {
        std::error_code error;
        if (fs::is_directory(entry, error))
            folders.push_back(entry);
    }
    std::sort(folders.begin(), folders.end(), [](const fs::path& a, const fs::path& b) { return a.filename().string() > b.filename().string(); });
    return folders;
}

std::string formatMilliseconds(double milliseconds)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, milliseconds, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

bool isValidUTF8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xe ? 3 : (byte >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

std::string folderNameForVersion(const std::string& version)
{
    bool unusable = version.empty() || version == "." || version == ".." || version.find('/') != std::string::npos
        || version.find('\0') != std::string::npos;
    return unusable ? "v-" + Strings::MD5(version) : version;
}

// What a folder holds, links not followed.
struct Usage {
    std::uint64_t bytes = 0;
    std::uint64_t entries = 0;
};

Usage usageOf(const fs::path& folder)
{
    Usage usage;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end; !error && it != end;
         it.increment(error)) {
        ++usage.entries;
        std::error_code entryError;
        if (!fs::is_regular_file(it->symlink_status(entryError)) || entryError)
            continue;
        auto size = it->file_size(entryError);
        if (!entryError)
            usage.bytes += size;
    }
    return usage;
}

void removeStagingFolders(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().starts_with(kStagingPrefix))
            fs::remove_all(it->path(), error);
    }
}

} // namespace

std::shared_ptr<PatchManager> PatchManager::create(std::weak_ptr<ClientContext> client, std::string version)
{
    return std::shared_ptr<PatchManager>(new PatchManager(std::move(client), std::move(version)));
}

PatchManager::PatchManager(std::weak_ptr<ClientContext> client, std::string version)
    : m_client(std::move(client))
    , m_version(folderNameForVersion(version))
{
}

void PatchManager::installFactory()
{
    PatchStore::setFactory([](std::weak_ptr<ClientContext> client, std::string version) -> std::shared_ptr<PatchStore> {
        return create(std::move(client), std::move(version));
    });
}

std::optional<std::string> PatchManager::patchesRoot()
{
    auto support = platform::BundleInfo::main().applicationSupportPath();
    if (!support)
        return std::nullopt;
    return *support + "/patches";
}

void PatchManager::purgePatches()
{
    if (auto root = patchesRoot()) {
        std::error_code ignored;
        fs::remove_all(*root, ignored);
    }
}

std::optional<std::string> PatchManager::versionFolder() const
{
    auto root = patchesRoot();
    if (!root)
        return std::nullopt;
    return *root + "/" + m_version;
}

std::optional<std::string> PatchManager::baseFolder() const
{
    auto version = versionFolder();
    if (!version || !m_baseURL)
        return std::nullopt;
    return *version + "/" + Strings::MD5(*m_baseURL);
}

void PatchManager::activate(const std::string& serverURL)
{
    platform::assertOnMainThread();
    m_baseURL = serverURL.empty() ? std::nullopt : std::optional<std::string>(serverURL);
    std::vector<std::string> found;
    if (auto base = baseFolder()) {
        for (auto& folder : patchFolders(*base))
            found.push_back(folder.string());
    }
    {
        std::lock_guard lock(m_patchesMutex);
        m_patches = std::move(found);
    }
    auto root = patchesRoot();
    if (!root)
        return;
    std::error_code error;
    for (auto& entry : listing(*root)) {
        if (entry.filename().string() != m_version)
            fs::remove_all(entry, error);
    }
    if (auto version = versionFolder()) {
        for (auto& base : listing(*version))
            removeStagingFolders(base);
    }
}

std::vector<std::string> PatchManager::patches() const
{
    std::lock_guard lock(m_patchesMutex);
    return m_patches;
}

void PatchManager::installFromURL(const platform::Url& url, SuccessBlock success, FailureBlock failure)
{
    platform::assertOnMainThread();
    if (!baseFolder()) {
        if (failure)
            failure(kNotInitialized);
        return;
    }
    if (url.isFileURL()) {
        apply(url.path(), success, failure);
        return;
    }
    auto client = m_client.lock();
    auto http = client ? client->httpClient() : nullptr;
    if (!http) {
        if (failure)
            failure(kNotInitialized);
        return;
    }
    std::string temporary = (fs::temp_directory_path() / ("patch-" + platform::UUID::createString() + ".zip")).string();
    auto removeTemporary = [temporary] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    };
    auto operation = std::make_shared<std::weak_ptr<NetHTTPRequestOperation>>();
    auto started = http->newFileDownloadOperation(
        url, temporary,
        [weak = weak_from_this(), temporary, removeTemporary, success, failure](auto&, auto&) {
            if (auto self = weak.lock())
                self->apply(temporary, success, failure);
            removeTemporary();
        },
        [removeTemporary, failure](auto&, auto&, const platform::Error& error) {
            removeTemporary();
            if (failure)
                failure(error.description());
        },
        [operation](std::int64_t written, std::int64_t) {
            if (written <= kMaxDownloadBytes)
                return;
            if (auto running = operation->lock())
                running->cancel();
        });
    if (!started) {
        removeTemporary();
        if (failure)
            failure(kInstallFailed);
        return;
    }
    *operation = started;
    started->start();
}

std::string PatchManager::nextTimeStamp(const std::string& baseFolder) const
{
    double stamp = platform::Date::now().millisecondsSince1970();
    for (auto& folder : patchFolders(baseFolder)) {
        double newest = 0;
        std::string name = folder.filename().string();
        auto parsed = std::from_chars(name.data(), name.data() + name.size(), newest);
        if (parsed.ec != std::errc() || parsed.ptr != name.data() + name.size())
            continue;
        if (stamp <= newest)
            stamp = newest + 1;
        break;
    }
    return formatMilliseconds(stamp);
}

void PatchManager::apply(const std::string& archivePath, const SuccessBlock& success, const FailureBlock& failure)
{
    auto base = baseFolder();
    bool installed = false;
    if (base) {
        std::error_code error;
        fs::create_directories(*base, error);
        fs::path staging = fs::path(*base) / (kStagingPrefix + platform::UUID::createString());
        if (!error && fs::create_directory(staging, error) && !error) {
            installed = unpack(archivePath, staging.string());
            if (installed) {
                makeRoomFor(*base, staging.string());
                fs::rename(staging, fs::path(*base) / nextTimeStamp(*base), error);
                installed = !error;
            }
            if (!installed)
                fs::remove_all(staging, error);
        }
    }
    if (!installed) {
        rollBack();
        if (failure)
            failure(kInstallFailed);
        return;
    }
    if (success)
        success(latestDescription());
}

bool PatchManager::unpack(const std::string& archivePath, const std::string& staging) const
{
    // A file URL may name anything: a named pipe would block the main thread in the zip
    // reader's open, and a device would be read without end.
    std::error_code statusError;
    auto status = fs::status(archivePath, statusError);
    auto size = fs::is_regular_file(status) ? fs::file_size(archivePath, statusError) : 0;
    if (statusError || !fs::is_regular_file(status) || size > static_cast<std::uintmax_t>(kMaxDownloadBytes)) {
        log("patch archive \"" + archivePath + "\" not installed: it is no regular file of at most " + std::to_string(kMaxDownloadBytes) + " bytes");
        return false;
    }
    platform::Error error;
    ZAZipArchive::UnzipOptions options;
    options.error = &error;
    options.limits.maxTotalBytes = m_limits.maxBytes;
    options.limits.maxEntries = m_limits.maxEntries;
    if (ZAZipArchive::unzipFileAtPath(archivePath, staging, options))
        return true;
    log("patch archive \"" + archivePath + "\" not installed: " + error.description());
    return false;
}

void PatchManager::makeRoomFor(const std::string& baseFolder, const std::string& staging)
{
    // Newest first: once a patch does not fit beside the newer ones, it and every older one go,
    // so that what stays is always the newest layers.
    Usage total = usageOf(staging);
    std::size_t count = 1;
    bool full = false;
    for (auto& folder : patchFolders(baseFolder)) {
        Usage usage = full ? Usage() : usageOf(folder);
        full = full || count >= m_limits.maxPatches || total.bytes + usage.bytes > m_limits.maxBytes
            || total.entries + usage.entries > m_limits.maxEntries;
        if (!full) {
            total.bytes += usage.bytes;
            total.entries += usage.entries;
            ++count;
            continue;
        }
        std::error_code error;
        fs::remove_all(folder, error);
        log("patch \"" + folder.string() + "\" removed: the patches of this server may hold " + std::to_string(m_limits.maxPatches)
            + " patches, " + std::to_string(m_limits.maxBytes) + " bytes and " + std::to_string(m_limits.maxEntries) + " files");
    }
}

void PatchManager::log(const std::string& message) const
{
    auto client = m_client.lock();
    auto entry = LogEntry::entryWithWarning(message);
    if (client && entry)
        client->log(*entry);
}

void PatchManager::rollBack()
{
    auto base = baseFolder();
    if (!base)
        return;
    auto kept = patches();
    std::error_code error;
    for (auto& entry : listing(*base)) {
        if (std::find(kept.begin(), kept.end(), entry.string()) == kept.end())
            fs::remove_all(entry, error);
    }
}

std::optional<std::string> PatchManager::latestDescription() const
{
    auto base = baseFolder();
    if (!base)
        return std::nullopt;
    auto folders = patchFolders(*base);
    if (folders.empty())
        return std::nullopt;
    std::ifstream file(folders.front() / "patch.json", std::ios::binary);
    if (!file)
        return std::nullopt;
    std::stringstream text;
    text << file.rdbuf();
    std::string description = text.str();
    if (!isValidUTF8(description))
        return std::nullopt;
    return description;
}

} // namespace morvix
