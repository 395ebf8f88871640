#include "widgets/lists/RefreshHandler.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/controls/RefreshControl.h"
#include "widgets/lists/RefreshHandlerReceiver.h"

namespace morvix {

namespace {

constexpr EventDeclaration kRefreshEvent {
    .listen = "Refresh",
    .name = "Refresh",
    .note = "when the user pulls to refresh a list or tree that names this handler; the peer ends it with the call "
            "\"done\" (while not listened, it ends at once)",
};

} // namespace

const WireTable& RefreshHandler::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kRefreshEvent);
    return table;
}

RefreshHandler::RefreshHandler(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
{
    registerSelector(CallHandler([this](const platform::Value*) -> std::optional<platform::Value> {
        done();
        return std::nullopt;
    }),
        "done");
}

RefreshHandler::~RefreshHandler() = default;

const PropertyTable& RefreshHandler::properties()
{
    static const PropertyTable table = PropertyTable::extend<RefreshHandler>(BasicObject::properties())
                                           .string("widget", &RefreshHandler::setWidget,
                                               [](const RefreshHandler& self) { return std::optional<std::string>(self.widget()); })
                                           .string("message", &RefreshHandler::setMessage,
                                               [](const RefreshHandler& self) { return std::optional<std::string>(self.message()); })
                                           .flag("refreshListener", &RefreshHandler::m_refreshListener);
    return table;
}

const PropertyNames& RefreshHandler::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "widget", "message" });
    return names;
}

void RefreshHandler::setWidget(std::optional<std::string> widget)
{
    m_widget = widget.value_or("");
    updateReceiver();
}

void RefreshHandler::setMessage(std::optional<std::string> message)
{
    m_message = message.value_or("");
    updateReceiver();
}

std::shared_ptr<RefreshHandlerReceiver> RefreshHandler::receiver() const
{
    auto client = this->client();
    return std::dynamic_pointer_cast<RefreshHandlerReceiver>(client ? client->objectById(m_widget) : nullptr);
}

void RefreshHandler::updateReceiver()
{
    if (auto receiver = this->receiver())
        receiver->updateWithRefreshHandler(std::static_pointer_cast<RefreshHandler>(shared_from_this()));
}

std::shared_ptr<platform::RefreshControl> RefreshHandler::createRefreshControl()
{
    auto control = platform::RefreshControl::create();
    control->setAttributedTitle(platform::AttributedString(m_message));
    auto self = std::static_pointer_cast<RefreshHandler>(shared_from_this());
    std::weak_ptr<RefreshHandler> weak = self;
    control->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto handler = weak.lock())
            handler->refreshRequested();
    }, platform::ControlEventValueChanged);
    return control;
}

void RefreshHandler::refreshRequested()
{
    if (!m_refreshListener) {
        done();
        return;
    }
    if (auto notification = notificationForObject())
        notification->fire(kRefreshEvent);
}

void RefreshHandler::done()
{
    if (auto receiver = this->receiver())
        receiver->refreshHandlerUpdatingDone();
}

void RefreshHandler::destroy()
{
    if (isDisposed())
        return;
    if (auto receiver = this->receiver())
        receiver->updateWithRefreshHandler(nullptr);
    RemoteClass::destroy();
}

} // namespace morvix
