#include "core/objects/WidgetRegistry.h"

#include <algorithm>
#include <mutex>

namespace morvix {

WidgetRegistry& WidgetRegistry::instance()
{
    static WidgetRegistry registry;
    return registry;
}

WidgetRegistry::WidgetRegistry() = default;

void WidgetRegistry::addHandler(Handler handler)
{
    if (handler.type.empty() || !handler.create)
        return;
    std::shared_ptr<const Handler> replaced;
    std::unique_lock lock(m_mutex);
    auto& slot = m_handlers[handler.type];
    handler.sequence = slot ? slot->sequence : m_nextSequence++;
    replaced = std::exchange(slot, std::make_shared<const Handler>(std::move(handler)));
}

std::shared_ptr<const WidgetRegistry::Handler> WidgetRegistry::getHandler(std::string_view type) const
{
    std::shared_lock lock(m_mutex);
    auto found = m_handlers.find(type);
    return found == m_handlers.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<const WidgetRegistry::Handler>> WidgetRegistry::getServiceHandlers() const
{
    std::vector<std::shared_ptr<const Handler>> services;
    std::shared_lock lock(m_mutex);
    for (const auto& [type, handler] : m_handlers) {
        if (handler->isService)
            services.push_back(handler);
    }
    std::sort(services.begin(), services.end(), [](const auto& a, const auto& b) { return a->sequence < b->sequence; });
    return services;
}

void WidgetRegistry::resetForTesting()
{
    std::unique_lock lock(m_mutex);
    m_handlers.clear();
    m_nextSequence = 0;
}

} // namespace morvix
