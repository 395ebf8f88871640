// The page-turning controller: turns by code, by a person's drag (completed or abandoned) and
// at the ends where there is no neighbour.

#include "platform/ui/PageViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/gestures/TouchDriver.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

class Pages final : public PageViewControllerDataSource, public PageViewControllerDelegate {
public:
    explicit Pages(int count)
    {
        for (int i = 0; i < count; ++i)
            controllers.push_back(ViewController::create());
    }
    int indexOf(const std::shared_ptr<ViewController>& page) const
    {
        for (size_t i = 0; i < controllers.size(); ++i)
            if (controllers[i] == page)
                return int(i);
        return -1;
    }
    std::shared_ptr<ViewController> viewControllerBefore(PageViewController&, const std::shared_ptr<ViewController>& page) override
    {
        asked.push_back("before " + std::to_string(indexOf(page)));
        int i = indexOf(page);
        return i > 0 ? controllers[i - 1] : nullptr;
    }
    std::shared_ptr<ViewController> viewControllerAfter(PageViewController&, const std::shared_ptr<ViewController>& page) override
    {
        asked.push_back("after " + std::to_string(indexOf(page)));
        int i = indexOf(page);
        return i + 1 < int(controllers.size()) ? controllers[i + 1] : nullptr;
    }
    void didFinishAnimating(PageViewController& controller, bool, const std::vector<std::shared_ptr<ViewController>>& previous, bool completed) override
    {
        finishes.push_back(std::to_string(indexOf(previous.front())) + (completed ? " -> " : " stays ")
            + std::to_string(indexOf(controller.viewControllers().front())));
    }
    std::vector<std::shared_ptr<ViewController>> controllers;
    std::vector<std::string> asked;
    std::vector<std::string> finishes;
};

class PageViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pager->setDataSource(pages);
        pager->setDelegate(pages);
        pager->view()->setFrame({ 0, 0, 200, 300 });
        harness.window()->addSubview(pager->view());
        pager->setViewControllers({ pages->controllers[0] }, PageNavigationDirection::Forward, Animated::No);
    }
    int shown() const { return pages->indexOf(pager->viewControllers().front()); }

    UITestHarness harness;
    std::shared_ptr<PageViewController> pager = PageViewController::create();
    std::shared_ptr<Pages> pages = std::make_shared<Pages>(3);
};

TEST_F(PageViewControllerTest, CodeTurnsShowOnePageAndFinishAfterTheTransition)
{
    EXPECT_EQ(pages->controllers[0]->view()->superview(), pager->view());
    EXPECT_EQ(pages->controllers[0]->parentViewController(), pager);
    bool finished = false;
    pager->setViewControllers({ pages->controllers[2] }, PageNavigationDirection::Forward, Animated::Yes,
        [&](bool done) { finished = done; });
    EXPECT_EQ(shown(), 2);
    harness.advance(ViewController::kTransitionDuration / 2);
    EXPECT_FALSE(finished);
    harness.advance(ViewController::kTransitionDuration);
    EXPECT_TRUE(finished);
    EXPECT_EQ(pages->controllers[0]->view()->superview(), nullptr);
    EXPECT_EQ(pages->controllers[0]->parentViewController(), nullptr);
    EXPECT_EQ(pager->view()->subviews().size(), 1u);
    EXPECT_TRUE(pages->finishes.empty()); // code turns are not a person's
}

TEST_F(PageViewControllerTest, DragsCompleteAtHalfTheWidthAndAreAbandonedShortOfIt)
{
    TouchDriver& touches = harness.touches();
    touches.drag({ 150, 100 }, { 40, 100 }, 0.2); // 110 of 200 leftwards
    EXPECT_EQ(shown(), 0); // not before the transition
    harness.advance(ViewController::kTransitionDuration + 0.01);
    EXPECT_EQ(shown(), 1);
    touches.drag({ 150, 100 }, { 90, 100 }, 0.2); // 60: abandoned
    harness.advance(ViewController::kTransitionDuration + 0.01);
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(pages->controllers[1]->view()->frame(), (Rect { 0, 0, 200, 300 }));
    EXPECT_EQ(pages->controllers[2]->view()->superview(), nullptr);
    touches.drag({ 20, 100 }, { 130, 100 }, 0.2); // rightwards, back to the first
    harness.advance(ViewController::kTransitionDuration + 0.01);
    EXPECT_EQ(pages->finishes, (std::vector<std::string> { "0 -> 1", "1 stays 1", "1 -> 0" }));
    EXPECT_EQ(pages->asked, (std::vector<std::string> { "after 0", "after 1", "before 1" }));
}

TEST_F(PageViewControllerTest, NoNeighbourMeansNoTurnAndNoReport)
{
    harness.touches().drag({ 20, 100 }, { 180, 100 }, 0.2);
    harness.advance(1);
    EXPECT_FALSE(pager->simulateSwipe(PageNavigationDirection::Reverse, true));
    ASSERT_TRUE(pager->simulateSwipe(PageNavigationDirection::Forward, true));
    EXPECT_TRUE(pager->isTurning());
    harness.advance(1);
    ASSERT_TRUE(pager->simulateSwipe(PageNavigationDirection::Forward, false));
    harness.advance(1);
    ASSERT_TRUE(pager->simulateSwipe(PageNavigationDirection::Forward, true));
    harness.advance(1);
    EXPECT_FALSE(pager->simulateSwipe(PageNavigationDirection::Forward, true));
    harness.advance(1);
    EXPECT_EQ(shown(), 2);
    EXPECT_EQ(pages->finishes, (std::vector<std::string> { "0 -> 1", "1 stays 1", "1 -> 2" }));
}

} // namespace
