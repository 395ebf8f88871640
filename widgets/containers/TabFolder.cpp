#include "widgets/containers/TabFolder.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/controls/SegmentedControl.h"
#include "widgets/foundation/StyleWords.h"
#include "widgets/containers/TabItem.h"
#include "widgets/containers/TabItemViewController.h"
#include "widgets/delegating/DelegatingView.h"
#include "widgets/foundation/ViewPlacement.h"

#include <algorithm>

namespace morvix {

using platform::LayoutAttribute;
using platform::Value;

namespace {

constexpr StyleDeclaration kTopStyle {
    .word = "TOP",
    .effect = "the switcher is a segmented control on top; without it, a tab bar at the bottom (at creation)",
};
constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .attributes = R"({"selection": id})",
    .note = "after \"selection\", when the user switches to a tab (or swipes between pages), with the item's id",
};
constexpr ReportDeclaration kSelectionReport {
    .name = "selection",
    .kind = "id",
    .note = "the item the user switched to, with \"Selection\"; nothing is sent while it is not listened",
};

} // namespace

const WireTable& TabFolder::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire()).style(kTopStyle).event(kSelectionEvent).report(kSelectionReport);
    return table;
}

TabFolder::TabFolder(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_container(DelegatingView::create())
    , m_pageViewController(platform::PageViewController::create())
{
    m_container->setClipsToBounds(true);
    m_container->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto pageView = m_pageViewController->view();
    pageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    pageView->setUserInteractionEnabled(true);
    m_container->addSubview(pageView);
}

TabFolder::~TabFolder() = default;

std::shared_ptr<BasicObject> TabFolder::create(const std::string& id, const Value* properties,
    std::shared_ptr<ClientContext> client)
{
    auto folder = BasicObject::construct<TabFolder>(id, std::move(client));
    std::optional<Value> style;
    if (properties && properties->is_object()) {
        auto entry = properties->find("style");
        if (entry != properties->end())
            style = *entry;
    }
    folder->installSwitcher(styleHasWord(style, kTopStyle) ? Style::Top : Style::Bottom);
    return folder;
}

void TabFolder::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<TabFolder>(shared_from_this());
    m_container->setDelegate(self);
    m_pageViewController->setDelegate(self);
}

const PropertyTable& TabFolder::properties()
{
    static const PropertyTable table = PropertyTable::extend<TabFolder>(AbstractComposite::properties())
                                           .string("selection", &TabFolder::setSelection, &TabFolder::m_selection);
    return table;
}

const PropertyNames& TabFolder::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(AbstractComposite::remoteObjectProperties(), { "selection" });
    return names;
}

std::shared_ptr<platform::View> TabFolder::view() const
{
    return m_container;
}

void TabFolder::installSwitcher(Style style)
{
    m_style = style;
    auto pageView = m_pageViewController->view();
    auto tie = [this](const std::shared_ptr<platform::View>& first, LayoutAttribute attribute,
                   const std::shared_ptr<platform::View>& second, LayoutAttribute secondAttribute, double constant) {
        m_container->addConstraint(platform::LayoutConstraint::create(first, attribute, platform::LayoutRelation::Equal,
            second, secondAttribute, 1.0, constant));
    };
    std::shared_ptr<platform::View> switcher;
    if (style == Style::Top) {
        m_segmentedControl = platform::SegmentedControl::create();
        m_segmentedControl->setControlStyle(platform::SegmentedControlStyle::Bar);
        std::weak_ptr<BasicObject> weak = weak_from_this();
        m_segmentedControl->addTarget(shared_from_this(), [weak](platform::Control&, const platform::Event*) {
            if (auto self = std::static_pointer_cast<TabFolder>(weak.lock()))
                self->segmentedControlSelected();
        }, platform::ControlEventValueChanged);
        switcher = m_segmentedControl;
    } else {
        m_tabBar = platform::TabBar::create();
        m_tabBar->setDelegate(std::static_pointer_cast<TabFolder>(shared_from_this()));
        switcher = m_tabBar;
    }
    switcher->setTranslatesAutoresizingMaskIntoConstraints(false);
    m_container->addSubview(switcher);
    if (style == Style::Top) {
        tie(switcher, LayoutAttribute::Left, m_container, LayoutAttribute::Left, kSegmentInset);
        tie(switcher, LayoutAttribute::Width, m_container, LayoutAttribute::Width, -2 * kSegmentInset);
        tie(switcher, LayoutAttribute::Top, m_container, LayoutAttribute::Top, kSegmentSpacing);
        tie(pageView, LayoutAttribute::Top, switcher, LayoutAttribute::Bottom, kSegmentSpacing);
        tie(pageView, LayoutAttribute::Bottom, m_container, LayoutAttribute::Bottom, 0);
    } else {
        tie(pageView, LayoutAttribute::Top, m_container, LayoutAttribute::Top, 0);
        tie(switcher, LayoutAttribute::Top, pageView, LayoutAttribute::Bottom, 0);
        tie(switcher, LayoutAttribute::Left, m_container, LayoutAttribute::Left, 0);
        tie(switcher, LayoutAttribute::Right, m_container, LayoutAttribute::Right, 0);
        tie(switcher, LayoutAttribute::Bottom, m_container, LayoutAttribute::Bottom, 0);
    }
    tie(pageView, LayoutAttribute::Left, m_container, LayoutAttribute::Left, 0);
    tie(pageView, LayoutAttribute::Right, m_container, LayoutAttribute::Right, 0);
}

