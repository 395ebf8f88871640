#pragma once
// Base64 text of binary data.

#include <cstdint>
#include <span>
#include <string>

namespace morvix {

/// Base64 as RFC 4648 defines it: the standard alphabet, "=" padding, no line breaks (three
/// bytes give four characters, "f" gives "Zg=="). Any thread.
class Base64 final {
public:
    Base64() = delete;

    static std::string base64forData(std::span<const std::uint8_t> data);
};

} // namespace morvix
