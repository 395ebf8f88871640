#include "core/objects/BasicObject.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectDispatch.h"
#include "core/objects/RemoteException.h"
#include "core/objects/TypeConverter.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <unordered_set>

namespace morvix {

using platform::Value;

namespace {

constexpr std::string_view kTypeMismatchFormat = "Property '%@' of widget '%@' expects class '%@' but got '%@'";
constexpr std::string_view kBooleanMismatchFormat = "Widget %@ property %@ expects character/bool but got %@";

std::string declaredClassName(const PropertyDescriptor& property)
{
    if (!property.className.empty())
        return property.className;
    switch (property.declaredClass) {
    case DeclaredClass::None:
        return "(null)";
    case DeclaredClass::String:
        return "String";
    case DeclaredClass::Number:
        return "Number";
    case DeclaredClass::Array:
        return "Array";
    case DeclaredClass::Dictionary:
        return "Dictionary";
    case DeclaredClass::Color:
        return "Color";
    case DeclaredClass::Font:
        return "Font";
    case DeclaredClass::Value:
        return "Value";
    }
    return "(null)";
}

std::string valueClassName(const Value& value)
{
    if (value.is_null())
        return "Null";
    if (platform::isNumber(value))
        return "Number";
    if (value.is_string())
        return "String";
    if (value.is_array())
        return "Array";
    return "Dictionary";
}

bool isOfDeclaredClass(const Value& value, DeclaredClass declaredClass)
{
    switch (declaredClass) {
    case DeclaredClass::String:
        return value.is_string();
    case DeclaredClass::Number:
        return platform::isNumber(value);
    case DeclaredClass::Array:
        return value.is_array();
    case DeclaredClass::Dictionary:
        return value.is_object();
    case DeclaredClass::Value:
        return true;
    case DeclaredClass::None:
    case DeclaredClass::Color:
    case DeclaredClass::Font:
        return false;
    }
    return false;
}

std::string setterName(const std::string& key)
{
    std::string name = "set" + key + ":";
    if (!key.empty())
        name[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    return name;
}

std::string listenerName(const std::string& key)
{
    static constexpr std::string_view kSuffix = "Listener";
    if (key.ends_with(kSuffix))
        return key;
    std::string name = key;
    if (!name.empty())
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return name + std::string(kSuffix);
}

// What a peer asked for and the object passed over without an error: a warning in the session
// log, so that a misspelt name does not go unnoticed.
void warnIgnored(const std::shared_ptr<ClientContext>& client, std::string text)
{
    if (client)
        client->log(LogEntry(std::move(text), LogEntry::Type::Warning));
}

} // namespace

// The objects waiting for "ProcessingFinished", in the order they began to wait, and the one
// observer of the default notification centre that runs their hooks: an observer of each
// object's own cost every creation three allocations and the centre's lock, and as much again
// when the object stopped. The observer is added when the first object begins to wait and
// removed when the last one stops, so that it stands among the centre's other observers where
// an object's own observer would. Objects that waited on a centre that is no longer the default
// one wait no more: nothing posts there.
class BasicObject::ProcessingFinishedWaiters {
public:
    static ProcessingFinishedWaiters& instance()
    {
        // Never destroyed: objects may stop waiting while the process exits.
        static auto* waiters = new ProcessingFinishedWaiters;
        return *waiters;
    }

    void add(BasicObject& object)
    {
        auto center = platform::NotificationCenter::defaultCenter();
        std::lock_guard lock(m_mutex);
        if (object.m_waitingIndex != kNotWaiting)
            return;
        if (m_center.lock() != center || !m_observer.isActive()) {
            clear();
            m_center = center;
            m_observer = center->addObserver(std::string(kProcessingFinished), nullptr,
                [this](const platform::Notification&) { platform::MainLoop::main().runSync([this] { runHooks(); }); });
        }
        m_waiting.push_back({ &object, object.weak_from_this() });
        object.m_waitingIndex = m_waiting.size() - 1;
    }

    void remove(BasicObject& object) noexcept
    {
        std::lock_guard lock(m_mutex);
        if (object.m_waitingIndex == kNotWaiting)
            return;
        m_waiting[object.m_waitingIndex] = {};
        object.m_waitingIndex = kNotWaiting;
        if (++m_removed == m_waiting.size())
            return clear();
        if (m_removed * 2 > m_waiting.size())
            compact();
    }

