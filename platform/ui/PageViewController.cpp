#include "platform/ui/PageViewController.h"

#include "platform/ui/Event.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

#include <chrono>
#include <cmath>
#include <utility>

namespace morvix::platform {

namespace {

Duration transitionDelay()
{
    return std::chrono::round<Duration>(std::chrono::duration<double>(ViewController::kTransitionDuration));
}

/// The controller's view: feeds a single finger's horizontal drag to the controller.
class PageScrollView final : public View {
public:
    static std::shared_ptr<PageScrollView> create(const Rect& frame, const std::shared_ptr<PageViewController>& owner)
    {
        auto view = std::shared_ptr<PageScrollView>(new PageScrollView(frame));
        view->m_owner = owner;
        return view;
    }
    const char* className() const override { return "PageScrollView"; }

    void touchesBegan(const TouchSet& touches, const Event&) override
    {
        if (auto owner = m_owner.lock(); owner && !touches.empty())
            owner->dragBegan(touches.front()->locationIn(this).x);
    }
    void touchesMoved(const TouchSet& touches, const Event&) override
    {
        if (auto owner = m_owner.lock(); owner && !touches.empty())
            owner->dragMoved(touches.front()->locationIn(this).x);
    }
    void touchesEnded(const TouchSet& touches, const Event&) override
    {
        if (auto owner = m_owner.lock(); owner && !touches.empty())
            owner->dragEnded(touches.front()->locationIn(this).x);
    }
    void touchesCancelled(const TouchSet& touches, const Event&) override
    {
        if (auto owner = m_owner.lock(); owner && !touches.empty())
            owner->dragEnded(touches.front()->previousLocationIn(this).x);
    }

private:
    using View::View;
    std::weak_ptr<PageViewController> m_owner;
};

} // namespace

std::shared_ptr<PageViewController> PageViewController::create()
{
    return std::shared_ptr<PageViewController>(new PageViewController());
}

PageViewController::~PageViewController()
{
    if (m_turn)
        MainLoop::main().cancel(m_turn->timer);
    for (const auto& leaving : m_leaving)
        MainLoop::main().cancel(leaving.first);
}

void PageViewController::loadView()
{
    auto self = std::static_pointer_cast<PageViewController>(shared_from_this());
    auto view = PageScrollView::create(Screen::main().bounds(), self);
    view->setClipsToBounds(true);
    setView(view);
}

double PageViewController::width()
{
    return view()->bounds().size.width;
}

void PageViewController::viewWillLayoutSubviews()
{
    if (!m_turn)
        for (const auto& page : m_pages)
            page->view()->setFrame(view()->bounds());
}

void PageViewController::showPage(const std::shared_ptr<ViewController>& page)
{
    if (page->parentViewController().get() != this) {
        addChildViewController(page);
        page->didMoveToParentViewController(std::static_pointer_cast<ViewController>(shared_from_this()));
    }
    auto pageView = page->view();
    pageView->setFrame(view()->bounds());
    pageView->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    if (pageView->superview() != view())
        view()->addSubview(pageView);
}

void PageViewController::removePage(const std::shared_ptr<ViewController>& page)
{
    for (const auto& shown : m_pages)
        if (shown == page)
            return;
    if (m_turn && m_turn->neighbour == page)
        return;
    page->willMoveToParentViewController(nullptr);
    if (page->isViewLoaded() && page->view()->superview() == view())
        page->view()->removeFromSuperview();
    page->removeFromParentViewController();
}

void PageViewController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers,
    PageNavigationDirection, Animated animated, TurnCompletion completion)
{
    if (m_turn) {
        // A code-driven change ends a person's turn where it is, without reporting it.
        MainLoop::main().cancel(m_turn->timer);
        auto neighbour = std::move(m_turn->neighbour);
        m_turn.reset();
        removePage(neighbour);
    }
    if (controllers.size() > 1)
        controllers.resize(1);
    auto old = std::exchange(m_pages, std::move(controllers));
    for (const auto& page : m_pages)
        showPage(page);
    if (animated == Animated::No) {
        for (const auto& page : old)
            removePage(page);
        if (completion)
            completion(true);
        return;
    }
    std::weak_ptr<PageViewController> weak = std::static_pointer_cast<PageViewController>(shared_from_this());
    auto timer = std::make_shared<MainLoop::TimerId>(0);
    *timer = MainLoop::main().postAfter(transitionDelay(), [weak, old, timer, completion = std::move(completion)] {
        auto self = weak.lock();
        if (!self)
            return;
        std::erase_if(self->m_leaving, [&](const auto& entry) { return entry.first == *timer; });
        for (const auto& page : old)
            self->removePage(page);
        if (completion)
            completion(true);
    });
    for (const auto& page : old)
        m_leaving.emplace_back(*timer, page);
}

