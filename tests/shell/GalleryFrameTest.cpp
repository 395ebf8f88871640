// The gallery sample in its application frame: every top-level page shown by setting the
// frame's active page, as the peer would, and drawn into the look folder; the normal action
// opens an ordinary page that the back button leaves again. Every page, scrolled through, shows
// each of its samples between the bars at some point.

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
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
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
#include "widgets/containers/ScrolledComposite.h"
#include "widgets/controls/DateTime.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/delegating/DelegatingScrollView.h"
#include "widgets/foundation/Composite.h"
#include "widgets/images/ImageViewMorvix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdlib.h>

namespace morvix {
namespace {

using namespace std::chrono_literals;

// The samples of a page: the widgets its content holds and, inside plain composites, theirs.
// Widgets without a view of their own (menus, drawing contexts) are left out.
void collectSamples(const BasicObject& parent, std::vector<std::shared_ptr<BasicWidget>>& samples)
{
    for (const auto& child : parent.objects()) {
        auto widget = std::dynamic_pointer_cast<BasicWidget>(child);
        if (!widget || !widget->view())
            continue;
        samples.push_back(widget);
        if (widget->remoteType() == Composite::kRemoteType)
            collectSamples(*widget, samples);
    }
}

// Where `view` shows in the window: its bounds cut by each ancestor that clips; empty when it
// or an ancestor is hidden.
platform::Rect shownRect(const platform::View& view)
{
    if (view.isHidden())
        return {};
    auto rect = view.convertRectTo(view.bounds(), nullptr);
    for (auto ancestor = view.superview(); ancestor; ancestor = ancestor->superview()) {
        if (ancestor->isHidden())
            return {};
        if (ancestor->clipsToBounds())
            rect = rect.intersection(ancestor->convertRectTo(ancestor->bounds(), nullptr));
    }
    return rect;
}

// Whether `rect` shows whole in `band`, or, taller than the band, fills its height.
bool showsIn(const platform::Rect& rect, const platform::Rect& band)
{
    if (rect.isEmpty())
        return false;
    auto tolerant = band.insetBy(-0.5, -0.5);
    if (tolerant.contains(rect))
        return true;
    return rect.height() > band.height() && rect.minX() >= tolerant.minX() && rect.maxX() <= tolerant.maxX()
        && rect.minY() <= tolerant.minY() + 1 && rect.maxY() >= tolerant.maxY() - 1;
}

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
    /// The top-level pages with their numbers among all pages, counted from 1.
    std::vector<std::pair<std::size_t, std::shared_ptr<Page>>> topLevelPages() const
    {
        std::vector<std::pair<std::size_t, std::shared_ptr<Page>>> found;
        auto all = pages();
        for (std::size_t index = 0; index < all.size(); ++index) {
            if (all[index]->isTopLevel())
                found.emplace_back(index + 1, all[index]);
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
    static std::filesystem::path lookFolder()
    {
        const char* chosen = std::getenv("MORVIX_RENDER_DIR");
        auto folder = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
        std::filesystem::create_directories(folder);
        return folder;
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

    auto folder = lookFolder();
    for (const auto& [number, page] : topLevelPages()) {
        showPage(page->objectId());
        ASSERT_EQ(root->topViewController(), page->viewController());
        EXPECT_EQ(root->navigationBar()->topItem()->title(), page->title());
        auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
        ASSERT_TRUE(picture);
        EXPECT_TRUE(picture->writePNG((folder / ("gallery-page-" + std::to_string(number) + ".png")).string()));
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
    auto folder = lookFolder();
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


// A person scrolls each page from top to bottom: every sample (a widget of the page's content,
// and those inside its plain composites) has a size and shows whole between the navigation bar
// and the toolbar at some point, and the date fields' values fit them.
TEST_F(GalleryFrameTest, ScrollingThroughEveryPageShowsEachSampleBetweenTheBars)
{
    startGallery();
    auto root = MorvixUI::rootControllerFor(client);
    ASSERT_TRUE(root);
    auto folder = lookFolder();
    for (const auto& [number, page] : topLevelPages()) {
        showPage(page->objectId());
        auto control = std::dynamic_pointer_cast<BasicWidget>(page->control() ? object(*page->control()) : nullptr);
        ASSERT_TRUE(control && control->view()) << page->title();
        auto bar = root->navigationBar();
        auto toolbar = root->toolbar();
        double top = bar->convertRectTo(bar->bounds(), nullptr).maxY();
        double bottom = toolbar->convertRectTo(toolbar->bounds(), nullptr).minY();
        auto band = shownRect(*control->view()).intersection({ 0, top, harness.window()->bounds().width(), bottom - top });
        ASSERT_FALSE(band.isEmpty()) << page->title();

        std::vector<std::shared_ptr<BasicWidget>> samples;
        collectSamples(*control, samples);
        ASSERT_FALSE(samples.empty()) << page->title();
        for (const auto& sample : samples) {
            EXPECT_FALSE(sample->view()->bounds().isEmpty()) << page->title() << ": " << sample->objectId() << " has no size";
            if (auto date = std::dynamic_pointer_cast<DateTime>(sample)) {
                const auto& label = date->button()->titleLabel();
                EXPECT_LE(label->intrinsicContentSize().width, label->bounds().width())
                    << page->title() << ": the date field " << sample->objectId() << " cuts \"" << date->text() << "\"";
            }
        }

        // The offsets that bring each stretch of a scrolled page's content between the bars.
        std::vector<double> offsets { 0 };
        auto scrolled = std::dynamic_pointer_cast<ScrolledComposite>(control);
        if (scrolled) {
            const auto& scrollView = scrolled->scrollView();
            scrollView->setContentOffset({ 0, 0 });
            harness.runUntilIdle();
            double below = band.maxY() - scrollView->convertRectTo(scrollView->bounds(), nullptr).minY();
            double last = scrollView->contentSize().height - below;
            for (double offset = band.height() / 2; offset < last; offset += band.height() / 2)
                offsets.push_back(offset);
            if (last > 0)
                offsets.push_back(last);
        }
        std::vector<bool> seen(samples.size(), false);
        for (double offset : offsets) {
            if (scrolled) {
                scrolled->scrollView()->setContentOffset({ 0, offset });
                harness.runUntilIdle();
            }
            for (std::size_t sample = 0; sample < samples.size(); ++sample)
                seen[sample] = seen[sample] || showsIn(shownRect(*samples[sample]->view()), band);
            auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
            ASSERT_TRUE(picture);
            auto name = "gallery-page-" + std::to_string(number) + "-at-" + std::to_string(int(offset)) + ".png";
            EXPECT_TRUE(picture->writePNG((folder / name).string()));
        }
        for (std::size_t sample = 0; sample < samples.size(); ++sample) {
            EXPECT_TRUE(seen[sample]) << page->title() << ": " << samples[sample]->remoteType() << " "
                                      << samples[sample]->objectId() << " never shows whole between the bars";
        }
    }
}

} // namespace
} // namespace morvix
