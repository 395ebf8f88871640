#include "platform/foundation/MainLoop.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutEngine.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <vector>

using namespace morvix::platform;
using A = LayoutAttribute;
using R = LayoutRelation;

namespace {

// A view with a natural size and a baseline, and a record of its layout hooks.
class SizedView final : public View {
public:
    static std::shared_ptr<SizedView> create(Size intrinsic, double baseline = 0)
    {
        auto view = std::shared_ptr<SizedView>(new SizedView);
        view->m_intrinsic = intrinsic;
        view->m_baseline = baseline;
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        return view;
    }
    Size intrinsicContentSize() const override { return m_intrinsic; }
    double baselineOffsetFromBottom() const override { return m_baseline; }
    void layoutSubviews() override { ++layouts; }
    void updateConstraints() override
    {
        updates.push_back(debugName());
        View::updateConstraints();
    }
    void setIntrinsic(Size size)
    {
        m_intrinsic = size;
        invalidateIntrinsicContentSize();
    }
    int layouts = 0;
    static inline std::vector<std::string> updates;

private:
    Size m_intrinsic;
    double m_baseline = 0;
};

std::shared_ptr<View> laidView(const char* name)
{
    auto view = View::create();
    view->setDebugName(name);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
}

void pin(View& container, const std::shared_ptr<View>& view, A attribute, double constant, double priority = 1000)
{
    bool size = attribute == A::Width || attribute == A::Height;
    auto self = std::static_pointer_cast<View>(container.shared_from_this());
    auto constraint = LayoutConstraint::create(view, attribute, R::Equal, size ? nullptr : self, attribute, 1, constant);
    constraint->setPriority(priority);
    container.addConstraint(constraint);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = View::create(Rect(0, 0, 320, 480));
        parent->setDebugName("parent");
        harness.window()->addSubview(parent);
    }
    void solve() { MainLoop::main().runUntilIdle(); }

    UITestHarness harness;
    std::shared_ptr<View> parent;
};

} // namespace

TEST_F(LayoutTest, AttachmentsToTheParentAndToASiblingPlaceViews)
{
    auto a = laidView("a");
    auto b = laidView("b");
    parent->addSubview(a);
    parent->addSubview(b);
    pin(*parent, a, A::Left, 10);
    pin(*parent, a, A::Top, 20);
    pin(*parent, a, A::Width, 100);
    pin(*parent, a, A::Height, 50);
    // "left": sibling puts b to the right of a; "top": sibling puts it below a.
    parent->addConstraint(LayoutConstraint::create(b, A::Left, R::Equal, a, A::Right, 1, 8));
    parent->addConstraint(LayoutConstraint::create(b, A::Top, R::Equal, a, A::Bottom, 1, 5));
    pin(*parent, b, A::Right, -10);
    pin(*parent, b, A::Height, 30);
    EXPECT_EQ(a->frame(), Rect()) << "frames change only in the layout pass";
    solve();
    EXPECT_EQ(a->frame(), Rect(10, 20, 100, 50));
    EXPECT_EQ(b->frame(), Rect(118, 75, 192, 30));
}

// A loop stopped while a pass waits, and run again, still lays the window out, then and later.
TEST_F(LayoutTest, APassWaitingWhenTheLoopQuitsRunsWhenItRunsAgain)
{
    auto view = laidView("view");
    parent->addSubview(view);
    pin(*parent, view, A::Left, 10);
    pin(*parent, view, A::Top, 20);
    pin(*parent, view, A::Width, 100);
    pin(*parent, view, A::Height, 50);
    MainLoop::main().quit();
    MainLoop::main().postKept(MainLoop::Turn::Next, [] { MainLoop::main().quit(); });
    MainLoop::main().run();
    EXPECT_EQ(view->frame(), Rect(10, 20, 100, 50));
    parent->removeConstraints(parent->constraints());
    pin(*parent, view, A::Left, 30);
    pin(*parent, view, A::Top, 20);
    pin(*parent, view, A::Width, 100);
    pin(*parent, view, A::Height, 50);
    solve();
    EXPECT_EQ(view->frame(), Rect(30, 20, 100, 50));
}

TEST_F(LayoutTest, PercentagesAndCentringUseMultipliersOfTheParentsFarEdge)
{
    auto view = laidView("view");
    parent->addSubview(view);
    // "left": [25, 8] and "right": [25, 0].
    parent->addConstraint(LayoutConstraint::create(view, A::Left, R::Equal, parent, A::Right, 0.25, 8));
    parent->addConstraint(LayoutConstraint::create(view, A::Right, R::Equal, parent, A::Right, 0.75, 0));
    parent->addConstraint(LayoutConstraint::create(view, A::CenterY, R::Equal, parent, A::CenterY, 1, 0));
    pin(*parent, view, A::Height, 40);
    solve();
    EXPECT_EQ(view->frame(), Rect(88, 220, 152, 40));
}

