#include "platform/foundation/UUID.h"

#include <openssl/rand.h>

#include <array>
#include <cstdio>
#include <stdexcept>

namespace morvix::platform {

std::string UUID::createString()
{
    std::array<unsigned char, 16> bytes {};
    if (RAND_bytes(bytes.data(), int(bytes.size())) != 1)
        throw std::runtime_error("no random bytes for a UUID");
    bytes[6] = (bytes[6] & 0x0f) | 0x40; // version 4
    bytes[8] = (bytes[8] & 0x3f) | 0x80; // the RFC 4122 variant
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

} // namespace morvix::platform
