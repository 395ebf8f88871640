#pragma once
// The stack of drawing-state records of a canvas's drawing context.

#include "platform/foundation/SessionBudget.h"
#include "widgets/containers/GCProperties.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace morvix {

/// Drawing-state records, the last one (the top) in force. The base record is never removed,
/// so `peek` always answers a record, and at most `kMaximumDepth` records lie above it. Main
/// thread only.
class GCPropertiesStack final {
public:
    /// The most records saved above the base record (a peer's "save" without "restore").
    static constexpr std::size_t kMaximumDepth = platform::SessionBudget::kMaximumSaveDepth;

    /// Holds one default record.
    GCPropertiesStack() { m_propertiesStack.push_back(GCProperties::properties()); }

    const std::shared_ptr<GCProperties>& peek() const { return m_propertiesStack.back(); }
    /// Appends a copy of the top record; false, with nothing changed, when `kMaximumDepth`
    /// records lie above the base record already.
    [[nodiscard]] bool push()
    {
        if (m_propertiesStack.size() > kMaximumDepth)
            return false;
        m_propertiesStack.push_back(peek()->clone());
        return true;
    }
    /// Removes the top record; false, with nothing changed, when only the base record is left.
    bool pop()
    {
        if (m_propertiesStack.size() <= 1)
            return false;
        m_propertiesStack.pop_back();
        return true;
    }
    std::size_t count() const { return m_propertiesStack.size(); }

private:
    std::vector<std::shared_ptr<GCProperties>> m_propertiesStack;
};

} // namespace morvix
