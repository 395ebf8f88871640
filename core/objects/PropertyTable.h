#pragma once
// The per-class table of the properties a remote object takes from the wire.

#include "core/objects/TypeConverter.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Point.h"
#include "platform/graphics/Rect.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace morvix {

class BasicObject;
class RemoteObject;

/// How the property setter treats a property.
enum class PropertyKind {
    Object,       // a value of a declared class, see `DeclaredClass`
    RemoteObject, // another remote object, named on the wire by its id
    Bool,         // a number taken as a boolean (any non-zero number is true)
    Rect,         // [x, y, width, height]
    Point,        // [x, y]
};

/// The declared class of an `Object` property.
enum class DeclaredClass {
    None,       // not a class: remote-object properties
    String,     // a text; numbers and booleans are turned into text
    Number,     // a number or boolean, kept as the wire's value
    Array,      // a JSON array
    Dictionary, // a JSON object
    Color,      // a colour array, see TypeConverter
    Font,       // a font array, see TypeConverter
    Value,      // any JSON value, null included, handed on as it is
};

/// What a setter receives and a getter gives, before the setter's own type: nothing, a text, a
/// JSON value, a colour, a font, a flag, a rectangle, a point or a remote object.
using PropertyValue = std::variant<std::monostate, std::string, platform::Value, platform::Color,
    TypeConverter::NativeFont, bool, platform::Rect, platform::Point, std::shared_ptr<RemoteObject>>;

/// One declared property. An empty setter makes the property read-only: setting it raises
/// "Unrecognized Selector". An empty getter makes it unreadable.
struct PropertyDescriptor {
    std::string name;
    PropertyKind kind = PropertyKind::Object;
    DeclaredClass declaredClass = DeclaredClass::None;
    std::function<void(BasicObject&, PropertyValue)> setter;
    std::function<PropertyValue(const BasicObject&)> getter;
    /// Remote-object properties of a given class: whether an object is one. Empty: any object.
    std::function<bool(const RemoteObject&)> accepts;
    /// Remote-object properties of a given class: its type name, for diagnostics.
    std::string className;

    bool isReadOnly() const { return !setter; }
};

/// The properties one class declares, chained to its base class's table so that a lookup finds
/// inherited properties too; a class may declare a base's name again to replace it. Tables are
/// built once, in a function-local static of each class's `properties()`:
///
///     static const PropertyTable& properties()
///     {
///         static const PropertyTable table = PropertyTable::extend<Label>(Control::properties())
///             .string("text", &Label::setText, &Label::text)
///             .color("foreground", &Label::setForeground, &Label::foreground)
///             .flag("selectionListener", &Label::m_selectionListener)
///             .remote<Menu>("menu", &Label::setMenu);
///         return table;
///     }
///
/// Setters and getters are member functions, data members or callables taking the object. Pass
/// `nullptr` as the setter to declare a read-only property, and leave out the getter where the
/// property cannot be read. Setter arguments by kind: `std::optional<std::string>` (string),
/// `std::optional<platform::Value>` (number, array, dictionary, value),
/// `std::optional<platform::Color>`, `std::optional<TypeConverter::NativeFont>`,
/// `std::shared_ptr<R>` (remote), `bool`, `platform::Rect`, `platform::Point`; getters return
/// the same types. Immutable once built; any thread.
class PropertyTable {
public:
    template<typename T>
    class Builder;

    /// A table for `T` with no base.
    template<typename T>
    static Builder<T> create() { return Builder<T>(nullptr); }
    /// A table for `T` chained to `base`, which must outlive it (a class's static table does).
    template<typename T>
    static Builder<T> extend(const PropertyTable& base) { return Builder<T>(&base); }

    /// The property named `name` of this class or a base class; null when none is declared.
    /// One hash lookup, whatever the depth of the class chain.
    const PropertyDescriptor* find(std::string_view name) const;
    /// The properties declared by this class itself, in declaration order.
    const std::vector<PropertyDescriptor>& ownProperties() const { return m_properties; }
    const PropertyTable* base() const { return m_base; }

private:
    // Where a name's property is declared: in this table (null) or a base table, at an index
    // of its own properties. Indexes, not pointers, so that a copied table stays right.
    struct Entry {
        const PropertyTable* table = nullptr;
        std::size_t index = 0;
    };
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };

    explicit PropertyTable(const PropertyTable* base) : m_base(base) { }
    /// Indexes every name this table answers for: its own properties first (the first
    /// declaration of a name wins), then its base's that it does not declare again.
    void buildIndex();

    const PropertyTable* m_base = nullptr;
    std::vector<PropertyDescriptor> m_properties;
    std::unordered_map<std::string, Entry, NameHash, std::equal_to<>> m_index;
};

namespace detail {

template<typename T, typename Setter, typename Argument>
void applySetter(const Setter& setter, T& object, Argument&& argument)
{
    if constexpr (std::is_member_object_pointer_v<Setter>)
        object.*setter = std::forward<Argument>(argument);
    else
        std::invoke(setter, object, std::forward<Argument>(argument));
}

} // namespace detail

template<typename T>
class PropertyTable::Builder {
public:
    explicit Builder(const PropertyTable* base) : m_table(base) { }