    bool contains(const BasicObject& object)
    {
        std::lock_guard lock(m_mutex);
        return object.m_waitingIndex != kNotWaiting;
    }

private:
    struct Waiter {
        BasicObject* object = nullptr; // null once it stopped; valid while listed (it stops as it dies)
        std::weak_ptr<BasicObject> weak;
    };

    // Main thread. Objects that begin to wait meanwhile are left for the next post.
    void runHooks()
    {
        std::vector<std::weak_ptr<BasicObject>> waiting;
        {
            std::lock_guard lock(m_mutex);
            waiting.reserve(m_waiting.size() - m_removed);
            for (const auto& waiter : m_waiting) {
                if (waiter.object)
                    waiting.push_back(waiter.weak);
            }
        }
        for (const auto& weak : waiting) {
            if (auto object = weak.lock())
                object->handleProcessingFinished();
        }
    }

    // Drops every waiter and the observer. Under the lock.
    void clear() noexcept
    {
        for (const auto& waiter : m_waiting) {
            if (waiter.object)
                waiter.object->m_waitingIndex = kNotWaiting;
        }
        m_waiting.clear();
        m_removed = 0;
        m_observer.reset();
    }

    // Closes the gaps the stopped objects left, keeping the order. Under the lock.
    void compact() noexcept
    {
        std::size_t kept = 0;
        for (std::size_t index = 0; index < m_waiting.size(); ++index) {
            if (!m_waiting[index].object)
                continue;
            m_waiting[index].object->m_waitingIndex = kept;
            // Never onto itself: a weak pointer moved onto itself ends up empty.
            if (index != kept)
                m_waiting[kept] = std::move(m_waiting[index]);
            ++kept;
        }
        m_waiting.resize(kept);
        m_removed = 0;
    }

    std::mutex m_mutex; // guards everything here and the objects' m_waitingIndex
    std::weak_ptr<platform::NotificationCenter> m_center;
    platform::ObserverToken m_observer;
    std::vector<Waiter> m_waiting;
    std::size_t m_removed = 0;
};

BasicObject::BasicObject(CreationKey, std::string objectId, std::shared_ptr<ClientContext> client)
    : m_objectId(std::move(objectId))
    , m_client(client)
    , m_notifications(&Notifications::forObject)
{
}

BasicObject::~BasicObject()
{
    ProcessingFinishedWaiters::instance().remove(*this);
}

std::shared_ptr<BasicObject> BasicObject::create(const std::string& id, const Value*, std::shared_ptr<ClientContext> client)
{
    return construct<BasicObject>(id, std::move(client));
}

const PropertyTable& BasicObject::properties()
{
    static const PropertyTable table = PropertyTable::create<BasicObject>()
                                           .string("objectId", nullptr, &BasicObject::objectId)
                                           .boolean("omitDestroy", &BasicObject::setOmitDestroy, &BasicObject::omitDestroy)
                                           .boolean("creationPhase", nullptr, &BasicObject::creationPhase)
                                           .boolean("isDisposed", nullptr, &BasicObject::isDisposed)
                                           .array("objects", nullptr)
                                           .remote("parent", &BasicObject::setParent);
    return table;
}

const PropertyNames& BasicObject::remoteObjectProperties()
{
    static const PropertyNames names;
    return names;
}

std::vector<std::string> BasicObject::prioritizeKeys(std::vector<std::string> keys)
{
    auto data = std::find(keys.begin(), keys.end(), "data");
    if (data != keys.end())
        std::rotate(keys.begin(), data, data + 1);
    auto parent = std::find(keys.begin(), keys.end(), "parent");
    if (parent != keys.end())
        std::rotate(parent, parent + 1, keys.end());
    return keys;
}

const PropertyTable& BasicObject::propertyTable() const
{
    return properties();
}

std::string_view BasicObject::remoteType() const
{
    throw RemoteException::exceptionWithName(std::string(RemoteException::kUnrecognizedSelector),
        "unrecognized selector remoteObjectType sent to the class of object '%@'", m_objectId);
}

const PropertyNames& BasicObject::gettableProperties() const
{
    return remoteObjectProperties();
}

// MARK: Tree

void BasicObject::addObject(std::shared_ptr<RemoteObject> child)
{
    std::lock_guard lock(m_mutex);
    m_objects.push_back(std::move(child));
}

void BasicObject::removeObject(const RemoteObject& child)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_objects, [&](const auto& entry) { return entry.get() == &child; });
}