// MARK: Items and selection

void TabFolder::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(child);
    auto item = std::dynamic_pointer_cast<TabItem>(child);
    if (!item)
        return;
    // Items arrive in index order; one out of range goes to the nearer end rather than past it.
    auto position = std::clamp<double>(item->index(), 0, double(m_items.size()));
    m_items.insert(m_items.begin() + std::ptrdiff_t(position), item);
    updateItems();
    if (!m_selection || *m_selection == item->objectId())
        select(item->objectId());
}

void TabFolder::removeObject(const RemoteObject& child)
{
    if (auto* item = dynamic_cast<const TabItem*>(&child)) {
        auto found = std::find_if(m_items.begin(), m_items.end(), [&](const auto& entry) { return entry.get() == item; });
        if (found != m_items.end()) {
            m_items.erase(found);
            updateItems();
        }
    } else if (auto* widget = dynamic_cast<const Widget*>(&child)) {
        if (auto view = widget->view())
            view->removeFromSuperview();
        unlinkWidget(*widget);
    }
    RemoteClass::removeObject(child);
}

void TabFolder::addWidgetView(BasicWidget&)
{
}

void TabFolder::unlinkWidget(const Widget& widget)
{
    for (const auto& item : m_items) {
        if (item->showsWidget(widget))
            item->setWidget(nullptr);
    }
}

std::optional<std::size_t> TabFolder::indexOfSelection() const
{
    for (std::size_t i = 0; m_selection && i < m_items.size(); ++i) {
        if (m_items[i]->objectId() == *m_selection)
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> TabFolder::indexOfController(const platform::ViewController* page) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->controller().get() == page)
            return i;
    }
    return std::nullopt;
}

void TabFolder::updateItems()
{
    auto selected = indexOfSelection();
    if (m_segmentedControl) {
        m_segmentedControl->removeAllSegments();
        for (std::size_t i = 0; i < m_items.size(); ++i)
            m_segmentedControl->insertSegmentWithTitle(m_items[i]->text(), int(i));
        m_segmentedControl->setSelectedSegmentIndex(selected ? int(*selected) : platform::SegmentedControl::kNoSegment);
        return;
    }
    std::vector<std::shared_ptr<platform::TabBarItem>> entries;
    for (const auto& item : m_items)
        entries.push_back(item->tabBarItem());
    m_tabBar->setItems(std::move(entries));
    m_tabBar->setSelectedItem(selected ? m_items[*selected]->tabBarItem() : nullptr);
}

bool TabFolder::canShow(const TabItem& item) const
{
    return !ViewPlacement::isRefused(item.view().get(), m_pageViewController->view().get(), client().get());
}

void TabFolder::setSelection(std::optional<std::string> selection)
{
    for (const auto& item : m_items) {
        if (selection && item->objectId() == *selection)
            ViewPlacement::check(item->view().get(), m_pageViewController->view().get(), client().get(), "selection", *selection,
                objectId());
    }
    select(std::move(selection));
}

void TabFolder::select(std::optional<std::string> selection)
{
    m_selection = std::move(selection);
    if (auto index = indexOfSelection())
        reveal(*index);
}

