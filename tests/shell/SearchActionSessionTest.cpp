// The frame's search action in a script session with the application frame on: the screen its
// item opens, what typing, proposals, the return key and Cancel send, and when "Search" goes out.

#include "shell/SearchAction.h"

#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/KeyboardTyping.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/controls/SearchBar.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/tables/TableView.h"
#include "shell/ApplicationFrameRoot.h"
#include "shell/DisplayRootViewController.h"
#include "shell/SearchViewController.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/foundation/Display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::KeyboardTyping;
using platform::rowPath;
using Wire = std::vector<platform::Value>;

constexpr const char* kFrame = R"(
    client.create('w1', 'zub.widgets.Display', {});
    client.create('sh', 'zub.widgets.Shell', {parent: 'w1', bounds: [0, 0, 320, 568], visibility: true});
    client.create('c1', 'zub.widgets.Composite', {parent: 'sh', bounds: [0, 0, 320, 568]});
    client.create('ui', 'morvix.UI', {shell: 'sh'});
    client.create('p1', 'morvix.Page', {title: 'Words', topLevel: true, control: 'c1', parent: 'ui'});
    client.set('ui', {activePage: 'p1'});
    client.create('s1', 'morvix.SearchAction', {title: 'Find', placementPriority: 'HIGH', parent: 'ui'});
)";

class SearchActionSessionTest : public testing::ScriptSessionFixture {
protected:
    void startFrame(const std::string& script = kFrame)
    {
        writeApplication(script);
        ASSERT_NO_FATAL_FAILURE(createClient(MorvixClient::ApplicationFrame::On));
        loadSession();
        harness.advance(1);
        auto frame = std::dynamic_pointer_cast<ApplicationFrameRoot>(client->applicationFrameController());
        ASSERT_TRUE(frame);
        root = frame->displayRootViewController();
        sent();
    }
    std::shared_ptr<SearchAction> action() { return std::dynamic_pointer_cast<SearchAction>(object("s1")); }
    std::shared_ptr<SearchViewController> screen() { return action()->searchViewController(); }
    std::shared_ptr<platform::TableView> table() { return screen()->tableView(); }
    // Lets the presentation or dismissal in progress finish.
    void settleTransition()
    {
        harness.advance(platform::ViewController::kTransitionDuration);
        harness.runUntilIdle();
    }
    // The events sent since the last call (the stored cursor locations and service reports
    // that ride along are left out).
    Wire events()
    {
        Wire notified;
        for (auto& operation : sent()) {
            if (operation[0] == "notify")
                notified.push_back(std::move(operation));
        }
        return notified;
    }

    std::shared_ptr<DisplayRootViewController> root;
};

TEST_F(SearchActionSessionTest, TheItemOpensTheScreenWhoseTypingProposalsAndChoiceReportInOrder)
{
    startFrame();
    auto item = action()->barButtonItem();
    ASSERT_TRUE(item && item->view() && item->view()->window()) << "the HIGH action is in the navigation bar";
    harness.touches().tapView(*item->view(), { 5, 5 });
    harness.runUntilIdle();
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Selection",{}])" }));
    auto opened = screen();
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->presentingViewController());
    EXPECT_EQ(opened->modalPresentationStyle(), platform::ModalPresentationStyle::FormSheet);
    EXPECT_EQ(opened->searchBar()->placeholder(), "Find") << "no message: the title";
    EXPECT_EQ(table()->tableHeaderView(), opened->searchBar());
    EXPECT_EQ(table()->contentInset().top, Display::statusBarHeight());
    settleTransition();
    EXPECT_TRUE(opened->searchBar()->textField()->isFirstResponder());
    EXPECT_EQ(table()->numberOfSections(), 0) << "no proposals, no section";

    ASSERT_TRUE(KeyboardTyping::type("a"));
    ASSERT_TRUE(KeyboardTyping::type("b"));
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Modify",{"query":"a"}])", R"(["notify","s1","Modify",{"query":"ab"}])" }));
    run("client.set('s1', {proposals: ['abc', 'abd']});");
    ASSERT_EQ(table()->numberOfSections(), 1);
    ASSERT_EQ(table()->numberOfRows(0), 2);
    auto second = table()->cellForRow(rowPath(1));
    EXPECT_EQ(second->textLabel()->text(), "abd");
    EXPECT_EQ(second->reuseIdentifier(), SearchViewController::kCellIdentifier);
    EXPECT_EQ(table()->tableFooterView()->frame().height(), table()->frame().height() / 2);

    // The detail button takes the proposal into the bar and goes on.
    harness.touches().tapView(*second->accessoryButton(), { 5, 5 });
    harness.runUntilIdle();
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Modify",{"query":"abd"}])" }));
    EXPECT_EQ(opened->searchBar()->text(), "abd");
    EXPECT_EQ(screen(), opened);

    // A chosen proposal closes the screen; "Search" waits for the dismissal to end.
    harness.touches().tapView(*table(), { 100, table()->rectForRow(rowPath(0)).midY() });
    harness.runUntilIdle();
    EXPECT_FALSE(screen());
    EXPECT_TRUE(action()->proposals().empty()) << "emptied at once";
    harness.advance(0.34);
    harness.runUntilIdle();
    EXPECT_EQ(events(), Wire {});
    harness.advance(0.01);
    harness.runUntilIdle();
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Search",{"query":"abc"}])" }));
    EXPECT_FALSE(opened->presentingViewController());
}

