#include "widgets/foundation/ClientLayout.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteClass.h"
#include "platform/ui/Animator.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/TreeDump.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "widgets/delegating/DelegatingLabel.h"
#include "widgets/delegating/DelegatingScrollView.h"
#include "widgets/delegating/DelegatingView.h"
#include "widgets/foundation/Widget.h"

#include <gtest/gtest.h>

#include <map>

using namespace morvix;
using morvix::platform::Rect;
using morvix::platform::Size;
using morvix::platform::Value;
using morvix::platform::View;

namespace {

// A remote object with a view, as the layouts see a widget.
class TestWidget final : public RemoteClass<TestWidget>, public Widget {
public:
    static constexpr std::string_view kRemoteType = "test.Widget";
    using RemoteClass::RemoteClass;
    static const PropertyTable& properties() { return BasicObject::properties(); }
    static const PropertyNames& remoteObjectProperties() { return BasicObject::remoteObjectProperties(); }

    std::shared_ptr<View> view() const override { return m_view; }
    void didMoveToSuperview(const std::shared_ptr<View>&) override { }
    std::shared_ptr<View> m_view;
};

class TestClient final : public ClientContext {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override
    {
        auto entry = registry.find(id);
        return entry == registry.end() ? nullptr : entry->second;
    }
    void removeObjectById(const std::string& id) override { registry.erase(id); }
    void log(const LogEntry&) override { }

    std::map<std::string, std::shared_ptr<RemoteObject>> registry;
};

// Answers a natural size, as a widget with content does.
class SizedDelegate final : public ViewDelegate, public ViewDelegate::IntrinsicSize {
public:
    explicit SizedDelegate(Size size) : m_size(size) { }
    Size intrinsicContentSize() override { return m_size; }

private:
    Size m_size;
};

class ClientLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = platform::View::create(Rect(0, 0, 320, 480));
        parent->setDebugName("parent");
        harness.window()->addSubview(parent);
    }

    // A registered widget `id` whose view (a new DelegatingView by default) is in `superview`.
    std::shared_ptr<View> widget(const std::string& id, std::shared_ptr<View> view = nullptr,
        std::shared_ptr<View> superview = nullptr)
    {
        if (!view)
            view = DelegatingView::create();
        auto object = std::static_pointer_cast<TestWidget>(TestWidget::create(id, nullptr, client));
        object->m_view = view;
        client->registry[id] = object;
        view->setDebugName(id);
        (superview ? superview : parent)->addSubview(view);
        return view;
    }

    std::shared_ptr<ClientLayout> lay(const std::shared_ptr<View>& view, const Value& data, bool animated = false)
    {
        auto layout = ClientLayout::newLayoutWithView(view, data, ClientLayout::isAbsoluteData(data), client);
        layout->setAnimated(animated);
        layout->layout();
        layouts.push_back(layout);
        return layout;
    }

    void solve() { harness.runUntilIdle(); }

    platform::UITestHarness harness;
    std::shared_ptr<TestClient> client = std::make_shared<TestClient>();
    std::shared_ptr<View> parent;
    std::vector<std::shared_ptr<ClientLayout>> layouts;
};

