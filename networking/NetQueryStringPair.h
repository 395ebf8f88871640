#pragma once
// Query strings: the pairs a parameter dictionary flattens into, and their escaping.

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

/// One field of a query string and its value. A value that is absent or null makes a field
/// without "=". Value type; any thread.
class NetQueryStringPair {
public:
    NetQueryStringPair(std::string field, std::optional<platform::Value> value)
        : m_field(std::move(field))
        , m_value(std::move(value))
    {
    }

    const std::string& field() const { return m_field; }
    const std::optional<platform::Value>& value() const { return m_value; }

    /// "field=value", both escaped; the escaped field alone when the value is absent or null.
    std::string URLEncodedStringValue() const;

private:
    std::string m_field;
    std::optional<platform::Value> m_value;
};

/// `text` with every byte escaped as "%XX" (upper-case hexadecimal, per UTF-8 byte) except
/// ASCII letters, digits and "-._~/?".
std::string NetPercentEscapedStringFromString(std::string_view text);

/// The pairs of `parameters`: `NetQueryStringPairsFromKeyAndValue` without a key.
std::vector<NetQueryStringPair> NetQueryStringPairsFromDictionary(const platform::Value& parameters);

/// Flattens `value` under `key` (nothing at the top level):
///  - an object: its keys in ascending byte order, each under "key[inner]" (or "inner" at the
///    top level);
///  - an array: each element in order under "key[]";
///  - anything else: one pair (key, value).
/// JSON has no sets, so the set form (repeated key, sorted values) does not arise.
std::vector<NetQueryStringPair> NetQueryStringPairsFromKeyAndValue(const std::optional<std::string>& key, const platform::Value& value);

/// The pair texts of `parameters` joined with "&", in the order above.
std::string NetQueryStringFromParameters(const platform::Value& parameters);

/// The text a parameter value contributes: a string as it is, a number as the platform prints
/// it (1, 2.5), a boolean as 1 or 0, anything else as its JSON text.
std::string NetQueryStringDescription(const platform::Value& value);

} // namespace morvix
