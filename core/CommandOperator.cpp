#include "core/CommandOperator.h"

namespace morvix {

using platform::Value;

std::shared_ptr<CommandOperator> CommandOperator::create(std::weak_ptr<ClientContext> client)
{
    return std::shared_ptr<CommandOperator>(new CommandOperator(std::move(client)));
}

CommandOperator::CommandOperator(std::weak_ptr<ClientContext> client)
    : m_client(std::move(client))
{
}

std::optional<std::string> CommandOperator::processHead(const Value& value, const std::string& key)
{
    if (key == "error" && value.is_string())
        return value.get<std::string>();
    return std::nullopt;
}

std::optional<Value> CommandOperator::processOperation(const Value&)
{
    return std::nullopt;
}

} // namespace morvix