TEST_F(LayoutTest, IntrinsicSizeFillsWhatConstraintsLeaveOpenAndYieldsToRequiredOnes)
{
    auto label = SizedView::create({ 80, 20 });
    label->setDebugName("label");
    parent->addSubview(label);
    pin(*parent, label, A::Left, 0);
    pin(*parent, label, A::Top, 0);
    solve();
    EXPECT_EQ(label->frame(), Rect(0, 0, 80, 20));

    label->setIntrinsic({ 120, 24 });
    solve();
    EXPECT_EQ(label->frame().size, Size(120, 24));

    pin(*parent, label, A::Right, 0);
    solve();
    EXPECT_EQ(label->frame().width(), 320) << "required edges stretch past the hugging priority";
}

TEST_F(LayoutTest, HuggingDecidesWhichOfTwoViewsStretches)
{
    auto loose = SizedView::create({ 50, 20 });
    auto tight = SizedView::create({ 60, 20 });
    loose->setContentHuggingPriority(250, LayoutAxis::Horizontal);
    tight->setContentHuggingPriority(750, LayoutAxis::Horizontal);
    parent->addSubview(loose);
    parent->addSubview(tight);
    pin(*parent, loose, A::Left, 0);
    parent->addConstraint(LayoutConstraint::create(tight, A::Left, R::Equal, loose, A::Right, 1, 0));
    pin(*parent, tight, A::Right, 0);
    solve();
    EXPECT_EQ(tight->frame().width(), 60);
    EXPECT_EQ(loose->frame().width(), 260);
}

TEST_F(LayoutTest, ParentWithoutASizeWrapsItsChildThroughLowPrioritySpans)
{
    auto box = laidView("box");
    auto child = laidView("child");
    parent->addSubview(box);
    box->addSubview(child);
    pin(*parent, box, A::Left, 30);
    pin(*parent, box, A::Top, 40);
    pin(*box, child, A::Width, 100);
    pin(*box, child, A::Height, 60);
    for (auto [childAttribute, relation] : { std::pair { A::Left, R::GreaterThanOrEqual }, std::pair { A::Right, R::LessThanOrEqual },
             std::pair { A::Top, R::GreaterThanOrEqual }, std::pair { A::Bottom, R::LessThanOrEqual } }) {
        auto span = LayoutConstraint::create(child, childAttribute, relation, box, childAttribute, 1, 0);
        span->setPriority(250);
        box->addConstraint(span);
    }
    solve();
    EXPECT_EQ(box->frame(), Rect(30, 40, 100, 60));
    EXPECT_EQ(child->frame(), Rect(0, 0, 100, 60));
}

TEST_F(LayoutTest, UnsatisfiableRequiredConstraintIsDroppedAndLoggedNotThrown)
{
    auto view = laidView("view");
    parent->addSubview(view);
    pin(*parent, view, A::Left, 0);
    pin(*parent, view, A::Top, 0);
    pin(*parent, view, A::Width, 100);
    pin(*parent, view, A::Height, 10);
    pin(*parent, view, A::Width, 200); // contradicts the first width
    solve();
    EXPECT_EQ(view->frame().width(), 100) << "the earlier constraint wins";
    EXPECT_EQ(view->frame().height(), 10);
}

TEST_F(LayoutTest, ConstraintChangesApplyOnTheNextPass)
{
    auto view = laidView("view");
    parent->addSubview(view);
    pin(*parent, view, A::Left, 0);
    pin(*parent, view, A::Top, 0);
    pin(*parent, view, A::Height, 10);
    auto width = LayoutConstraint::create(view, A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 50);
    parent->addConstraint(width);
    solve();
    EXPECT_EQ(view->frame().width(), 50);
    width->setConstant(75);
    EXPECT_EQ(view->frame().width(), 50);
    solve();
    EXPECT_EQ(view->frame().width(), 75);
    width->setActive(false);
    EXPECT_FALSE(width->isActive());
    solve();
    EXPECT_EQ(view->frame().width(), 0) << "without a width the weak zero preference decides";
}

TEST_F(LayoutTest, BaselinesAlignThroughTheBaselineOffset)
{
    auto big = SizedView::create({ 40, 40 }, 8);
    auto small = SizedView::create({ 20, 20 }, 4);
    parent->addSubview(big);
    parent->addSubview(small);
    pin(*parent, big, A::Left, 0);
    pin(*parent, big, A::Top, 100);
    parent->addConstraint(LayoutConstraint::create(small, A::Left, R::Equal, big, A::Right, 1, 0));
    parent->addConstraint(LayoutConstraint::create(small, A::Baseline, R::Equal, big, A::Baseline, 1, 0));
    solve();
    // big's baseline: 100 + 40 - 8 = 132; small's top: 132 - (20 - 4) = 116.
    EXPECT_EQ(small->frame(), Rect(40, 116, 20, 20));
}

