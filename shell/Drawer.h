#pragma once
// The peer's own left drawer.

#include "core/objects/RemoteClass.h"

#include <memory>
#include <string_view>

namespace morvix {

class DrawerViewController;

namespace platform {
class View;
}

/// "morvix.Drawer": widgets the peer puts in the left drawer in place of the top-level menu.
/// Made, it becomes the session's drawer (before its properties are applied), and its
/// controller the frame's left drawer. Its widget children show in `containerView`, inside the
/// controller's scroll view. Calls "open" (the left drawer, animated) and "close" (the open
/// drawer, animated); no properties beyond the base, no events. Its destroy gives the left
/// drawer back to the default only while it is still the session's drawer. Main thread only,
/// like every remote object.
class Drawer final : public RemoteClass<Drawer> {
public:
    static constexpr std::string_view kRemoteType = "morvix.Drawer";

    /// Constructs the drawer and makes it the session's drawer.
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties, std::shared_ptr<ClientContext> client);
    Drawer(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Drawer() override;

    static const PropertyTable& properties();
    static const PropertyNames& remoteObjectProperties();

    const std::shared_ptr<DrawerViewController>& viewController() const { return m_viewController; }
    const std::shared_ptr<platform::View>& containerView() const { return m_containerView; }

    void open(const platform::Value* properties);
    void close(const platform::Value* properties);

    // RemoteObject
    /// The base's, then a widget child's view joins the container view, shown.
    void addObject(std::shared_ptr<RemoteObject> child) override;
    /// A widget child's view leaves the container view (a destroyed widget leaves its view to
    /// its parent), then the base's.
    void removeObject(const RemoteObject& child) override;
    void destroy() override;

private:
    std::shared_ptr<DrawerViewController> m_viewController;
    std::shared_ptr<platform::View> m_containerView;
};

} // namespace morvix
