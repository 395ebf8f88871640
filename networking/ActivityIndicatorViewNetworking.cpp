#include "networking/ActivityIndicatorViewNetworking.h"

#include "networking/NetActivityIndicatorViewNotificationObserver.h"
#include "networking/NetViewStateTable.h"
#include "platform/ui/controls/ActivityIndicatorView.h"

namespace morvix {

namespace {

struct IndicatorState {
    std::shared_ptr<NetActivityIndicatorViewNotificationObserver> observer;
};

NetViewStateTable<IndicatorState>& states()
{
    static auto* table = new NetViewStateTable<IndicatorState>;
    return *table;
}

} // namespace

void ActivityIndicatorViewNetworking::setAnimatingWithStateOfOperation(platform::ActivityIndicatorView& view,
    const std::shared_ptr<NetURLConnectionOperation>& operation)
{
    notificationObserver(view)->setAnimatingWithStateOfOperation(operation);
}

std::shared_ptr<NetActivityIndicatorViewNotificationObserver> ActivityIndicatorViewNetworking::notificationObserver(
    platform::ActivityIndicatorView& view)
{
    std::weak_ptr<platform::ActivityIndicatorView> weakView = std::static_pointer_cast<platform::ActivityIndicatorView>(view.shared_from_this());
    return states().with(view, [&](IndicatorState& state) {
        if (!state.observer)
            state.observer = NetActivityIndicatorViewNotificationObserver::create(weakView);
        return state.observer;
    });
}

} // namespace morvix
