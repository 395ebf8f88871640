#pragma once
// What a navigation bar shows for one controller.

#include "platform/ui/Forward.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

/// The title, bar button items and back-button settings of one controller on a navigation
/// stack. Owned by its controller. Main thread only.
class NavigationItem final {
public:
    static std::shared_ptr<NavigationItem> create(std::string title = {});
    NavigationItem(const NavigationItem&) = delete;
    NavigationItem& operator=(const NavigationItem&) = delete;

    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    std::shared_ptr<View> titleView() const { return m_titleView; }
    void setTitleView(std::shared_ptr<View> view) { m_titleView = std::move(view); }

    /// The items at the left, first outermost.
    const std::vector<std::shared_ptr<BarButtonItem>>& leftBarButtonItems() const { return m_left; }
    void setLeftBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items) { m_left = std::move(items); }
    /// The first left item; null when there is none. Setting null removes them all.
    std::shared_ptr<BarButtonItem> leftBarButtonItem() const { return m_left.empty() ? nullptr : m_left.front(); }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item);
    /// The items at the right, first outermost (at the right edge).
    const std::vector<std::shared_ptr<BarButtonItem>>& rightBarButtonItems() const { return m_right; }
    void setRightBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items) { m_right = std::move(items); }
    std::shared_ptr<BarButtonItem> rightBarButtonItem() const { return m_right.empty() ? nullptr : m_right.front(); }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item);

    bool hidesBackButton() const { return m_hidesBackButton; }
    void setHidesBackButton(bool hides) { m_hidesBackButton = hides; }
    /// With left items, whether the back button still shows (to their left).
    bool leftItemsSupplementBackButton() const { return m_supplementBack; }
    void setLeftItemsSupplementBackButton(bool supplements) { m_supplementBack = supplements; }
    /// The item the next controller's back button uses; none gives one titled by this title.
    std::shared_ptr<BarButtonItem> backBarButtonItem() const { return m_back; }
    void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item) { m_back = std::move(item); }

private:
    NavigationItem() = default;
    std::string m_title;
    std::shared_ptr<View> m_titleView;
    std::vector<std::shared_ptr<BarButtonItem>> m_left;
    std::vector<std::shared_ptr<BarButtonItem>> m_right;
    bool m_hidesBackButton = false;
    bool m_supplementBack = false;
    std::shared_ptr<BarButtonItem> m_back;
};

} // namespace morvix::platform
