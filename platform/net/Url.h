#pragma once
// URLs as the HTTP layer sees them.

#include <optional>
#include <string>
#include <string_view>

namespace morvix::platform {

/// A parsed URL (RFC 3986) that keeps the text it was made from: `absoluteString` is exactly
/// that text ("http://h" stays without a trailing slash). Components are kept percent-encoded,
/// as they appear. A URL may be relative (no scheme). Value type; any thread.
class Url {
public:
    /// Parses `text`; nothing when it holds characters a URL may not hold (spaces, quotes,
    /// angle brackets, control or non-ASCII characters) or a malformed authority or port.
    static std::optional<Url> parse(std::string_view text);
    /// Resolves `reference` against `base` (RFC 3986, section 5.2); nothing when `reference`
    /// does not parse. A `base` without a scheme leaves an absolute reference as it is and a
    /// relative one unresolved (nothing).
    static std::optional<Url> resolve(const Url& base, std::string_view reference);
    /// A "file://" URL for an absolute path.
    static Url fileURL(std::string_view path);

    const std::string& absoluteString() const { return m_text; }
    /// Lower-cased scheme ("https"); empty for a relative URL.
    const std::string& scheme() const { return m_scheme; }
    bool hasAuthority() const { return m_hasAuthority; }
    /// Host without brackets ("::1" for "[::1]"), as written; empty when none.
    const std::string& host() const { return m_host; }
    std::optional<int> port() const { return m_port; }
    /// The port to connect to: the explicit one, else 80 for http and 443 for https, else 0.
    int effectivePort() const;
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    const std::string& path() const { return m_path; }
    /// The path with its percent escapes undone, as a file URL names a local file; nothing for a
    /// malformed escape ("%", "%2", "%zz") or an escaped NUL, which cannot be part of a file name.
    std::optional<std::string> decodedPath() const;
    /// Without the "?"; nothing when the URL has no "?".
    const std::optional<std::string>& query() const { return m_query; }
    const std::optional<std::string>& fragment() const { return m_fragment; }

    bool isFileURL() const { return m_scheme == "file"; }
    bool isHTTP() const { return m_scheme == "http" || m_scheme == "https"; }
    /// The same URL with "/" appended to its path (before any query), unless it ends with one.
    Url appendingEmptyComponent() const;

    bool operator==(const Url& other) const { return m_text == other.m_text; }

private:
    Url() = default;

    std::string m_text;
    std::string m_scheme;
    bool m_hasAuthority = false;
    std::string m_user;
    std::string m_password;
    std::string m_host;
    std::optional<int> m_port;
    std::string m_path;
    std::optional<std::string> m_query;
    std::optional<std::string> m_fragment;
};

} // namespace morvix::platform
