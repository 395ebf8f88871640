#include "shell/Swipe.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/WireNumber.h"
#include "platform/ui/View.h"
#include "shell/SwipeItemViewController.h"
#include "widgets/foundation/ViewPlacement.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>

namespace morvix {

using platform::Value;
using platform::ViewController;
using platform::WireNumber;

namespace {

constexpr long long kMaximumIndex = WireNumber::kMaximumItemCount - 1;

/// An item index from the wire: a number (a boolean counts as one), cut to a whole number and
/// clamped to a range far inside the index type's, so that a step to a neighbour or past a lock
/// never overflows. Callers refuse what lies outside [0, kMaximumIndex].
std::optional<long long> indexFrom(const Value& value)
{
    return WireNumber::clampedCount(value, -WireNumber::kMaximumItemCount, WireNumber::kMaximumItemCount);
}

std::optional<long long> indexIn(const Value* properties, const char* key)
{
    if (!properties || !properties->is_object())
        return std::nullopt;
    auto found = properties->find(key);
    return found == properties->end() ? std::nullopt : indexFrom(*found);
}

constexpr EventDeclaration kSwipeEvent {
    .name = "Swipe",
    .attributes = R"({"item": number})",
    .sentWithoutListen = true,
    .note = "after every swipe between pages, with the index of the page now shown, also when the user let the page "
            "fall back",
};

} // namespace

const WireTable& Swipe::wire()
{
    static const WireTable table = WireTable::extend(BasicWidget::wire()).event(kSwipeEvent);
    return table;
}

const PropertyTable& Swipe::properties()
{
    static const PropertyTable table = PropertyTable::extend<Swipe>(BasicWidget::properties())
                                           .number("active", &Swipe::setActive, &Swipe::active)
                                           .number("itemCount", &Swipe::setItemCount, &Swipe::itemCount);
    return table;
}

const PropertyNames& Swipe::remoteObjectProperties()
{
    static const PropertyNames names { "active", "itemCount" };
    return names;
}

Swipe::Swipe(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_controller(platform::PageViewController::create())
{
    auto first = ViewController::create();
    first->view()->setBackgroundColor(FontHelper::backgroundColor());
    m_controller->setViewControllers({ first }, platform::PageNavigationDirection::Forward, platform::Animated::No);
    registerSelector(&Swipe::add, "add");
    registerSelector(&Swipe::remove, "remove");
    registerSelector(&Swipe::lockLeft, "lockLeft");
    registerSelector(&Swipe::lockRight, "lockRight");
    registerSelector(&Swipe::unlockLeft, "unlockLeft");
    registerSelector(&Swipe::unlockRight, "unlockRight");
}

Swipe::~Swipe() = default;

void Swipe::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Swipe>(shared_from_this());
    m_controller->setDataSource(std::static_pointer_cast<platform::PageViewControllerDataSource>(self));
    m_controller->setDelegate(std::static_pointer_cast<platform::PageViewControllerDelegate>(self));
}

std::shared_ptr<platform::View> Swipe::view() const
{
    return m_controller->view();
}

bool Swipe::placeWithoutLayoutData()
{
    auto view = this->view();
    // The frame is the swipe's own: no layout constraint may size it.
    view->setTranslatesAutoresizingMaskIntoConstraints(true);
    view->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    auto superview = view->superview();
    if (!superview)
        return true;
    auto parentWidget = std::dynamic_pointer_cast<Widget>(parent());
    auto parentView = parentWidget && parentWidget->view() ? parentWidget->view() : superview;
    view->setFrame({ 0, 0, parentView->bounds().size.width, parentView->bounds().size.height });
    return true;
}

void Swipe::logIgnored(const std::string& what)
{
    if (auto client = this->client())
        client->log(LogEntry("swipe " + objectId() + ": " + what, LogEntry::Type::Warning));
}

// MARK: Properties

std::optional<Value> Swipe::active() const
{
    std::lock_guard lock(m_activeMutex);
    return m_active ? std::optional<Value>(*m_active) : std::nullopt;
}

void Swipe::storeActive(std::optional<long long> active)
{
    std::lock_guard lock(m_activeMutex);
    m_active = active;
}

void Swipe::setActive(std::optional<Value> value)
{
    auto index = value ? indexFrom(*value) : std::nullopt;
    if (!index) {
        storeActive(std::nullopt);
        return;
    }
    if (*index < 0)
        return logIgnored("active " + std::to_string(*index) + " is negative; ignored");
    if (*index > kMaximumIndex)
        return logIgnored("active " + value->dump() + " is past the last item index " + std::to_string(kMaximumIndex) + "; ignored");
    storeActive(index);
    auto target = controllerForIndex(*index);
    const auto& shown = m_controller->viewControllers();
    auto current = shown.empty() ? nullptr : std::dynamic_pointer_cast<SwipeItemViewController>(shown.back());
    if (!current)
        return m_controller->setViewControllers({ target }, platform::PageNavigationDirection::Forward, platform::Animated::No);
    if (*index == current->index())
        return m_controller->setViewControllers({ target }, platform::PageNavigationDirection::Forward, platform::Animated::No);
    auto direction = *index > current->index() ? platform::PageNavigationDirection::Forward : platform::PageNavigationDirection::Reverse;
    m_controller->setViewControllers({ target }, direction, platform::Animated::Yes);
}

void Swipe::setItemCount(std::optional<Value> count)
{
    m_itemCount = std::move(count);
    updatePageViewController();
}

// MARK: Calls

void Swipe::add(const Value* properties)
{
    auto index = indexIn(properties, "index");
    auto control = properties && properties->is_object() ? properties->find("control") : Value::const_iterator();
    if (!index || control == properties->end() || !control->is_string())
        return;
    if (*index < 0)
        return logIgnored("add at " + std::to_string(*index) + " is negative; ignored");
    if (*index > kMaximumIndex)
        return logIgnored("add at " + properties->at("index").dump() + " is past the last item index " + std::to_string(kMaximumIndex)
            + "; ignored");
    std::string id = control->get<std::string>();
    // The page goes into this swipe's view: a widget whose view holds it (the swipe itself, an
    // ancestor) or the root view is refused before anything moves.
    auto client = this->client();
    auto object = client ? client->objectById(id) : nullptr;
    if (auto* widget = dynamic_cast<Widget*>(object.get()))
        ViewPlacement::check(widget->view().get(), view().get(), client.get(), "control", id, objectId());
    setItem(*index, id);
    m_departed.erase(id);
    m_swipeControllers.erase(id);
    prepareViewControllerForControl(id);
    updatePageViewController();
}

void Swipe::remove(const Value* properties)
{
    if (!properties || !properties->is_object())
        return;
    auto listed = properties->find("items");
    if (listed == properties->end() || !listed->is_array())
        return;
    for (const auto& entry : *listed) {
        auto index = indexFrom(entry);
        if (!index)
            continue;
        if (*index < 0) {
            logIgnored("remove of " + std::to_string(*index) + " is negative; ignored");
            continue;
        }
        setItem(*index, std::nullopt);
    }
}

void Swipe::setItem(long long index, std::optional<std::string> id)
{
    if (auto placed = m_items.find(index); placed != m_items.end()) {
        auto indexes = m_indexesById.find(placed->second);
        indexes->second.erase(index);
        if (indexes->second.empty())
            m_indexesById.erase(indexes);
        m_items.erase(placed);
    }
    if (!id)
        return;
    m_indexesById[*id].insert(index);
    m_items.emplace(index, std::move(*id));
}

void Swipe::lockLeft(const Value* properties)
{
    m_lockLeftIndex = indexIn(properties, "index");
    updatePageViewController();
}

void Swipe::lockRight(const Value* properties)
{
    m_lockRightIndex = indexIn(properties, "index");
    updatePageViewController();
}

void Swipe::unlockLeft(const Value*)
{
    m_lockLeftIndex.reset();
    updatePageViewController();
}

void Swipe::unlockRight(const Value*)
{
    m_lockRightIndex.reset();
    updatePageViewController();
}

// MARK: Pages

Swipe::Range Swipe::computeRange() const
{
    long long start = m_lockLeftIndex.value_or(0);
    long long end = 0;
    if (m_lockRightIndex)
        end = *m_lockRightIndex + 1;
    else if (m_itemCount)
        end = indexFrom(*m_itemCount).value_or(0);
    return { start, std::max(end, start) };
}

std::shared_ptr<SwipeItemViewController> Swipe::controllerForIndex(long long index)
{
    if (auto placed = m_items.find(index); placed != m_items.end())
        return prepareViewControllerForControl(placed->second);
    return SwipeItemViewController::create(nullptr, index);
}

std::shared_ptr<SwipeItemViewController> Swipe::prepareViewControllerForControl(const std::string& id)
{
    auto client = this->client();
    long long index = indexForControl(id);
    if (auto cached = m_swipeControllers.find(id); cached != m_swipeControllers.end()) {
        // This swipe may have moved into the page's widget since the page was made.
        if (!ViewPlacement::isRefused(cached->second->view().get(), view().get(), client.get()))
            return cached->second;
        logIgnored("the page of " + id + " holds the swipe; an empty page shows instead");
        // The page holds the widget, whose view now holds this swipe: kept, they would hold
        // each other for good.
        m_swipeControllers.erase(cached);
        return SwipeItemViewController::create(nullptr, index);
    }
    if (m_departed.contains(id))
        return SwipeItemViewController::create(nullptr, index);
    auto widget = client ? std::dynamic_pointer_cast<BasicWidget>(client->objectById(id)) : nullptr;
    if (widget && ViewPlacement::isRefused(widget->view().get(), view().get(), client.get())) {
        logIgnored("the view of " + id + " holds the swipe; an empty page shows instead");
        return SwipeItemViewController::create(nullptr, index);
    }
    auto controller = SwipeItemViewController::create(std::move(widget), index);
    m_swipeControllers[id] = controller;
    return controller;
}

long long Swipe::indexForControl(const std::string& id) const
{
    auto found = m_indexesById.find(id);
    return found == m_indexesById.end() ? -1 : *found->second.begin();
}

void Swipe::updatePageViewController()
{
    auto index = active();
    auto target = controllerForIndex(index ? indexFrom(*index).value_or(0) : 0);
    m_controller->setViewControllers({ target }, platform::PageNavigationDirection::Forward, platform::Animated::No);
}

std::shared_ptr<ViewController> Swipe::neighbour(const std::shared_ptr<ViewController>& page, long long step)
{
    auto item = std::dynamic_pointer_cast<SwipeItemViewController>(page);
    if (!item)
        return nullptr;
    long long index = item->index() + step;
    if (!computeRange().contains(index))
        return nullptr;
    return controllerForIndex(index);
}

std::shared_ptr<ViewController> Swipe::viewControllerBefore(platform::PageViewController&, const std::shared_ptr<ViewController>& page)
{
    return neighbour(page, -1);
}

std::shared_ptr<ViewController> Swipe::viewControllerAfter(platform::PageViewController&, const std::shared_ptr<ViewController>& page)
{
    return neighbour(page, 1);
}

void Swipe::didFinishAnimating(platform::PageViewController& controller, bool, const std::vector<std::shared_ptr<ViewController>>&, bool)
{
    const auto& shown = controller.viewControllers();
    auto item = shown.empty() ? nullptr : std::dynamic_pointer_cast<SwipeItemViewController>(shown.back());
    long long index = item ? item->index() : 0;
    storeActive(index);
    if (isDisposed())
        return;
    if (auto notification = notificationForObject())
        notification->fire(kSwipeEvent, Value { { "item", index } });
}

// MARK: Children and destruction

void Swipe::removeObject(const RemoteObject& child)
{
    RemoteClass::removeObject(child);
    const std::string& id = child.objectId();
    auto cached = m_swipeControllers.find(id);
    if (cached == m_swipeControllers.end() && indexForControl(id) < 0)
        return;
    m_departed.insert(id);
    if (cached == m_swipeControllers.end())
        return;
    auto page = cached->second;
    m_swipeControllers.erase(cached);
    if (const auto& widget = page->widget()) {
        auto widgetView = widget->view();
        if (widgetView && page->isViewLoaded() && widgetView->superview() == page->view())
            widgetView->removeFromSuperview();
    }
}

void Swipe::destroy()
{
    if (isDisposed())
        return;
    m_items.clear();
    m_indexesById.clear();
    m_swipeControllers.clear();
    RemoteClass::destroy();
}

} // namespace morvix
