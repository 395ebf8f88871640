#pragma once
// The interface through which the session hands x-callback answers to the object that asked.

#include "platform/net/Url.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

/// An object that asked another application for something through an x-callback URL and takes
/// its answer. The answer opens this application with a URL whose host is "x-callback-url" and
/// whose first path segment is the asking object's id (percent-encoded); the session finds this
/// interface on the object registered under that id (the core cannot name the service classes).
/// Main thread.
class URLCallbackReceiver {
public:
    static constexpr std::string_view kHost = "x-callback-url";

    virtual ~URLCallbackReceiver() = default;

    /// An answer addressed to this object.
    virtual void callbackWithURL(const platform::Url& url) = 0;

    /// Whether `host` is "x-callback-url", in any case (hosts are case-insensitive).
    static bool isCallbackHost(std::string_view host)
    {
        if (host.size() != kHost.size())
            return false;
        for (std::size_t index = 0; index < host.size(); ++index) {
            char c = host[index];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != kHost[index])
                return false;
        }
        return true;
    }

    /// The decoded path segments of an x-callback URL (host "x-callback-url", in any case): for
    /// "app://x-callback-url/d%201/x-success" they are "d 1" and "x-success". Empty for any other
    /// URL or an empty path.
    static std::vector<std::string> pathSegments(const platform::Url& url)
    {
        std::vector<std::string> segments;
        if (!isCallbackHost(url.host()))
            return segments;
        std::string_view path = url.path();
        while (!path.empty()) {
            if (path.front() == '/') {
                path.remove_prefix(1);
                continue;
            }
            auto end = path.find('/');
            segments.push_back(percentDecoded(path.substr(0, end)));
            path.remove_prefix(end == std::string_view::npos ? path.size() : end);
        }
        return segments;
    }

    /// `text` with its percent escapes undone, read as UTF-8. A "+" stays a "+". A malformed
    /// escape ("%", "%4", "%zz"), an escaped NUL or bytes that are not UTF-8 keep `text` as it
    /// stands, escapes included: the answer is never dropped or turned into something else.
    static std::string percentDecoded(std::string_view text)
    {
        auto hexValue = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return -1;
        };
        std::string decoded;
        decoded.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                decoded.push_back(text[i]);
                continue;
            }
            int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0 || (high == 0 && low == 0))
                return std::string(text);
            decoded.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        }
        return isUTF8(decoded) ? decoded : std::string(text);
    }

private:
    // Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
    static bool isUTF8(std::string_view text)
    {
        std::size_t i = 0;
        while (i < text.size()) {
            auto byte = static_cast<unsigned char>(text[i]);
            std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
            if (length == 0 || i + length > text.size())
                return false;
            char32_t code = length == 1 ? byte : byte & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) {
                auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80)
                    return false;
                code = (code << 6) | (next & 0x3F);
            }
            static constexpr char32_t kSmallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
            if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                return false;
            i += length;
        }
        return true;
    }
};

} // namespace morvix
