#include "core/outgoing/NotificationImpl.h"

namespace morvix {

std::shared_ptr<NotificationImpl> NotificationImpl::create(std::string target)
{
    return std::make_shared<NotificationImpl>(Key(), std::move(target));
}

NotificationImpl::NotificationImpl(Key, std::string target)
    : m_target(std::move(target))
{
}

MessageOperation& NotificationImpl::lastSet()
{
    MessageOperation* last = m_operations.last();
    if (!last || !last->isSet()) {
        m_operations.append(MessageOperation());
        last = m_operations.last();
    }
    return *last;
}

NotificationImpl& NotificationImpl::attributeChanged(platform::Value value, const std::string& key)
{
    lastSet().setObject(std::move(value), key);
    return *this;
}

NotificationImpl& NotificationImpl::floatingPointChanged(double value, const std::string& key)
{
    lastSet().setObject(value, key, MessageOperation::Number::FloatingPoint);
    return *this;
}

NotificationImpl& NotificationImpl::call(const std::string& method, platform::Value parameters)
{
    m_operations.append(MessageOperation(MessageOperation::Kind::Call, method, std::move(parameters)));
    send();
    return *this;
}

NotificationImpl& NotificationImpl::fireEvent(const std::string& event, platform::Value attributes)
{
    m_operations.append(MessageOperation(MessageOperation::Kind::Notify, event, std::move(attributes)));
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
    for (const auto& operation : m_operations.items()) {
        if (!text.empty())
            text += '\n';
        text += operation.description();
    }
    return text;
}

} // namespace morvix
