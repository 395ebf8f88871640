#include "core/objects/ClientContext.h"

#include "platform/graphics/Image.h"
#include "platform/net/Url.h"

namespace morvix {

ClientContext::~ClientContext()
{
    m_sessionBudget->endSession();
}

std::optional<platform::Url> ClientContext::relativeURLToServer(const std::string&) const
{
    return std::nullopt;
}

std::shared_ptr<platform::Image> ClientContext::imageFromPath(const std::string&) const
{
    return nullptr;
}

} // namespace morvix
