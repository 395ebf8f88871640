#pragma once
// Message digests.

#include <string>
#include <string_view>

namespace morvix::platform {

/// The MD5 digest of `bytes` as 32 lower-case hexadecimal digits. Any thread.
std::string md5Hex(std::string_view bytes);

} // namespace morvix::platform
