#pragma once
// What a sheet picker was opened from: nothing, a view or a bar button item.

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/View.h"

#include <memory>
#include <type_traits>

namespace morvix {

/// The place a picker was opened from, handed back with its results: none, a view (the popover
/// points at its bounds on a pad) or a bar button item. Held weakly, so an origin that went away
/// reads as none. Plain value; main thread only.
class SheetPickerOrigin {
public:
    SheetPickerOrigin() = default;
    /// Any view (a button, a control) or a bar button item.
    template <typename Origin>
        requires std::is_convertible_v<Origin*, platform::View*>
    SheetPickerOrigin(const std::shared_ptr<Origin>& view) : m_view(std::shared_ptr<platform::View>(view)) { }
    SheetPickerOrigin(const std::shared_ptr<platform::BarButtonItem>& item) : m_barButtonItem(item) { }

    std::shared_ptr<platform::View> view() const { return m_view.lock(); }
    std::shared_ptr<platform::BarButtonItem> barButtonItem() const { return m_barButtonItem.lock(); }
    bool isNone() const { return !view() && !barButtonItem(); }

private:
    std::weak_ptr<platform::View> m_view;
    std::weak_ptr<platform::BarButtonItem> m_barButtonItem;
};

} // namespace morvix
