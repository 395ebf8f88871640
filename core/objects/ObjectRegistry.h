#pragma once
// The session's map from object ids to its live remote objects.

#include "core/objects/ObjectIdTable.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class RemoteObject;

/// Owns every remote object of one session by id, knows the root object (the display) and
/// creates the session's service objects on demand, each under its type name as id.
///
/// Rules:
///  1. `addObject` replaces an object already stored under the same id without destroying it,
///     then calls the new object's `registered`.
///  2. `objectById` never creates anything.
///  3. `reset` destroys the objects in descending natural order of their ids (w12 before w9
///     before w2), skipping those that an earlier destroy already removed, then empties the
///     map; objects kept by `omitDestroy` are released with it. The root id survives.
///
/// Thread safety: lookups (`objectById`, `rootObject`, `count`, `childrenIds`) may come from
/// any thread, notably the one reading a message; adding, removing, creating services and
/// resetting happen on the main thread. The map and the root id are guarded by the registry's
/// lock, which is never held while an object is called (`registered`, `destroy`).
class ObjectRegistry final {
public:
    static std::shared_ptr<ObjectRegistry> create();
    ObjectRegistry(const ObjectRegistry&) = delete;
    ObjectRegistry& operator=(const ObjectRegistry&) = delete;

    /// Stores the object under its id (rule 1). Does nothing for null. Main thread.
    void addObject(std::shared_ptr<RemoteObject> object);
    /// The object stored under `id`, or null. Any thread.
    std::shared_ptr<RemoteObject> objectById(const std::string& id) const;
    /// Drops the entry; does nothing when there is none. Main thread.
    void removeObjectById(const std::string& id);

    std::string rootWidgetId() const;
    /// Set by the display when it is created. Main thread.
    void setRootWidgetId(std::string id);
    /// The object stored under the root id, or null. Any thread.
    std::shared_ptr<RemoteObject> rootObject() const;
    /// The object stored under "zub.client.ServerPush", or null; it is not created here.
    std::shared_ptr<RemoteObject> serverPushObject() const;

    /// Every service object of the table, creating the missing ones with `addService`, in the
    /// order the type table gives its service classes. Main thread.
    std::vector<std::shared_ptr<RemoteObject>> serviceObjects();
    /// Creates and registers the service of that type under its type name, with no properties
    /// and the root object's client (none while there is no root object). Applies no "set".
    /// Null for an unknown type or when the class made nothing. Main thread.
    std::shared_ptr<RemoteObject> addService(const std::string& type);

    /// All registered ids, in descending natural order; ids that compare equal by their
    /// numbers ("w01", "w1") fall back to plain descending order. Any thread.
    std::vector<std::string> childrenIds() const;
    std::size_t count() const;

    /// Destroys every object and empties the registry (rule 3). Main thread.
    void reset();

    /// Compares two strings with runs of digits compared by their numeric value ("w9" < "w12"):
    /// negative, zero or positive. Leading zeros do not count, so "w01" and "w1" compare equal.
    static int compareNatural(std::string_view a, std::string_view b);

private:
    ObjectRegistry() = default;

    mutable std::mutex m_mutex; // guards m_registry and m_rootWidgetId
    ObjectIdTable m_registry;
    std::string m_rootWidgetId;
};

} // namespace morvix
