#pragma once
// The parsed row template of a tree.

#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace morvix {

class Cell;
class ClientContext;

/// The cells of a "rowTemplate" in array order (later ones lie above earlier ones); elements of
/// another "type" are skipped. Each template gets a serial number when it is made, and its rows
/// are pooled under "cell_<serial>": a new template never reuses rows of an older one, even one
/// made at the same address. Main thread only.
class Template final {
public:
    static std::shared_ptr<Template> create(const platform::Value& configurations, bool markupEnabled,
        const std::shared_ptr<ClientContext>& client);

    const std::vector<std::shared_ptr<Cell>>& cells() const { return m_cells; }
    std::uint64_t serial() const { return m_serial; }
    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }

private:
    Template() = default;

    std::vector<std::shared_ptr<Cell>> m_cells;
    std::uint64_t m_serial = 0;
    std::string m_reuseIdentifier;
};

} // namespace morvix