TEST_F(ClientLayoutTest, AttachmentsPlaceViewsAtHandComputedFrames)
{
    auto a = widget("a");
    lay(a, { { "left", { 25, 8 } }, { "top", 10 }, { "width", 100 }, { "height", 20 } });
    auto b = widget("b");
    lay(b, { { "right", { 25, 0 } }, { "top", "a" }, { "width", 50 }, { "height", 10 } });
    auto c = widget("c");
    lay(c, { { "bottom", { "a", 5 } }, { "left", { 0.5, 10 } }, { "width", 120.7 }, { "height", 4 } });
    auto d = widget("d");
    lay(d, { { "centerX", 0 }, { "width", 40 }, { "height", 40 } });
    auto e = widget("e");
    auto sized = std::make_shared<SizedDelegate>(Size { 30, 15 }); // the view holds it weakly
    std::static_pointer_cast<DelegatingView>(e)->setDelegate(sized);
    lay(e, Value::object());
    auto f = widget("f");
    lay(f, { { "top", "nobody" }, { "left", { "nobody", 7 } }, { "width", 10 }, { "height", Value() } });
    solve();

    EXPECT_EQ(a->frame(), Rect(88, 10, 100, 20)) << "25 % of 320, plus 8";
    EXPECT_EQ(b->frame(), Rect(190, 30, 50, 10)) << "right edge at 75 % of 320, below a";
    EXPECT_EQ(c->frame(), Rect(10, 1, 120, 4)) << "bottom 5 above a's top; [0.5, 10] is offset 10; width 120.7 is 120";
    EXPECT_EQ(d->frame(), Rect(140, 0, 40, 40)) << "centred, top defaults to 0";
    EXPECT_EQ(e->frame(), Rect(0, 0, 30, 15)) << "{} is left 0, top 0 at the natural size";
    EXPECT_EQ(f->frame(), Rect(7, 0, 10, 0)) << "an unknown id falls back to the parent's own edges";

    // The constraints installed on the parent, in creation order per view (left, top, width,
    // height, right, bottom, centerX, ...).
    std::string dump = platform::dumpTree(*parent);
    std::string constraints;
    for (std::size_t start = 0, end; start < dump.size(); start = end + 1) {
        end = dump.find('\n', start);
        std::string line = dump.substr(start, end - start);
        if (line.find("= ") != std::string::npos && line.find("=") < line.find("."))
            constraints += line.substr(line.find("= ")) + "\n";
    }
    EXPECT_EQ(constraints,
        "= a.left == 0.25 * parent.right + 8 @1000\n"
        "= a.top == parent.top + 10 @1000\n"
        "= a.width == 100 @1000\n"
        "= a.height == 20 @1000\n"
        "= b.top == a.bottom @1000\n"
        "= b.width == 50 @1000\n"
        "= b.height == 10 @1000\n"
        "= b.right == 0.75 * parent.right @1000\n"
        "= c.left == parent.left + 10 @1000\n"
        "= c.width == 120 @1000\n"
        "= c.height == 4 @1000\n"
        "= c.bottom == a.top - 5 @1000\n"
        "= d.top == parent.top @1000\n"
        "= d.width == 40 @1000\n"
        "= d.height == 40 @1000\n"
        "= d.centerX == parent.centerX @1000\n"
        "= e.left == parent.left @1000\n"
        "= e.top == parent.top @1000\n"
        "= f.left == parent.left + 7 @1000\n"
        "= f.top == parent.top @1000\n"
        "= f.width == 10 @1000\n"
        "= f.height == 0 @1000\n");
    EXPECT_TRUE(layouts[0]->horizontalSpanConstraints().empty()) << "a parent held by no constraints has its own size";
}

TEST_F(ClientLayoutTest, HuggingIsLowOnlyForTwoAttachmentsOnAnAxisWithOneNotANumber)
{
    auto a = widget("a");
    lay(a, { { "left", 0 }, { "width", 10 } });
    auto between = widget("between");
    lay(between, { { "left", "a" }, { "right", 10 }, { "top", Value::array({ 50, 0 }) } });
    auto numbers = widget("numbers");
    lay(numbers, { { "left", 10 }, { "right", 10 }, { "top", 0 }, { "bottom", "a" }, { "centerY", 0 } });
    EXPECT_EQ(between->contentHuggingPriority(platform::LayoutAxis::Horizontal), 250);
    EXPECT_EQ(between->contentHuggingPriority(platform::LayoutAxis::Vertical), 750) << "one attachment only";
    EXPECT_EQ(numbers->contentHuggingPriority(platform::LayoutAxis::Horizontal), 750) << "both are numbers";
    EXPECT_EQ(numbers->contentHuggingPriority(platform::LayoutAxis::Vertical), 750) << "three attachments";
}