bool PageViewController::beginTurn(PageNavigationDirection direction)
{
    if (m_turn || m_pages.empty())
        return false;
    auto dataSource = m_dataSource.lock();
    if (!dataSource)
        return false;
    auto current = m_pages.front();
    auto neighbour = direction == PageNavigationDirection::Forward ? dataSource->viewControllerAfter(*this, current)
                                                                   : dataSource->viewControllerBefore(*this, current);
    if (!neighbour || m_turn || m_pages.empty() || m_pages.front() != current)
        return false;
    m_turn = Turn { direction, neighbour };
    showPage(neighbour);
    placeTurn();
    return true;
}

void PageViewController::placeTurn()
{
    // The current page follows the finger; the neighbour comes in beside it.
    double w = width();
    double sign = m_turn->direction == PageNavigationDirection::Forward ? -1 : 1;
    double offset = sign * std::min(std::max(m_turn->distance, 0.0), w);
    Rect bounds = view()->bounds();
    Rect current = bounds;
    current.origin.x += offset;
    Rect next = bounds;
    next.origin.x += offset - sign * w;
    if (!m_pages.empty())
        m_pages.front()->view()->setFrame(current);
    m_turn->neighbour->view()->setFrame(next);
}

void PageViewController::liftTurn(bool completes)
{
    m_turn->lifted = true;
    m_turn->distance = completes ? width() : 0;
    placeTurn();
    std::weak_ptr<PageViewController> weak = std::static_pointer_cast<PageViewController>(shared_from_this());
    m_turn->timer = MainLoop::main().postAfter(transitionDelay(), [weak] {
        if (auto self = weak.lock(); self && self->m_turn)
            self->finishTurn();
    });
}

void PageViewController::finishTurn()
{
    Turn turn = std::move(*m_turn);
    m_turn.reset();
    bool completed = turn.distance > 0;
    auto previous = m_pages;
    if (completed)
        m_pages = { turn.neighbour };
    for (const auto& page : m_pages)
        showPage(page);
    for (const auto& page : previous)
        removePage(page);
    removePage(turn.neighbour);
    if (auto delegate = m_delegate.lock())
        delegate->didFinishAnimating(*this, true, previous, completed);
}

bool PageViewController::simulateSwipe(PageNavigationDirection direction, bool completes)
{
    if (!beginTurn(direction))
        return false;
    liftTurn(completes);
    return true;
}

void PageViewController::dragBegan(double x)
{
    m_dragStart = x;
    m_dragDead = m_turn.has_value();
}

void PageViewController::dragMoved(double x)
{
    if (!m_dragStart || m_dragDead)
        return;
    double moved = x - *m_dragStart;
    if (!m_turn) {
        if (moved == 0)
            return;
        auto direction = moved < 0 ? PageNavigationDirection::Forward : PageNavigationDirection::Reverse;
        if (!beginTurn(direction)) {
            m_dragDead = true;
            return;
        }
    }
    if (m_turn->lifted)
        return;
    m_turn->distance = m_turn->direction == PageNavigationDirection::Forward ? -moved : moved;
    placeTurn();
}

void PageViewController::dragEnded(double x)
{
    dragMoved(x);
    bool dragging = m_dragStart && !m_dragDead;
    m_dragStart.reset();
    m_dragDead = false;
    if (!dragging || !m_turn || m_turn->lifted)
        return;
    liftTurn(m_turn->distance >= width() / 2);
}

} // namespace morvix::platform
