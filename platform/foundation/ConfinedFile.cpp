#include "platform/foundation/ConfinedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace morvix::platform {

namespace fs = std::filesystem;

namespace {

using Refusal = ConfinedFile::Refusal;
using Result = ConfinedFile::Result;

// Marks `result` refused; false, so that a check can end with `return refuse(...)`.
bool refuse(Result& result, Refusal refusal, std::string reason)
{
    result.refusal = refusal;
    result.reason = std::move(reason);
    result.bytes.clear();
    return false;
}

std::string inQuotes(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    auto same = [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); };
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), same);
}

// Undoes the escapes of a URL's path; nothing for a malformed escape or an escaped NUL, which
// no file name can hold.
std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    while (!text.empty()) {
        char next = text.front();
        text.remove_prefix(1);
        if (next != '%') {
            decoded += next;
            continue;
        }
        unsigned byte = 0;
        if (text.size() < 2)
            return std::nullopt;
        auto parsed = std::from_chars(text.data(), text.data() + 2, byte, 16);
        if (parsed.ec != std::errc() || parsed.ptr != text.data() + 2 || byte == 0)
            return std::nullopt;
        decoded += static_cast<char>(byte);
        text.remove_prefix(2);
    }
    return decoded;
}

// Whether the resolved `path` lies inside one of `folders`, each resolved first; a folder that
// does not exist holds nothing.
bool insideAny(const fs::path& path, const std::vector<std::string>& folders)
{
    for (const auto& folder : folders) {
        if (folder.empty())
            continue;
        std::error_code error;
        auto base = fs::canonical(folder, error);
        if (!error && ConfinedFile::isInside(path, base))
            return true;
    }
    return false;
}

// Refuses what is not a regular file of at most `maximumSize` bytes, by its status.
bool checkStatus(Result& result, const struct stat& status, std::uint64_t maximumSize)
{
    if (S_ISDIR(status.st_mode))
        return refuse(result, Refusal::Directory, inQuotes(result.path) + " is a folder");
    if (!S_ISREG(status.st_mode))
        return refuse(result, Refusal::SpecialFile, inQuotes(result.path) + " is no regular file");
    result.size = static_cast<std::uint64_t>(status.st_size);
    if (result.size > maximumSize) {
        return refuse(result, Refusal::TooLarge, inQuotes(result.path) + " holds " + std::to_string(result.size) + " bytes, more than the "
            + std::to_string(maximumSize) + " allowed");
    }
    return true;
}

// Reads the open regular file `descriptor` to its end, refusing it once it holds more than
// `maximumSize` bytes (a file may grow while it is read).
bool readOpened(Result& result, int descriptor, std::uint64_t maximumSize)
{
    result.bytes.reserve(static_cast<std::size_t>(std::min(result.size, maximumSize)));
    char buffer[64 * 1024];
    for (;;) {
        // One byte beyond the cap is asked for, to tell a file of exactly the cap from a larger one.
        std::uint64_t room = maximumSize - result.bytes.size();
        std::size_t wanted = room >= sizeof buffer ? sizeof buffer : static_cast<std::size_t>(room) + 1;
        ssize_t count = ::read(descriptor, buffer, wanted);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return refuse(result, Refusal::Unreadable, inQuotes(result.path) + " could not be read: " + std::strerror(errno));
        if (count == 0)
            return true;
        result.bytes.append(buffer, static_cast<std::size_t>(count));
        if (result.bytes.size() > maximumSize)
            return refuse(result, Refusal::TooLarge, inQuotes(result.path) + " grew past the " + std::to_string(maximumSize) + " bytes allowed");
    }
}

// Opens `result.path` without waiting on a pipe, checks what it is on the open file (not on
// the name, which may have changed since) and reads it.
void openAndRead(Result& result, std::uint64_t maximumSize, int flags)
{
    int descriptor = ::open(result.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags);
    if (descriptor < 0) {
        auto refusal = errno == ENOENT ? Refusal::Missing : Refusal::Unreadable;
        refuse(result, refusal, inQuotes(result.path) + " could not be opened: " + std::strerror(errno));
        return;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        refuse(result, Refusal::Unreadable, inQuotes(result.path) + " could not be looked at");
    else if (checkStatus(result, status, maximumSize))
        readOpened(result, descriptor, maximumSize);
    ::close(descriptor);
}

} // namespace

std::optional<std::string> ConfinedFile::decodeReference(std::string_view reference)
{
    if (!reference.empty() && reference.front() == '/') {
        if (reference.find('\0') != std::string_view::npos)
            return std::nullopt;
        return std::string(reference);
    }
    constexpr std::string_view kScheme = "file:";
    if (!startsWithIgnoringCase(reference, kScheme))
        return std::nullopt;
    std::string_view rest = reference.substr(kScheme.size());
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        auto slash = rest.find('/');
        std::string_view host = rest.substr(0, slash);
        // Only this machine's files: "file:///x" and "file://localhost/x".
        bool local = host.empty() || (host.size() == 9 && startsWithIgnoringCase(host, "localhost"));
        if (slash == std::string_view::npos || !local)
            return std::nullopt;
        rest.remove_prefix(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.empty() || rest.front() != '/')
        return std::nullopt;
    return percentDecoded(rest);
}

bool ConfinedFile::isInside(const fs::path& path, const fs::path& folder)
{
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

ConfinedFile::Result ConfinedFile::locate(std::string_view reference, const std::vector<std::string>& folders, std::uint64_t maximumSize)
{
    Result result;
    auto decoded = decodeReference(reference);
    if (!decoded) {
        refuse(result, Refusal::BadReference, inQuotes(reference) + " names no file of this machine");
        return result;
    }
    std::error_code error;
    auto resolved = fs::weakly_canonical(fs::path(*decoded), error);
    if (error) {
        refuse(result, Refusal::Missing, inQuotes(*decoded) + " could not be resolved: " + error.message());
        return result;
    }
    result.path = resolved.string();
    struct stat status {};
    if (!insideAny(resolved, folders))
        refuse(result, Refusal::OutsideFolders, inQuotes(result.path) + " lies outside the folders a peer may read");
    else if (::stat(result.path.c_str(), &status) != 0)
        refuse(result, Refusal::Missing, inQuotes(result.path) + " does not exist");
    else
        checkStatus(result, status, maximumSize);
    return result;
}

ConfinedFile::Result ConfinedFile::read(std::string_view reference, const std::vector<std::string>& folders, std::uint64_t maximumSize)
{
    auto result = locate(reference, folders, maximumSize);
    // The resolved path holds no link; one put there since is not followed.
    if (result)
        openAndRead(result, maximumSize, O_NOFOLLOW);
    return result;
}

ConfinedFile::Result ConfinedFile::readRegularFile(const std::string& path, std::uint64_t maximumSize)
{
    Result result;
    result.path = path;
    openAndRead(result, maximumSize, 0);
    return result;
}

} // namespace morvix::platform
