#include "platform/net/MimeTypes.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

namespace morvix::platform {

namespace {

std::map<std::string, std::string> loadTypes()
{
    std::map<std::string, std::string> types {
        { "html", "text/html" }, { "htm", "text/html" }, { "txt", "text/plain" }, { "css", "text/css" },
        { "js", "application/javascript" }, { "json", "application/json" }, { "png", "image/png" },
        { "jpg", "image/jpeg" }, { "jpeg", "image/jpeg" }, { "gif", "image/gif" }, { "xml", "application/xml" },
        { "svg", "image/svg+xml" }, { "pdf", "application/pdf" }, { "zip", "application/zip" },
    };
    std::ifstream file("/etc/mime.types");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string type;
        std::string extension;
        words >> type;
        while (words >> extension)
            types[extension] = type;
    }
    return types;
}

} // namespace

std::optional<std::string> mimeTypeForPath(std::string_view path)
{
    static const std::map<std::string, std::string> types = loadTypes();
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::nullopt;
    std::string extension(path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    if (auto found = types.find(extension); found != types.end())
        return found->second;
    return std::nullopt;
}

} // namespace morvix::platform
