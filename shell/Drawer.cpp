#include "shell/Drawer.h"

#include "core/objects/ClientContext.h"
#include "core/session/ApplicationFrameClient.h"
#include "platform/ui/ScrollView.h"
#include "shell/DrawerViewController.h"
#include "widgets/foundation/Widget.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

namespace {

std::shared_ptr<ApplicationFrameClient> frameClientOf(const std::shared_ptr<ClientContext>& client)
{
    return std::dynamic_pointer_cast<ApplicationFrameClient>(client);
}

} // namespace

std::shared_ptr<BasicObject> Drawer::create(const std::string& id, const platform::Value* properties, std::shared_ptr<ClientContext> client)
{
    auto drawer = RemoteClass::create(id, properties, std::move(client));
    if (auto session = frameClientOf(drawer->client()))
        session->setDrawer(drawer);
    return drawer;
}

Drawer::Drawer(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), client)
{
    registerSelector(&Drawer::open, "open");
    registerSelector(&Drawer::close, "close");
    m_viewController = DrawerViewController::create(frameClientOf(client));
    m_containerView = platform::View::create({});
    m_containerView->setAlpha(1.0);
    m_containerView->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    m_containerView->setClipsToBounds(true);
    m_containerView->setBackgroundColor(FontHelper::backgroundColor());
    // The container fills the controller's view from the start, so that autoresizing keeps it
    // filling the view when the drawer container sizes it.
    auto view = m_viewController->view();
    m_containerView->setFrame(view->bounds());
    view->addSubview(m_containerView);
}

Drawer::~Drawer() = default;

const PropertyTable& Drawer::properties()
{
    return BasicObject::properties();
}

const PropertyNames& Drawer::remoteObjectProperties()
{
    return BasicObject::remoteObjectProperties();
}

void Drawer::open(const platform::Value*)
{
    if (auto session = frameClientOf(client()))
        session->openDrawer();
}

void Drawer::close(const platform::Value*)
{
    if (auto session = frameClientOf(client()))
        session->closeDrawer();
}

void Drawer::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(child);
    auto* widget = dynamic_cast<Widget*>(child.get());
    auto view = widget ? widget->view() : nullptr;
    if (!view)
        return;
    m_containerView->addSubview(view);
    view->setHidden(false);
    widget->didMoveToSuperview(m_containerView);
}

void Drawer::removeObject(const RemoteObject& child)
{
    auto* widget = dynamic_cast<const Widget*>(&child);
    auto view = widget ? widget->view() : nullptr;
    if (view && view->superview() == m_containerView)
        view->removeFromSuperview();
    RemoteClass::removeObject(child);
}

void Drawer::destroy()
{
    if (isDisposed())
        return;
    auto session = frameClientOf(client());
    if (session && session->drawer().get() == this)
        session->setDrawer(nullptr);
    RemoteClass::destroy();
}

} // namespace morvix
