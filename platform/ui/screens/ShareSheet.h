#pragma once
// The stand-in for the system's sheet that shares items with other applications.

#include "platform/ui/ViewController.h"

#include <any>
#include <memory>
#include <vector>

namespace morvix::platform {

class BarButtonItem;

/// A sheet offering `items` to other applications. Nothing is shared here: the sheet records
/// its items and the bar button it is anchored at (on a pad, where it shows as a popover), and
/// `finish()` is the person's leaving it, which dismisses it. Main thread only.
class ShareSheet final : public ViewController {
public:
    static std::shared_ptr<ShareSheet> create(std::vector<std::any> items);
    const char* className() const override { return "ShareSheet"; }

    const std::vector<std::any>& items() const { return m_items; }
    std::shared_ptr<BarButtonItem> anchor() const { return m_anchor.lock(); }
    /// Held weakly.
    void setAnchor(std::weak_ptr<BarButtonItem> item) { m_anchor = std::move(item); }
    /// Test driver: the sheet is dismissed (not animated); nothing when it is not presented.
    void finish();

private:
    ShareSheet() = default;
    std::vector<std::any> m_items;
    std::weak_ptr<BarButtonItem> m_anchor;
};

} // namespace morvix::platform
