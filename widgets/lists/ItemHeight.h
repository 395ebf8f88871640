#pragma once
// The height of the rows of a list or a tree, as a peer asks for it.

#include "platform/foundation/Value.h"

#include <optional>
#include <string_view>

namespace morvix {

class RemoteObject;

/// Reads "itemHeight" for the widgets whose rows are all one height (`List`, `Tree`). Rows are
/// never lower than a finger is wide, and never taller than a few screens, far from where row
/// positions lose precision. Stateless; main thread (it logs through the owner's client).
class ItemHeight final {
public:
    ItemHeight() = delete;

    static constexpr double kMinimum = 44.0;
    static constexpr double kMaximum = 10000.0;

    /// `height` clamped to [kMinimum, kMaximum]; booleans read as 0 and 1, and nothing or what is
    /// no number gives kMinimum. A height above kMaximum is logged as `owner`'s, `kind` naming
    /// the widget ("tree", "list").
    static double bounded(const std::optional<platform::Value>& height, const RemoteObject& owner, std::string_view kind);
};

} // namespace morvix
