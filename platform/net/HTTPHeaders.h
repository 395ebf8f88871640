#pragma once
// HTTP header fields.

#include "platform/foundation/Error.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvix::platform {

/// The domain of a header field refused by HTTPHeaders, and its codes.
inline constexpr const char* HTTPHeaderErrorDomain = "MorvixHTTPHeaderErrorDomain";
enum HTTPHeaderErrorCode : long {
    kHTTPHeaderErrorInvalidName = 1,  // empty, or a character outside the HTTP token set
    kHTTPHeaderErrorInvalidValue = 2, // holds a CR, LF or NUL
};

/// Header fields whose names compare without regard to case. A name keeps the spelling it was
/// first given; fields stay in the order they were first set. Value type; any thread.
///
/// Every field held can be sent as it is: a name must be an HTTP token and a value may not hold
/// CR, LF or NUL, so that no caller can smuggle a second header line (or a second request) into
/// the one it sets. A refused field leaves the headers unchanged and comes back as an error.
class HTTPHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    /// The value of `name`, or nothing.
    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return value(name).has_value(); }
    /// Replaces the value of `name` (adding the field when absent). Returns why the field was
    /// refused, or nothing when it was taken.
    std::optional<Error> set(std::string_view name, std::string value);
    /// Appends `value` to an existing field, joined with ", ", or adds the field. Returns why the
    /// field was refused, or nothing when it was taken.
    std::optional<Error> add(std::string_view name, std::string_view value);
    /// Why `name` and `value` cannot be a header field, or nothing when they can.
    static std::optional<Error> validate(std::string_view name, std::string_view value);
    /// Removes `name`; does nothing when absent.
    void remove(std::string_view name);

    const std::vector<Field>& fields() const { return m_fields; }
    bool empty() const { return m_fields.empty(); }
    std::size_t size() const { return m_fields.size(); }

    static bool namesEqual(std::string_view a, std::string_view b);

private:
    std::vector<Field> m_fields;
};

} // namespace morvix::platform
