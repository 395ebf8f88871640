#include "core/objects/ObjectRegistry.h"

#include "core/base/OSUtil.h"
#include "core/objects/BasicObject.h"
#include "core/objects/RemoteObject.h"
#include "core/objects/WidgetRegistry.h"

#include <algorithm>

namespace morvix {

namespace {

constexpr std::string_view kServerPushType = "zub.client.ServerPush";

} // namespace

int ObjectRegistry::compareNatural(std::string_view a, std::string_view b)
{
    return OSUtil::compareNumerically(a, b);
}

std::shared_ptr<ObjectRegistry> ObjectRegistry::create()
{
    return std::shared_ptr<ObjectRegistry>(new ObjectRegistry);
}

void ObjectRegistry::addObject(std::shared_ptr<RemoteObject> object)
{
    if (!object)
        return;
    std::shared_ptr<RemoteObject> replaced;
    {
        std::lock_guard lock(m_mutex);
        auto& slot = m_registry.findOrInsert(object->objectId());
        replaced = std::exchange(slot, object);
    }
    object->registered();
}

std::shared_ptr<RemoteObject> ObjectRegistry::objectById(const std::string& id) const
{
    std::lock_guard lock(m_mutex);
    const auto* found = m_registry.find(id);
    return found ? *found : nullptr;
}

void ObjectRegistry::removeObjectById(const std::string& id)
{
    // The object is released after the lock: its destructor may come back here.
    std::shared_ptr<RemoteObject> removed;
    std::lock_guard lock(m_mutex);
    removed = m_registry.erase(id);
}

std::string ObjectRegistry::rootWidgetId() const
{
    std::lock_guard lock(m_mutex);
    return m_rootWidgetId;
}

void ObjectRegistry::setRootWidgetId(std::string id)
{
    std::lock_guard lock(m_mutex);
    m_rootWidgetId = std::move(id);
}

std::shared_ptr<RemoteObject> ObjectRegistry::rootObject() const
{
    std::lock_guard lock(m_mutex);
    const auto* found = m_registry.find(m_rootWidgetId);
    return found ? *found : nullptr;
}

std::shared_ptr<RemoteObject> ObjectRegistry::serverPushObject() const
{
    return objectById(std::string(kServerPushType));
}

std::vector<std::shared_ptr<RemoteObject>> ObjectRegistry::serviceObjects()
{
    std::vector<std::shared_ptr<RemoteObject>> services;
    for (const auto& handler : WidgetRegistry::instance().getServiceHandlers()) {
        auto service = objectById(handler->type);
        if (!service)
            service = addService(handler->type);
        if (service)
            services.push_back(std::move(service));
    }
    return services;
}

std::shared_ptr<RemoteObject> ObjectRegistry::addService(const std::string& type)
{
    auto handler = WidgetRegistry::instance().getHandler(type);
    if (!handler)
        return nullptr;
    auto root = rootObject();
    std::shared_ptr<RemoteObject> service = handler->create(type, nullptr, root ? root->client() : nullptr);
    addObject(service);
    return service;
}

std::vector<std::string> ObjectRegistry::childrenIds() const
{
    std::vector<std::string> ids;
    {
        std::lock_guard lock(m_mutex);
        ids.reserve(m_registry.size());
        for (const auto& entry : m_registry.entries())
            ids.push_back(entry.id);
    }
    std::sort(ids.begin(), ids.end(), [](const std::string& a, const std::string& b) {
        if (int order = compareNatural(b, a))
            return order < 0;
        return b < a;
    });
    return ids;
}

std::size_t ObjectRegistry::count() const
{
    std::lock_guard lock(m_mutex);
    return m_registry.size();
}

void ObjectRegistry::reset()
{
    for (const auto& id : childrenIds()) {
        // Destroying a parent removes its children first, so look each id up again.
        if (auto object = objectById(id))
            object->destroy();
    }
    ObjectIdTable released;
    std::lock_guard lock(m_mutex);
    std::swap(released, m_registry);
}

} // namespace morvix
