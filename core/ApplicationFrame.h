#pragma once
// What a session asks of its application frame.

#include <functional>
#include <memory>

namespace morvix {

class ApplicationFrameClient;
class TopLevelMenu;

namespace platform {
class View;
class ViewController;
}

/// The application frame of a session that runs with it on: the root controller and its page
/// stack. The widget layer makes it (core cannot name its classes): `registerWidgetTypes`
/// installs the factory. Main thread only.
class ApplicationFrameController {
public:
    using Factory = std::function<std::shared_ptr<ApplicationFrameController>(std::weak_ptr<ApplicationFrameClient> client)>;

    virtual ~ApplicationFrameController() = default;

    /// Installs the factory sessions make their frame with; none (the default) leaves every
    /// session with the plain root view.
    static void setFactory(Factory factory);
    /// A new frame for `client`, or null when no factory is installed.
    static std::shared_ptr<ApplicationFrameController> make(std::weak_ptr<ApplicationFrameClient> client);

    /// The root controller; its view is the session's view.
    virtual std::shared_ptr<platform::ViewController> rootController() const = 0;
    /// The view of the root controller's top controller, where the display shows.
    virtual std::shared_ptr<platform::View> topView() const = 0;
    /// The session's hand-over of the frame's active flag.
    virtual void setMorvixUIActive(bool active) = 0;
    /// Back to the start, on every load of the session.
    virtual void reset() = 0;

    /// The text input that has the keyboard, or null.
    virtual std::shared_ptr<platform::View> activeTextField() const = 0;
    virtual void setActiveTextField(std::shared_ptr<platform::View> field) = 0;
    /// The active text field resigns and is forgotten, and the display's focus is cleared.
    virtual void dismissFocus() = 0;

    /// The menu of the frame's top-level pages (see shell/MorvixUI.h); null while the session
    /// has none.
    virtual std::shared_ptr<TopLevelMenu> topLevelMenu() const { return nullptr; }
};

} // namespace morvix
