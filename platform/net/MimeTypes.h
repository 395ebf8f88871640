#pragma once
// MIME types of local files.

#include <optional>
#include <string>
#include <string_view>

namespace morvix::platform {

/// The MIME type of a file by its extension, from /etc/mime.types (read once), with a few
/// built-in types for machines without that file; nothing when unknown. Any thread.
std::optional<std::string> mimeTypeForPath(std::string_view path);

} // namespace morvix::platform
