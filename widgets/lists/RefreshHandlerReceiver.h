#pragma once
// What a widget that takes refresh controls from a refresh handler offers it.

#include <memory>

namespace morvix {

class RefreshHandler;

/// A widget that shows refresh controls made by a "morvix.RefreshHandler" (the handler's
/// "widget" names it). Main thread only.
class RefreshHandlerReceiver {
public:
    virtual ~RefreshHandlerReceiver() = default;

    /// Installs refresh controls made by `handler->createRefreshControl()`; null removes the
    /// controls installed before.
    virtual void updateWithRefreshHandler(const std::shared_ptr<RefreshHandler>& handler) = 0;
    /// Ends refreshing on every refresh control installed.
    virtual void refreshHandlerUpdatingDone() = 0;

protected:
    RefreshHandlerReceiver() = default;
    RefreshHandlerReceiver(const RefreshHandlerReceiver&) = default;
    RefreshHandlerReceiver& operator=(const RefreshHandlerReceiver&) = default;
};

} // namespace morvix
