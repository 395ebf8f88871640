#pragma once
// Runtime failures as values.

#include <any>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

/// A runtime failure: a domain, a code and user information. The well-known entries of the user
/// information have accessors; anything else (an HTTP response, a body, a library's own detail)
/// is kept under a free key as `std::any`. Errors are values: copy them freely. Any thread.
class Error {
public:
    static constexpr const char* kDescriptionKey = "description";
    static constexpr const char* kFailureReasonKey = "failureReason";
    static constexpr const char* kUnderlyingErrorKey = "underlyingError";
    static constexpr const char* kFailingURLKey = "failingURL";
    static constexpr const char* kRecoverySuggestionKey = "recoverySuggestion";

    Error() = default;
    Error(std::string domain, long code);
    Error(std::string domain, long code, std::string description, std::string failureReason = {});

    const std::string& domain() const { return m_domain; }
    long code() const { return m_code; }

    /// The title of the failure; when none was given, a text made of the domain and code.
    std::string description() const;
    void setDescription(std::string description);
    /// Whether a title of its own was given (an empty one counts as none), as opposed to the
    /// text `description` makes up without one.
    bool hasDescription() const;

    /// The explanation of the failure, or nothing.
    std::optional<std::string> failureReason() const;
    void setFailureReason(std::string reason);

    /// What the user could do about the failure, or nothing.
    std::optional<std::string> recoverySuggestion() const;
    void setRecoverySuggestion(std::string suggestion);

    /// The failure that caused this one, or null.
    std::shared_ptr<const Error> underlyingError() const;
    void setUnderlyingError(Error error);

    std::optional<std::string> failingURL() const;
    void setFailingURL(std::string url);

    /// Free user information. `value` gives null when the key is absent or holds another type.
    bool has(const std::string& key) const { return m_userInfo.count(key) != 0; }
    void set(const std::string& key, std::any value) { m_userInfo[key] = std::move(value); }
    template<typename T>
    const T* value(const std::string& key) const
    {
        auto found = m_userInfo.find(key);
        return found == m_userInfo.end() ? nullptr : std::any_cast<T>(&found->second);
    }
    const std::map<std::string, std::any>& userInfo() const { return m_userInfo; }

    bool is(const std::string& domain, long code) const { return m_domain == domain && m_code == code; }

private:
    std::string m_domain;
    long m_code = 0;
    std::map<std::string, std::any> m_userInfo;
};

} // namespace morvix::platform
