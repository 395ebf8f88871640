#pragma once
// The page-turning controller: one page at a time, turned by code or by a horizontal drag.

#include "platform/foundation/MainLoop.h"
#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace morvix::platform {

class PageViewController;

enum class PageNavigationDirection { Forward, Reverse };

/// Answers the pages beside a page; null means there is none on that side.
class PageViewControllerDataSource {
public:
    virtual ~PageViewControllerDataSource() = default;
    virtual std::shared_ptr<ViewController> viewControllerBefore(PageViewController& controller, const std::shared_ptr<ViewController>& page) = 0;
    virtual std::shared_ptr<ViewController> viewControllerAfter(PageViewController& controller, const std::shared_ptr<ViewController>& page) = 0;
};

/// Hears the end of every turn a person made, completed or abandoned.
class PageViewControllerDelegate {
public:
    virtual ~PageViewControllerDelegate() = default;
    /// `previous` holds the pages shown before the turn; `viewControllers()` already holds the
    /// new page when `completed`, and is unchanged otherwise.
    virtual void didFinishAnimating(PageViewController& controller, bool finished,
        const std::vector<std::shared_ptr<ViewController>>& previous, bool completed) = 0;
};

/// Shows one page controller at a time, scrolling horizontally.
///
/// - `setViewControllers` shows its first controller as the only page (a child controller whose
///   view fills this one's, flexible in both sizes). An animated change finishes, and runs its
///   completion, after `ViewController::kTransitionDuration` on the main loop's clock; a
///   non-animated one finishes at once. `viewControllers()` changes at once either way.
/// - A horizontal drag on the view turns the page as a person would: the neighbour is asked of
///   the data source when the finger first moves in a direction (leftwards asks for the page
///   after, rightwards for the one before); without one nothing happens and nothing is
///   reported. On lift the turn completes when the finger went at least half the view's width
///   that way, else it is abandoned. Either way the delegate's did-finish comes after the
///   transition, and `viewControllers()` changes only for a completed turn.
/// - `simulateSwipe` is the same turn driven from code (for tests).
///
/// The data source and delegate are held weakly. Main thread only.
class PageViewController : public ViewController {
public:
    using TurnCompletion = std::function<void(bool finished)>;

    static std::shared_ptr<PageViewController> create();
    ~PageViewController() override;

    const char* className() const override { return "PageViewController"; }

    void setDataSource(std::weak_ptr<PageViewControllerDataSource> dataSource) { m_dataSource = std::move(dataSource); }
    void setDelegate(std::weak_ptr<PageViewControllerDelegate> delegate) { m_delegate = std::move(delegate); }

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return m_pages; }
    /// Shows `controllers.front()` as the page (an empty list shows none).
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers,
        PageNavigationDirection direction, Animated animated, TurnCompletion completion = {});

    /// A person's swipe: asks the neighbour in `direction` and, when there is one, turns to it
    /// (`completes`) or lets the page fall back. Answers whether a turn started.
    bool simulateSwipe(PageNavigationDirection direction, bool completes);
    /// True from the first move of a drag towards a neighbour until its turn finishes.
    bool isTurning() const { return m_turn.has_value(); }

    void loadView() override;
    void viewWillLayoutSubviews() override;

    // The drag, fed by the view's touches.
    void dragBegan(double x);
    void dragMoved(double x);
    void dragEnded(double x);

protected:
    PageViewController() = default;

private:
    struct Turn {
        PageNavigationDirection direction;
        std::shared_ptr<ViewController> neighbour;
        double distance = 0;
        bool lifted = false;
        MainLoop::TimerId timer = 0;
    };

    void showPage(const std::shared_ptr<ViewController>& page);
    void removePage(const std::shared_ptr<ViewController>& page);
    bool beginTurn(PageNavigationDirection direction);
    void placeTurn();
    void liftTurn(bool completes);
    void finishTurn();
    double width();

    std::weak_ptr<PageViewControllerDataSource> m_dataSource;
    std::weak_ptr<PageViewControllerDelegate> m_delegate;
    std::vector<std::shared_ptr<ViewController>> m_pages;
    std::optional<Turn> m_turn;
    std::optional<double> m_dragStart;
    bool m_dragDead = false;
    std::vector<std::pair<MainLoop::TimerId, std::shared_ptr<ViewController>>> m_leaving;
};

} // namespace morvix::platform
