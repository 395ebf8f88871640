#include "shell/Action.h"

#include "core/outgoing/Notification.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/controls/ImageView.h"
#include "shell/DisplayRootViewController.h"
#include "shell/MorvixUI.h"
#include "widgets/images/ImageViewMorvix.h"

namespace morvix {

using platform::Value;

const EventDeclaration Action::kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .sentWithoutListen = true,
    .note = "when the user taps the action's bar item; listening changes nothing",
};

const WireTable& Action::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kSelectionEvent);
    return table;
}

Action::Action(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_item(platform::BarButtonItem::create(std::string(), platform::BarButtonStyle::Plain))
    , m_imageHolder(platform::ImageView::create())
{
}

Action::~Action() = default;

void Action::didConstruct()
{
    RemoteClass::didConstruct();
    // The item holds its target weakly: a tap after the action has gone reaches nothing.
    std::weak_ptr<BasicObject> weak = weak_from_this();
    m_item->setTarget(weak, [weak](platform::BarButtonItem&) {
        if (auto self = std::static_pointer_cast<Action>(weak.lock()))
            self->pushed();
    });
    setTitle(std::string());
    setImage(std::nullopt);
    setVisibility(true);
    setEnabled(true);
}

const PropertyTable& Action::properties()
{
    static const PropertyTable table = PropertyTable::extend<Action>(BasicObject::properties())
                                           .string("title", &Action::setTitle, &Action::title)
                                           .value("image", &Action::setImage, &Action::m_image)
                                           .boolean("enabled", &Action::setEnabled, &Action::m_enabled)
                                           .boolean("visibility", &Action::setVisibility, &Action::m_visibility)
                                           .string("placementPriority", &Action::setPlacementPriority, &Action::m_placementPriority)
                                           .color("foreground", &Action::setForeground, &Action::foreground)
                                           .rect("bounds", nullptr, &Action::bounds)
                                           .flag("selectionListener", &Action::m_selectionListener);
    return table;
}

const PropertyNames& Action::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "title", "image", "enabled", "visibility", "placementPriority", "foreground", "bounds" });
    return names;
}

std::string Action::title() const
{
    std::lock_guard lock(m_mutex);
    return m_title;
}

void Action::setTitle(std::optional<std::string> title)
{
    {
        std::lock_guard lock(m_mutex);
        m_title = title.value_or(std::string());
    }
    updatePresentation();
}

void Action::setImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    m_image = image;
    showLoadedImage(nullptr);
    if (!image) {
        ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
        return;
    }
    ImageViewMorvix::loadIcon(*this, m_imageHolder, *image, [](BasicObject& self, std::shared_ptr<platform::Image> loaded) {
        static_cast<Action&>(self).showLoadedImage(std::move(loaded));
    });
}

void Action::showLoadedImage(std::shared_ptr<platform::Image> image)
{
    m_loadedImage = std::move(image);
    m_imageHolder->setImage(m_loadedImage);
    updatePresentation();
}

void Action::updatePresentation()
{
    if (!m_item)
        return;
    if (m_image) {
        m_item->setTitle(std::string());
        m_item->setImage(m_loadedImage);
        return;
    }
    m_item->setTitle(title());
    m_item->setImage(nullptr);
}

void Action::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (m_item)
        m_item->setEnabled(enabled);
}

void Action::setVisibility(bool visible)
{
    m_visibility = visible;
    notifyObjectChange();
}

std::optional<platform::Color> Action::foreground() const
{
    std::lock_guard lock(m_mutex);
    return m_foreground;
}

void Action::setForeground(std::optional<platform::Color> color)
{
    {
        std::lock_guard lock(m_mutex);
        m_foreground = color;
    }
    if (!m_item)
        return;
    m_item->setTitleColor(color, platform::ControlState::Normal);
    std::optional<platform::Color> disabled;
    if (color)
        disabled = color->withAlpha(static_cast<float>(kDisabledAlpha));
    m_item->setTitleColor(disabled, platform::ControlState::Disabled);
}

std::shared_ptr<DisplayRootViewController> Action::rootController() const
{
    return MorvixUI::rootControllerFor(client());
}

platform::Rect Action::bounds() const
{
    if (!m_item)
        return {};
    auto view = m_item->view();
    auto bar = view ? view->superview() : nullptr;
    auto root = rootController();
    auto top = root ? root->topViewController() : nullptr;
    if (!bar || !top)
        return {};
    return top->view()->convertRectFrom(view->frame(), bar.get());
}

ActionPlacementPriority Action::placementPriority() const
{
    if (hasHighPlacementPriority())
        return ActionPlacementPriority::High;
    if (hasLowPlacementPriority())
        return ActionPlacementPriority::Low;
    return ActionPlacementPriority::Normal;
}

void Action::pushed()
{
    if (isDisposed())
        return;
    sendSelection();
}

void Action::sendSelection()
{
    if (auto notification = notificationForObject())
        notification->fire(kSelectionEvent);
}

void Action::destroy()
{
    ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
    if (m_item) {
        m_item->setImage(nullptr);
        m_item.reset();
    }
    RemoteClass::destroy();
}

} // namespace morvix
