#include "core/outgoing/NotificationImpl.h"

#include "core/outgoing/CallOperation.h"
#include "core/outgoing/NotifyOperation.h"
#include "core/outgoing/SetOperation.h"

#include <typeinfo>

namespace morvix {

std::shared_ptr<NotificationImpl> NotificationImpl::create(std::string target)
{
    return std::make_shared<NotificationImpl>(Key(), std::move(target));
}

NotificationImpl::NotificationImpl(Key, std::string target)
    : m_target(std::move(target))
{
}

NotificationImpl& NotificationImpl::attributeChanged(platform::Value value, const std::string& key)
{
    SetOperation* last = nullptr;
    if (!m_operations.empty() && typeid(*m_operations.back()) == typeid(SetOperation)) // the class is final
        last = static_cast<SetOperation*>(m_operations.back().get());
    if (!last) {
        auto operation = std::make_shared<SetOperation>();
        last = operation.get();
        m_operations.push_back(std::move(operation));
    }
    last->setObject(std::move(value), key);
    return *this;
}

NotificationImpl& NotificationImpl::call(const std::string& method, platform::Value parameters)
{
    m_operations.push_back(std::make_shared<CallOperation>(method, std::move(parameters)));
    send();
    return *this;
}

NotificationImpl& NotificationImpl::fireEvent(const std::string& event, platform::Value attributes)
{
    m_operations.push_back(std::make_shared<NotifyOperation>(event, std::move(attributes)));
    send();
    return *this;
}

NotificationImpl& NotificationImpl::fireSelection()
{
    return fireEvent("Selection");
}

NotificationImpl& NotificationImpl::fireDefaultSelection()
{
    return fireEvent("DefaultSelection");
}

std::string NotificationImpl::description() const
{
    std::string text;
    for (const auto& operation : m_operations) {
        if (!text.empty())
            text += '\n';
        text += operation->description();
    }
    return text;
}

} // namespace morvix
