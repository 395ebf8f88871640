#include "widgets/containers/TabItem.h"

#include "core/objects/ClientContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/View.h"
#include "platform/ui/controls/ImageView.h"
#include "widgets/containers/TabFolder.h"
#include "widgets/containers/TabItemViewController.h"
#include "widgets/foundation/ViewPlacement.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/text/Mnemonics.h"

namespace morvix {

using platform::LayoutAttribute;
using platform::Value;

TabItem::TabItem(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_controller(TabItemViewController::create(std::string()))
    , m_tabBarItem(platform::TabBarItem::create())
    , m_imageHolder(platform::ImageView::create())
{
}

TabItem::~TabItem()
{
    ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
}

void TabItem::didConstruct()
{
    m_controller->setDelegate(std::static_pointer_cast<TabItem>(shared_from_this()));
    RemoteClass::didConstruct();
}

const PropertyTable& TabItem::properties()
{
    static const PropertyTable table = PropertyTable::extend<TabItem>(Composite::properties())
                                           .string("text", &TabItem::setText,
                                               [](const TabItem& self) { return std::optional<std::string>(self.text()); })
                                           .value("image", &TabItem::setImage, &TabItem::m_image)
                                           .number("index", &TabItem::setIndex,
                                               [](const TabItem& self) { return std::optional<Value>(self.index()); })
                                           .string("control", &TabItem::setControl, &TabItem::control);
    return table;
}

const PropertyNames& TabItem::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Composite::remoteObjectProperties(), { "text", "image" });
    return names;
}

std::shared_ptr<platform::View> TabItem::view() const
{
    return m_controller->view();
}

std::string TabItem::text() const
{
    return m_controller->title();
}

void TabItem::setText(std::optional<std::string> text)
{
    auto clean = Mnemonics::removeMnemonics(text.value_or(std::string()));
    m_controller->setTitle(clean);
    m_controller->tabBarItem()->setTitle(clean);
    m_tabBarItem->setTitle(clean);
}

void TabItem::setImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    m_image = image;
    if (!image) {
        ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
        showImage(nullptr);
        return;
    }
    ImageViewMorvix::loadIcon(*this, m_imageHolder, *image, [](BasicObject& self, std::shared_ptr<platform::Image> loaded) {
        static_cast<TabItem&>(self).showImage(loaded);
    });
}

void TabItem::showImage(const std::shared_ptr<platform::Image>& image)
{
    m_controller->tabBarItem()->setImage(image);
    m_tabBarItem->setImage(image);
}

void TabItem::setIndex(std::optional<Value> index)
{
    m_index = index ? platform::numberValue(*index).value_or(0) : 0;
}

std::optional<std::string> TabItem::control() const
{
    if (m_widget.expired())
        return std::nullopt;
    return m_widgetId;
}

void TabItem::checkControl(const Widget& widget, const std::string& controlId, const TabFolder* folder,
    const ClientContext* client, const std::string& itemId)
{
    // The page shows inside the folder's view: a control whose view holds that view (the folder
    // itself, one of its ancestors) would be put inside itself, and the root view never moves.
    auto host = folder ? folder->view() : nullptr;
    ViewPlacement::check(widget.view().get(), host.get(), client, "control", controlId, itemId);
}

std::shared_ptr<BasicObject> TabItem::create(const std::string& id, const Value* properties, std::shared_ptr<ClientContext> client)
{
    // "parent" is applied after "control", so a create that names both is checked here, before
    // the item takes the control's view.
    if (client && properties && properties->is_object()) {
        auto parentId = properties->find("parent");
        auto controlId = properties->find("control");
        if (parentId != properties->end() && parentId->is_string() && controlId != properties->end() && controlId->is_string()) {
            auto folder = std::dynamic_pointer_cast<TabFolder>(client->objectById(parentId->get<std::string>()));
            auto widget = std::dynamic_pointer_cast<Widget>(client->objectById(controlId->get<std::string>()));
            if (folder && widget)
                checkControl(*widget, controlId->get<std::string>(), folder.get(), client.get(), id);
        }
    }
    return BasicObject::construct<TabItem>(id, std::move(client));
}

