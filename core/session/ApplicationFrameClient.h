#pragma once
// The session as the application frame's controllers see it.

#include <memory>

namespace morvix {

class RemoteObject;

namespace platform {
class ViewController;
}

/// What the application frame's controllers ask of their session. The session class implements
/// it; tests supply their own. The frame's controllers hold it weakly. Main thread only.
class ApplicationFrameClient {
public:
    virtual ~ApplicationFrameClient() = default;

    /// The controller at the root of the frame's page stack; its view ignores touches while a
    /// page is popped.
    virtual std::shared_ptr<platform::ViewController> rootController() const = 0;
    /// The object registry's root object (the display), or null.
    virtual std::shared_ptr<RemoteObject> rootObject() const = 0;
    /// Whether the status bar is hidden for this session.
    virtual bool statusBarHidden() const = 0;
    /// Whether a binding supplies the left drawer itself; false by default.
    virtual bool supportsCustomDrawer() const { return false; }
    /// Whether the session has a drawer object; false by default.
    virtual bool hasDrawer() const { return false; }
    /// Whether the top-level menu offers more than one top-level page; false by default.
    virtual bool topLevelMenuHasChoices() const { return false; }
    /// Lets the drawer follow (or no longer follow) the bezel gesture; nothing by default.
    virtual void enableDrawerGesture(bool enabled) { (void)enabled; }
    /// Opens or closes the top-level menu's drawer; nothing by default.
    virtual void toggleTopLevelMenu() { }
    /// Opens the left drawer, animated; nothing by default.
    virtual void openDrawer() { }
    /// Closes the open drawer, animated; nothing by default.
    virtual void closeDrawer() { }
    /// The session's drawer object ("morvix.Drawer"), or null; null by default.
    virtual std::shared_ptr<RemoteObject> drawer() const { return nullptr; }
    /// Makes `drawer` the session's drawer object (null: none), whose controller becomes the
    /// left drawer; nothing by default.
    virtual void setDrawer(std::shared_ptr<RemoteObject> drawer) { (void)drawer; }
};

} // namespace morvix
