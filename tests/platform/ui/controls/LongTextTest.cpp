// Texts far longer than their views can show: measured in pieces exactly as a single layout
// would measure them, laid out only as far as they show (one line for a field, the line limit
// for a label, the bounds for a text view, the screen for alert and sheet cards), and drawn
// cut, while texts that fit look as they always did.

#include "platform/graphics/TextLayout.h"

#include "platform/graphics/FontBackend.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/controls/TextView.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace morvix::platform {
namespace {

std::string repeated(const std::string& piece, std::size_t times)
{
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// The lines of one pango layout of the whole text, read line by line rather than with an
// iterator: what measuring in pieces must agree with.
std::vector<TextLayout::Line> wholeLayoutLines(const AttributedString& text, const TextLayout::Options& options)
{
    std::vector<TextLayout::Line> lines;
    auto lock = FontBackend::lock();
    PangoLayout* layout = TextLayout::createPangoLayout(text, options);
    double top = 0;
    PangoLayoutIter* iterator = pango_layout_get_iter(layout);
    for (GSList* each = pango_layout_get_lines_readonly(layout); each; each = each->next) {
        auto* line = static_cast<PangoLayoutLine*>(each->data);
        PangoRectangle logical;
        pango_layout_line_get_extents(line, nullptr, &logical);
        // Where the alignment puts the line, which only the layout knows.
        PangoRectangle placed;
        pango_layout_iter_get_line_extents(iterator, nullptr, &placed);
        pango_layout_iter_next_line(iterator);
        double height = double(logical.height) / PANGO_SCALE;
        lines.push_back({ double(logical.width) / PANGO_SCALE, height, top - double(logical.y) / PANGO_SCALE,
            std::size_t(line->start_index), std::size_t(line->start_index + line->length), double(placed.x) / PANGO_SCALE });
        top += height;
    }
    pango_layout_iter_free(iterator);
    g_object_unref(layout);
    return lines;
}

void expectSameLines(const AttributedString& text, const TextLayout::Options& options, const char* what)
{
    SCOPED_TRACE(what);
    auto whole = wholeLayoutLines(text, options);
    if (options.lineLimit > 0 && whole.size() > std::size_t(options.lineLimit))
        whole.resize(std::size_t(options.lineLimit));
    TextLayout pieces(text, options);
    ASSERT_EQ(pieces.lineCount(), whole.size());
    // Drawing walks the same lines, placed the same way.
    std::vector<TextLayout::Line> walked;
    TextLayout::forEachLine(text, options, [&](const TextLayout::Line& line, PangoLayoutLine*) {
        walked.push_back(line);
        return true;
    });
    ASSERT_EQ(walked.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(pieces.lines()[i].width, whole[i].width, 0.01);
        EXPECT_NEAR(pieces.lines()[i].height, whole[i].height, 0.01);
        EXPECT_NEAR(pieces.lines()[i].baseline, whole[i].baseline, 0.01);
        EXPECT_NEAR(pieces.lines()[i].x, whole[i].x, 0.01);
        EXPECT_EQ(pieces.lines()[i].start, whole[i].start);
        EXPECT_EQ(walked[i].start, whole[i].start);
        EXPECT_NEAR(walked[i].baseline, whole[i].baseline, 0.01);
        EXPECT_NEAR(walked[i].x, whole[i].x, 0.01);
    }
}

// The first and last rows of pixels inside `area` (points) that hold ink; -1 when none.
std::pair<int, int> inkRows(const Image& picture, const Rect& area, const std::function<bool(Pixel)>& isInk)
{
    double scale = picture.scale();
    std::pair<int, int> rows { -1, -1 };
    for (int y = int(area.minY() * scale); y < int(area.maxY() * scale); ++y) {
        for (int x = int(area.minX() * scale); x < int(area.maxX() * scale); ++x) {
            if (!isInk(picture.pixelAt(x, y)))
                continue;
            rows.first = rows.first < 0 ? y : rows.first;
            rows.second = y;
            break;
        }
    }
    return rows;
}

bool isDark(Pixel pixel)
{
    return pixel.alpha > 0 && pixel.red < 128;
}

TEST(LongTextLayoutTest, PiecesAndWindowsMeasureAsOneLayoutDoes)
{
    Font font = Font::system(14);
    TextLayout::Options wrapped { .wrapWidth = 180, .lineLimit = 0, .alignment = TextAlignment::Center };
    // Paragraphs in groups: more of them than a group holds, empty ones among them (which take
    // the height of their own font) and a final line break.
    AttributedString paragraphs;
    for (int i = 0; i < 150; ++i) {
        paragraphs.append("Paragraph " + std::to_string(i) + " of a long letter\n", { .font = font });
        if (i % 37 == 0)
            paragraphs.append("\n", { .font = Font::system(30) });
    }
    expectSameLines(paragraphs, wrapped, "paragraphs");
    expectSameLines(paragraphs, {}, "paragraphs, unwrapped");
    // Unwrapped lines are aligned within the widest of them all, which lies in another group.
    paragraphs.append(repeated("wide ", 30), { .font = font });
    expectSameLines(paragraphs, { .wrapWidth = std::nullopt, .alignment = TextAlignment::Right }, "paragraphs, unwrapped, right");

    // A long paragraph in windows, broken between words and, without spaces, inside them, also
    // at a width of a character or two, where each window holds only a few characters.
    expectSameLines(AttributedString(repeated("brown foxes jump ", 700), { .font = font }), wrapped, "words");
    expectSameLines(AttributedString(repeated("x", 3000), { .font = font }), { .wrapWidth = 1 }, "a word, a character a line");
    expectSameLines(AttributedString(repeated("wide ", 600), { .font = font }), { .wrapWidth = 20 }, "words at a narrow width");
    AttributedString word("top\n", { .font = font });
    word.append("\n", { .font = Font::system(30) });
    word.append(repeated("x", 9000) + "\nend", { .font = font });
    expectSameLines(word, wrapped, "one long word after an empty paragraph");
    TextLayout::Options characters = wrapped;
    characters.wrap = TextWrap::Character;
    expectSameLines(AttributedString(repeated("ab cd", 1800), { .font = font }), characters, "character wrap");

    // With a line limit the last line allowed stands for the rest, shortened as asked.
    for (auto truncation : { TextTruncation::Tail, TextTruncation::Middle, TextTruncation::Head }) {
        TextLayout::Options limited = wrapped;
        limited.lineLimit = 3;
        limited.truncation = truncation;
        auto text = AttributedString(repeated("brown foxes jump ", 700), { .font = font });
        expectSameLines(text, limited, "short limit");
        EXPECT_FALSE(TextLayout(text, limited).isCut()) << "the last line stands for the rest";
        AttributedString more = text;
        more.append("\nmore", { .font = font });
        EXPECT_TRUE(TextLayout(more, limited).isCut()) << "but not for another paragraph";
        // A limit reached only after several windows.
        limited.lineLimit = 400;
        expectSameLines(text, limited, "long limit");
    }
}

TEST(LongTextLayoutTest, OnlyWhatCanShowIsLaidOut)
{
    Font font = Font::system(17);
    // A fifth of a million characters on one line of a field: one line, cut to a few lines'
    // worth of bytes.
    AttributedString word(repeated("x", 200000), { .font = font });
    TextLayout field(word, { .wrapWidth = 300, .lineLimit = 1 });
    ASSERT_EQ(field.lineCount(), 1u);
    EXPECT_TRUE(field.isCut());
    EXPECT_LT(field.lines()[0].end, 4096u);
    // As many paragraphs: the first one only.
    TextLayout lines(AttributedString(repeated("line\n", 200000), { .font = font }), { .wrapWidth = 300, .lineLimit = 1 });
    ASSERT_EQ(lines.lineCount(), 1u);
    EXPECT_TRUE(lines.isCut());
    EXPECT_EQ(lines.lines()[0].end, 4u);
    // Unwrapped, a line is laid out as far as several screens, and its width stays a number
    // pango can hold (the whole line would overflow it).
    TextLayout unwrapped(word, { .wrapWidth = std::nullopt, .lineLimit = 1 });
    EXPECT_TRUE(unwrapped.isCut());
    EXPECT_GT(unwrapped.size().width, 8192);
    EXPECT_LT(unwrapped.size().width, 1000000);
    // Shortened in the middle, the line keeps the text's end.
    AttributedString ends("START" + repeated("x", 200000) + "END", { .font = font });
    TextLayout middle(ends, { .wrapWidth = 300, .lineLimit = 1, .truncation = TextTruncation::Middle });
    ASSERT_EQ(middle.lineCount(), 1u);
    auto lock = FontBackend::lock();
    PangoLayout* drawn = TextLayout::createPangoLayout(ends, { .wrapWidth = 300, .lineLimit = 1, .truncation = TextTruncation::Middle });
    std::string shown = pango_layout_get_text(drawn);
    g_object_unref(drawn);
    EXPECT_LT(shown.size(), 8192u);
    EXPECT_EQ(shown.substr(0, 5), "START");
    EXPECT_EQ(shown.substr(shown.size() - 3), "END");
}

class LongTextViewTest : public ::testing::Test {
protected:
    UITestHarness harness;
};

TEST_F(LongTextViewTest, AFieldShowsOneLineOfAHugePlaceholderOrTextAndKeepsItsCaretInside)
{
    auto field = TextField::create({ 10, 100, 300, 40 });
    field->setBorderStyle(TextBorderStyle::RoundedRect);
    field->setPlaceholder(repeated("x", 200000));
    harness.window()->addSubview(field);
    auto picture = Renderer::render(*harness.window(), { .scale = 2 });
    ASSERT_TRUE(picture);
    auto grey = inkRows(*picture, field->frame(), [](Pixel pixel) { return pixel.alpha == 255 && pixel.red < 200 && pixel.red == pixel.blue; });
    ASSERT_GE(grey.first, 0);
    EXPECT_LE(grey.second - grey.first, 2 * field->font().lineHeight());

    field->setText(repeated("y", 200000));
    Rect caret = field->caretRect(200000);
    EXPECT_GT(caret.height(), 0);
    EXPECT_GE(caret.y(), 0);
    EXPECT_LE(caret.maxY(), 40);
    picture = Renderer::render(*harness.window(), { .scale = 2 });
    auto ink = inkRows(*picture, field->frame(), isDark);
    ASSERT_GE(ink.first, 0);
    EXPECT_LE(ink.second - ink.first, 2 * field->font().lineHeight());
}

TEST_F(LongTextViewTest, ALabelMeasuresAndDrawsOnlyTheLinesItShows)
{
    // Within its line limit, a label of a fifth of a million paragraphs measures as one of
    // three: the lines past the limit are cut off with "…".
    auto many = Label::create({ 10, 10, 300, 200 });
    many->setNumberOfLines(2);
    many->setText(repeated("line\n", 200000));
    auto few = Label::create();
    few->setNumberOfLines(2);
    few->setText("line\nline\nline");
    EXPECT_EQ(many->intrinsicContentSize(), few->intrinsicContentSize());
    auto uncut = Label::create();
    uncut->setText("line");
    EXPECT_GT(few->intrinsicContentSize().width, uncut->intrinsicContentSize().width);

    // Without a limit, more lines than the bounds hold: the lines that fit show from the top,
    // the last of them cut.
    many->setNumberOfLines(0);
    harness.window()->addSubview(many);
    auto picture = Renderer::render(*harness.window(), { .scale = 2 });
    auto ink = inkRows(*picture, many->frame(), isDark);
    ASSERT_GE(ink.first, 0);
    EXPECT_LT(ink.first, 2 * (10 + many->font().lineHeight()));
    EXPECT_LT(ink.second, 2 * 210);

    // A text that fits draws as it always did: centred down the bounds.
    many->setText("one\ntwo");
    picture = Renderer::render(*harness.window(), { .scale = 2 });
    ink = inkRows(*picture, many->frame(), isDark);
    EXPECT_NEAR((ink.first + ink.second) / 2.0, 2 * 110, 8);
}

TEST_F(LongTextViewTest, NaturalSizesFollowEveryChangeThatMovesThem)
{
    // Sizes are kept between layout passes; whatever changes them must drop what was kept.
    auto label = Label::create();
    label->setText("Kept");
    Size first = label->intrinsicContentSize();
    EXPECT_EQ(label->intrinsicContentSize(), first);
    label->setText("Kept and longer");
    Size longer = label->intrinsicContentSize();
    EXPECT_GT(longer.width, first.width);
    label->setFont(Font::system(30));
    Size bigger = label->intrinsicContentSize();
    EXPECT_GT(bigger.height, longer.height);
    label->setNumberOfLines(0);
    label->setPreferredMaxLayoutWidth(60);
    EXPECT_GT(label->intrinsicContentSize().height, bigger.height);
    label->setLineBreakMode(LineBreakMode::CharWrap);
    EXPECT_LE(label->sizeThatFits({ 60, 0 }).width, 60);
    label->setNumberOfLines(1);
    EXPECT_EQ(label->intrinsicContentSize(), bigger);

    // The button measures through its title label.
    auto button = Button::create();
    button->setTitle("OK");
    Size ok = button->intrinsicContentSize();
    button->setTitle("OK, go on");
    EXPECT_GT(button->intrinsicContentSize().width, ok.width);
}

TEST_F(LongTextViewTest, ATextViewLaysOutTheLinesItsBoundsShow)
{
    auto view = TextView::create({ 10, 10, 300, 120 });
    view->setText(repeated("a line of text\n", 200000));
    harness.window()->addSubview(view);
    auto picture = Renderer::render(*harness.window(), { .scale = 2 });
    auto ink = inkRows(*picture, view->frame(), isDark);
    ASSERT_GE(ink.first, 0);
    EXPECT_LT(ink.first, 2 * (10 + view->font().lineHeight())) << "from the top";
    EXPECT_GT(ink.second, 2 * 120) << "down to the bottom";
}

TEST_F(LongTextViewTest, ACaretInALongTextStandsWhereOneLayoutOfItPutsIt)
{
    // Long enough to be placed line by line, short enough for pango to check it whole: short
    // paragraphs, a paragraph wrapped over many lines, and an empty last line, centred.
    auto view = TextView::create({ 0, 0, 300, 200 });
    view->setTextAlignment(TextAlignment::Center);
    std::string text = repeated("a line of text\n", 200) + repeated("brown foxes jump ", 150) + "\n";
    ASSERT_GT(text.size(), 4096u) << "placed line by line";
    view->setText(text);
    // The text stands inside the content inset, the text container's inset and the line
    // fragment's padding on both sides.
    EdgeInsets inset = view->contentInset();
    EdgeInsets container = view->textContainerInset();
    double padding = view->lineFragmentPadding();
    double wrapWidth = 300 - inset.left - inset.right - container.left - container.right - 2 * padding;
    TextLayout::Options options { .wrapWidth = wrapWidth, .lineLimit = 0, .alignment = TextAlignment::Center };
    auto lock = FontBackend::lock();
    PangoLayout* whole = TextLayout::createPangoLayout(AttributedString(text, { .font = view->font() }), options);
    for (std::size_t offset : { std::size_t(0), std::size_t(7), std::size_t(15), std::size_t(2999), std::size_t(3000), std::size_t(3400),
             text.size() - 1, text.size() }) {
        SCOPED_TRACE(offset);
        PangoRectangle strong {};
        pango_layout_get_cursor_pos(whole, int(offset), &strong, nullptr);
        Rect caret = view->caretRect(offset);
        EXPECT_NEAR(caret.x(), inset.left + container.left + padding + double(strong.x) / PANGO_SCALE, 0.01);
        EXPECT_NEAR(caret.y(), inset.top + container.top + double(strong.y) / PANGO_SCALE, 0.01);
        EXPECT_NEAR(caret.height(), double(strong.height) / PANGO_SCALE, 0.01);
    }
    g_object_unref(whole);
    lock.unlock();

    // Twenty thousand lines (a whole layout of them takes pango seconds): the caret at the
    // end stands below them all.
    view->setText(repeated("a line of text\n", 20000));
    Rect end = view->caretRect(15 * 20000);
    double line = view->caretRect(0).height();
    EXPECT_NEAR(end.y(), inset.top + 20000 * line, 20000 * line * 0.01);
}

TEST_F(LongTextViewTest, CardsOfHugeTextsStayOnTheScreen)
{
    // Light card pixels in the screen's middle column, top and bottom rows excepted.
    auto cardRows = [&] {
        auto picture = Renderer::render(*harness.window(), { .scale = 1 });
        return inkRows(*picture, { 150, 0, 20, 568 }, [](Pixel pixel) { return pixel.red > 240 && pixel.alpha == 255; });
    };
    harness.window()->setBackgroundColor(Color::white());
    auto alert = AlertView::create(repeated("Title ", 2000), repeated("word ", 40000));
    alert->addButton(repeated("x", 200000));
    alert->addButton("Cancel");
    alert->show();
    auto card = cardRows();
    ASSERT_GE(card.first, 0);
    EXPECT_GT(card.first, 0);
    EXPECT_LT(card.second, 567);
    alert->press("Cancel");

    auto sheet = ActionSheet::create(repeated("Share this ", 20000));
    sheet->addButton(repeated("y", 200000));
    sheet->setCancelButtonIndex(sheet->addButton(repeated("z", 200000)));
    sheet->showInView(harness.window());
    card = cardRows();
    ASSERT_GE(card.first, 0);
    EXPECT_GT(card.first, 0);
}

} // namespace
} // namespace morvix::platform
