// The gallery sample in its application frame: every top-level page shown by setting the
// frame's active page, as the peer would, and drawn into the look folder; the normal action
// opens an ordinary page that the back button leaves again.

#include "shell/MorvixUI.h"

#include "core/base/LogEntry.h"
#include "core/objects/ObjectRegistry.h"
#include "core/script/JSBinding.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "shell/Action.h"
#include "shell/ApplicationFrameRoot.h"
#include "shell/DisplayRootViewController.h"
#include "shell/Drawer.h"
#include "shell/DrawerViewController.h"
#include "shell/Page.h"
#include "shell/PageViewController.h"
#include "shell/drawer/DWDrawerController.h"
#include "tests/support/ScriptSessionFixture.h"
#include "tests/support/SourceTree.h"
#include "widgets/images/ImageViewMorvix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdlib.h>

namespace morvix {
namespace {

using namespace std::chrono_literals;

class GalleryFrameTest : public testing::ScriptSessionFixture {
protected:
    void startGallery()
    {
        auto gallery = morvix::testing::sourceRoot() / "examples" / "gallery";
        delegate->url = "file://" + gallery.string() + "/";
        // The gallery counts its starts in the client store: in a documents folder of the test's
        // own, not the user's.
        m_documents = (std::filesystem::temp_directory_path() / "morvix-gallery-XXXXXX").string();
        ASSERT_NE(::mkdtemp(m_documents.data()), nullptr);
        auto bundle = platform::BundleInfo::main();
        bundle.documentsPath = m_documents;
        platform::BundleInfo::setMain(bundle);
        ASSERT_NO_FATAL_FAILURE(createClient(MorvixClient::ApplicationFrame::On));
        client->setLogObserver([this](const LogEntry& entry) { console.push_back(entry.message()); });
        loadSession();
        ASSERT_TRUE(platform::MainLoop::main().runUntil([] { return ImageViewMorvix::loadsInFlight() == 0; }, 10s));
        harness.advance(1);
        harness.runUntilIdle();
        for (const auto& id : client->objectRegistry()->childrenIds()) {
            if (auto found = std::dynamic_pointer_cast<MorvixUI>(object(id)))
                ui = found;
        }
        ASSERT_TRUE(ui);
    }
    std::vector<std::shared_ptr<Page>> pages() const
    {
        std::vector<std::shared_ptr<Page>> found;
        for (const auto& child : ui->objects()) {
            if (auto page = std::dynamic_pointer_cast<Page>(child))
                found.push_back(page);
        }
        return found;
    }
    std::shared_ptr<Action> action(const std::string& title) const
    {
        for (const auto& child : ui->objects()) {
            if (auto found = std::dynamic_pointer_cast<Action>(child); found && found->title() == title)
                return found;
        }
        return nullptr;
    }
    void showPage(const std::string& id)
    {
        client->commandOperator()->processOperation(platform::Value::array({ "set", ui->objectId(), { { "activePage", id } } }));
        harness.advance(0.35);
        harness.runUntilIdle();
    }
    bool logged(const std::string& line) const { return std::find(console.begin(), console.end(), line) != console.end(); }

    void TearDown() override
    {
        ScriptSessionFixture::TearDown();
        platform::BundleInfo::resetForTesting();
        if (!m_documents.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_documents, ignored);
        }
    }

