#include "platform/ui/RestorationCoder.h"

#include "platform/ui/ViewController.h"

namespace morvix::platform {

void RestorationCoder::store(const std::string& key, Value value)
{
    if (!m_values.contains(key))
        m_order.push_back(key);
    m_values[key] = std::move(value);
}

void RestorationCoder::encodeController(const std::shared_ptr<ViewController>& controller, const std::string& key)
{
    store(key, controller);
}

void RestorationCoder::encodeInteger(std::int64_t value, const std::string& key)
{
    store(key, value);
}

std::shared_ptr<ViewController> RestorationCoder::decodeController(const std::string& key) const
{
    auto found = m_values.find(key);
    if (found == m_values.end())
        return nullptr;
    auto controller = std::get_if<std::shared_ptr<ViewController>>(&found->second);
    return controller ? *controller : nullptr;
}

std::int64_t RestorationCoder::decodeInteger(const std::string& key) const
{
    auto found = m_values.find(key);
    if (found == m_values.end())
        return 0;
    auto value = std::get_if<std::int64_t>(&found->second);
    return value ? *value : 0;
}

} // namespace morvix::platform
