#include "shell/Page.h"

#include "core/objects/ClientContext.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/controls/ImageView.h"
#include "shell/DisplayRootViewController.h"
#include "shell/MorvixUI.h"
#include "shell/PageViewController.h"
#include "widgets/foundation/ViewPlacement.h"
#include "widgets/foundation/Widget.h"
#include "widgets/images/ImageViewMorvix.h"

#include <algorithm>
#include <utility>

namespace morvix {

using platform::Value;

namespace {

Widget* asWidget(const std::shared_ptr<RemoteObject>& object)
{
    return object ? dynamic_cast<Widget*>(object.get()) : nullptr;
}

bool isOnStack(const PageViewController& controller)
{
    auto navigation = controller.navigationController();
    if (!navigation)
        return false;
    const auto& stack = navigation->viewControllers();
    return std::any_of(stack.begin(), stack.end(), [&](const auto& stacked) { return stacked.get() == &controller; });
}

} // namespace

Page::Page(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_imageHolder(platform::ImageView::create())
{
}

Page::~Page() = default;

void Page::didConstruct()
{
    RemoteClass::didConstruct();
    m_viewController = PageViewController::create(std::static_pointer_cast<Page>(shared_from_this()));
    m_viewController->setTitle(std::string());
}

const WireTable& Page::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).style(PageViewController::kFullscreenStyle);
    return table;
}

const PropertyTable& Page::properties()
{
    static const PropertyTable table = PropertyTable::extend<Page>(BasicObject::properties())
                                           .string("title", &Page::setTitle, &Page::title)
                                           .string("control", &Page::setControl, &Page::m_control)
                                           .array("style", &Page::setStyle, &Page::m_style)
                                           .boolean("topLevel", &Page::setTopLevel, &Page::m_topLevel)
                                           .value("image", &Page::setImage, &Page::m_image);
    return table;
}

const PropertyNames& Page::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "title", "control", "style", "topLevel", "image" });
    return names;
}

std::shared_ptr<MorvixUI> Page::frame() const
{
    return std::dynamic_pointer_cast<MorvixUI>(parent());
}

// MARK: Properties

std::string Page::title() const
{
    return m_viewController->title();
}

void Page::setTitle(std::optional<std::string> title)
{
    m_viewController->setTitle(title.value_or(std::string()));
    notifyObjectChange();
}

void Page::setTopLevel(bool topLevel)
{
    if (std::exchange(m_topLevel, topLevel) != topLevel)
        notifyObjectChange();
}

std::shared_ptr<RemoteObject> Page::controlWidget() const
{
    auto client = this->client();
    auto object = client && m_control ? client->objectById(*m_control) : nullptr;
    return asWidget(object) ? object : nullptr;
}

void Page::setControl(std::optional<std::string> id)
{
    auto scrollView = m_viewController->scrollView();
    // The page shows its content inside its own scroll view: content whose view holds the page's
    // (the display, an ancestor of a page shown inside a widget) is refused before anything moves.
    auto client = this->client();
    auto candidate = client && id ? client->objectById(*id) : nullptr;
    if (auto* candidateWidget = asWidget(candidate); candidateWidget && candidateWidget != asWidget(m_controlWidget))
        ViewPlacement::check(candidateWidget->view().get(), scrollView.get(), client.get(), "control", *id, objectId());
    m_control = std::move(id);
    auto widget = controlWidget();
    // The old content goes back to the peer, which owns it: out of the page, destroyable again.
    if (m_controlWidget && m_controlWidget != widget) {
        auto old = asWidget(m_controlWidget)->view();
        if (old && old->superview() == scrollView) {
            old->removeFromSuperview();
            asWidget(m_controlWidget)->didMoveToSuperview(nullptr);
        }
        m_controlWidget->setOmitDestroy(false);
    }
    m_controlWidget = widget;
    if (!widget)
        return;
    widget->setOmitDestroy(true);
    auto view = asWidget(widget)->view();
    if (!view)
        return;
    view->setTranslatesAutoresizingMaskIntoConstraints(true);
    view->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    scrollView->addSubview(view);
    view->setHidden(false);
    asWidget(widget)->didMoveToSuperview(scrollView);
}

std::vector<std::string> Page::style() const
{
    std::vector<std::string> names;
    if (!m_style || !m_style->is_array())
        return names;
    for (const auto& item : *m_style) {
        if (item.is_string())
            names.push_back(item.get<std::string>());
    }
    return names;
}

void Page::setImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    m_image = image;
    if (!image) {
        ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
        showLoadedImage(nullptr);
        return;
    }
    m_loadedImage.reset();
    ImageViewMorvix::loadIcon(*this, m_imageHolder, *image, [](BasicObject& self, std::shared_ptr<platform::Image> loaded) {
        static_cast<Page&>(self).showLoadedImage(std::move(loaded));
    });
}

void Page::showLoadedImage(std::shared_ptr<platform::Image> image)
{
    m_loadedImage = std::move(image);
    m_imageHolder->setImage(m_loadedImage);
    notifyObjectChange();
}

// MARK: The controller's hooks

void Page::controllerWillAppear(PageViewController& controller)
{
    if (auto frame = this->frame())
        frame->controllerWillAppear(controller);
}

void Page::controllerDidAppear(PageViewController& controller)
{
    if (auto frame = this->frame())
        frame->controllerDidAppear(controller);
}

void Page::controllerWillDisappear(PageViewController& controller)
{
    if (auto frame = this->frame())
        frame->controllerWillDisappear(controller);
}

void Page::controllerDidDisappear(PageViewController& controller)
{
    if (auto frame = this->frame())
        frame->controllerDidDisappear(controller);
}

void Page::controllerWasRemoved(PageViewController&)
{
    // A top-level page is switched away from, not navigated back from: only a requested destroy
    // finishes it.
    if (m_topLevel) {
        if (m_destroyRequested)
            destroyNow();
        return;
    }
    if (m_destroyRequested) {
        destroyNow();
        return;
    }
    m_destroyRequested = true;
}

// MARK: Destruction

void Page::destroy()
{
    if (isDisposed())
        return;
    if (m_destroyRequested) {
        destroyNow();
        return;
    }
    m_destroyRequested = true;
    bool onStack = isOnStack(*m_viewController);
    if (auto frame = this->frame()) {
        frame->removeObject(*this);
    } else if (onStack) {
        // Shown by "activePage" without being the frame's child: nothing else takes it off the
        // stack, and its controller's leaving finishes the destroy.
        if (auto root = MorvixUI::rootControllerFor(client()))
            root->removeViewController(m_viewController, platform::Animated::Yes);
    }
    if (!onStack)
        destroyNow();
}

void Page::destroyNow()
{
    if (isDisposed())
        return;
    // The object that destroys the page must outlive this call: the base removes it from the
    // registry, which may hold the last reference.
    auto self = shared_from_this();
    m_viewController->destroy();
    destroyChildControl();
    RemoteClass::destroy();
}

void Page::destroyChildControl()
{
    auto widget = std::exchange(m_controlWidget, nullptr);
    if (!widget)
        return;
    widget->setOmitDestroy(false);
    widget->destroy();
}

} // namespace morvix
