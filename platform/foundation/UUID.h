#pragma once
// Random identifiers.

#include <string>

namespace morvix::platform {

/// Version-4 (random) UUIDs from the system's cryptographic random source.
class UUID final {
public:
    UUID() = delete;

    /// A new UUID in its usual text form: 36 upper-case hexadecimal digits and hyphens
    /// ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"). Any thread.
    static std::string createString();
};

} // namespace morvix::platform