TEST_F(LayoutTest, LayoutSubviewsRunsOnSizeChangeAndUpdateConstraintsBottomUp)
{
    auto outer = SizedView::create({ -1, -1 });
    auto inner = SizedView::create({ 10, 10 });
    outer->setDebugName("outer");
    inner->setDebugName("inner");
    parent->addSubview(outer);
    outer->addSubview(inner);
    pin(*parent, outer, A::Left, 0);
    pin(*parent, outer, A::Top, 0);
    auto width = LayoutConstraint::create(outer, A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 100);
    parent->addConstraint(width);
    pin(*parent, outer, A::Height, 100);
    pin(*outer, inner, A::Left, 0);
    pin(*outer, inner, A::Top, 0);
    solve();
    int before = outer->layouts;
    SizedView::updates.clear();
    outer->setNeedsUpdateConstraints();
    inner->setNeedsUpdateConstraints();
    solve();
    EXPECT_EQ(SizedView::updates, (std::vector<std::string> { "inner", "outer" }));
    EXPECT_EQ(outer->layouts, before) << "nothing changed size";
    width->setConstant(150);
    solve();
    EXPECT_EQ(outer->layouts, before + 1);
}

TEST_F(LayoutTest, AutoresizingSharesTheChangeAmongFlexibleParts)
{
    auto stretch = View::create(Rect(10, 10, 300, 50));
    stretch->setAutoresizingMask(AutoresizingFlexibleWidth);
    auto centred = View::create(Rect(60, 100, 200, 50));
    centred->setAutoresizingMask(AutoresizingFlexibleLeftMargin | AutoresizingFlexibleRightMargin);
    auto pinnedRight = View::create(Rect(270, 200, 40, 40));
    pinnedRight->setAutoresizingMask(AutoresizingFlexibleLeftMargin | AutoresizingFlexibleBottomMargin);
    parent->addSubview(stretch);
    parent->addSubview(centred);
    parent->addSubview(pinnedRight);
    parent->setFrame(Rect(0, 0, 400, 480));
    EXPECT_EQ(stretch->frame(), Rect(10, 10, 380, 50));
    EXPECT_EQ(centred->frame(), Rect(100, 100, 200, 50));
    EXPECT_EQ(pinnedRight->frame(), Rect(350, 200, 40, 40));
}

TEST_F(LayoutTest, AutoresizingViewFollowsASuperviewLaidOutByConstraints)
{
    auto box = laidView("box");
    parent->addSubview(box);
    auto fill = View::create(Rect(0, 0, 0, 0));
    fill->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    box->addSubview(fill);
    pin(*parent, box, A::Left, 0);
    pin(*parent, box, A::Top, 0);
    pin(*parent, box, A::Width, 120);
    pin(*parent, box, A::Height, 90);
    solve();
    EXPECT_EQ(fill->frame(), Rect(0, 0, 120, 90));
}

TEST_F(LayoutTest, RemovingAViewRemovesTheConstraintsThatMentionItsSubtree)
{
    auto box = laidView("box");
    auto child = laidView("child");
    auto other = laidView("other");
    parent->addSubview(box);
    parent->addSubview(other);
    box->addSubview(child);
    pin(*box, child, A::Width, 10); // installed inside the subtree: kept
    parent->addConstraint(LayoutConstraint::create(other, A::Left, R::Equal, child, A::Right, 1, 0));
    pin(*parent, box, A::Left, 0);
    ASSERT_EQ(parent->constraints().size(), 2u);
    box->removeFromSuperview();
    EXPECT_TRUE(parent->constraints().empty());
    EXPECT_EQ(box->constraints().size(), 1u);
}

TEST_F(LayoutTest, ViewsThatComeAndGoLeaveNothingBehindInTheSolver)
{
    auto anchor = laidView("anchor");
    parent->addSubview(anchor);
    pin(*parent, anchor, A::Left, 10);
    pin(*parent, anchor, A::Top, 10);
    LayoutEngine engine;
    engine.solve(*parent);
    const ConstraintSolver& solver = engine.solver();
    std::size_t variables = solver.variableCount();
    std::size_t constraints = solver.constraintCount();
    std::size_t cells = solver.tableauSize();
    for (int round = 0; round < 20; ++round) {
        auto passing = laidView("passing");
        parent->addSubview(passing);
        parent->addConstraint(LayoutConstraint::create(passing, A::Left, R::Equal, anchor, A::Right, 1, 8));
        pin(*parent, passing, A::Width, 30 + round);
        auto frames = engine.solve(*parent);
        ASSERT_EQ(frames.size(), 2u);
        // A newcomer may get the ids of an earlier one's variables, never their values.
        EXPECT_EQ(frames[1].second, Rect(18, 0, 30 + round, 0)) << "round " << round;
        passing->removeFromSuperview();
        engine.solve(*parent);
        EXPECT_EQ(solver.variableCount(), variables) << "round " << round;
        EXPECT_EQ(solver.constraintCount(), constraints) << "round " << round;
        EXPECT_EQ(solver.tableauSize(), cells) << "round " << round;
    }
    EXPECT_EQ(engine.solve(*parent).at(0).second, Rect(10, 10, 0, 0));
}

