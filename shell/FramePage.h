#pragma once
// A page of the application frame, as its controller reports to it.

#include <string>
#include <vector>

namespace morvix {

class PageViewController;

/// The hooks a `PageViewController` calls on its page, and what it reads of it. Main thread only.
class FramePage {
public:
    virtual ~FramePage() = default;
    virtual void controllerWillAppear(PageViewController& controller) = 0;
    virtual void controllerDidAppear(PageViewController& controller) = 0;
    /// The user navigated back past the page.
    virtual void controllerWillDisappear(PageViewController& controller) = 0;
    virtual void controllerDidDisappear(PageViewController& controller) = 0;
    /// The controller left its navigation controller (a top-level page's too, when it is
    /// switched away from).
    virtual void controllerWasRemoved(PageViewController& controller) = 0;
    /// A top-level page is not navigated back from: it is switched to.
    virtual bool isTopLevel() const = 0;
    /// The page's style names ("FULLSCREEN" hides the navigation bar while the page shows).
    virtual std::vector<std::string> style() const = 0;
};

} // namespace morvix