std::vector<std::shared_ptr<RemoteObject>> BasicObject::objects() const
{
    std::lock_guard lock(m_mutex);
    return m_objects;
}

void BasicObject::childObjectChanged(RemoteObject&)
{
}

void BasicObject::notifyObjectChange()
{
    if (auto parent = this->parent())
        parent->childObjectChanged(*this);
}

std::shared_ptr<ClientContext> BasicObject::client() const
{
    return m_client.lock();
}

std::shared_ptr<RemoteObject> BasicObject::parent() const
{
    std::lock_guard lock(m_mutex);
    return m_parent.lock();
}

bool BasicObject::isSelfOrAncestorOf(const std::shared_ptr<RemoteObject>& object) const
{
    // Parent links never form a cycle (this check refuses one), but a subclass may bypass it:
    // remember what was seen so the walk always ends.
    std::unordered_set<const RemoteObject*> seen;
    for (auto current = object; current; current = current->parent()) {
        if (current.get() == this)
            return true;
        if (!seen.insert(current.get()).second)
            return false;
    }
    return false;
}

void BasicObject::setParent(std::shared_ptr<RemoteObject> parent)
{
    auto self = shared_from_this();
    // A parent inside the object's own subtree would make the tree a cycle: the children would
    // own each other and destroying them would never end. The walk takes each ancestor's lock in
    // turn, so it runs before this object's own lock is taken, never while holding it.
    if (parent && parent != this->parent() && isSelfOrAncestorOf(parent))
        RemoteException::throwIncorrectParameter("parent '%@' of widget '%@' is the widget itself or one of its descendants",
            parent->objectId(), m_objectId);
    std::lock_guard lock(m_mutex);
    auto current = m_parent.lock();
    if (current == parent)
        return;
    if (current)
        current->removeObject(*this);
    m_parent = parent;
    if (parent)
        parent->addObject(self);
}

// MARK: Operations

std::optional<Value> BasicObject::dispatchType(const std::string& type, const std::string& method, const Value* properties)
{
    return ObjectDispatch::dispatch(this, type, method, properties);
}

void BasicObject::registered()
{
}

void BasicObject::setWithProperties(const Value* properties)
{
    if (!properties || properties->is_null())
        return;
    if (!properties->is_object())
        RemoteException::throwIncorrectParameter("properties of widget '%@' must be an object but got '%@'", m_objectId,
            valueClassName(*properties));
    // The order of prioritizeKeys, taken straight from the members: each key is looked up once
    // in the property table and never searched for in the properties.
    const auto& members = properties->get_ref<const Value::object_t&>();
    const Value::object_t::value_type* data = nullptr;
    const Value::object_t::value_type* parent = nullptr;
    for (const auto& member : members) {
        if (!data && member.first == "data")
            data = &member;
        else if (!parent && member.first == "parent")
            parent = &member;
    }
    if (data)
        setKey(data->first, data->second);
    for (const auto& member : members) {
        if (&member != data && &member != parent)
            setKey(member.first, member.second);
    }
    if (parent)
        setKey(parent->first, parent->second);
}

void BasicObject::listenWithProperties(const Value* properties)
{
    if (!properties || properties->is_null())
        return;
    if (!properties->is_object())
        RemoteException::throwIncorrectParameter("listeners of widget '%@' must be an object but got '%@'", m_objectId,
            valueClassName(*properties));
    for (const auto& item : properties->items()) {
        if (!platform::isNumber(item.value()))
            continue;
        // A name without a listener flag is ignored in silence: several types send events of
        // that kind whether or not the peer listens, and a peer may well listen to them.
        setKey(listenerName(item.key()), item.value());
    }
}

void BasicObject::destroyWithProperties(const Value*)
{
    destroy();
}

