#include "platform/ui/controls/RefreshControl.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/Label.h"

namespace morvix::platform {

namespace {

constexpr double kSpinnerTop = 10;
constexpr double kTitleTop = 36;
constexpr double kTitleHeight = 18;

} // namespace

std::shared_ptr<RefreshControl> RefreshControl::create()
{
    auto control = std::shared_ptr<RefreshControl>(new RefreshControl());
    control->addSubview(control->m_spinner);
    control->addSubview(control->m_titleLabel);
    return control;
}

RefreshControl::RefreshControl()
    : Control(Rect())
    , m_spinner(ActivityIndicatorView::create())
    , m_titleLabel(Label::create())
{
    // The wheel stands still until a refresh begins; the control shows it whenever the content
    // is pulled far enough down to uncover it.
    m_spinner->setHidden(false);
    m_titleLabel->setTextAlignment(TextAlignment::Center);
    m_titleLabel->setFont(Font::system(13));
}

void RefreshControl::beginRefreshing()
{
    assertOnMainThread();
    std::lock_guard lock(m_mutex);
    if (m_refreshing)
        return;
    m_refreshing = true;
    m_spinner->startAnimating();
}

void RefreshControl::endRefreshing()
{
    assertOnMainThread();
    std::lock_guard lock(m_mutex);
    if (!m_refreshing)
        return;
    m_refreshing = false;
    m_spinner->stopAnimating();
    m_spinner->setHidden(false);
}

void RefreshControl::pullTriggered()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_refreshing)
            return;
        beginRefreshing();
    }
    sendActionsForControlEvents(ControlEventValueChanged);
}

void RefreshControl::setAttributedTitle(AttributedString title)
{
    m_title = std::move(title);
    m_titleLabel->setAttributedText(m_title);
}

void RefreshControl::layoutSubviews()
{
    Control::layoutSubviews();
    Rect box = bounds();
    double side = ActivityIndicatorView::kSize;
    m_spinner->setFrame({ box.midX() - side / 2, kSpinnerTop, side, side });
    m_titleLabel->setFrame({ 0, kTitleTop, box.width(), kTitleHeight });
}

} // namespace morvix::platform
