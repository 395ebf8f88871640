#include "widgets/lists/RefreshComposite.h"

#include "core/outgoing/Notification.h"
#include "widgets/lists/RefreshView.h"

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kRefreshEvent {
    .listen = "Refresh",
    .name = "Refresh",
    .note = "when the user pulls the composite down to refresh; the peer ends it with the call \"done\" (while not "
            "listened, it ends at once)",
};

} // namespace

const WireTable& RefreshComposite::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire()).event(kRefreshEvent);
    return table;
}

RefreshComposite::RefreshComposite(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_refreshView(RefreshView::create())
{
    registerSelector(CallHandler([this](const Value*) -> std::optional<Value> {
        done();
        return std::nullopt;
    }),
        "done");
}

RefreshComposite::~RefreshComposite() = default;

void RefreshComposite::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<RefreshComposite>(shared_from_this());
    m_refreshView->setControl(self);
    std::weak_ptr<RefreshComposite> weak = self;
    m_refreshView->setRefreshBlock([weak] {
        if (auto composite = weak.lock())
            composite->handleRefresh();
    });
}

const PropertyTable& RefreshComposite::properties()
{
    static const PropertyTable table = PropertyTable::extend<RefreshComposite>(AbstractComposite::properties())
                                           .string("message", &RefreshComposite::setMessage,
                                               [](const RefreshComposite& self) { return std::optional<std::string>(self.message()); })
                                           .flag("refreshListener", &RefreshComposite::m_refreshListener);
    return table;
}

const PropertyNames& RefreshComposite::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(AbstractComposite::remoteObjectProperties(), { "message" });
    return names;
}

std::shared_ptr<platform::View> RefreshComposite::view() const
{
    return m_refreshView;
}

void RefreshComposite::addWidgetView(BasicWidget& child)
{
    auto childView = child.view();
    if (!m_refreshView || !childView)
        return;
    m_refreshView->contentView()->addSubview(childView);
    childrenChanged(&child);
}

void RefreshComposite::setBounds(platform::Rect bounds)
{
    RemoteClass::setBounds(bounds);
    if (m_refreshView)
        m_refreshView->setFrame(bounds);
}

void RefreshComposite::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color);
    if (m_refreshView)
        m_refreshView->setForegroundColor(color);
}

void RefreshComposite::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool hasImage = image.has_value();
    RemoteClass::setBackgroundImage(image);
    if (!m_refreshView)
        return;
    if (hasImage)
        applyBackgroundImage(image, m_refreshView);
    else
        m_refreshView->setBackgroundColor(background());
}

void RefreshComposite::setMessage(std::optional<std::string> message)
{
    m_message = message.value_or("");
    if (m_refreshView)
        m_refreshView->setMessage(m_message);
}

void RefreshComposite::handleRefresh()
{
    if (!m_refreshListener) {
        done();
        return;
    }
    if (auto notification = notificationForObject())
        notification->fire(kRefreshEvent);
}

void RefreshComposite::done()
{
    if (m_refreshView)
        m_refreshView->endRefresh();
}

void RefreshComposite::destroy()
{
    if (isDisposed())
        return;
    RemoteClass::destroy();
    if (m_refreshView) {
        m_refreshView->setRefreshBlock(nullptr);
        m_refreshView.reset();
    }
}

} // namespace morvix
