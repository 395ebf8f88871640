#pragma once
// The interface of every object the peer creates and drives.

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace morvix {

class ClientContext;

/// The names of the properties a "get" operation may read.
using PropertyNames = std::unordered_set<std::string>;

/// An object that the peer creates and drives: it has a string id given by the peer, belongs
/// to one session, sits in a parent/child tree and is changed through the generic operations
/// "set", "listen", "call", "get" and "destroy" (`dispatchType`). `BasicObject` implements it,
/// and every remote-object class derives from `BasicObject`.
///
/// Besides these operations, each concrete class provides, as static members:
///  - `kRemoteType`, its protocol type name ("zub.widgets.Button");
///  - `create(id, properties, client)`, its factory (see `BasicObject`);
///  - `remoteObjectProperties()`, the names a "get" may read: its base's plus its own.
/// `remoteType()` and `gettableProperties()` reach them through an object.
///
/// Main thread, except where a method says otherwise.
class RemoteObject {
public:
    virtual ~RemoteObject() = default;

    /// Appends `child` to the children; the same child may be added more than once.
    virtual void addObject(std::shared_ptr<RemoteObject> child) = 0;
    /// Removes every entry of `child` from the children; does nothing when it is not there.
    virtual void removeObject(const RemoteObject& child) = 0;
    /// A child reports a change of its own.
    virtual void childObjectChanged(RemoteObject& child) = 0;
    /// Reports a change of this object to its parent.
    virtual void notifyObjectChange() = 0;
    /// The owning session; null once it is gone.
    virtual std::shared_ptr<ClientContext> client() const = 0;
    /// Applies the operation `type` ("set", "listen", "call", "get", "destroy") with the method
    /// or property name `method` and the properties (null pointer: none). Returns the result of
    /// a "call" or "get"; nothing otherwise, and nothing for an unknown operation.
    virtual std::optional<platform::Value> dispatchType(const std::string& type, const std::string& method,
        const platform::Value* properties)
        = 0;
    /// Runs right after the object has been stored in the object registry.
    virtual void registered() = 0;
    virtual void destroy() = 0;
    virtual const std::string& objectId() const = 0;
    /// The parent, held weakly; null when there is none or it is gone.
    virtual std::shared_ptr<RemoteObject> parent() const = 0;
    virtual void setParent(std::shared_ptr<RemoteObject> parent) = 0;
    /// When set, `destroy` only marks the object disposed.
    virtual bool omitDestroy() const = 0;
    virtual void setOmitDestroy(bool omitDestroy) = 0;

    /// The class's protocol type name. Throws "Unrecognized Selector" for a class that has none.
    virtual std::string_view remoteType() const = 0;
    /// The class's `remoteObjectProperties()`.
    virtual const PropertyNames& gettableProperties() const = 0;
};

} // namespace morvix