std::optional<Value> BasicObject::callWithProperties(const Value* properties, const std::string& method)
{
    auto entry = std::find_if(m_executeMethods.begin(), m_executeMethods.end(),
        [&](const auto& selector) { return selector.first == method; });
    if (entry == m_executeMethods.end()) {
        warnIgnored(client(), platform::format("call '%@' of widget '%@' ignored: it has no such call", method, m_objectId));
        return std::nullopt;
    }
    if (properties && properties->is_null())
        properties = nullptr;
    // Copy the selector: the call may register another one under the same name. A member
    // function's copies nothing but pointers.
    Selector selector = entry->second;
    return selector(*this, properties);
}

std::optional<Value> BasicObject::getWithMethod(const std::string& method)
{
    if (!gettableProperties().contains(method))
        return std::nullopt;
    return getKey(method);
}

void BasicObject::registerSelector(CallHandler handler, const std::string& call)
{
    registerSelector(Selector(std::move(handler)), call);
}

void BasicObject::registerSelector(Selector selector, const std::string& call)
{
    for (auto& [name, registered] : m_executeMethods) {
        if (name == call) {
            registered = std::move(selector);
            return;
        }
    }
    m_executeMethods.emplace_back(call, std::move(selector));
}

void BasicObject::destroy()
{
    // The parent's child list may hold the last owner.
    auto self = shared_from_this();
    m_isDisposed = true;
    if (m_omitDestroy || m_destroyed)
        return;
    m_destroyed = true;
    ProcessingFinishedWaiters::instance().remove(*this);
    for (const auto& child : objects()) {
        if (child)
            child->destroy();
    }
    // A destroy that runs late (a Shell's, after its close animation) may find its id taken by a
    // newer object of a reloaded session: only this very object's entry is removed.
    if (auto client = m_client.lock(); client && client->objectById(m_objectId) == self)
        client->removeObjectById(m_objectId);
    if (auto parent = this->parent())
        parent->removeObject(*this);
}

// MARK: Property setter

void BasicObject::setKey(const std::string& key, const Value& value)
{
    const auto* property = propertyTable().find(key);
    if (!property)
        return;
    switch (property->kind) {
    case PropertyKind::Object:
        return setObjectProperty(*property, value);
    case PropertyKind::RemoteObject:
        return setRemoteObjectProperty(*property, value);
    case PropertyKind::Bool:
        return setBooleanProperty(*property, value);
    case PropertyKind::Rect:
    case PropertyKind::Point:
        return setStructProperty(*property, value);
    }
}

void BasicObject::invokeSetter(const PropertyDescriptor& property, PropertyValue value)
{
    if (!property.setter)
        throw RemoteException::exceptionWithName(std::string(RemoteException::kUnrecognizedSelector),
            "unrecognized selector %@ sent to widget '%@': the property is read-only", setterName(property.name),
            m_objectId);
    property.setter(*this, std::move(value));
}

void BasicObject::throwClassMismatch(const PropertyDescriptor& property, const Value& value) const
{
    RemoteException::throwIncorrectParameter(kTypeMismatchFormat, property.name, m_objectId, declaredClassName(property),
        valueClassName(value));
}

void BasicObject::setObjectProperty(const PropertyDescriptor& property, const Value& value)
{
    if (isOfDeclaredClass(value, property.declaredClass)) {
        if (property.declaredClass == DeclaredClass::String)
            return invokeSetter(property, value.get<std::string>());
        return invokeSetter(property, PropertyValue(std::in_place_type<Value>, value));
    }
    if (value.is_null())
        return invokeSetter(property, {});
    if (property.declaredClass == DeclaredClass::Color && value.is_array()) {
        auto color = TypeConverter::toUIColor(value);
        return invokeSetter(property, color ? PropertyValue(*color) : PropertyValue());
    }
    if (property.declaredClass == DeclaredClass::Font && value.is_array()) {
        auto font = TypeConverter::toUIFont(value);
        return invokeSetter(property, font ? PropertyValue(*font) : PropertyValue());
    }
    // A string property never stores anything but text: numbers and booleans become their
    // text, and arrays and objects are refused.
    if (property.declaredClass == DeclaredClass::String && value.is_boolean())
        return invokeSetter(property, std::string(value.get<bool>() ? "true" : "false"));
    if (property.declaredClass == DeclaredClass::String && platform::isNumber(value))
        return invokeSetter(property, platform::numberText(value));
    throwClassMismatch(property, value);
}

