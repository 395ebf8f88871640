// Text fields and text views typed into through the keyboard stand-in.

#include "platform/ui/controls/KeyboardTyping.h"

#include "platform/graphics/Image.h"
#include "platform/ui/rendering/Renderer.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/controls/TextView.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <string>
#include <vector>

namespace morvix::platform {
namespace {

using Log = std::vector<std::string>;

std::string rangeText(TextRange range)
{
    return "[" + std::to_string(range.location) + "," + std::to_string(range.length) + "]";
}

// Records every delegate call; refuses what `refuse` names.
class FieldRecorder final : public TextFieldDelegate {
public:
    bool textFieldShouldBeginEditing(TextField&) override { return note("shouldBegin"); }
    void textFieldDidBeginEditing(TextField&) override { log.push_back("didBegin"); }
    void textFieldDidEndEditing(TextField&) override { log.push_back("didEnd"); }
    bool textFieldShouldReturn(TextField&) override { return note("shouldReturn"); }
    bool textFieldShouldChangeCharacters(TextField&, TextRange range, const std::string& text) override
    {
        return note("shouldChange" + rangeText(range) + text);
    }
    bool note(std::string entry)
    {
        log.push_back(entry);
        return entry.rfind(refuse, 0) != 0 || refuse.empty();
    }
    Log log;
    std::string refuse;
};

class ViewRecorder final : public TextViewDelegate {
public:
    bool textViewShouldBeginEditing(TextView&) override { log.push_back("shouldBegin"); return true; }
    void textViewDidBeginEditing(TextView&) override { log.push_back("didBegin"); }
    void textViewDidEndEditing(TextView&) override { log.push_back("didEnd"); }
    bool textViewShouldChangeText(TextView&, TextRange range, const std::string& text) override
    {
        log.push_back("shouldChange" + rangeText(range) + text);
        return true;
    }
    void textViewDidChange(TextView& view) override { log.push_back("didChange " + view.text()); }
    void textViewDidChangeSelection(TextView& view) override { log.push_back("didChangeSelection" + rangeText(view.selectedRange())); }
    Log log;
};

class TextInputTest : public ::testing::Test {
protected:
    void SetUp() override { NotificationCenter::resetDefaultForTesting(); }
    // Notes the text-did-change notifications of both kinds, with the object's text.
    void observeChanges(Log& log)
    {
        auto center = NotificationCenter::defaultCenter();
        m_tokens.push_back(center->addObserver(TextField::kTextDidChangeNotification, nullptr, [&log](const Notification& posted) {
            log.push_back("notified " + std::any_cast<std::shared_ptr<TextField>>(posted.object)->text());
        }));
        m_tokens.push_back(center->addObserver(TextView::kTextDidChangeNotification, nullptr, [&log](const Notification& posted) {
            log.push_back("notified " + std::any_cast<std::shared_ptr<TextView>>(posted.object)->text());
        }));
    }

