// What a peer cannot do to the view tree: put the session's root view under a widget, or make a
// frame, a transform or a layout out of numbers beyond the float range. A script session on the
// headless screen.

#include "core/base/LogEntry.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/foundation/Display.h"

#include <gtest/gtest.h>

#include <cmath>

namespace morvix {
namespace {

using platform::Value;

class WidgetPlacementSessionTest : public testing::ScriptSessionFixture {
protected:
    // Starts with the display "w1" and every log line kept.
    void startLogged(const std::string& main)
    {
        writeApplication(kDisplayLine + main);
        ASSERT_NO_FATAL_FAILURE(createClient());
        client->setLogObserver([this](const LogEntry& entry) { log.push_back(entry.message()); }, MorvixClient::LogDelivery::AnyThread);
        loadSession();
    }
    // The number of log lines that refused a value, cleared.
    std::size_t refusals()
    {
        std::size_t count = 0;
        for (const auto& line : log)
            count += line.starts_with("catching 'Incorrect Parameter'");
        log.clear();
        return count;
    }
    bool rootViewIsShown()
    {
        auto root = client->view();
        return root->window() == harness.window() && !root->isHidden();
    }

    std::vector<std::string> log;
};

// Every number of `value` (an object or array of numbers) is finite; JSON null is not.
bool allFinite(const Value& value)
{
    for (const auto& entry : value) {
        if (!entry.is_number() || !std::isfinite(entry.get<double>()))
            return false;
    }
    return true;
}

bool isFinite(const platform::Rect& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) && std::isfinite(rect.height());
}

TEST_F(WidgetPlacementSessionTest, ADisplayTakesNoParentAndTheRootViewNeverLeavesTheWindow)
{
    startLogged(R"(
        client.create('c', 'zub.widgets.Composite', {parent: 'w1', bounds: [0, 0, 100, 100]});
        client.create('b', 'zub.widgets.Display', {parent: 'w1'});
        client.create('d', 'zub.widgets.Display', {parent: 'c'});)");
    EXPECT_EQ(refusals(), 2u);
    EXPECT_EQ(object("b"), nullptr);
    EXPECT_EQ(object("d"), nullptr);
    EXPECT_EQ(client->rootObject(), object("w1")) << "a refused display never took the session over";
    EXPECT_EQ(harness.window()->gestureRecognizers().size(), 2u);
    EXPECT_TRUE(rootViewIsShown());
    EXPECT_TRUE(client->view()->subviews().size() == 1 && client->view()->subviews()[0] == widget("c")->view());

    // A second display made without a parent cannot take one later, and destroying it leaves
    // the screen as it was.
    run("client.create('e', 'zub.widgets.Display', {}); client.set('e', {parent: 'c'}); client.set('e', {parent: 'w1'});");
    EXPECT_EQ(refusals(), 2u);
    ASSERT_NE(object("e"), nullptr);
    EXPECT_EQ(object("e")->parent(), nullptr);
    run("client.destroy('e');");
    EXPECT_TRUE(rootViewIsShown());
    EXPECT_EQ(widget("c")->view()->superview(), client->view());

    // A widget moved between containers still moves, and one that would hold its own parent is
    // refused as before.
    run("client.create('k', 'zub.widgets.Composite', {parent: 'c'}); client.set('c', {parent: 'k'}); client.set('k', {parent: 'w1'});");
    EXPECT_EQ(refusals(), 1u);
    EXPECT_EQ(widget("k")->view()->superview(), client->view());
    EXPECT_EQ(widget("c")->view()->superview(), client->view());
}

TEST_F(WidgetPlacementSessionTest, NumbersBeyondTheFloatRangeSaturateAndFramesStayFinite)
{
    startLogged(R"(
        client.create('w2', 'zub.widgets.Composite', {parent: 'w1', bounds: [10, 10, 100, 50]});
        client.create('w3', 'zub.widgets.Composite', {parent: 'w1', layoutData: {left: ['w2', 5], top: 0, width: 20, height: 20}});
        client.listen('w2', 'Resize', true);)");
    EXPECT_EQ(widget("w3")->view()->frame().x(), 115);
    sent();

    // A rotation past the float range saturates: the frame, the read-backs and the sibling
    // attached to the view stay finite, and the sibling still follows it.
    run("client.set('w2', {transform: {rotation: 1e39}});");
    EXPECT_TRUE(isFinite(widget("w2")->view()->frame()));
    EXPECT_TRUE(allFinite(*widget("w2")->getWithMethod("bounds"))) << widget("w2")->getWithMethod("bounds")->dump();
    EXPECT_TRUE(allFinite(*widget("w2")->getWithMethod("transform")));
    run("client.set('w2', {bounds: [20, 10, 100, 60]});");
    run("client.set('w2', {transform: null});");
    EXPECT_EQ(widget("w3")->view()->frame().x(), 125);
    run("client.set('w2', {bounds: [30, 10, 100, 60]});");
    EXPECT_EQ(widget("w3")->view()->frame().x(), 135);
    for (const auto& operation : sent())
        EXPECT_NE(operation.dump(), R"(["notify","w2","Resize",{"bounds":[0,0,0,0]}])");

    // A finite scale whose square leaves the float range reads back as itself; a quotient that
    // leaves it saturates instead of putting an infinity into the view.
    run("client.set('w2', {transform: {scaleX: 1e20}});");
    EXPECT_EQ(widget("w2")->getWithMethod("transform")->at("scaleX").get<float>(), 1e20f);
    run("client.set('w2', {transform: {scaleX: 1e-30, translationX: 1e39, rotation: 1}});");
    auto transform = widget("w2")->view()->transform();
    EXPECT_TRUE(std::isfinite(transform.a) && std::isfinite(transform.tx) && std::isfinite(transform.ty));
    EXPECT_TRUE(allFinite(*widget("w2")->getWithMethod("transform")));
    run("client.set('w2', {transform: {scaleX: 1e39, scaleY: -1e39}});");
    EXPECT_EQ(widget("w2")->getWithMethod("bounds")->dump(), "[-3.4028235e+38,-3.4028235e+38,3.4028235e+38,3.4028235e+38]")
        << "a frame beyond the float range reads back saturated";

    // Layout data: a percentage past the float range saturates, and an attachment that far
    // away is beyond what the layout solves: it is dropped, and the view, and the one attached
    // to it, keep finite frames.
    run(R"(client.set('w2', {transform: null});
        client.set('w3', {layoutData: {left: [1e39, 0], top: 0, width: 20, height: 20}});
        client.create('w4', 'zub.widgets.Composite', {parent: 'w1', layoutData: {left: ['w3', 1e39], top: 30, width: 20, height: 20}});)");
    EXPECT_TRUE(allFinite(*widget("w3")->getWithMethod("bounds"))) << widget("w3")->getWithMethod("bounds")->dump();
    EXPECT_TRUE(isFinite(widget("w3")->view()->frame()));
    EXPECT_TRUE(isFinite(widget("w4")->view()->frame()));
    EXPECT_EQ(refusals(), 0u);
    EXPECT_TRUE(rootViewIsShown());
}

} // namespace
} // namespace morvix