TEST_F(ClientLayoutTest, ParentWithoutASizeGrowsAroundItsChildrenThroughSpans)
{
    auto box = widget("box");
    auto boxLayout = lay(box, { { "left", 10 }, { "top", 10 } });
    auto x = widget("x", nullptr, box);
    auto xLayout = lay(x, { { "left", 5 }, { "top", 5 }, { "width", 50 }, { "height", 20 } });
    auto y = widget("y", nullptr, box);
    lay(y, { { "left", "x" }, { "top", 5 }, { "width", 30 }, { "height", 40 } });
    solve();
    EXPECT_EQ(box->frame(), Rect(10, 10, 85, 45));
    EXPECT_EQ(y->frame(), Rect(55, 5, 30, 40));
    EXPECT_NE(platform::dumpTree(*box).find("= x.right <= box.right @250"), std::string::npos) << platform::dumpTree(*box);
    ASSERT_EQ(xLayout->horizontalSpanConstraints().size(), 2u);
    ASSERT_EQ(xLayout->verticalSpanConstraints().size(), 2u);

    // A width and a height for the box make it explicit: the spans go on the next update.
    layouts.push_back(ClientLayout::newRelativeLayoutWithView(box,
        { { "left", 10 }, { "top", 10 }, { "width", 60 }, { "height", 60 } }, client));
    boxLayout->dispose();
    layouts.back()->layout();
    xLayout->updateConstraints();
    solve();
    EXPECT_TRUE(xLayout->horizontalSpanConstraints().empty());
    EXPECT_TRUE(xLayout->verticalSpanConstraints().empty());
    EXPECT_EQ(box->frame(), Rect(10, 10, 60, 60));
}

TEST_F(ClientLayoutTest, ContentOfAScrollViewSpansUnlessTheScrollViewSizesIt)
{
    auto scroll = DelegatingScrollView::create(Rect(0, 0, 200, 200));
    parent->addSubview(scroll);
    auto content = widget("content", nullptr, scroll);
    auto child = widget("child", nullptr, content);
    auto childLayout = lay(child, { { "width", 10 }, { "height", 10 } });
    // The scroll view holds no constraints, which alone would count as an explicit size.
    EXPECT_EQ(childLayout->horizontalSpanConstraints().size(), 2u);
    EXPECT_EQ(childLayout->verticalSpanConstraints().size(), 2u);

    scroll->addConstraint(platform::LayoutConstraint::create(content, platform::LayoutAttribute::Width,
        platform::LayoutRelation::Equal, nullptr, platform::LayoutAttribute::NotAnAttribute, 1, 200));
    childLayout->updateConstraints();
    EXPECT_TRUE(childLayout->horizontalSpanConstraints().empty());
    EXPECT_EQ(childLayout->verticalSpanConstraints().size(), 2u);
}

TEST_F(ClientLayoutTest, BaselineAttachmentAlignsTwoLabels)
{
    auto big = DelegatingLabel::create();
    big->setText("Big");
    big->setFont(platform::Font::system(30));
    auto small = DelegatingLabel::create();
    small->setText("small");
    small->setFont(platform::Font::system(12));
    // The layout pass reads a label's baseline offset from its bounds as they are before the
    // solve, so the labels start at their natural sizes.
    big->sizeToFit();
    small->sizeToFit();
    lay(widget("big", big), { { "left", 0 }, { "top", 40 } });
    lay(widget("small", small), { { "left", "big" }, { "baseline", "big" } });
    solve();
    ASSERT_GT(big->frame().height(), small->frame().height());
    double bigBaseline = big->frame().maxY() - big->baselineOffsetFromBottom();
    EXPECT_DOUBLE_EQ(small->frame().maxY() - small->baselineOffsetFromBottom(), bigBaseline);
    EXPECT_GT(small->frame().y(), 40);
    EXPECT_EQ(small->frame().x(), big->frame().maxX());
}

TEST_F(ClientLayoutTest, AbsoluteFrameIsAnimatedExceptInAScrollViewWhereTheOffsetShiftsIt)
{
    auto plain = widget("plain");
    lay(plain, { { "left", 10 }, { "top", 20 }, { "width", 30 }, { "height", 40 } }, true);
    EXPECT_EQ(plain->frame(), Rect(10, 20, 30, 40)) << "the model is final at once";
    auto running = platform::Animator::shared().activeAnimations();
    ASSERT_FALSE(running.empty());
    for (const auto& animation : running) {
        EXPECT_EQ(animation.view.lock(), plain);
        EXPECT_EQ(animation.duration, 0.4);
    }

    auto scroll = DelegatingScrollView::create(Rect(0, 0, 200, 200));
    scroll->setContentSize({ 200, 1000 });
    parent->addSubview(scroll);
    scroll->setContentOffset({ 0, 50 });
    harness.advance(0.5);
    auto inside = widget("inside", nullptr, scroll);
    lay(inside, { { "left", 10 }, { "top", 20 }, { "width", 30 }, { "height", 40 } }, true);
    EXPECT_EQ(inside->frame(), Rect(10, 70, 30, 40));
    EXPECT_TRUE(platform::Animator::shared().activeAnimations().empty());
    EXPECT_TRUE(inside->translatesAutoresizingMaskIntoConstraints());
}

