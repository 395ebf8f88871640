#pragma once
// The base class of every remote object.

#include "core/objects/PropertyTable.h"
#include "core/objects/RemoteObject.h"
#include "core/objects/WireTable.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace morvix {

class ClientContext;
class Notification;

/// The base of every remote object: its id, its session (held weakly), its parent (weakly)
/// and children (strongly, duplicates allowed), the per-object call table, and the machinery
/// that applies the five operations "set", "listen", "call", "get" and "destroy" through the
/// class's `PropertyTable`.
///
/// A remote-object class derives from `RemoteClass<Self, Base>` (see RemoteClass.h), which
/// supplies the factory and the per-class overrides, and provides as static members:
///  - `static constexpr std::string_view kRemoteType`: its protocol type name;
///  - `static const PropertyTable& properties()`: its declared properties (inherited when absent);
///  - `static const PropertyNames& remoteObjectProperties()`: the names "get" may read, its base's
///    plus its own (inherited when absent);
///  - `static const WireTable& wire()`: the events it sends, the properties it reports, the
///    style words it reads (inherited when absent);
///  - optionally `static std::shared_ptr<BasicObject> create(const std::string& id,
///    const platform::Value* properties, std::shared_ptr<ClientContext> client)`, to pick a
///    subclass from the creation properties ("style", "type"). The factory only constructs:
///    the creator applies the properties as a "set" afterwards and then registers the object.
///
/// Objects are made by factories only (their constructors need a `CreationKey`) and always live
/// in a `std::shared_ptr`. Constructors register the object's calls with `registerSelector`.
///
/// Thread safety: all operations run on the main thread. "ProcessingFinished" may be posted on
/// any thread: one observer, shared by every object that waits for it, moves the hooks to the
/// main thread and waits for them. `setParent`
/// holds the object's lock while it updates both parents.
class BasicObject : public RemoteObject, public std::enable_shared_from_this<BasicObject> {
protected:
    /// Only `BasicObject::construct` makes one, so only factories can construct objects.
    class CreationKey {
        friend class BasicObject;
        CreationKey() = default;
    };

public:
    /// Posted after each response or script turn has been applied.
    static constexpr std::string_view kProcessingFinished = "com.zerivoquastel.morvix.ProcessingFinished";

    /// Makes the outgoing message builder for an object id (`Notifications::forObject` by
    /// default).
    using NotificationsFactory = std::function<std::shared_ptr<Notification>(const std::string& objectId)>;
    /// A registered call: receives the call's properties (null pointer: none) and returns its
    /// result (nothing: no result). Must accept a null pointer.
    using CallHandler = std::function<std::optional<platform::Value>(const platform::Value* properties)>;

    BasicObject(CreationKey, std::string objectId, std::shared_ptr<ClientContext> client);
    ~BasicObject() override;
    BasicObject(const BasicObject&) = delete;
    BasicObject& operator=(const BasicObject&) = delete;

    /// Constructs a plain object; `properties` are not applied here.
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    /// "objectId", "omitDestroy", "creationPhase", "isDisposed", "objects" and "parent".
    static const PropertyTable& properties();
    /// Empty: a plain object lets "get" read nothing.
    static const PropertyNames& remoteObjectProperties();
    /// Empty: a plain object sends nothing by itself.
    static const WireTable& wire() { return WireTable::empty(); }
    /// Keys in the order "set" applies them: "data" first, "parent" last, the rest as given.
    static std::vector<std::string> prioritizeKeys(std::vector<std::string> keys);

