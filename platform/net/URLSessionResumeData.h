#pragma once
// The data a download task leaves behind to be continued later.

#include "platform/net/Url.h"

#include <cstdint>
#include <optional>
#include <string>

namespace morvix::platform {

/// What a cancelled download hands back to continue it: the URL, the partial file, how many of
/// its bytes are valid and the response's validator ("ETag", else "Last-Modified"). Written as
/// a small XML property list of the library's own. Value type; any thread.
struct URLSessionResumeData {
    Url url;
    std::string partialFilePath;
    std::int64_t bytesReceived = 0;
    std::optional<std::string> entityTag;
    std::optional<std::string> lastModified;

    std::string encode() const;
    /// Nothing for data that is not such a property list, or lacks the URL, the file or the count.
    static std::optional<URLSessionResumeData> decode(const std::string& data);
};

} // namespace morvix::platform
