#pragma once
// What a session asks of its application frame.

#include "platform/graphics/Color.h"

#include <functional>
#include <memory>
#include <optional>

namespace morvix {

class ApplicationFrameClient;
class LogEntry;
class RemoteObject;
class TopLevelMenu;

namespace platform {
class View;
class ViewController;
}

/// The side of the frame's drawer container a request is for.
enum class FrameDrawerSide { Left, Right };

/// The application frame of a session that runs with it on: the side-drawer container the
/// window shows, the root controller and its page stack in its centre, the top-level menu or
/// the drawer object's controller as its left drawer, the developer console as its right one. The widget layer makes it (core cannot name its classes): `registerRemoteTypes`
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
    /// Whether the top-level menu offers more than one page; false without a menu.
    virtual bool topLevelMenuHasChoices() const { return false; }

    // The drawer container. Every request below does nothing in a frame without one.
    /// The controller the session makes the window's root view controller: the drawer container
    /// with the root controller in its centre (by default the root controller itself).
    virtual std::shared_ptr<platform::ViewController> windowRootController() const { return rootController(); }
    /// The left drawer becomes the controller of `drawer` (an object of the frame's drawer type);
    /// for null (or any other object) it becomes the default one: the top-level menu, or none
    /// when `customDrawer` (a binding supplies the drawer).
    virtual void setLeftDrawer(const std::shared_ptr<RemoteObject>& drawer, bool customDrawer) { (void)drawer, (void)customDrawer; }
    /// Lets a bezel pan on the centre open a drawer, or lets nothing open one.
    virtual void setOpenDrawerGestureEnabled(bool enabled) { (void)enabled; }
    virtual bool isOpenDrawerGestureEnabled() const { return false; }
    /// Opens the side when nothing is open, closes it when it is open; animated.
    virtual void toggleDrawer(FrameDrawerSide side) { (void)side; }
    /// Opens the left drawer, animated.
    virtual void openLeftDrawer() { }
    /// Closes the open drawer, animated.
    virtual void closeDrawer() { }
    /// Shows or hides the coloured area behind the status bar.
    virtual void setShowsStatusBarBackground(bool shows) { (void)shows; }
    /// That area's colour; none gives the interface's default background.
    virtual void setStatusBarBackgroundColor(const std::optional<platform::Color>& color) { (void)color; }

    // The developer console.
    /// A new console as the right drawer when `enabled`, else none.
    virtual void setDeveloperConsoleEnabled(bool enabled) { (void)enabled; }
    /// The console; null when it is not enabled.
    virtual std::shared_ptr<platform::ViewController> developerConsole() const { return nullptr; }
    /// Shows `entry` in the console; nothing without one.
    virtual void logToConsole(const LogEntry& entry) { (void)entry; }
};

} // namespace morvix