    UITestHarness harness { { 320, 568 }, 1 };
    std::vector<ObserverToken> m_tokens;
};

TEST_F(TextInputTest, FieldTypingPastingAndDeletingGoThroughShouldChangeInOrder)
{
    auto field = TextField::create({ 10, 10, 200, 30 });
    harness.window()->addSubview(field);
    auto recorder = std::make_shared<FieldRecorder>();
    field->setDelegate(recorder);
    observeChanges(recorder->log);

    field->setText("x\xF0\x9F\x98\x80");
    field->setSelectedRange({ 2, 0 });
    EXPECT_EQ(field->selectedRange(), (TextRange { 1, 0 })) << "a caret inside the pair moves to its start";
    field->setSelectedRange({ 0, 0 });
    EXPECT_FALSE(KeyboardTyping::type("lost")) << "nobody has the focus";
    EXPECT_TRUE(recorder->log.empty()) << "code calls no delegate and posts nothing";

    harness.touches().tapView(*field, { 5, 5 });
    EXPECT_EQ(recorder->log, (Log { "shouldBegin", "didBegin" }));
    recorder->log.clear();
    EXPECT_TRUE(KeyboardTyping::type("ab"));
    EXPECT_EQ(field->text(), "abx\xF0\x9F\x98\x80");
    EXPECT_EQ(field->selectedRange(), (TextRange { 2, 0 }));
    recorder->refuse = "shouldChange[2,0]c";
    KeyboardTyping::type("c");
    recorder->refuse.clear();
    KeyboardTyping::select({ 0, 2 });
    KeyboardTyping::paste("P\nQ");
    field->setSelectedRange({ 6, 0 });
    KeyboardTyping::deleteBackward();
    KeyboardTyping::pressReturn();
    EXPECT_EQ(recorder->log, (Log { "shouldChange[0,0]a", "notified a" "x\xF0\x9F\x98\x80", "shouldChange[1,0]b",
                                 "notified abx\xF0\x9F\x98\x80", "shouldChange[2,0]c", "shouldChange[0,2]P\nQ",
                                 "notified P\nQx\xF0\x9F\x98\x80", "shouldChange[4,2]", "notified P\nQx", "shouldReturn" }));
    EXPECT_EQ(field->selectedRange(), (TextRange { 4, 0 }));

    recorder->log.clear();
    field->resignFirstResponder();
    EXPECT_EQ(recorder->log, (Log { "didEnd" }));
    harness.touches().tapView(*field, { 5, 5 });
    recorder->log.clear();
    EXPECT_TRUE(harness.window()->endEditing(true));
    EXPECT_EQ(recorder->log, (Log { "didEnd" })) << "a forced end still ends the field's editing";
    EXPECT_FALSE(field->isFirstResponder());
    recorder->refuse = "shouldBegin";
    harness.touches().tapView(*field, { 5, 5 });
    EXPECT_FALSE(field->isFirstResponder()) << "should-begin refused";
}

TEST_F(TextInputTest, ViewTypesReturnAsANewLineAndReportsTheUsersSelection)
{
    auto view = TextView::create({ 10, 60, 200, 100 });
    harness.window()->addSubview(view);
    auto recorder = std::make_shared<ViewRecorder>();
    view->setTextDelegate(recorder);
    observeChanges(recorder->log);
    view->setText("hi");
    view->setSelectedRange({ 0, 1 });
    EXPECT_TRUE(recorder->log.empty());

    harness.touches().tapView(*view, { 5, 5 });
    ASSERT_TRUE(view->isFirstResponder());
    KeyboardTyping::select({ 2, 0 });
    KeyboardTyping::type("\n");
    KeyboardTyping::pressReturn();
    EXPECT_EQ(recorder->log, (Log { "shouldBegin", "didBegin", "didChangeSelection[2,0]", "shouldChange[2,0]\n", "didChange hi\n",
                                 "notified hi\n", "shouldChange[3,0]\n", "didChange hi\n\n", "notified hi\n\n" }));

    recorder->log.clear();
    view->setEditable(false);
    EXPECT_EQ(recorder->log, (Log { "didEnd" }));
    EXPECT_FALSE(KeyboardTyping::type("x"));
    harness.touches().tapView(*view, { 5, 5 });
    EXPECT_FALSE(view->isFirstResponder()) << "a view that is not editable takes no focus";
}

TEST_F(TextInputTest, EditActionsAreAnsweredByThePlatform)
{
    auto field = TextField::create({ 10, 10, 200, 30 });
    harness.window()->addSubview(field);
    field->setText("secret");
    field->setSelectedRange({ 0, 3 });
    EXPECT_TRUE(field->canPerformAction("copy", nullptr));
    EXPECT_FALSE(field->canPerformAction("paste", nullptr)) << "not editing";
    EXPECT_FALSE(field->canPerformAction("dropDownItem", nullptr));
    field->becomeFirstResponder();
    EXPECT_TRUE(field->canPerformAction("paste", nullptr));
    field->setSecureTextEntry(true);
    EXPECT_FALSE(field->canPerformAction("copy", nullptr)) << "secure text is never copied";
    EXPECT_FALSE(harness.window()->canPerformAction("copy", nullptr));
}

// The darkest red value in a rectangle of the picture (pixels).
int darkest(const Image& image, int x0, int y0, int x1, int y1)
{
    int value = 255;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x)
            value = std::min<int>(value, image.pixelAt(x, y).red);
    }
    return value;
}

TEST_F(TextInputTest, LookAtFieldsAndAViewWithTextPlaceholderBordersAndBullets)
{
    // Writes a picture a person can open: set MORVIX_RENDER_DIR to keep it.
    auto window = harness.window();
    window->setBackgroundColor(Color::fromHex(0xefeff4));
    auto placeholder = TextField::create({ 20, 20, 280, 32 });
    placeholder->setBorderStyle(TextBorderStyle::RoundedRect);
    placeholder->setPlaceholder("Name");
    auto secure = TextField::create({ 20, 70, 280, 32 });
    secure->setBorderStyle(TextBorderStyle::Line);
    secure->setText("secret");
    secure->setSecureTextEntry(true);
    auto view = TextView::create({ 20, 120, 280, 100 });
    view->setBackgroundColor(Color::white());
    view->setText("A text view wraps its text over several lines \xF0\x9F\x98\x80 and keeps the selection.");
    view->setSelectedRange({ 2, 4 });
    for (const auto& input : std::vector<std::shared_ptr<View>> { placeholder, secure, view })
        window->addSubview(input);
    auto image = Renderer::render(*window);
    ASSERT_NE(image, nullptr);
    EXPECT_LT(image->pixelAt(20, 36).red, 230) << "the rounded border's left edge";
    EXPECT_GT(darkest(*image, 28, 24, 100, 48), 120) << "the placeholder is grey";
    EXPECT_LT(darkest(*image, 28, 74, 100, 98), 80) << "the bullets are drawn";
    EXPECT_EQ(image->pixelAt(20, 86).red, image->pixelAt(20, 70).red) << "the line border runs down the side";
    EXPECT_LT(darkest(*image, 20, 140, 300, 160), 80) << "the view's second line";

    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(Renderer::renderPNG(*window, (directory / "text-inputs.png").string()));
}

} // namespace
} // namespace morvix::platform
