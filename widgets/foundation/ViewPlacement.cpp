#include "widgets/foundation/ViewPlacement.h"

#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/objects/RemoteObject.h"
#include "platform/ui/View.h"
#include "widgets/foundation/Widget.h"

namespace morvix {

bool ViewPlacement::isRootView(const platform::View& view, const ClientContext* client)
{
    if (!client)
        return false;
    if (client->rootView().get() == &view)
        return true;
    auto root = client->rootObject();
    auto* widget = dynamic_cast<const Widget*>(root.get());
    return widget && widget->view().get() == &view;
}

bool ViewPlacement::isRefused(const platform::View* view, const platform::View* host, const ClientContext* client)
{
    if (!view)
        return false;
    if (isRootView(*view, client))
        return true;
    return host && host->isDescendantOf(*view);
}

void ViewPlacement::check(const platform::View* view, const platform::View* host, const ClientContext* client,
    std::string_view key, const std::string& value, const std::string& ownerId)
{
    if (!isRefused(view, host, client))
        return;
    RemoteException::throwIncorrectParameter("%@ '%@' of widget '%@' would put a view inside itself or move the session's root view",
        key, value, ownerId);
}

void ViewPlacement::takeOut(const std::shared_ptr<platform::View>& view, const ClientContext* client)
{
    if (view && !isRootView(*view, client))
        view->removeFromSuperview();
}

} // namespace morvix