TEST_F(LayoutTest, ConstraintWithAnItemOutsideTheSubtreeIsRefused)
{
    auto inside = laidView("inside");
    auto outside = laidView("outside");
    parent->addSubview(inside);
    harness.window()->addSubview(outside);
    auto constraint = LayoutConstraint::create(inside, A::Left, R::Equal, outside, A::Left, 1, 0);
    EXPECT_FALSE(parent->addConstraint(constraint));
    EXPECT_FALSE(constraint->isActive());
    constraint->setActive(true);
    EXPECT_EQ(constraint->installedOn(), harness.window());
}

TEST_F(LayoutTest, AResizedParentThatContradictsARequiredConstraintKeepsItsSizeAsWhenLaidOutAfresh)
{
    auto wide = laidView("wide");
    auto half = laidView("half");
    parent->addSubview(wide);
    parent->addSubview(half);
    for (const auto& view : { wide, half }) {
        pin(*parent, view, A::Left, 0);
        pin(*parent, view, A::Top, 0);
        pin(*parent, view, A::Height, 10);
    }
    pin(*parent, wide, A::Width, 250);
    parent->addConstraint(LayoutConstraint::create(wide, A::Right, R::LessThanOrEqual, parent, A::Right));
    parent->addConstraint(LayoutConstraint::create(half, A::Width, R::Equal, parent, A::Width, 0.5));
    solve();
    EXPECT_EQ(half->frame().width(), 160);
    parent->setFrame({ 0, 0, 200, 480 }); // now "wide" cannot keep inside
    solve();
    EXPECT_EQ(wide->frame().width(), 250) << "the later constraint is dropped, not the parent's frame";
    EXPECT_EQ(half->frame().width(), 100) << "the parent's real width still counts";
    parent->setFrame({ 0, 0, 300, 480 });
    solve();
    EXPECT_EQ(half->frame().width(), 150);
}

// A column of views, each attached below the one before, as relative layout data places a page:
// the solver holds a tableau proportional to the column, and after a view in the middle goes
// (taking the attachment below it along) and the parent is resized, the engine places every view
// where a fresh engine does.
TEST_F(LayoutTest, ColumnOfAttachedViewsStaysLinearAndLaysOutAsAfreshAfterAViewGoes)
{
    constexpr int kRows = 120;
    std::vector<std::shared_ptr<View>> rows;
    for (int i = 0; i < kRows; ++i) {
        auto row = laidView("row");
        parent->addSubview(row);
        pin(*parent, row, A::Left, 10);
        parent->addConstraint(LayoutConstraint::create(row, A::Right, R::Equal, parent, A::Right, 1, -10));
        if (i)
            parent->addConstraint(LayoutConstraint::create(row, A::Top, R::Equal, rows.back(), A::Bottom, 1, 2));
        else
            pin(*parent, row, A::Top, 0);
        pin(*parent, row, A::Height, 18);
        rows.push_back(row);
    }
    LayoutEngine engine;
    auto frames = engine.solve(*parent);
    ASSERT_EQ(frames.size(), std::size_t(kRows));
    EXPECT_EQ(frames.back().second, Rect(10, 20 * (kRows - 1), 300, 18));
    // Each row's attachment would otherwise leave a marker in the rows of all the views below.
    EXPECT_LT(engine.solver().tableauSize(), std::size_t(40 * kRows));

    rows[kRows / 2]->removeFromSuperview();
    parent->setFrame({ 0, 0, 200, 480 });
    frames = engine.solve(*parent);
    LayoutEngine fresh;
    auto expected = fresh.solve(*parent);
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Rect& frame = frames[i].second;
        const Rect& want = expected[i].second;
        EXPECT_NEAR(frame.x(), want.x(), 1e-6) << "row " << i;
        EXPECT_NEAR(frame.y(), want.y(), 1e-6) << "row " << i;
        EXPECT_NEAR(frame.width(), want.width(), 1e-6) << "row " << i;
        EXPECT_NEAR(frame.height(), want.height(), 1e-6) << "row " << i;
    }
    EXPECT_EQ(frames.back().second.width(), 180);
    EXPECT_EQ(engine.solver().constraintCount(), fresh.solver().constraintCount());
}
