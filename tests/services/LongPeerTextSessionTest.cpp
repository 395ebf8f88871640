// Peer texts far longer than any screen, in a script session on the headless screen: a search
// title, a combo's text and a dialog's button and message. Each is laid out only as far as it
// shows, so that the session returns, the picture `--png` writes is made, and the text shows
// cut to its room.

#include "services/ClientDialog.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/View.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/controls/SearchBar.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/rendering/Renderer.h"
#include "shell/SearchAction.h"
#include "shell/SearchViewController.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/controls/Combo.h"
#include "widgets/controls/MorvixTextField.h"
#include "widgets/controls/SingleTextInput.h"
#include "widgets/delegating/DelegatingButton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvix {
namespace {

using platform::Image;
using platform::Pixel;
using platform::Rect;

// The rows of a picture drawn at one pixel a point, inside `area`, that hold ink.
struct InkRows {
    std::vector<int> rows;
    bool empty() const { return rows.empty(); }
    int first() const { return rows.front(); }
    int last() const { return rows.back(); }
    int height() const { return rows.empty() ? 0 : rows.back() - rows.front() + 1; }
};

InkRows inkRows(const Image& picture, const Rect& area, const std::function<bool(Pixel)>& isInk)
{
    InkRows found;
    for (int y = int(area.minY()); y < int(area.maxY()); ++y) {
        bool ink = false;
        for (int x = int(area.minX()); x < int(area.maxX()) && !ink; ++x)
            ink = isInk(picture.pixelAt(x, y));
        if (ink)
            found.rows.push_back(y);
    }
    return found;
}

bool isGreyText(Pixel pixel)
{
    return pixel.alpha == 255 && pixel.red < 200 && pixel.red == pixel.blue;
}

class LongPeerTextSessionTest : public testing::ScriptSessionFixture {
protected:
    // What the command-line client's `--png` writes once the session has gone idle, read back.
    std::shared_ptr<Image> keyWindowPicture()
    {
        auto path = (folder.path() / "screen.png").string();
        if (!platform::Renderer::renderKeyWindowPNG(path))
            return nullptr;
        return Image::readFile(path);
    }
    // Where a view lies in the window, in points.
    static Rect inWindow(platform::View& view) { return view.convertRectTo(view.bounds(), nullptr); }
    // The field's grey placeholder shows in the picture, on one line.
    static void expectOneLineOfPlaceholder(const Image& picture, platform::TextField& field)
    {
        auto ink = inkRows(picture, inWindow(field), isGreyText);
        ASSERT_FALSE(ink.empty()) << "the placeholder shows";
        EXPECT_LE(ink.height(), std::ceil(field.font().lineHeight())) << "one line of it";
    }
};

TEST_F(LongPeerTextSessionTest, ASearchTitleOfAFifthOfAMillionCharactersShowsOneLineOfTheField)
{
    writeApplication(R"(
        client.create('w1', 'zub.widgets.Display', {});
        client.create('sh', 'zub.widgets.Shell', {parent: 'w1', bounds: [0, 0, 320, 568], visibility: true});
        client.create('ui', 'morvix.UI', {shell: 'sh'});
        client.create('s1', 'morvix.SearchAction', {title: new Array(200001).join('x'), parent: 'ui'});
        client.call('s1', 'open');
        client.create('i1', 'zub.widgets.Composite', {parent: 'sh', bounds: [0, 0, 10, 10]});)");
    ASSERT_NO_FATAL_FAILURE(createClient(MorvixClient::ApplicationFrame::On));
    loadSession();
    harness.advance(1);
    harness.runUntilIdle();
    ASSERT_TRUE(widget("i1")) << "the session went on after the search screen opened";

    auto action = std::dynamic_pointer_cast<SearchAction>(object("s1"));
    ASSERT_TRUE(action && action->searchViewController());
    auto field = action->searchViewController()->searchBar()->textField();
    EXPECT_EQ(field->placeholder().size(), 200000u) << "the title is kept whole";

    auto picture = keyWindowPicture();
    ASSERT_TRUE(picture);
    expectOneLineOfPlaceholder(*picture, *field);
}

TEST_F(LongPeerTextSessionTest, AComboTextOfAFifthOfAMillionLinesAndAHugeInputMessageShowOneLine)
{
    start(R"(
        var text = new Array(200001).join('line\n');
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w2', 'zub.widgets.Combo', {parent: 'w1', bounds: [10, 10, 200, 32], items: ['Red']});
        client.set('w2', {text: text});
        client.create('t1', 'morvix.TextInput', {parent: 'w1', bounds: [10, 110, 200, 30], message: new Array(200001).join('m')});
        client.create('w3', 'zub.widgets.Combo', {parent: 'w1', bounds: [10, 60, 200, 32], items: ['Red']});)");
    auto combo = std::dynamic_pointer_cast<Combo>(widget("w2"));
    auto input = std::dynamic_pointer_cast<SingleTextInput>(widget("t1"));
    ASSERT_TRUE(combo && input && widget("w3")) << "the session went on after the long texts";
    EXPECT_EQ(combo->text().size(), 5u * 200000) << "the text is kept whole";

    auto title = combo->button()->titleLabel();
    double line = std::ceil(title->font().lineHeight());
    EXPECT_EQ(title->intrinsicContentSize().height, line) << "the title measures one line";
    combo->button()->setNeedsLayout();
    harness.runUntilIdle();
    EXPECT_LE(title->frame().height(), line);

    auto picture = keyWindowPicture();
    ASSERT_TRUE(picture);
    auto ink = inkRows(*picture, inWindow(*combo->button()), [](Pixel pixel) { return pixel.red < 128 && pixel.blue < 128; });
    ASSERT_FALSE(ink.empty()) << "the title shows";
    EXPECT_LE(ink.height(), line) << "one line of it";

    // The input's message is the placeholder of a one-line field.
    EXPECT_EQ(input->textField()->placeholder().size(), 200000u);
    expectOneLineOfPlaceholder(*picture, *input->textField());
}

TEST_F(LongPeerTextSessionTest, ADialogWithAHugeButtonAndMessageStaysOnTheScreenAndAnswers)
{
    startWithDisplay(R"(
        var ok = new Array(200001).join('x');
        var message = new Array(4001).join('word ');
        client.create('d1', 'morvix.ClientDialog', {title: 'Save?', message: message, buttonOk: ok, buttonCancel: 'No'});
        client.listen('d1', 'Selection', true);
        client.call('d1', 'open');)");
    auto alerts = platform::Application::shared().alerts();
    ASSERT_EQ(alerts.size(), 1u);
    ASSERT_EQ(alerts[0]->buttonTitles().size(), 2u);
    EXPECT_EQ(alerts[0]->message().size(), 20000u) << "the message is kept whole";

    auto picture = keyWindowPicture();
    ASSERT_TRUE(picture);
    // The card (almost white) lies inside the screen: its top and bottom rows show the shade
    // over the window.
    auto isCard = [](Pixel pixel) { return pixel.red > 240 && pixel.alpha == 255; };
    auto card = inkRows(*picture, { 150, 0, 20, 568 }, isCard);
    ASSERT_FALSE(card.empty());
    EXPECT_GT(card.first(), 0);
    EXPECT_LT(card.last(), picture->pixelHeight() - 1);
    EXPECT_GT(card.height(), 400) << "the message fills what the screen leaves";

    sent();
    ASSERT_TRUE(harness.pressAlertButton(alerts[0]->buttonTitles()[1]));
    EXPECT_EQ(sent(), wire({ R"(["notify","d1","Selection",{"buttonType":"buttonOk"}])" }));
}

} // namespace
} // namespace morvix