    // RemoteObject
    void addObject(std::shared_ptr<RemoteObject> child) override;
    void removeObject(const RemoteObject& child) override;
    /// Does nothing here.
    void childObjectChanged(RemoteObject& child) override;
    void notifyObjectChange() override;
    std::shared_ptr<ClientContext> client() const override;
    std::optional<platform::Value> dispatchType(const std::string& type, const std::string& method,
        const platform::Value* properties) override;
    /// Does nothing here.
    void registered() override;
    /// Marks the object disposed; unless `omitDestroy` is set, also stops observing
    /// "ProcessingFinished", destroys the children (a snapshot, in order), removes the object
    /// from the session's registry and from its parent's children. A second destroy does
    /// nothing; an object kept by `omitDestroy` can still be destroyed once that is cleared.
    void destroy() override;
    const std::string& objectId() const override { return m_objectId; }
    std::shared_ptr<RemoteObject> parent() const override;
    /// Leaves the current parent and joins `parent` (null: none); nothing when it is the
    /// current one. Throws "Incorrect Parameter" when `parent` is this object or one of its
    /// descendants.
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    bool omitDestroy() const override { return m_omitDestroy; }
    void setOmitDestroy(bool omitDestroy) override { m_omitDestroy = omitDestroy; }
    /// Throws "Unrecognized Selector": a plain object has no type name.
    std::string_view remoteType() const override;
    const PropertyNames& gettableProperties() const override;

    /// The class's property table; `RemoteClass` overrides it with `properties()` of the class.
    virtual const PropertyTable& propertyTable() const;
    /// The class's wire table; `RemoteClass` overrides it with `wire()` of the class.
    virtual const WireTable& wireTable() const { return wire(); }

    /// Runs on the main thread after each "ProcessingFinished" while the object observes it;
    /// `creationPhase()` is true during the first run. Returning false stops the observation:
    /// the base returns false, so the hook runs once, after the message that created the object.
    virtual bool processingFinished();

    /// Applies the properties in `prioritizeKeys` order. Nothing for none or null; "Incorrect
    /// Parameter" for a value that is not an object. An exception ends the set and keeps the
    /// keys applied before it.
    void setWithProperties(const platform::Value* properties);
    /// For each key with a number value, sets the listener flag it names ("Selection" ->
    /// "selectionListener"; a key ending in "Listener" as it stands). Other values are skipped.
    void listenWithProperties(const platform::Value* properties);
    /// `destroy()`; the properties are ignored.
    void destroyWithProperties(const platform::Value* properties);
    /// Runs the call registered as `method` with the properties (null becomes none); nothing
    /// for an unregistered call.
    std::optional<platform::Value> callWithProperties(const platform::Value* properties, const std::string& method);
    /// The value of the property `method` when it is in `gettableProperties()`, else nothing.
    std::optional<platform::Value> getWithMethod(const std::string& method);

    /// Applies one property by its declared kind. An undeclared name is ignored; a value of the
    /// wrong shape raises "Incorrect Parameter"; a read-only property raises "Unrecognized
    /// Selector".
    void setKey(const std::string& key, const platform::Value& value);
    /// The wire form of a declared property; nothing for remote objects, unreadable or unset
    /// properties and undeclared names.
    std::optional<platform::Value> getKey(const std::string& key) const;

    /// A registered call: a `CallHandler`, or a member function of the object's class kept
    /// with a function that calls it on the object, so that registering one allocates nothing
    /// and calling it copies nothing but two pointers' worth.
    class Selector {
    public:
        explicit Selector(CallHandler handler)
            : m_handler(std::move(handler))
        {
        }
        template<typename T, typename Result>
        explicit Selector(Result (T::*method)(const platform::Value*))
            : m_invoke(&invokeMember<T, Result>)
        {
            static_assert(sizeof(method) <= sizeof(m_method), "a member function pointer does not fit");
            std::memcpy(m_method, &method, sizeof(method));
        }
        /// Runs the call on `object`, which must be the object that registered it.
        std::optional<platform::Value> operator()(BasicObject& object, const platform::Value* properties) const
        {
            return m_invoke ? m_invoke(object, *this, properties) : m_handler(properties);
        }

    private:
        using Invoker = std::optional<platform::Value> (*)(BasicObject&, const Selector&, const platform::Value*);
        template<typename T, typename Result>
        static std::optional<platform::Value> invokeMember(BasicObject& object, const Selector& selector,
            const platform::Value* properties)
        {
            Result (T::*method)(const platform::Value*);
            std::memcpy(&method, selector.m_method, sizeof(method));
            T& self = static_cast<T&>(object);
            if constexpr (std::is_void_v<Result>) {
                (self.*method)(properties);
                return std::nullopt;
            } else {
                return (self.*method)(properties);
            }
        }

