#pragma once
// The per-class glue of remote-object classes.

#include "core/objects/BasicObject.h"

#include <memory>
#include <string>
#include <string_view>

namespace morvix {

/// The base a remote-object class derives from: `class Label : public RemoteClass<Label,
/// Control>`. It supplies the default factory `create` (constructs a `Derived`; define your
/// own `create` to pick a subclass) and the virtual per-class accessors, which read
/// `Derived::properties()`, `Derived::remoteObjectProperties()`, `Derived::wire()` and
/// `Derived::kRemoteType`.
/// A class without `kRemoteType` keeps its base's (a plain `BasicObject` has none), so abstract
/// bases need not name one; registering a class without one fails to compile.
///
///     class Label : public RemoteClass<Label, Control> {
///     public:
///         static constexpr std::string_view kRemoteType = "zub.widgets.Label";
///         using RemoteClass::RemoteClass;
///         static const PropertyTable& properties();
///         static const PropertyNames& remoteObjectProperties();
///     };
template<typename Derived, typename Base = BasicObject>
class RemoteClass : public Base {
public:
    using Base::Base;

    /// Constructs a `Derived`; the properties are not applied here.
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client)
    {
        (void)properties;
        return BasicObject::template construct<Derived>(id, std::move(client));
    }

    const PropertyTable& propertyTable() const override { return Derived::properties(); }
    const PropertyNames& gettableProperties() const override { return Derived::remoteObjectProperties(); }
    const WireTable& wireTable() const override { return Derived::wire(); }
    std::string_view remoteType() const override
    {
        if constexpr (requires { Derived::kRemoteType; })
            return Derived::kRemoteType;
        else
            return Base::remoteType();
    }
};

/// `base` with `names` added: what a class's `remoteObjectProperties()` returns.
PropertyNames extendPropertyNames(const PropertyNames& base, std::initializer_list<std::string_view> names);

} // namespace morvix
