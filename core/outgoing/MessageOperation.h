#pragma once
// One recorded operation of an outgoing message.

#include "core/outgoing/SmallList.h"
#include "platform/foundation/Value.h"

#include <span>
#include <string>
#include <utility>
#include <vector>

namespace morvix {

/// An operation recorded on a `Notification`: a property change (set), a call or an event
/// (notify). A set holds its changed properties in the order they were first recorded (most
/// sets change one, which then takes no list of its own); a call holds its parameters and an
/// event its attributes. A value type, held by its message; not locked.
///
/// Wire arrays: ["set", target, {properties}], ["call", target, method, {parameters}] and
/// ["notify", target, event, {attributes}].
class MessageOperation {
public:
    enum class Kind { Set, Notify, Call };
    /// How a whole number recorded for a property goes on the wire: as an integer (`Plain`), or
    /// with its fraction, as the floating-point number the property is by its nature.
    enum class Number { Plain, FloatingPoint };
    using Property = std::pair<std::string, platform::Value>;

    /// A set with no properties yet.
    MessageOperation() = default;
    /// A call or an event named `name`; null `attributes` (none) give an empty object.
    MessageOperation(Kind kind, std::string name, platform::Value attributes);
    ~MessageOperation();
    MessageOperation(const MessageOperation&) = default;
    MessageOperation(MessageOperation&&) noexcept = default;
    MessageOperation& operator=(const MessageOperation&) = default;
    MessageOperation& operator=(MessageOperation&&) noexcept = default;

    Kind kind() const { return m_kind; }
    bool isSet() const { return m_kind == Kind::Set; }
    /// The method of a call, the event of a notify; empty for a set.
    const std::string& name() const { return m_name; }
    /// The parameters of a call, the attributes of an event: an object unless something else
    /// was given. Null for a set.
    const platform::Value& getAttributes() const { return m_attributes; }
    /// The properties of a set, each key once; empty for a call or an event.
    std::span<const Property> properties() const { return m_properties.items(); }

    /// Records `value` for the property `key` of a set: a later value for the same key replaces
    /// the earlier one in place, its `number` mark too. Only for a set.
    void setObject(platform::Value value, const std::string& key, Number number = Number::Plain);
    /// The properties of a set recorded as `Number::FloatingPoint`; empty as a rule.
    std::span<const std::string> floatingPointKeys() const { return m_floatingPointKeys; }

    /// The operation's wire array for `target`. The array holds a copy of the operation's map,
    /// so later changes to the operation do not reach it.
    platform::Value toOperationArray(const std::string& target) const;
    /// The properties of a set, the attributes of a call or an event, as one value (a copy).
    platform::Value map() const;
    /// "set", "notify" or "call".
    static const std::string& kindName(Kind kind);

    /// A readable rendering for debugging, such as `set: {"text":"a"}` or
    /// `notify: Selection, {}`.
    std::string description() const;

private:
    Kind m_kind = Kind::Set;
    std::string m_name;
    platform::Value m_attributes;
    SmallList<Property> m_properties;
    std::vector<std::string> m_floatingPointKeys;
};

} // namespace morvix