        Invoker m_invoke = nullptr;
        alignas(void*) unsigned char m_method[2 * sizeof(void*)] = {};
        CallHandler m_handler;
    };
    /// The registered calls by name, in the order they were first registered.
    using Selectors = std::vector<std::pair<std::string, Selector>>;

    /// Stores `handler` under the call name `call`, replacing an earlier one.
    void registerSelector(CallHandler handler, const std::string& call);
    /// The same for a member function taking `const platform::Value*` and returning nothing or
    /// `std::optional<platform::Value>`.
    template<typename T, typename Result>
    void registerSelector(Result (T::*method)(const platform::Value*), const std::string& call)
    {
        static_assert(std::is_base_of_v<BasicObject, T>, "a call is a member function of a remote-object class");
        registerSelector(Selector(method), call);
    }
    const Selectors& executeMethods() const { return m_executeMethods; }

    /// A snapshot of the children, in order.
    std::vector<std::shared_ptr<RemoteObject>> objects() const;
    /// True until the first "ProcessingFinished" has been handled.
    bool creationPhase() const { return m_creationPhase; }
    bool isDisposed() const { return m_isDisposed; }

    /// The message builder for this object, from the `notifications` factory; null when the
    /// factory is empty.
    std::shared_ptr<Notification> notificationForObject() const;
    const NotificationsFactory& notifications() const { return m_notifications; }
    void setNotifications(NotificationsFactory factory) { m_notifications = std::move(factory); }

protected:
    /// Constructs a `T` and starts its observation of "ProcessingFinished"; what every factory
    /// uses.
    template<typename T>
    static std::shared_ptr<T> construct(std::string id, std::shared_ptr<ClientContext> client)
    {
        auto object = std::make_shared<T>(CreationKey(), std::move(id), std::move(client));
        static_cast<BasicObject&>(*object).didConstruct();
        object->startObservingProcessingFinished();
        return object;
    }

    /// Runs once, right after the constructor, when the object is owned by its shared pointer:
    /// what needs virtual calls or `weak_from_this()` goes here. Does nothing here; overrides
    /// call their base first.
    virtual void didConstruct() { }

private:
    class ProcessingFinishedWaiters;
    static constexpr std::size_t kNotWaiting = static_cast<std::size_t>(-1);

    void registerSelector(Selector selector, const std::string& call);
    void startObservingProcessingFinished();
    void handleProcessingFinished();
    bool isSelfOrAncestorOf(const std::shared_ptr<RemoteObject>& object) const;
    void setObjectProperty(const PropertyDescriptor& property, const platform::Value& value);
    void setRemoteObjectProperty(const PropertyDescriptor& property, const platform::Value& value);
    void setBooleanProperty(const PropertyDescriptor& property, const platform::Value& value);
    void setStructProperty(const PropertyDescriptor& property, const platform::Value& value);
    void invokeSetter(const PropertyDescriptor& property, PropertyValue value);
    [[noreturn]] void throwClassMismatch(const PropertyDescriptor& property, const platform::Value& value) const;

    const std::string m_objectId;
    std::weak_ptr<ClientContext> m_client;
    mutable std::recursive_mutex m_mutex; // guards m_parent and m_objects
    std::weak_ptr<RemoteObject> m_parent;
    std::vector<std::shared_ptr<RemoteObject>> m_objects;
    NotificationsFactory m_notifications;
    Selectors m_executeMethods;
    std::atomic<bool> m_creationPhase = true;
    bool m_isDisposed = false;
    bool m_omitDestroy = false;
    // Set once destroy has gone past the omitDestroy check, so that it never runs twice.
    bool m_destroyed = false;
    // Where the object stands among those waiting for "ProcessingFinished"; guarded by their
    // lock (see BasicObject.cpp).
    std::size_t m_waitingIndex = kNotWaiting;
};

} // namespace morvix
