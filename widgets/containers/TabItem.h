#pragma once
// One page of a tab folder.

#include "widgets/containers/TabItemViewControllerDelegate.h"
#include "widgets/foundation/Composite.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

namespace platform {
class Image;
class ImageView;
class LayoutConstraint;
class TabBarItem;
}
class TabFolder;
class TabItemViewController;

/// "zub.widgets.TabItem": a page of a "zub.widgets.TabFolder". Its view is its controller's
/// view, which is the view of the widget "control" names (a widget of the folder), or an empty
/// view without one. A widget shows on one item at a time: naming it here takes it off the
/// folder's other items. The item's text (without its mnemonic marker), image, enabled flag and
/// data "badgeValue" ("" or none: no badge) go to both its own tab-bar entry, which the folder's
/// tab bar shows, and its controller's.
///
/// A control whose view holds the folder's view (the folder itself, one of its ancestors), or
/// that is the session's root view, would put the page inside itself: "control" refuses it with
/// "Incorrect Parameter" before anything moves, in a create that names the folder too (whose
/// "parent" is applied last) before the item exists. Main thread only.
class TabItem : public RemoteClass<TabItem, Composite>, public TabItemViewControllerDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.TabItem";

    TabItem(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~TabItem() override;

    /// Constructs the item, unless the create's "control" would enclose its "parent" folder
    /// (see the class comment).
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// `Composite`'s names plus "text" and "image".
    static const PropertyNames& remoteObjectProperties();

    /// The controller's view.
    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<TabItemViewController>& controller() const { return m_controller; }
    /// The entry of the folder's tab bar.
    const std::shared_ptr<platform::TabBarItem>& tabBarItem() const { return m_tabBarItem; }

    /// The controller's title.
    std::string text() const;
    void setText(std::optional<std::string> text);
    const std::optional<platform::Value>& image() const { return m_image; }
    /// Loads the image onto both tab-bar entries; none, or a failed load, clears them.
    void setImage(std::optional<platform::Value> image);
    /// 0 when never set.
    double index() const { return m_index; }
    void setIndex(std::optional<platform::Value> index);
    /// The id of the widget shown; none when there is none (or it has gone).
    std::optional<std::string> control() const;
    /// Shows the widget `id` names as the page, taking it off the folder's other items; an id
    /// that names no widget leaves the page empty. A widget that would enclose the page raises
    /// "Incorrect Parameter" and changes nothing.
    void setControl(std::optional<std::string> id);
    /// Whether the page shows `widget`.
    bool showsWidget(const Widget& widget) const;
    /// Shows `widget`'s view as the page (null: an empty page), in place of the page shown now.
    void setWidget(const std::shared_ptr<Widget>& widget);

    void setEnabled(bool enabled) override;
    /// Paints the page that shows (the control's view, or the empty page), not the composite's
    /// own view, which never shows; the picture follows the item to its next page. Null takes
    /// it off the page, which shows its own look again.
    void setBackgroundImage(std::optional<platform::Value> image) override;
    /// Also the badge of both entries from "badgeValue".
    void setData(std::optional<platform::Value> data) override;
    /// Takes the item out of its folder first.
    void destroy() override;

    // TabItemViewControllerDelegate
    /// Pins the widget's view to its superview's edges.
    void controllerWillLayoutSubviews() override;

protected:
    void didConstruct() override;

private:
    /// Raises "Incorrect Parameter" when showing `widget` in `folder` (null: not in one yet)
    /// would put a view inside itself or move the root view.
    static void checkControl(const Widget& widget, const std::string& controlId, const TabFolder* folder,
        const ClientContext* client, const std::string& itemId);
    void showImage(const std::shared_ptr<platform::Image>& image);
    /// Takes this item's picture off `page`, the view of `widget` (null: the empty page), and
    /// gives the page its own background back.
    void restorePage(const std::shared_ptr<platform::View>& page, const std::shared_ptr<Widget>& widget);

    std::shared_ptr<TabItemViewController> m_controller;
    std::shared_ptr<platform::TabBarItem> m_tabBarItem;
    std::shared_ptr<platform::ImageView> m_imageHolder;
    std::optional<platform::Value> m_image;
    double m_index = 0;
    std::weak_ptr<Widget> m_widget;
    std::string m_widgetId;
    // The constraints pinning the widget's view, and the superview they were installed on.
    std::vector<std::shared_ptr<platform::LayoutConstraint>> m_pins;
    std::weak_ptr<platform::View> m_pinnedIn;
};

} // namespace morvix