    operator PropertyTable() const
    {
        PropertyTable table = m_table;
        table.buildIndex();
        return table;
    }

    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& string(std::string name, Setter setter, Getter getter = nullptr)
    {
        return object<std::string, std::string>(std::move(name), DeclaredClass::String, setter, getter);
    }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& number(std::string name, Setter setter, Getter getter = nullptr)
    {
        return object<platform::Value, platform::Value>(std::move(name), DeclaredClass::Number, setter, getter);
    }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& array(std::string name, Setter setter, Getter getter = nullptr)
    {
        return object<platform::Value, platform::Value>(std::move(name), DeclaredClass::Array, setter, getter);
    }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& dictionary(std::string name, Setter setter, Getter getter = nullptr)
    {
        return object<platform::Value, platform::Value>(std::move(name), DeclaredClass::Dictionary, setter, getter);
    }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& value(std::string name, Setter setter, Getter getter = nullptr)
    {
        return object<platform::Value, platform::Value>(std::move(name), DeclaredClass::Value, setter, getter);
    }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& color(std::string name, Setter setter, Getter getter = nullptr)
    {
        return object<platform::Color, platform::Color>(std::move(name), DeclaredClass::Color, setter, getter);
    }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& font(std::string name, Setter setter, Getter getter = nullptr)
    {
        return object<TypeConverter::NativeFont, TypeConverter::NativeFont>(std::move(name), DeclaredClass::Font,
            setter, getter);
    }

    /// A remote-object property: the setter receives the object the id names, as `R`. The setter
    /// refuses a registered object that is not an `R`.
    template<typename R = RemoteObject, typename Setter>
    Builder& remote(std::string name, Setter setter)
    {
        auto descriptor = declare(std::move(name), PropertyKind::RemoteObject, DeclaredClass::None);
        if constexpr (!std::is_same_v<R, RemoteObject>) {
            descriptor.accepts = [](const RemoteObject& object) { return dynamic_cast<const R*>(&object) != nullptr; };
            if constexpr (requires { R::kRemoteType; })
                descriptor.className = std::string(R::kRemoteType);
        }
        if constexpr (!std::is_null_pointer_v<Setter>) {
            descriptor.setter = [setter](BasicObject& object, PropertyValue value) {
                std::shared_ptr<R> target;
                if (auto* remote = std::get_if<std::shared_ptr<RemoteObject>>(&value))
                    target = std::dynamic_pointer_cast<R>(*remote);
                detail::applySetter(setter, static_cast<T&>(object), std::move(target));
            };
        }
        return add(std::move(descriptor));
    }

    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& boolean(std::string name, Setter setter, Getter getter = nullptr)
    {
        return plain<bool>(std::move(name), PropertyKind::Bool, setter, getter);
    }
    /// A boolean property kept in a data member, such as a listener flag.
    Builder& flag(std::string name, bool T::*member) { return boolean(std::move(name), member, member); }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& rect(std::string name, Setter setter, Getter getter = nullptr)
    {
        return plain<platform::Rect>(std::move(name), PropertyKind::Rect, setter, getter);
    }
    template<typename Setter, typename Getter = std::nullptr_t>
    Builder& point(std::string name, Setter setter, Getter getter = nullptr)
    {
        return plain<platform::Point>(std::move(name), PropertyKind::Point, setter, getter);
    }

private:
    static PropertyDescriptor declare(std::string name, PropertyKind kind, DeclaredClass declaredClass)
    {
        PropertyDescriptor descriptor;
        descriptor.name = std::move(name);
        descriptor.kind = kind;
        descriptor.declaredClass = declaredClass;
        return descriptor;
    }

    Builder& add(PropertyDescriptor descriptor)
    {
        m_table.m_properties.push_back(std::move(descriptor));
        return *this;
    }

    // Object kinds: the setter takes std::optional<Native>; nothing clears the property.
    template<typename Native, typename Stored, typename Setter, typename Getter>
    Builder& object(std::string name, DeclaredClass declaredClass, const Setter& setter, const Getter& getter)
    {
        auto descriptor = declare(std::move(name), PropertyKind::Object, declaredClass);
        if constexpr (!std::is_null_pointer_v<Setter>) {
            descriptor.setter = [setter](BasicObject& object, PropertyValue value) {
                std::optional<Native> argument;
                if (auto* native = std::get_if<Stored>(&value))
                    argument = std::move(*native);
                detail::applySetter(setter, static_cast<T&>(object), std::move(argument));
            };
        }
        if constexpr (!std::is_null_pointer_v<Getter>) {
            descriptor.getter = [getter](const BasicObject& object) -> PropertyValue {
                std::optional<Native> result = std::invoke(getter, static_cast<const T&>(object));
                if (!result)
                    return {};
                return PropertyValue(std::in_place_type<Stored>, std::move(*result));
            };
        }
        return add(std::move(descriptor));
    }

    // Bool, rectangle and point kinds: the setter takes the value itself.
    template<typename Native, typename Setter, typename Getter>
    Builder& plain(std::string name, PropertyKind kind, const Setter& setter, const Getter& getter)
    {
        auto descriptor = declare(std::move(name), kind, DeclaredClass::None);
        if constexpr (!std::is_null_pointer_v<Setter>) {
            descriptor.setter = [setter](BasicObject& object, PropertyValue value) {
                detail::applySetter(setter, static_cast<T&>(object), std::get<Native>(std::move(value)));
            };
        }
        if constexpr (!std::is_null_pointer_v<Getter>) {
            descriptor.getter = [getter](const BasicObject& object) -> PropertyValue {
                return PropertyValue(std::in_place_type<Native>, std::invoke(getter, static_cast<const T&>(object)));
            };
        }
        return add(std::move(descriptor));
    }

    PropertyTable m_table;
};

} // namespace morvix
