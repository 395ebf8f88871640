#include "services/Base64.h"

namespace morvix {

std::string Base64::base64forData(std::span<const std::uint8_t> data)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        std::uint32_t group = (std::uint32_t(data[i]) << 16) | (std::uint32_t(data[i + 1]) << 8) | data[i + 2];
        text.push_back(kAlphabet[(group >> 18) & 0x3F]);
        text.push_back(kAlphabet[(group >> 12) & 0x3F]);
        text.push_back(kAlphabet[(group >> 6) & 0x3F]);
        text.push_back(kAlphabet[group & 0x3F]);
    }
    std::size_t rest = data.size() - i;
    if (rest == 0)
        return text;
    std::uint32_t group = std::uint32_t(data[i]) << 16;
    if (rest == 2)
        group |= std::uint32_t(data[i + 1]) << 8;
    text.push_back(kAlphabet[(group >> 18) & 0x3F]);
    text.push_back(kAlphabet[(group >> 12) & 0x3F]);
    text.push_back(rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    text.push_back('=');
    return text;
}

} // namespace morvix
