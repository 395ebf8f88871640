#pragma once
// The stack of drawing-state records of a canvas's drawing context.

#include "widgets/containers/GCProperties.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace morvix {

/// Drawing-state records, the last one (the top) in force. The base record is never removed,
/// so `peek` always answers a record. Main thread only.
class GCPropertiesStack final {
public:
    /// Holds one default record.
    GCPropertiesStack() { m_propertiesStack.push_back(GCProperties::properties()); }

    const std::shared_ptr<GCProperties>& peek() const { return m_propertiesStack.back(); }
    /// Appends a copy of the top record.
    void push() { m_propertiesStack.push_back(peek()->clone()); }
    /// Removes the top record; nothing when only the base record is left.
    void pop()
    {
        if (m_propertiesStack.size() > 1)
            m_propertiesStack.pop_back();
    }
    std::size_t count() const { return m_propertiesStack.size(); }

private:
    std::vector<std::shared_ptr<GCProperties>> m_propertiesStack;
};

} // namespace morvix
