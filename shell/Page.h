#pragma once
// One screen of the application frame.

#include "core/objects/RemoteClass.h"
#include "shell/FramePage.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class MorvixUI;
class PageViewController;

namespace platform {
class Image;
class ImageView;
}

/// "morvix.Page": a title, an optional icon, one content widget ("control") and a place either
/// in the top-level menu (`topLevel`) or on the page stack above it. The page owns its
/// `PageViewController`, whose scroll view holds the content widget's view, and reports that
/// controller's appearance to its parent, the application frame ("morvix.UI").
///
/// The content widget is the peer's: the page sets its `omitDestroy` so that the widget's own
/// destroy leaves it in place, and destroys it with the page. A new `control` gives the old one
/// back (its view leaves the page and `omitDestroy` is cleared) without destroying it. An id
/// that names no widget is stored and otherwise ignored.
///
/// Destruction takes two steps, so that the controller leaves the stack with its animation
/// before the content goes:
///  1. The first `destroy` marks the page and has the frame take its controller off the stack
///     and out of the top-level menu. When the controller is on no stack it finishes at once.
///  2. The page finishes (`destroyNow`: controller detached, content widget destroyed, then the
///     page itself) when its controller has left the stack, or at a second `destroy`.
/// A page the user navigated back from is marked as in step 1, so that the peer's destroy then
/// finishes it at once.
///
/// Main thread only, like every remote object.
class Page final : public RemoteClass<Page>, public FramePage {
public:
    static constexpr std::string_view kRemoteType = "morvix.Page";

    Page(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Page() override;

    static const PropertyTable& properties();
    /// "FULLSCREEN", which the page's controller reads.
    static const WireTable& wire();
    /// The base's names plus "title", "control", "style", "topLevel", "image".
    static const PropertyNames& remoteObjectProperties();

    /// The controller's title.
    std::string title() const;
    /// Sets the controller's title, then tells the parent.
    void setTitle(std::optional<std::string> title);
    const std::optional<std::string>& control() const { return m_control; }
    void setControl(std::optional<std::string> id);
    const std::optional<platform::Value>& styleValue() const { return m_style; }
    void setStyle(std::optional<platform::Value> style) { m_style = std::move(style); }
    /// A change reaches the frame, whose menu lists the top-level pages.
    void setTopLevel(bool topLevel);
    const std::optional<platform::Value>& image() const { return m_image; }
    /// Loads the icon; null clears it at once. Each outcome tells the parent.
    void setImage(std::optional<platform::Value> image);
    /// The icon as loaded; null while it loads, after a failure, or without one.
    const std::shared_ptr<platform::Image>& loadedImage() const { return m_loadedImage; }

    const std::shared_ptr<PageViewController>& viewController() const { return m_viewController; }
    bool destroyRequested() const { return m_destroyRequested; }

    // FramePage
    void controllerWillAppear(PageViewController& controller) override;
    void controllerDidAppear(PageViewController& controller) override;
    void controllerWillDisappear(PageViewController& controller) override;
    void controllerDidDisappear(PageViewController& controller) override;
    /// Finishes a page whose destroy was requested; marks a page that is not top level as if
    /// its destroy had been requested.
    void controllerWasRemoved(PageViewController& controller) override;
    bool isTopLevel() const override { return m_topLevel; }
    std::vector<std::string> style() const override;

    // RemoteObject
    /// The first step of the destruction, or the second (see the class comment).
    void destroy() override;

protected:
    void didConstruct() override;

private:
    std::shared_ptr<MorvixUI> frame() const;
    void destroyNow();
    void destroyChildControl();
    /// The content widget named by `m_control`; null when it names none.
    std::shared_ptr<RemoteObject> controlWidget() const;
    void showLoadedImage(std::shared_ptr<platform::Image> image);

    std::optional<std::string> m_control;
    std::shared_ptr<RemoteObject> m_controlWidget;
    std::optional<platform::Value> m_style;
    bool m_topLevel = false;
    std::optional<platform::Value> m_image;
    std::shared_ptr<PageViewController> m_viewController;
    bool m_destroyRequested = false;
    std::shared_ptr<platform::ImageView> m_imageHolder;
    std::shared_ptr<platform::Image> m_loadedImage;
};

} // namespace morvix
