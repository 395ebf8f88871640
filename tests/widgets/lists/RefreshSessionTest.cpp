// Pull to refresh in a real session: the refresh composite's pull, spinner and "done", and the
// refresh handler's controls in a receiver of the test's own.

#include "widgets/lists/RefreshComposite.h"

#include "core/objects/TypeConverter.h"
#include "platform/ui/controls/RefreshControl.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/lists/RefreshHandler.h"
#include "widgets/lists/RefreshHandlerReceiver.h"
#include "widgets/lists/RefreshView.h"

namespace morvix {
namespace {

using platform::Point;

// A widget that takes refresh controls and keeps them.
class TestRefreshReceiver final : public RemoteClass<TestRefreshReceiver, BasicObject>, public RefreshHandlerReceiver {
public:
    static constexpr std::string_view kRemoteType = "test.RefreshReceiver";
    using RemoteClass::RemoteClass;

    void updateWithRefreshHandler(const std::shared_ptr<RefreshHandler>& handler) override
    {
        controls.clear();
        if (handler)
            controls = { handler->createRefreshControl(), handler->createRefreshControl() };
    }
    void refreshHandlerUpdatingDone() override
    {
        ++done;
        for (const auto& control : controls)
            control->endRefreshing();
    }

    std::vector<std::shared_ptr<platform::RefreshControl>> controls;
    int done = 0;
};

class RefreshSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    std::shared_ptr<RefreshView> refreshView()
    {
        auto composite = object<RefreshComposite>("w6");
        return composite ? composite->refreshView() : nullptr;
    }
    // Puts a finger down on the content and moves it until the content offset, as the view
    // reads it, is `offset`; the finger stays down.
    platform::TouchDriver::Finger pullTo(double offset)
    {
        auto& touches = harness.touches();
        auto finger = touches.down({ 160, 20 });
        touches.move(finger, { 160, 40 });
        double reached = refreshView()->contentOffset().y;
        touches.move(finger, { 160, 40 + reached - offset });
        return finger;
    }
};

TEST_F(RefreshSessionTest, APullPastTheThresholdRefreshesOnceUntilDone)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w6","morvix.widgets.RefreshComposite",{"parent":"w1","bounds":[0,0,320,400],"message":"Pull to refresh"}],
        ["create","w7","zub.widgets.Composite",{"parent":"w6","bounds":[0,0,300,250]}],
        ["listen","w6",{"Refresh":true}]])");
    auto view = refreshView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(harness.find("w7")->superview(), view->contentView());
    EXPECT_EQ(view->contentView()->frame(), platform::Rect(0, 0, 320, 400));
    EXPECT_EQ(view->contentSize(), platform::Size(320, 400));
    EXPECT_EQ(view->intrinsicContentSize(), platform::Size(300, 250));
    auto& touches = harness.touches();
    auto control = view->refreshControl();

    auto finger = pullTo(-96);
    EXPECT_EQ(view->contentOffset(), Point(0, -96));
    EXPECT_FALSE(control->isRefreshing()) << "-96 itself is not past the threshold";
    touches.up(finger);
    harness.advance(1);

    std::size_t before = posts().size();
    finger = pullTo(-96.5);
    EXPECT_TRUE(control->isRefreshing());
    touches.move(finger, { 160, 300 });
    touches.move(finger, { 160, 350 });
    touches.up(finger);
    EXPECT_EQ(view->contentOffset(), Point(0, -platform::RefreshControl::kHeight)) << "held under the spinner";
    ASSERT_TRUE(settle(before + 1));
    harness.advance(1);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsSince(before), R"([["set","w1",{"cursorLocation":[160,20]}],["notify","w6","Refresh",{}]])");

    deliver(R"([["call","w6","done",{}]])");
    EXPECT_FALSE(control->isRefreshing());
    EXPECT_EQ(view->contentOffset(), Point(0, 0));

    // Without a listener the spinner stops at once and nothing is sent.
    deliver(R"([["listen","w6",{"Refresh":false}]])");
    before = posts().size();
    finger = pullTo(-120);
    EXPECT_FALSE(control->isRefreshing());
    touches.up(finger);
    harness.advance(1);
    ASSERT_TRUE(settle(before));
    EXPECT_EQ(posts().size(), before);

    // The content cannot be pushed up.
    finger = touches.down({ 160, 300 });
    touches.move(finger, { 160, 250 });
    touches.move(finger, { 160, 200 });
    EXPECT_EQ(view->contentOffset(), Point(0, 0));
    touches.up(finger);

    // A colour that comes after the message colours it.
    deliver(R"([["set","w6",{"foreground":[255,0,0]}]])");
    const auto& title = control->attributedTitle();
    EXPECT_EQ(title.string(), "Pull to refresh");
    ASSERT_FALSE(title.runs().empty());
    EXPECT_EQ(title.runs().front().attributes.foregroundColor, platform::Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(control->tintColor(), platform::Color::fromRGBA(1, 0, 0));

    // Once the composite is gone, a pull on its view starts nothing.
    deliver(R"([["destroy","w6"]])");
    EXPECT_EQ(refreshView(), nullptr);
    EXPECT_FALSE(view->hasRefreshBlock());
    view->setContentOffset({ 0, -200 });
    EXPECT_FALSE(control->isRefreshing());
}

TEST_F(RefreshSessionTest, AHandlerGivesItsReceiverControlsAndRelaysRefreshAndDone)
{
    WidgetRegistry::instance().addHandler<TestRefreshReceiver>();
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","r1","test.RefreshReceiver",{}],
        ["create","h1","morvix.RefreshHandler",{"widget":"r1","message":"Loading"}],
        ["listen","h1",{"Refresh":true}]])");
    auto receiver = object<TestRefreshReceiver>("r1");
    ASSERT_NE(receiver, nullptr);
    ASSERT_EQ(receiver->controls.size(), 2u);
    auto control = receiver->controls[0];
    EXPECT_EQ(control->attributedTitle().string(), "Loading");

    std::size_t before = posts().size();
    control->pullTriggered();
    EXPECT_TRUE(control->isRefreshing());
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsSince(before), R"([["notify","h1","Refresh",{}]])");

    deliver(R"([["call","h1","done",{}]])");
    EXPECT_EQ(receiver->done, 1);
    EXPECT_FALSE(control->isRefreshing());

    deliver(R"([["destroy","h1"]])");
    EXPECT_TRUE(receiver->controls.empty());
}

} // namespace
} // namespace morvix
