#include "widgets/containers/ScrolledComposite.h"

#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/LayoutConstraint.h"
#include "widgets/containers/ScrollBar.h"
#include "widgets/delegating/DelegatingScrollView.h"

#include <cmath>
#include <limits>

namespace morvix {

using platform::LayoutAttribute;
using platform::Value;

namespace {

constexpr StyleDeclaration kHorizontalScrollStyle {
    .word = "H_SCROLL",
    .effect = "the content scrolls sideways, as wide as its children reach; without it, as wide as the composite",
};
constexpr StyleDeclaration kVerticalScrollStyle {
    .word = "V_SCROLL",
    .effect = "the content scrolls up and down, as high as its children reach; without it, as high as the composite",
};
constexpr ReportDeclaration kHorizontalSelectionReport {
    .name = "horizontalBar.selection",
    .kind = "number",
    .note = "the horizontal scroll offset, truncated, while a horizontal \"zub.widgets.ScrollBar\" is its child: "
            "scheduled on each movement",
};
constexpr ReportDeclaration kVerticalSelectionReport {
    .name = "verticalBar.selection",
    .kind = "number",
    .note = "the vertical scroll offset likewise, while a vertical bar is its child",
};

} // namespace

const WireTable& ScrolledComposite::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire())
                                       .events(Control::touchEvents())
                                       .style(kHorizontalScrollStyle)
                                       .style(kVerticalScrollStyle)
                                       .report(kHorizontalSelectionReport)
                                       .report(kVerticalSelectionReport);
    return table;
}

ScrolledComposite::ScrolledComposite(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_scrollView(DelegatingScrollView::create())
{
    m_scrollView->setBackgroundColor(platform::Color::clear());
    m_scrollView->setDirectionalLockEnabled(true);
    m_scrollView->setShowsHorizontalScrollIndicator(false);
    m_scrollView->setShowsVerticalScrollIndicator(false);
    m_scrollView->setScrollEnabled(false);
    m_scrollView->setClipsToBounds(true);
}

ScrolledComposite::~ScrolledComposite() = default;

void ScrolledComposite::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<ScrolledComposite>(shared_from_this());
    m_scrollView->setDelegate(std::static_pointer_cast<platform::ScrollViewDelegate>(self));
    m_scrollView->setLayoutDelegate(self);
    std::weak_ptr<ScrolledComposite> weak = self;
    m_scrollUpObserver = platform::NotificationCenter::defaultCenter()->addObserver(Notifications::kScrollUp, nullptr,
        [weak](const platform::Notification&) {
            if (auto composite = weak.lock())
                composite->scrollUp();
        });
    // Once the current turn is over, so that the children are in place.
    platform::MainLoop::main().postAfter(platform::Duration::zero(), [weak] {
        if (auto composite = weak.lock())
            composite->m_scrollView->flashScrollIndicators();
    });
}

const PropertyTable& ScrolledComposite::properties()
{
    static const PropertyTable table = PropertyTable::extend<ScrolledComposite>(AbstractComposite::properties())
                                           .point("origin", &ScrolledComposite::setOrigin, &ScrolledComposite::origin)
                                           .string("content", &ScrolledComposite::setContent);
    return table;
}

const PropertyNames& ScrolledComposite::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(AbstractComposite::remoteObjectProperties(), { "origin" });
    return names;
}

std::shared_ptr<platform::View> ScrolledComposite::view() const
{
    return m_scrollView;
}

void ScrolledComposite::addWidgetView(BasicWidget& child)
{
    RemoteClass::addWidgetView(child);
    auto childView = child.view();
    if (!childView || childView->superview() != m_scrollView)
        return;
    auto tie = [&](LayoutAttribute attribute) {
        m_scrollView->addConstraint(platform::LayoutConstraint::create(childView, attribute, platform::LayoutRelation::Equal,
            m_scrollView, attribute, 1.0, 0));
    };
    // The right and bottom edges are those of the content area: they give the content size.
    tie(LayoutAttribute::Right);
    tie(LayoutAttribute::Bottom);
    if (!hasStyle(kHorizontalScrollStyle))
        tie(LayoutAttribute::Width);
    if (!hasStyle(kVerticalScrollStyle))
        tie(LayoutAttribute::Height);
}

void ScrolledComposite::setData(std::optional<Value> data)
{
    RemoteClass::setData(std::move(data));
    if (dataForKey("paging", Value(true)))
        m_scrollView->setPagingEnabled(true);
}

void ScrolledComposite::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool hasImage = image.has_value();
    RemoteClass::setBackgroundImage(image);
    if (hasImage)
        applyBackgroundImage(image, m_scrollView);
    else
        m_scrollView->setBackgroundColor(background());
}

void ScrolledComposite::destroy()
{
    if (isDisposed())
        return;
    m_scrollUpObserver.reset();
    RemoteClass::destroy();
}

void ScrolledComposite::setOrigin(platform::Point origin)
{
    m_origin = origin;
    m_scrollView->setContentOffset(origin, platform::Animated::Yes);
}

void ScrolledComposite::setHorizontalScrollBar(std::shared_ptr<ScrollBar> bar)
{
    m_horizontalBar = std::move(bar);
    barsChanged();
}

void ScrolledComposite::setVerticalScrollBar(std::shared_ptr<ScrollBar> bar)
{
    m_verticalBar = std::move(bar);
    barsChanged();
}

void ScrolledComposite::barsChanged()
{
    m_scrollView->setScrollEnabled(m_horizontalBar || m_verticalBar);
    m_scrollView->setShowsHorizontalScrollIndicator(m_horizontalBar != nullptr);
    m_scrollView->setShowsVerticalScrollIndicator(m_verticalBar != nullptr);
}

void ScrolledComposite::scrollViewDidScroll(platform::ScrollView& scrollView)
{
    didScroll(scrollView.contentOffset());
}

void ScrolledComposite::scrollViewDidEndDragging(platform::ScrollView& scrollView, bool willDecelerate)
{
    if (!willDecelerate)
        didScroll(scrollView.contentOffset());
}

void ScrolledComposite::scrollViewDidEndDecelerating(platform::ScrollView& scrollView)
{
    didScroll(scrollView.contentOffset());
}

std::int32_t ScrolledComposite::selectionValue(double offset)
{
    if (std::isnan(offset))
        return 0;
    // A peer's "origin" may lie far beyond what the type holds: a plain conversion would be
    // undefined there.
    double truncated = std::trunc(offset);
    if (truncated <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (truncated >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(truncated);
}

void ScrolledComposite::didScroll(platform::Point point)
{
    m_origin = point;
    // Bars may go while the events below are sent.
    auto horizontal = m_horizontalBar;
    auto vertical = m_verticalBar;
    if (auto notification = notificationForObject()) {
        if (horizontal)
            notification->report(kHorizontalSelectionReport, selectionValue(point.x));
        if (vertical)
            notification->report(kVerticalSelectionReport, selectionValue(point.y));
        notification->schedule();
    }
    for (const auto& bar : { horizontal, vertical }) {
        if (!bar || !bar->selectionListener())
            continue;
        if (auto notification = bar->notificationForObject())
            notification->fire(ScrollBar::kSelectionEvent);
    }
}

void ScrolledComposite::scrollUp()
{
    setOrigin({ 0, 0 });
    didScroll({ 0, 0 });
}

} // namespace morvix
