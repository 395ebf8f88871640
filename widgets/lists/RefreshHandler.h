#pragma once
// The relay that gives another widget pull-to-refresh controls.

#include "core/objects/RemoteClass.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

namespace platform {
class RefreshControl;
}

class RefreshHandlerReceiver;

/// "morvix.RefreshHandler": an object without a view that gives the widget its "widget" names
/// (a `RefreshHandlerReceiver`, looked up anew each time) refresh controls titled with
/// "message". A pull on one of them sends "Refresh" on the handler's id while listened, and
/// otherwise ends at once; the call "done" tells the receiver to end refreshing. Setting
/// "widget" or "message" updates the receiver; destroying the handler takes its controls away.
/// Main thread only.
class RefreshHandler : public RemoteClass<RefreshHandler, BasicObject> {
public:
    static constexpr std::string_view kRemoteType = "morvix.RefreshHandler";

    RefreshHandler(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~RefreshHandler() override;

    static const PropertyTable& properties();
    /// "Refresh".
    static const WireTable& wire();
    /// "widget" and "message".
    static const PropertyNames& remoteObjectProperties();

    const std::string& widget() const { return m_widget; }
    void setWidget(std::optional<std::string> widget);
    const std::string& message() const { return m_message; }
    void setMessage(std::optional<std::string> message);
    bool refreshListener() const { return m_refreshListener; }

    /// The receiver "widget" names now; null when it names nothing or no receiver.
    std::shared_ptr<RefreshHandlerReceiver> receiver() const;
    /// A new control titled with "message" (or ""), without colour, whose value-changed action
    /// calls `refreshRequested`.
    std::shared_ptr<platform::RefreshControl> createRefreshControl();
    /// A control of this handler began refreshing: "Refresh" while listened, else it ends at
    /// once as "done" would.
    void refreshRequested();
    /// Tells the receiver `refreshHandlerUpdatingDone`.
    void done();

    /// Tells the receiver to remove the controls, then the base's destroy.
    void destroy() override;

private:
    void updateReceiver();

    std::string m_widget;
    std::string m_message;
    bool m_refreshListener = false;
};

} // namespace morvix