TEST_F(ClientLayoutTest, AnimatedRelativeLayoutSetsFinalFramesAtOnceAndAnimatesThemForPointFourSeconds)
{
    auto view = widget("view");
    lay(view, { { "left", 20 }, { "top", 30 }, { "width", 100 }, { "height", 50 } }, true);
    EXPECT_EQ(view->frame(), Rect(20, 30, 100, 50));
    auto running = platform::Animator::shared().activeAnimations();
    ASSERT_FALSE(running.empty());
    EXPECT_EQ(running.front().duration, 0.4);
    EXPECT_EQ(view->presentationFrame(harness.clock().now()), Rect()) << "shown from where it was";
    harness.advance(0.4);
    EXPECT_TRUE(platform::Animator::shared().activeAnimations().empty());
    EXPECT_EQ(view->presentationFrame(harness.clock().now()), Rect(20, 30, 100, 50));
}

TEST_F(ClientLayoutTest, LayingOutAgainNeverStacksAndDisposalRemovesEverything)
{
    auto box = widget("box");
    lay(box, { { "left", 0 }, { "top", 0 } });
    auto view = widget("view", nullptr, box);
    auto layout = lay(view, { { "left", 5 }, { "top", Value::array({ 0, 5 }) }, { "width", 10 }, { "height", 10 } });
    std::size_t installed = box->constraints().size();
    EXPECT_EQ(installed, 8u) << "four attachments, four spans";
    layout->layout();
    layout->layout();
    EXPECT_EQ(box->constraints().size(), installed);
    layout->dispose();
    EXPECT_TRUE(box->constraints().empty());
    EXPECT_TRUE(layout->constraints().empty());
    EXPECT_TRUE(view->needsUpdateConstraints());
}

TEST_F(ClientLayoutTest, UninstallableAndContradictoryAttachmentsAreDroppedAndTheLayoutGoesOn)
{
    auto elsewhere = widget("elsewhere", nullptr, harness.window());
    auto self = widget("self");
    auto view = widget("view");
    // A reference outside the parent's subtree counts as absent, so "left" defaults to 0.
    auto layout = lay(view, { { "left", "elsewhere" }, { "top", 5 }, { "width", 10 }, { "height", 10 } });
    lay(self, { { "left", "self" }, { "top", 0 }, { "width", 50 }, { "height", 10 } });
    solve();
    EXPECT_EQ(view->frame(), Rect(0, 5, 10, 10));
    EXPECT_EQ(layout->constraints().size(), 4u);
    for (const auto& constraint : layout->constraints())
        EXPECT_NE(constraint->secondItem(), elsewhere);
    EXPECT_EQ(self->frame().height(), 10) << "the solve went on";
}

TEST(ClientLayoutDataTest, OnlyFourNumbersNamedLeftTopWidthHeightAreAbsolute)
{
    EXPECT_TRUE(ClientLayout::isAbsoluteData({ { "left", 0 }, { "top", true }, { "width", 1.5 }, { "height", 2 } }));
    EXPECT_FALSE(ClientLayout::isAbsoluteData({ { "left", 0 }, { "top", 0 }, { "width", 1 }, { "height", "2" } }));
    EXPECT_FALSE(ClientLayout::isAbsoluteData({ { "left", 0 }, { "top", 0 }, { "width", 1 }, { "height", 2 }, { "right", 0 } }));
    EXPECT_FALSE(ClientLayout::isAbsoluteData({ { "left", 0 }, { "top", 0 }, { "width", 1 }, { "right", 2 } }));
    EXPECT_FALSE(ClientLayout::isAbsoluteData(Value::object()));
}

} // namespace
