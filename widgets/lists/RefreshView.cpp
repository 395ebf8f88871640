#include "widgets/lists/RefreshView.h"

#include "platform/graphics/AttributedString.h"
#include "platform/ui/controls/RefreshControl.h"
#include "widgets/foundation/Control.h"

#include <algorithm>
#include <cmath>

namespace morvix {

using platform::Point;
using platform::Size;

std::shared_ptr<RefreshView> RefreshView::create()
{
    auto view = std::shared_ptr<RefreshView>(new RefreshView());
    view->setDelegate(std::static_pointer_cast<platform::ScrollViewDelegate>(view));
    view->setContentOffset({ 0, 0 });
    view->setBounces(true);
    view->setShowsHorizontalScrollIndicator(false);
    view->setShowsVerticalScrollIndicator(false);
    view->setScrollEnabled(true);
    view->setAlwaysBounceVertical(true);
    // The platform's scroll views clip: the refresh control above the content shows only when
    // pulled into view.
    view->setClipsToBounds(true);
    view->addSubview(view->m_refreshControl);
    view->m_contentView->setClipsToBounds(true);
    view->addSubview(view->m_contentView);
    view->setContentSize(view->m_contentView->frame().size);
    return view;
}

RefreshView::RefreshView()
    : ScrollView(platform::Rect())
    , m_refreshControl(platform::RefreshControl::create())
    , m_contentView(platform::View::create())
{
}

void RefreshView::setForegroundColor(std::optional<platform::Color> color)
{
    m_foregroundColor = color;
    m_refreshControl->setTintColor(color);
    // The title's colour follows.
    if (m_message)
        setMessage(m_message);
}

void RefreshView::setMessage(std::optional<std::string> message)
{
    m_message = std::move(message);
    platform::AttributedString title(m_message.value_or(""));
    if (m_foregroundColor)
        title.setForegroundColor(m_foregroundColor, 0, title.length());
    m_refreshControl->setAttributedTitle(std::move(title));
}

void RefreshView::startRefresh()
{
    std::lock_guard lock(m_refreshControl->mutex());
    // Without a block nobody would ever end the refresh.
    if (m_refreshControl->isRefreshing() || !m_refreshBlock)
        return;
    m_refreshControl->beginRefreshing();
    setContentInset({ platform::RefreshControl::kHeight, 0, 0, 0 });
    m_refreshBlock();
}

void RefreshView::endRefresh()
{
    std::lock_guard lock(m_refreshControl->mutex());
    if (!m_refreshControl->isRefreshing())
        return;
    m_refreshControl->endRefreshing();
    setContentInset({});
    if (!isDragging() && contentOffset().y < 0)
        setContentOffset({ 0, 0 }, platform::Animated::Yes);
}

void RefreshView::sizeContent()
{
    Size size = bounds().size;
    m_contentView->setFrame({ 0, 0, size.width, size.height });
    setContentSize(size);
    m_refreshControl->setFrame({ 0, -platform::RefreshControl::kHeight, size.width, platform::RefreshControl::kHeight });
}

void RefreshView::layoutSubviews()
{
    // Every change of size, the layout pass's included, ends up here.
    sizeContent();
    Size size = frame().size;
    if (size != m_oldSize) {
        m_oldSize = size;
        if (auto control = m_control.lock())
            control->sizeChanged(size);
    }
    ScrollView::layoutSubviews();
}

Size RefreshView::intrinsicContentSize() const
{
    const auto& subviews = m_contentView->subviews();
    if (subviews.empty())
        return { kNoIntrinsicMetric, kNoIntrinsicMetric };
    double right = 0;
    double bottom = 0;
    for (const auto& subview : subviews) {
        platform::Rect frame = subview->frame();
        right = std::max(right, std::trunc(frame.maxX()));
        bottom = std::max(bottom, std::trunc(frame.maxY()));
    }
    return { right, bottom };
}

void RefreshView::scrollViewDidScroll(platform::ScrollView&)
{
    Point offset = contentOffset();
    if (offset.y > 0)
        setContentOffset({ 0, 0 });
    else if (offset.y < kTriggerOffset)
        startRefresh();
}

} // namespace morvix
