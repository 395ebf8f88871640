#pragma once
// A button of the application frame, shown in its navigation bar or toolbar.

#include "core/objects/RemoteClass.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Rect.h"
#include "shell/FrameAction.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DisplayRootViewController;

namespace platform {
class BarButtonItem;
class Image;
class ImageView;
}

/// "morvix.Action": a title or an icon shown as a bar button item of the application frame
/// ("morvix.UI", its parent), in the navigation bar when its placement priority is "HIGH" and in
/// the toolbar otherwise ("LOW" ones at the left). Every tap of the item sends "Selection" at
/// once, whether or not the peer listens to it; a tap that reaches an action already destroyed
/// does nothing.
///
/// Once an image value is set the item shows no title, and shows the icon once it has loaded
/// (nothing while it loads or after a failure). `foreground` colours the item's title, at alpha
/// 0.5 while it is disabled. Visibility and placement take effect at the frame's next redraw of
/// its bars.
///
/// The base class of the frame's search action: `setTitle`, `pushed`, `sendSelection` and
/// `destroy` are virtual. `title` and `foreground` are kept under the object's mutex; the rest
/// is main thread only, like every remote object.
class Action : public RemoteClass<Action>, public FrameAction {
public:
    static constexpr std::string_view kRemoteType = "morvix.Action";
    static constexpr double kDisabledAlpha = 0.5;

    Action(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Action() override;

    static const PropertyTable& properties();
    /// "Selection", which the search action sends too.
    static const WireTable& wire();
    static const EventDeclaration kSelectionEvent;
    /// The base's names plus "title", "image", "enabled", "visibility", "placementPriority",
    /// "foreground", "bounds".
    static const PropertyNames& remoteObjectProperties();

    std::string title() const;
    virtual void setTitle(std::optional<std::string> title);
    const std::optional<platform::Value>& image() const { return m_image; }
    /// Loads the icon; null clears it at once. A load that ends after the action was destroyed
    /// changes nothing.
    void setImage(std::optional<platform::Value> image);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool visibility() const { return m_visibility; }
    /// Stores the flag and tells the parent, which redraws the bars.
    void setVisibility(bool visible);
    const std::optional<std::string>& placementPriorityName() const { return m_placementPriority; }
    void setPlacementPriority(std::optional<std::string> priority) { m_placementPriority = std::move(priority); }
    std::optional<platform::Color> foreground() const;
    /// The item's title colour for the normal state, and at `kDisabledAlpha` for the disabled
    /// one; none removes both.
    void setForeground(std::optional<platform::Color> color);
    /// The item's view frame in the view of the root controller's top controller; the zero
    /// rectangle while the item is in no bar (or there is no root controller).
    platform::Rect bounds() const;

    bool hasHighPlacementPriority() const { return m_placementPriority == "HIGH"; }
    bool hasLowPlacementPriority() const { return m_placementPriority == "LOW"; }
    /// The icon as loaded; null while it loads, after a failure, or without one.
    const std::shared_ptr<platform::Image>& loadedImage() const { return m_loadedImage; }

    /// The item's action: `sendSelection`, unless the action is destroyed.
    virtual void pushed();
    /// "Selection", sent at once.
    virtual void sendSelection();

    // FrameAction
    std::shared_ptr<platform::BarButtonItem> barButtonItem() const override { return m_item; }
    bool isVisible() const override { return m_visibility; }
    ActionPlacementPriority placementPriority() const override;

    // RemoteObject
    /// The item loses its image and is dropped, then the base's destroy.
    void destroy() override;

protected:
    /// Makes the item's target this action and applies the defaults through the setters.
    void didConstruct() override;
    /// Title or icon on the item, by whether an image value is set.
    void updatePresentation();
    /// The root controller of the session's application frame; null without one.
    std::shared_ptr<DisplayRootViewController> rootController() const;

private:
    void showLoadedImage(std::shared_ptr<platform::Image> image);

    mutable std::mutex m_mutex; // guards m_title and m_foreground
    std::string m_title;
    std::optional<platform::Color> m_foreground;
    std::optional<platform::Value> m_image;
    bool m_enabled = true;
    bool m_visibility = true;
    std::optional<std::string> m_placementPriority;
    bool m_selectionListener = false;
    std::shared_ptr<platform::BarButtonItem> m_item;
    std::shared_ptr<platform::ImageView> m_imageHolder;
    std::shared_ptr<platform::Image> m_loadedImage;
};

} // namespace morvix