    std::shared_ptr<MorvixUI> ui;
    std::vector<std::string> console;
    std::string m_documents;
};

TEST_F(GalleryFrameTest, EveryPageShowsInTheFrame)
{
    startGallery();
    auto root = MorvixUI::rootControllerFor(client);
    ASSERT_TRUE(root);
    auto all = pages();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(root->topViewController(), all[1]->viewController()) << "the basic controls' page is active";
    EXPECT_EQ(root->navigationBar()->topItem()->title(), "Basic controls");
    EXPECT_EQ(root->toolbar()->items().size(), 4u) << "low, flexible space, normal, the search action";
    EXPECT_FALSE(root->isToolbarHidden());

    auto folder = std::filesystem::path(std::getenv("MORVIX_RENDER_DIR") ? std::getenv("MORVIX_RENDER_DIR")
                                                                         : (std::filesystem::path(::testing::TempDir()) / "morvix-look").string());
    std::filesystem::create_directories(folder);
    for (std::size_t index = 0; index < all.size(); ++index) {
        const auto& page = all[index];
        if (!page->isTopLevel())
            continue;
        showPage(page->objectId());
        ASSERT_EQ(root->topViewController(), page->viewController());
        EXPECT_EQ(root->navigationBar()->topItem()->title(), page->title());
        auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
        ASSERT_TRUE(picture);
        EXPECT_TRUE(picture->writePNG((folder / ("gallery-page-" + std::to_string(index + 1) + ".png")).string()));
    }

    // The actions log their taps; the normal one opens an ordinary page with a back button,
    // and the way back is reported and closes it.
    auto add = action("Add"), details = action("Details");
    ASSERT_TRUE(add && details);
    add->barButtonItem()->tap();
    harness.runUntilIdle();
    EXPECT_TRUE(logged("Add: Selection"));
    details->barButtonItem()->tap();
    harness.advance(0.35);
    harness.runUntilIdle();
    EXPECT_TRUE(logged("Details: Selection"));
    EXPECT_EQ(root->navigationBar()->topItem()->title(), "Details");
    auto back = root->navigationBar()->backButton();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title(), "Back") << "the drawing page's title is too long for the back button";
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    EXPECT_TRUE(picture && picture->writePNG((folder / "gallery-details.png").string()));
    back->tap();
    harness.advance(0.35);
    harness.runUntilIdle();
    EXPECT_TRUE(logged("ShowPreviousPage"));
    EXPECT_NE(root->navigationBar()->topItem()->title(), "Details");
    EXPECT_EQ(pages().size(), all.size()) << "the details page was destroyed";
}

TEST_F(GalleryFrameTest, TheDrawerHasAButtonPerPageThatShowsItAndCloses)
{
    startGallery();
    auto root = MorvixUI::rootControllerFor(client);
    auto frame = std::dynamic_pointer_cast<ApplicationFrameRoot>(client->applicationFrameController());
    ASSERT_TRUE(root && frame);
    auto container = frame->drawerController();
    auto drawer = std::dynamic_pointer_cast<Drawer>(client->drawer());
    ASSERT_TRUE(drawer);
    EXPECT_EQ(container->leftDrawerViewController(), drawer->viewController());

    // The menu button shows on the top-level page, and opens the drawer.
    auto menu = root->topViewController()->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(menu);
    menu->tap();
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(container->openSide(), DWSideLeft);
    auto folder = std::filesystem::path(std::getenv("MORVIX_RENDER_DIR") ? std::getenv("MORVIX_RENDER_DIR")
                                                                         : (std::filesystem::path(::testing::TempDir()) / "morvix-look").string());
    std::filesystem::create_directories(folder);
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    EXPECT_TRUE(picture && picture->writePNG((folder / "gallery-drawer.png").string()));

    // A title label, then one button per page in the pages' order; a tap on the fourth shows the
    // lists' page and closes the drawer.
    auto children = drawer->objects();
    ASSERT_EQ(children.size(), pages().size() + 1);
    auto lists = std::dynamic_pointer_cast<BasicWidget>(children[4]);
    ASSERT_TRUE(lists && lists->view());
    EXPECT_EQ(lists->view()->superview(), drawer->containerView());
    harness.touches().tapView(*lists->view(), { 20, 20 });
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(root->navigationBar()->topItem()->title(), "Lists, trees and collections");
    EXPECT_EQ(container->openSide(), DWSideNone);
}

} // namespace
} // namespace morvix
