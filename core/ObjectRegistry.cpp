#include "core/ObjectRegistry.h"

#include "core/BasicObject.h"
#include "core/RemoteObject.h"
#include "core/WidgetRegistry.h"

#include <algorithm>

namespace morvix {

namespace {

constexpr std::string_view kServerPushType = "zub.client.ServerPush";

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Compares the digit runs starting at a[i] and b[j] by value and moves both indices past them.
int compareDigitRuns(std::string_view a, std::size_t& i, std::string_view b, std::size_t& j)
{
    while (i < a.size() && a[i] == '0' && i + 1 < a.size() && isDigit(a[i + 1]))
        ++i;
    while (j < b.size() && b[j] == '0' && j + 1 < b.size() && isDigit(b[j + 1]))
        ++j;
    std::size_t startA = i;
    std::size_t startB = j;
    while (i < a.size() && isDigit(a[i]))
        ++i;
    while (j < b.size() && isDigit(b[j]))
        ++j;
    std::size_t lengthA = i - startA;
    std::size_t lengthB = j - startB;
    if (lengthA != lengthB)
        return lengthA < lengthB ? -1 : 1;
    return a.substr(startA, lengthA).compare(b.substr(startB, lengthB));
}

} // namespace

int ObjectRegistry::compareNatural(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            if (int order = compareDigitRuns(a, i, b, j))
                return order < 0 ? -1 : 1;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
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
        auto& slot = m_registry[object->objectId()];
        replaced = std::exchange(slot, object);
    }
    object->registered();
}

std::shared_ptr<RemoteObject> ObjectRegistry::objectById(const std::string& id) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_registry.find(id);
    return found == m_registry.end() ? nullptr : found->second;
}

void ObjectRegistry::removeObjectById(const std::string& id)
{
    std::shared_ptr<RemoteObject> removed;
    std::lock_guard lock(m_mutex);
    auto found = m_registry.find(id);
    if (found == m_registry.end())
        return;
    removed = std::move(found->second);
    m_registry.erase(found);
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
    auto found = m_registry.find(m_rootWidgetId);
    return found == m_registry.end() ? nullptr : found->second;
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
        for (const auto& entry : m_registry)
            ids.push_back(entry.first);
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
    std::map<std::string, std::shared_ptr<RemoteObject>> released;
    std::lock_guard lock(m_mutex);
    std::swap(released, m_registry);
}

} // namespace morvix
