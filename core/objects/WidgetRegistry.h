#pragma once
// The process-wide table from protocol type names to remote-object classes.

#include "core/objects/ServiceObject.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace morvix {

class BasicObject;
class ClientContext;
class WireTable;

/// Maps a protocol type name ("zub.widgets.Button", "morvix.Camera") to the class that
/// implements it. One table serves the whole process; the create operation finds classes here,
/// and the embedding application may add its own. A class added under a type name that is
/// already present replaces the earlier one, for every later session of the process.
///
/// The table starts empty. The library's type table (`registerRemoteTypes`) adds its three
/// groups in this order: widgets, native-access objects and services. They differ only in how
/// objects come into being: the peer creates widgets and native-access objects; the client
/// creates each service (a class that adopts `ServiceObject`) once per session under its type
/// name as id. A session adds the server push service ("zub.client.ServerPush") as it is made
/// when the table does not hold that type yet, so that a session always has it.
///
///     WidgetRegistry::instance().addHandler<Label>();
///     auto handler = WidgetRegistry::instance().getHandler("zub.widgets.Label");
///     auto label = handler->create("w5", nullptr, client);
///
/// Thread safety: any thread. Lookups come from the thread reading a message while the main
/// thread may add classes; the table is guarded by its own lock.
class WidgetRegistry final {
public:
    /// Constructs an object of the class; properties are not applied. May give null.
    using Factory = std::function<std::shared_ptr<BasicObject>(const std::string& id,
        const platform::Value* properties, std::shared_ptr<ClientContext> client)>;

    /// One row of the table: what stands for a class.
    struct Handler {
        std::string type;
        Factory create;
        /// True when the class adopts `ServiceObject`.
        bool isService = false;
        /// The row's place in registration order; set by the table (a class added again under
        /// its type name keeps the place of the row it replaces).
        std::uint64_t sequence = 0;
        /// The class's wire table (`wire()`), where its creation variants are declared; null for
        /// a row added without a class.
        const WireTable& (*wire)() = nullptr;
    };

    /// The shared table.
    static WidgetRegistry& instance();

    WidgetRegistry(const WidgetRegistry&) = delete;
    WidgetRegistry& operator=(const WidgetRegistry&) = delete;

    /// Stores the class under its `kRemoteType`, replacing any class stored there.
    template<typename T>
    void addHandler()
    {
        static_assert(std::is_base_of_v<BasicObject, T>, "a remote-object class derives from BasicObject");
        addHandler(Handler { std::string(T::kRemoteType), &T::create, std::is_base_of_v<ServiceObject, T>, 0, &T::wire });
    }
    /// Stores a row, replacing any row with the same type name. A row without a type name or a
    /// factory is ignored.
    void addHandler(Handler handler);

    /// The row for a type name, or null for a name the table does not hold.
    std::shared_ptr<const Handler> getHandler(std::string_view type) const;
    /// The rows of the service classes in registration order: the order in which a session
    /// creates and synchronises its services, which shows on the wire.
    std::vector<std::shared_ptr<const Handler>> getServiceHandlers() const;

    /// Empties the table. For tests.
    void resetForTesting();

private:
    WidgetRegistry();

    // Hashes a type name given as any kind of string, so that a lookup makes no string.
    struct TypeNameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view type) const { return std::hash<std::string_view>()(type); }
    };

    mutable std::shared_mutex m_mutex; // guards m_handlers and m_nextSequence
    std::uint64_t m_nextSequence = 0;
    std::unordered_map<std::string, std::shared_ptr<const Handler>, TypeNameHash, std::equal_to<>> m_handlers;
};

} // namespace morvix
