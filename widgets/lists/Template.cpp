#include "widgets/lists/Template.h"

#include "widgets/lists/Cell.h"

#include <atomic>

namespace morvix {

std::shared_ptr<Template> Template::create(const platform::Value& configurations, bool markupEnabled,
    const std::shared_ptr<ClientContext>& client)
{
    static std::atomic<std::uint64_t> s_nextSerial { 1 };
    auto made = std::shared_ptr<Template>(new Template());
    made->m_serial = s_nextSerial++;
    made->m_reuseIdentifier = "cell_" + std::to_string(made->m_serial);
    if (!configurations.is_array())
        return made;
    for (const auto& configuration : configurations) {
        auto cell = Cell::cellFrom(configuration, client);
        if (!cell)
            continue;
        cell->setMarkupEnabled(markupEnabled);
        made->m_cells.push_back(std::move(cell));
    }
    return made;
}

} // namespace morvix