TEST_F(SearchActionSessionTest, ReturnSearchesCancelClosesAndOpenPrefillsOrReplaces)
{
    startFrame();
    run("client.set('s1', {message: 'Type a word'}); client.call('s1', 'open', {});");
    ASSERT_TRUE(screen());
    EXPECT_EQ(screen()->searchBar()->placeholder(), "Type a word");
    run("client.set('s1', {message: ''});");
    EXPECT_EQ(screen()->searchBar()->placeholder(), "Find");
    settleTransition();
    ASSERT_TRUE(KeyboardTyping::type("x"));
    ASSERT_TRUE(KeyboardTyping::pressReturn());
    harness.runUntilIdle();
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Modify",{"query":"x"}])" }));
    settleTransition();
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Search",{"query":"x"}])" }));

    // Cancel closes without "Search".
    run("client.call('s1', 'open', {});");
    settleTransition();
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Modify",{"query":"x"}])" })) << "the last query comes back, reported";
    auto opened = screen();
    harness.touches().tapView(*opened->searchBar()->cancelButton(), { 5, 5 });
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_FALSE(screen());
    EXPECT_FALSE(opened->presentingViewController());
    EXPECT_EQ(events(), Wire {});

    // A query set before "open" is reported at once; a second "open" replaces the screen.
    run("client.set('s1', {query: 'pre', proposals: ['one']}); client.call('s1', 'open', {});");
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Modify",{"query":"pre"}])" }));
    auto first = screen();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->searchBar()->text(), "pre");
    EXPECT_EQ(first->proposals(), std::vector<std::string> { "one" });
    settleTransition();
    run("client.call('s1', 'open', {});");
    ASSERT_TRUE(screen());
    EXPECT_NE(screen(), first);
    EXPECT_FALSE(first->presentingViewController()) << "closed without animation";
    auto second = screen();
    EXPECT_TRUE(second->presentingViewController());
    EXPECT_TRUE(screen()->proposals().empty()) << "closing the first screen emptied the proposals";
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Modify",{"query":"pre"}])" }));

    // Destroying the action closes its screen at once.
    run("client.destroy('s1');");
    EXPECT_FALSE(second->presentingViewController());
}

TEST_F(SearchActionSessionTest, WithoutADisplayNothingOpens)
{
    startFrame(R"(client.create('ui', 'morvix.UI', {});
        client.create('s1', 'morvix.SearchAction', {title: 'Find', query: 'q', parent: 'ui'});)");
    action()->pushed();
    run("client.call('s1', 'open', {});");
    EXPECT_FALSE(screen());
    EXPECT_EQ(events(), wire({ R"(["notify","s1","Selection",{}])" })) << "no Modify for the query";
}

TEST_F(SearchActionSessionTest, PictureOfTheSearchScreenWithProposals)
{
    startFrame();
    run("client.set('s1', {proposals: ['apple', 'apricot', 'avocado'], query: 'ap'}); client.call('s1', 'open', {});");
    settleTransition();
    ASSERT_TRUE(screen());
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 1, .backdrop = platform::Color::white() });
    ASSERT_TRUE(picture);
    auto bar = screen()->searchBar();
    auto barTop = bar->convertPointTo({ 0, 0 }, nullptr);
    EXPECT_LT(picture->pixelAt(2, static_cast<int>(barTop.y) + 2).red, 240) << "the bar is drawn on the screen";
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(picture->writePNG((directory / "search-screen.png").string()));
}

} // namespace
} // namespace morvix
