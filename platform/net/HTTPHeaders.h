#pragma once
// HTTP header fields.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvix::platform {

/// Header fields whose names compare without regard to case. A name keeps the spelling it was
/// first given; fields stay in the order they were first set. Value type; any thread.
class HTTPHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    /// The value of `name`, or nothing.
    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return value(name).has_value(); }
    /// Replaces the value of `name` (adding the field when absent).
    void set(std::string_view name, std::string value);
    /// Appends `value` to an existing field, joined with ", ", or adds the field.
    void add(std::string_view name, std::string_view value);
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