void TabItem::setControl(std::optional<std::string> id)
{
    auto client = this->client();
    auto object = client && id ? client->objectById(*id) : nullptr;
    auto widget = std::dynamic_pointer_cast<Widget>(object);
    if (widget) {
        auto* folder = dynamic_cast<TabFolder*>(parent().get());
        checkControl(*widget, *id, folder, client.get(), objectId());
        if (folder)
            folder->unlinkWidget(*widget);
    }
    m_widgetId = widget ? *id : std::string();
    setWidget(widget);
}

bool TabItem::showsWidget(const Widget& widget) const
{
    return m_widget.lock().get() == &widget;
}

void TabItem::setWidget(const std::shared_ptr<Widget>& widget)
{
    auto previous = m_widget.lock();
    m_widget = widget;
    if (!widget)
        m_widgetId.clear();
    if (auto pinnedIn = m_pinnedIn.lock())
        pinnedIn->removeConstraints(m_pins);
    m_pins.clear();
    m_pinnedIn.reset();
    // The page shown now gives its place, if it has one, to the new page.
    std::shared_ptr<platform::View> old = m_controller->isViewLoaded() ? m_controller->view() : nullptr;
    auto superview = old ? old->superview() : nullptr;
    bool hidden = old && old->isHidden();
    auto view = widget ? widget->view() : nullptr;
    if (old && old != view && superview)
        old->removeFromSuperview();
    m_controller->setView(view);
    auto shown = m_controller->view();
    if (backgroundImage() && old != shown) {
        restorePage(old, previous);
        applyBackgroundImage(backgroundImage(), shown);
    }
    if (!superview)
        return;
    shown->setHidden(hidden);
    if (!view) {
        shown->setFrame(superview->bounds());
        shown->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    }
    superview->addSubview(shown);
}

void TabItem::controllerWillLayoutSubviews()
{
    auto widget = m_widget.lock();
    auto view = widget ? widget->view() : nullptr;
    auto superview = view ? view->superview() : nullptr;
    if (!superview)
        return;
    // Pinned once per superview: the layout pass runs this before every layout of the page.
    if (m_pinnedIn.lock() == superview)
        return;
    if (auto previous = m_pinnedIn.lock())
        previous->removeConstraints(m_pins);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    m_pins.clear();
    for (auto attribute : { LayoutAttribute::Left, LayoutAttribute::Top, LayoutAttribute::Width, LayoutAttribute::Height })
        m_pins.push_back(platform::LayoutConstraint::create(view, attribute, platform::LayoutRelation::Equal, superview, attribute, 1.0, 0));
    superview->addConstraints(m_pins);
    m_pinnedIn = superview;
}

void TabItem::setEnabled(bool enabled)
{
    RemoteClass::setEnabled(enabled);
    m_controller->tabBarItem()->setEnabled(enabled);
    m_tabBarItem->setEnabled(enabled);
}

void TabItem::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool painted = backgroundImage().has_value();
    // The base stores the picture; the composite's own view, which the base class would paint,
    // is never shown for a tab item.
    BasicWidget::setBackgroundImage(image);
    if (image)
        applyBackgroundImage(image, view());
    else if (painted)
        restorePage(view(), m_widget.lock());
}

void TabItem::restorePage(const std::shared_ptr<platform::View>& page, const std::shared_ptr<Widget>& widget)
{
    if (!page)
        return;
    page->setBackgroundPatternImage(nullptr);
    auto* owner = dynamic_cast<BasicWidget*>(widget.get());
    if (!owner || owner->view() != page) {
        page->setBackgroundColor(background());
        return;
    }
    owner->setBackground(owner->background());
    if (owner->backgroundImage())
        owner->setBackgroundImage(owner->backgroundImage());
}

void TabItem::setData(std::optional<Value> data)
{
    RemoteClass::setData(std::move(data));
    std::string badge;
    if (const auto& stored = this->data(); stored && stored->is_object()) {
        auto entry = stored->find("badgeValue");
        if (entry != stored->end() && entry->is_string())
            badge = entry->get<std::string>();
    }
    m_controller->tabBarItem()->setBadgeValue(badge);
    m_tabBarItem->setBadgeValue(badge);
}

void TabItem::destroy()
{
    if (isDisposed())
        return;
    if (auto parent = this->parent())
        parent->removeObject(*this);
    ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
    RemoteClass::destroy();
}

} // namespace morvix
