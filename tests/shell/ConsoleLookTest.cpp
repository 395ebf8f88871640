// The developer console as a person sees it in its drawer: entries wrap between words (inside a
// word only when it is longer than the line), and the filter bar fits the drawer.

#include "platform/graphics/Image.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/SegmentedControl.h"
#include "platform/ui/rendering/Renderer.h"
#include "shell/ApplicationFrameRoot.h"
#include "shell/DeveloperConsole.h"
#include "shell/LogView.h"
#include "tests/shell/KeptPicture.h"
#include "tests/support/ScriptSessionFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace morvix {
namespace {

using platform::Rect;

class ConsoleDelegate final : public MorvixClientDelegate {
public:
    std::string serverURL() override { return url; }
    void clientDidBecomeReady(MorvixClient&) override { }
    std::optional<bool> enableDeveloperConsole() override { return true; }
    std::string url;
};

// A line of text in the picture: the rows from `top` to `bottom` and the ink's columns, in
// pixels.
struct InkLine {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
};

bool isTextInk(platform::Pixel pixel)
{
    return pixel.alpha == 255 && pixel.red < 90 && pixel.green < 90 && pixel.blue < 90;
}

// The lines of dark ink inside `area` (points), top to bottom, split at rows without ink.
std::vector<InkLine> inkLines(const platform::Image& picture, const Rect& area)
{
    double scale = picture.scale();
    std::vector<InkLine> lines;
    bool inLine = false;
    for (int y = int(area.minY() * scale); y < int(area.maxY() * scale); ++y) {
        int left = -1;
        int right = -1;
        for (int x = int(area.minX() * scale); x < int(area.maxX() * scale); ++x) {
            if (!isTextInk(picture.pixelAt(x, y)))
                continue;
            left = left < 0 ? x : left;
            right = x;
        }
        if (left < 0) {
            inLine = false;
            continue;
        }
        if (!inLine)
            lines.push_back({ y, y, left, right });
        inLine = true;
        auto& line = lines.back();
        line.bottom = y;
        line.left = std::min(line.left, left);
        line.right = std::max(line.right, right);
    }
    return lines;
}

class ConsoleLookTest : public testing::ScriptSessionFixture {
protected:
    std::shared_ptr<ConsoleDelegate> consoleDelegate = std::make_shared<ConsoleDelegate>();
};

TEST_F(ConsoleLookTest, EntriesWrapBetweenWordsAndTheFilterBarFitsTheDrawer)
{
    // The gallery's first entry, then a word longer than a line.
    writeApplication(std::string(kDisplayLine) + "console.info('Morvix gallery (morvix script library 1.0.0)');"
                                                  "console.log(new Array(101).join('x'));");
    consoleDelegate->url = folder.url();
    ASSERT_NO_FATAL_FAILURE(createClient(MorvixClient::ApplicationFrame::On, consoleDelegate));
    loadSession();
    auto frame = std::dynamic_pointer_cast<ApplicationFrameRoot>(client->applicationFrameController());
    ASSERT_TRUE(frame && frame->console());
    auto console = frame->console();
    console->logView()->flush();
    client->showDeveloperConsole();
    harness.advance(1);
    harness.runUntilIdle();
    harness.window()->layoutIfNeeded();
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    ASSERT_TRUE(picture);
    testing::keepPicture(*picture, "console-look");
    auto* window = harness.window().get();

    // The filter bar lies inside the drawer and on the screen, and every title inside its
    // segment.
    auto drawer = console->view()->convertRectTo(console->view()->bounds(), window);
    auto bar = console->filterBar();
    Rect barFrame = bar->convertRectTo(bar->bounds(), window);
    EXPECT_GE(barFrame.minX(), drawer.minX());
    EXPECT_LE(barFrame.maxX(), std::min(drawer.maxX(), window->bounds().maxX()));
    for (const auto& segment : bar->segmentFrames())
        EXPECT_LE(bar->convertRectTo(segment, window).maxX(), barFrame.maxX());

    // The log: the first entry breaks before "library", which does not fit the first line, so
    // that line ends well short of the edge and the second holds the whole word; the long word
    // takes three lines, broken inside it, the first full.
    auto log = console->logView();
    Rect logFrame = log->convertRectTo(log->bounds(), window);
    auto lines = inkLines(*picture, logFrame);
    ASSERT_EQ(lines.size(), 5u) << "two lines for the first entry, three for the word";
    auto width = [](const InkLine& line) { return (line.right - line.left + 1) / 2.0; };
    double character = (width(lines[2]) + width(lines[3]) + width(lines[4])) / 100;
    double full = (lines[2].right + 1) / 2.0;
    EXPECT_LT((lines[0].right + 1) / 2.0, full - 4 * character) << "the first line ends after \"script\"";
    EXPECT_GT(width(lines[1]), 12 * character) << "\"library 1.0.0)\" on the second line";
    EXPECT_LE(full, logFrame.maxX());
    EXPECT_NEAR((lines[3].right + 1) / 2.0, full, character) << "the word's second line is full too";
    EXPECT_LT((lines[4].right + 1) / 2.0, full - character) << "and its rest is shorter";
}

} // namespace
} // namespace morvix
