#pragma once
// printf-style formatting of the library's fixed texts.

#include "platform/foundation/Value.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace morvix::platform {

/// One argument of `format`: nothing (printed "(null)"), a text, an integer, a floating number
/// or a JSON value. Built implicitly from the usual C++ types.
class FormatArg {
public:
    FormatArg(std::nullptr_t) { }
    FormatArg(const char* text);
    FormatArg(std::string text) : m_value(std::move(text)) { }
    FormatArg(std::string_view text) : m_value(std::string(text)) { }
    FormatArg(bool value) : m_value(static_cast<std::int64_t>(value)) { }
    FormatArg(int value) : m_value(static_cast<std::int64_t>(value)) { }
    FormatArg(long value) : m_value(static_cast<std::int64_t>(value)) { }
    FormatArg(long long value) : m_value(static_cast<std::int64_t>(value)) { }
    FormatArg(unsigned value) : m_value(static_cast<std::uint64_t>(value)) { }
    FormatArg(unsigned long value) : m_value(static_cast<std::uint64_t>(value)) { }
    FormatArg(unsigned long long value) : m_value(static_cast<std::uint64_t>(value)) { }
    FormatArg(float value) : m_value(static_cast<double>(value)) { }
    FormatArg(double value) : m_value(value) { }
    FormatArg(const Value& value);

    using Storage = std::variant<std::monostate, std::string, std::int64_t, std::uint64_t, double>;
    const Storage& storage() const { return m_value; }

private:
    Storage m_value;
};

/// Fills a printf-style format with arguments, in order. Understands the conversions the
/// library's texts use: %@ (any argument, as text), %s, %d, %i, %u, %x, %X, %o, %c, %f, %e, %g
/// (with flags, width, precision and the length modifiers h, hh, l, ll, q, z, t, j, L, which
/// are accepted and ignored) and %%. A missing argument prints "(null)"; a conversion it does
/// not know is copied as it stands. Any thread.
std::string formatArgs(std::string_view format, std::initializer_list<FormatArg> args);

template<typename... Args>
std::string format(std::string_view text, const Args&... args)
{
    return formatArgs(text, { FormatArg(args)... });
}

} // namespace morvix::platform