void TabFolder::reveal(std::size_t index)
{
    const auto& item = m_items[index];
    // The folder may have moved into its item's control since the control was named.
    if (!canShow(*item)) {
        if (auto client = this->client())
            client->log(LogEntry("tab folder " + objectId() + ": the page of " + item->objectId() + " holds the folder; not shown",
                LogEntry::Type::Warning));
        return;
    }
    m_pageViewController->setViewControllers({ item->controller() }, platform::PageNavigationDirection::Forward, platform::Animated::No);
    item->controller()->view()->setHidden(false);
    if (m_segmentedControl)
        m_segmentedControl->setSelectedSegmentIndex(int(index));
    // The tab bar marks a selection the peer sets at once, rather than at its next rebuild.
    if (m_tabBar)
        m_tabBar->setSelectedItem(item->tabBarItem());
}

// MARK: A person's switch

void TabFolder::segmentedControlSelected()
{
    int index = m_segmentedControl->selectedSegmentIndex();
    if (index >= 0 && std::size_t(index) < m_items.size())
        activateTab(std::size_t(index));
}

void TabFolder::tabBarDidSelectItem(platform::TabBar&, const std::shared_ptr<platform::TabBarItem>& entry)
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->tabBarItem() == entry)
            return activateTab(i);
    }
}

void TabFolder::activateTab(std::size_t index)
{
    auto item = m_items[index];
    if (!canShow(*item))
        return;
    select(item->objectId());
    selectedController(item->controller());
}

void TabFolder::selectedController(const std::shared_ptr<platform::ViewController>& controller)
{
    auto index = indexOfController(controller.get());
    if (!index)
        return;
    std::string id = m_items[*index]->objectId();
    m_selection = id;
    updateItems();
    if (!m_selectionListener)
        return;
    auto notification = notificationForObject();
    if (!notification)
        return;
    Value attributes = Value::object();
    attributes["selection"] = id;
    notification->report(kSelectionReport, id).fire(kSelectionEvent, std::move(attributes));
}

// MARK: Paging

void TabFolder::setData(std::optional<Value> data)
{
    RemoteClass::setData(std::move(data));
    if (dataForKey("paging", Value(true)))
        m_pageViewController->setDataSource(std::static_pointer_cast<TabFolder>(shared_from_this()));
    else
        m_pageViewController->setDataSource({});
}

std::shared_ptr<platform::ViewController> TabFolder::viewControllerBefore(platform::PageViewController&,
    const std::shared_ptr<platform::ViewController>& page)
{
    auto index = indexOfController(page.get());
    if (!index || *index == 0 || !canShow(*m_items[*index - 1]))
        return nullptr;
    return m_items[*index - 1]->controller();
}

std::shared_ptr<platform::ViewController> TabFolder::viewControllerAfter(platform::PageViewController&,
    const std::shared_ptr<platform::ViewController>& page)
{
    auto index = indexOfController(page.get());
    if (!index || *index + 1 >= m_items.size() || !canShow(*m_items[*index + 1]))
        return nullptr;
    return m_items[*index + 1]->controller();
}

void TabFolder::didFinishAnimating(platform::PageViewController& controller, bool,
    const std::vector<std::shared_ptr<platform::ViewController>>&, bool)
{
    // Completed or abandoned alike: an abandoned swipe reports the page that stayed.
    if (isDisposed() || controller.viewControllers().empty())
        return;
    selectedController(controller.viewControllers().back());
}

// MARK: Look

void TabFolder::setBackground(std::optional<platform::Color> color)
{
    RemoteClass::setBackground(color);
    if (m_tabBar)
        m_tabBar->setBarTintColor(color);
}

void TabFolder::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color);
    if (m_segmentedControl) {
        m_segmentedControl->setTintColor(color);
        return;
    }
    m_tabBar->setSelectedImageTintColor(color);
    if (!color)
        return;
    for (const auto& item : m_items) {
        item->tabBarItem()->setTitleColor(color, platform::TabBarItemState::Normal);
        item->tabBarItem()->setTitleColor(color, platform::TabBarItemState::Highlighted);
    }
}

void TabFolder::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool hasImage = image.has_value();
    RemoteClass::setBackgroundImage(image);
    if (hasImage)
        applyBackgroundImage(image, m_container);
    else
        m_container->setBackgroundColor(background());
}

void TabFolder::sizeChanged(platform::Size size)
{
    m_pageViewController->view()->setNeedsLayout();
    RemoteClass::sizeChanged(size);
}

void TabFolder::destroy()
{
    m_items.clear();
    RemoteClass::destroy();
}

} // namespace morvix