void BasicObject::setRemoteObjectProperty(const PropertyDescriptor& property, const Value& value)
{
    if (value.is_null())
        return invokeSetter(property, {});
    // Only an id names a remote object; anything else would reach the setter as the wrong type.
    if (!value.is_string())
        throwClassMismatch(property, value);
    auto client = m_client.lock();
    auto object = client ? client->objectById(value.get<std::string>()) : nullptr;
    if (object && property.accepts && !property.accepts(*object)) {
        std::string type = "RemoteObject";
        try {
            type = std::string(object->remoteType());
        } catch (const RemoteException&) {
        }
        RemoteException::throwIncorrectParameter(kTypeMismatchFormat, property.name, m_objectId,
            declaredClassName(property), type);
    }
    if (!object)
        return invokeSetter(property, {});
    invokeSetter(property, std::move(object));
}

void BasicObject::setBooleanProperty(const PropertyDescriptor& property, const Value& value)
{
    if (!platform::isNumber(value))
        RemoteException::throwIncorrectParameter(kBooleanMismatchFormat, m_objectId, property.name, value);
    invokeSetter(property, *platform::numberValue(value) != 0);
}

void BasicObject::setStructProperty(const PropertyDescriptor& property, const Value& value)
{
    const bool rect = property.kind == PropertyKind::Rect;
    const char* expected = rect ? "[x, y, width, height]" : "[x, y]";
    if (!value.is_array()) {
        warnIgnored(client(), platform::format("property '%@' of widget '%@' expects %@ but got '%@': ignored", property.name,
            m_objectId, expected, value));
        return;
    }
    // A malformed array still sets the zero rectangle or point.
    if (!(rect ? TypeConverter::validCGRectArray(value) : TypeConverter::validCGPointArray(value)))
        warnIgnored(client(), platform::format("property '%@' of widget '%@' expects %@ but got '%@': set to zero",
            property.name, m_objectId, expected, value));
    if (rect)
        return invokeSetter(property, TypeConverter::toCGRect(value));
    invokeSetter(property, TypeConverter::toCGPoint(value));
}

// MARK: Property getter

std::optional<Value> BasicObject::getKey(const std::string& key) const
{
    const auto* property = propertyTable().find(key);
    if (!property || !property->getter)
        return std::nullopt;
    PropertyValue value = property->getter(*this);
    if (auto* text = std::get_if<std::string>(&value))
        return Value(*text);
    if (auto* json = std::get_if<Value>(&value))
        return json->is_null() ? std::nullopt : std::optional<Value>(*json);
    if (auto* color = std::get_if<platform::Color>(&value))
        return TypeConverter::fromUIColor(*color);
    if (auto* font = std::get_if<TypeConverter::NativeFont>(&value))
        return TypeConverter::fromUIFont(*font);
    if (auto* flag = std::get_if<bool>(&value))
        return Value(*flag);
    if (auto* rect = std::get_if<platform::Rect>(&value))
        return TypeConverter::fromCGRect(*rect);
    if (auto* point = std::get_if<platform::Point>(&value))
        return TypeConverter::fromCGPoint(*point);
    return std::nullopt;
}

// MARK: Processing finished

void BasicObject::startObservingProcessingFinished()
{
    ProcessingFinishedWaiters::instance().add(*this);
}

void BasicObject::handleProcessingFinished()
{
    auto& waiters = ProcessingFinishedWaiters::instance();
    // The object may have stopped waiting since the post began.
    if (!waiters.contains(*this))
        return;
    bool keepObserving = processingFinished();
    m_creationPhase = false;
    if (!keepObserving)
        waiters.remove(*this);
}

bool BasicObject::processingFinished()
{
    return false;
}

std::shared_ptr<Notification> BasicObject::notificationForObject() const
{
    if (!m_notifications)
        return nullptr;
    return m_notifications(m_objectId);
}

} // namespace morvix
