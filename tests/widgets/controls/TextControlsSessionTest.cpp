// The text widgets ("zub.widgets.Text" and its kinds, "morvix.TextInput"), the drop-down and
// text replacement in a real session against a scripted server on loopback, typed into through
// the keyboard stand-in, with a manual clock.

#include "widgets/controls/Text.h"

#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteException.h"
#include "core/objects/WidgetRegistry.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/View.h"
#include "platform/ui/controls/KeyboardTyping.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "services/TextReplacement.h"
#include "tests/support/LoopbackSessionFixture.h"
#include "widgets/controls/DropDown.h"
#include "widgets/controls/MorvixTextField.h"
#include "widgets/controls/MorvixTextView.h"
#include "widgets/controls/MultiText.h"
#include "widgets/controls/SingleText.h"
#include "widgets/controls/SingleTextInput.h"
#include "widgets/controls/TextInput.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvix {
namespace {

using platform::KeyboardTyping;
using platform::MenuController;
using platform::Value;

class TextControlsSessionTest : public testing::LoopbackSessionFixture {
protected:
    void SetUp() override
    {
        LoopbackSessionFixture::SetUp();
        MenuController::shared().resetForTesting();
    }
    void TearDown() override
    {
        LoopbackSessionFixture::TearDown();
        MenuController::shared().resetForTesting();
    }

    // Loads a session whose first response creates the display "w1", then `operations`, and
    // lets the first POST go out.
    void start(const std::string& operations)
    {
        setFirstAnswer(answerWithDisplay(operations));
        LoopbackSessionFixture::start();
        m_seen = posts().size();
    }
    // The operations of the POSTs since the last call, without the touch locations the display
    // keeps for every touch; empty when none went out.
    std::vector<Value> newOperations()
    {
        // A flush that the clock made due starts on the loop's next turn; let it go out first.
        harness.runUntilIdle();
        EXPECT_TRUE(settle(m_seen));
        auto bodies = posts();
        std::vector<Value> operations;
        for (std::size_t i = m_seen; i < bodies.size(); ++i) {
            for (const auto& operation : bodies[i].at("operations")) {
                bool touch = operation.at(0) == "set" && operation.at(2).size() == 1 && operation.at(2).contains("cursorLocation");
                if (!touch)
                    operations.push_back(operation);
            }
        }
        m_seen = bodies.size();
        return operations;
    }
    // Waits for one more POST and gives its operations.
    std::vector<Value> nextOperations()
    {
        EXPECT_TRUE(settle(m_seen + 1));
        return newOperations();
    }
    static std::vector<Value> wire(std::initializer_list<const char*> operations)
    {
        std::vector<Value> parsed;
        for (const char* operation : operations)
            parsed.push_back(Value::parse(operation));
        return parsed;
    }
    std::shared_ptr<platform::View> input(const std::string& id) const
    {
        if (auto text = std::dynamic_pointer_cast<Text>(object(id)))
            return text->getTextInput();
        auto textInput = std::dynamic_pointer_cast<TextInput>(object(id));
        return textInput ? textInput->getTextInput() : nullptr;
    }
    platform::KeyInput& keys(const std::string& id) const { return dynamic_cast<platform::KeyInput&>(*input(id)); }
    void tap(const std::string& id) { harness.touches().tapView(*input(id), { 5, 5 }); }
    // The reason of the "Incorrect Parameter" that `call` raises; empty when it raises none.
    template<typename Call>
    static std::string refusal(Call call)
    {
        try {
            call();
        } catch (const RemoteException& exception) {
            EXPECT_TRUE(exception.isIncorrectParameter());
            return exception.reason();
        }
        return {};
    }

private:
    std::size_t m_seen = 0;
};

TEST_F(TextControlsSessionTest, SingleTextReportsTypingAndKeepsTheSelectionInStep)
{
    start(R"(["create","w3","zub.widgets.Text",{"parent":"w1","bounds":[10,10,200,30]}],["listen","w3",{"Modify":true}],
             ["create","w4","zub.widgets.Text",{"parent":"w1","bounds":[10,60,200,30],"selection":[1,4],"text":"ab\ud83d\ude00d"}],
             ["listen","w4",{"Selection":true}])");
    ASSERT_TRUE(std::dynamic_pointer_cast<SingleText>(object("w3")));
    tap("w3");
    ASSERT_TRUE(input("w3")->isFirstResponder());
    newOperations();
    KeyboardTyping::paste("n\xC3\xA9\xF0\x9F\x98\x80");
    auto operations = nextOperations();
    ASSERT_GE(operations.size(), 2u);
    EXPECT_EQ(std::vector<Value>(operations.end() - 2, operations.end()),
        wire({ R"(["set","w3",{"text":"n\u00e9\ud83d\ude00","selection":[4,4]}])", R"(["notify","w3","Modify",{}])" }));

    // The peer's selection, given before the text, waits for the begin of editing plus 0.1 s.
    EXPECT_EQ(keys("w4").selectedRange(), (platform::TextRange { 5, 0 }));
    tap("w4");
    harness.advance(0.099);
    EXPECT_EQ(keys("w4").selectedRange(), (platform::TextRange { 5, 0 }));
    harness.advance(0.001);
    EXPECT_EQ(keys("w4").selectedRange(), (platform::TextRange { 1, 3 }));
    // The display's focus report: 0.3 s until it is scheduled, 0.3 s until it goes.
    harness.advance(0.5);
    newOperations();

    // A selection made by hand is reported once within 0.1 s, and not again while it stays.
    KeyboardTyping::select({ 0, 4 });
    harness.advance(0.1);
    EXPECT_EQ(nextOperations(), wire({ R"(["set","w4",{"text":"ab\ud83d\ude00d","selection":[0,4]}])", R"(["notify","w4","Selection",{}])" }));
    harness.advance(0.3);
    EXPECT_TRUE(newOperations().empty());

    // A selection out of range is clamped on the field (and kept as given); null changes nothing.
    auto first = std::dynamic_pointer_cast<Text>(object("w3"));
    first->setSelection(Value::parse("[9, 1]"));
    EXPECT_EQ(keys("w3").selectedRange(), (platform::TextRange { 1, 3 })) << "clamped to the text and swapped";
    EXPECT_EQ(first->selection(), Value::parse("[9, 1]"));
    first->setSelection(Value::parse("[3, 3]"));
    EXPECT_EQ(keys("w3").selectedRange(), (platform::TextRange { 2, 0 })) << "not inside the pair";
    first->setSelection(Value(nullptr));
    EXPECT_EQ(keys("w3").selectedRange(), (platform::TextRange { 2, 0 }));

    // Destroyed while editing: the poll goes with it.
    auto second = std::dynamic_pointer_cast<Text>(object("w4"));
    keys("w4").selectByUser({ 1, 1 });
    second->destroy();
    harness.advance(0.5);
    for (const auto& operation : newOperations())
        EXPECT_NE(operation.at(1), "w4") << operation.dump();
}

TEST_F(TextControlsSessionTest, MultiTextTypesNewLinesAndDoneGivesTheDefaultSelection)
{
    start(R"(["create","w3","zub.widgets.Text",{"parent":"w1","bounds":[10,10,200,100],"style":["MULTI","V_SCROLL","BORDER"]}],
             ["listen","w3",{"DefaultSelection":true}])");
    auto text = std::dynamic_pointer_cast<MultiText>(object("w3"));
    ASSERT_TRUE(text);
    auto view = text->textView();
    EXPECT_TRUE(view->alwaysBounceVertical());
    EXPECT_FALSE(view->alwaysBounceHorizontal());
    EXPECT_TRUE(view->isScrollEnabled());
    EXPECT_TRUE(view->showsVerticalScrollIndicator());
    EXPECT_NE(harness.dump().find("radius=5 border=0.4"), std::string::npos) << harness.dump();

    tap("w3");
    ASSERT_TRUE(view->isFirstResponder());
    newOperations();
    KeyboardTyping::type("a");
    KeyboardTyping::pressReturn();
    EXPECT_EQ(view->text(), "a\n");
    EXPECT_TRUE(view->isFirstResponder()) << "return only types a new line";
    EXPECT_TRUE(newOperations().empty());

    ASSERT_TRUE(KeyboardTyping::tapDone());
    EXPECT_FALSE(view->isFirstResponder());
    auto operations = nextOperations();
    auto event = std::find(operations.begin(), operations.end(), Value::parse(R"(["notify","w3","DefaultSelection",{}])"));
    ASSERT_NE(event, operations.end());
    EXPECT_EQ(*(event - 1), Value::parse(R"(["set","w3",{"text":"a\n","selection":[2,2]}])"));
    // The focus goes back to the parent, the display: the report scheduled before the event
    // rides with it.
    harness.advance(0.3);
    for (auto& operation : newOperations())
        operations.push_back(operation);
    auto focus = std::find_if(operations.begin(), operations.end(), [](const Value& operation) { return operation.at(1) == "w1"; });
    ASSERT_NE(focus, operations.end());
    EXPECT_EQ(focus->at(2).at("activeControl"), "w1");
    EXPECT_EQ(focus->at(2).at("focusControl"), "w1");
}

TEST_F(TextControlsSessionTest, TextInputSendsOnlyWhatIsListenedAndEnabledOnlyGatesEditing)
{
    start(R"(["create","w4","morvix.TextInput",{"parent":"w1","bounds":[10,10,200,30]}],["listen","w4",{"accept":true}],
             ["create","w5","morvix.TextInput",{"parent":"w1","bounds":[10,60,200,30],"enabled":false}],
             ["create","w6","morvix.TextInput",{"parent":"w1","bounds":[10,110,200,30],"type":"password"}])");
    auto single = std::dynamic_pointer_cast<SingleTextInput>(object("w4"));
    ASSERT_TRUE(single);
    EXPECT_EQ(single->textField()->returnKeyType(), platform::ReturnKeyType::Default);
    EXPECT_EQ(single->textField()->clearButtonMode(), platform::TextFieldViewMode::Never);
    auto password = std::dynamic_pointer_cast<SingleTextInput>(object("w6"));
    EXPECT_TRUE(password->textField()->isSecureTextEntry());
    EXPECT_EQ(password->textField()->clearButtonMode(), platform::TextFieldViewMode::WhileEditing);
    password->setType("other");
    EXPECT_FALSE(password->textField()->isSecureTextEntry()) << "a later type reverts the traits";

    tap("w4");
    harness.advance(0.6);
    newOperations();
    KeyboardTyping::type("abc");
    harness.advance(0.3);
    auto quiet = newOperations();
    EXPECT_TRUE(quiet.empty()) << "nothing sent or stored without a modify listener: " << Value(quiet).dump();
    EXPECT_EQ(single->selection(), Value::parse("[3,3]"));

    KeyboardTyping::pressReturn();
    EXPECT_EQ(nextOperations(), wire({ R"(["notify","w4","accept",{"text":"abc"}])" }));
    EXPECT_FALSE(input("w4")->isFirstResponder());

    tap("w5");
    EXPECT_FALSE(input("w5")->isFirstResponder());
    EXPECT_EQ(input("w5")->alpha(), 1.0);
    EXPECT_TRUE(input("w5")->isUserInteractionEnabled());
    // The refusal names the value it refused.
    EXPECT_EQ(refusal([&] { single->setSelection(Value::parse("[1]")); }), "property \"selection\" expects null or two numbers, got [1]");
}

TEST_F(TextControlsSessionTest, ReplacementOffersTheTextsOfATypedShortcutAndPutsTheChosenOneInItsPlace)
{
    start(R"(["create","w2","morvix.TextReplacement",{"texts":{"BTW":"by the way","tw":"typewriter"}}],
             ["create","w3","zub.widgets.Text",{"parent":"w1","bounds":[10,100,200,30],"data":{"textReplacement":"w2"}}],
             ["listen","w3",{"Modify":true}],
             ["create","w5","zub.widgets.Text",{"parent":"w1","bounds":[10,200,200,30]}])");
    auto& menu = MenuController::shared();
    tap("w3");
    KeyboardTyping::type("see btw");
    newOperations();
    ASSERT_TRUE(menu.isMenuVisible());
    ASSERT_EQ(menu.entries().size(), 2u);
    EXPECT_EQ(menu.entries()[0].title, "by the way");
    EXPECT_EQ(menu.entries()[1].title, "typewriter");
    EXPECT_EQ(menu.targetView(), input("w3"));
    EXPECT_EQ(menu.targetRect(), keys("w3").caretRect(7));

    // Another text cannot perform the drop-down's actions; the platform's stay its own.
    const std::string action = menu.entries()[0].action;
    EXPECT_TRUE(input("w3")->canPerformAction(action, &menu));
    EXPECT_FALSE(input("w5")->canPerformAction(action, &menu));
    EXPECT_FALSE(input("w5")->canPerformAction("zub.dropdown.DropDown_w3-dropdown_7:", &menu));

    ASSERT_TRUE(menu.chooseItem("by the way"));
    EXPECT_EQ(keys("w3").text(), "see by the way");
    EXPECT_EQ(std::dynamic_pointer_cast<Text>(object("w3"))->selection(), Value::parse("[14,14]"));
    EXPECT_EQ(nextOperations(), wire({ R"(["set","w3",{"text":"see by the way","selection":[14,14]}])", R"(["notify","w3","Modify",{}])" }));
    auto dropDown = std::dynamic_pointer_cast<DropDown>(object("w3-dropdown"));
    ASSERT_TRUE(dropDown);
    EXPECT_EQ(dropDown->parent(), object("w3"));
    EXPECT_EQ(refusal([&] { dropDown->setItemsValue(Value::parse(R"(["a",2])")); }), "property \"items\" expects strings, got 2");
    EXPECT_EQ(refusal([&] { std::dynamic_pointer_cast<Text>(object("w5"))->setSelection(Value::parse(R"(["a","b"])")); }),
        "property \"selection\" expects null or two numbers, got [\"a\",\"b\"]");

    // A range offers nothing; a tap elsewhere hides the menu and the drop-down hears of it.
    KeyboardTyping::type(" BTW");
    ASSERT_TRUE(menu.isMenuVisible());
    EXPECT_EQ(dropDown->getKey("visible"), Value(true));
    tap("w5");
    EXPECT_FALSE(menu.isMenuVisible());
    EXPECT_EQ(dropDown->getKey("visible"), Value(false));
    EXPECT_TRUE(menu.menuItems().empty());
    tap("w3");
    menu.setMenuVisible(false);
    KeyboardTyping::select({ 15, 3 });
    harness.advance(0.2);
    EXPECT_FALSE(menu.isMenuVisible());

    // A stale index does nothing.
    dropDown->itemSelected(5);
    EXPECT_EQ(keys("w3").text(), "see by the way BTW");
}

TEST_F(TextControlsSessionTest, ReplacementMatchesInLowerCaseAndCutsWhatMatched)
{
    start(R"(["create","w2","morvix.TextReplacement",{"texts":{"\u0130x":"dotted","ab":"AB"}}],
             ["create","w3","zub.widgets.Text",{"parent":"w1","bounds":[10,100,200,30],"data":{"textReplacement":"w2"}}],
             ["create","w3-dropdown","morvix.TextReplacement",{}],
             ["create","w5","zub.widgets.Text",{"parent":"w1","bounds":[10,200,200,30],"data":{"textReplacement":"w2"}}])");
    auto replacement = std::dynamic_pointer_cast<TextReplacement>(object("w2"));
    // "İ" lower-cases to two units: typed as "i̇x" it matches, and the three units are cut.
    EXPECT_EQ(replacement->matchesBefore("\xF0\x9F\x98\x80i\xCC\x87X", 5), std::vector<std::string> { "\xC4\xB0x" });
    EXPECT_TRUE(replacement->matchesBefore("ab", 1).empty()) << "only the text before the caret";

    // 25 units are shown whole; 26 as 24 and an ellipsis, one less where a pair would split.
    std::string twentyFive(25, 'a');
    EXPECT_EQ(TextReplacement::itemTitle(twentyFive), twentyFive);
    EXPECT_EQ(TextReplacement::itemTitle(twentyFive + "b"), std::string(24, 'a') + "\u2026");
    EXPECT_EQ(TextReplacement::itemTitle(std::string(23, 'a') + "\xF0\x9F\x98\x80" + "bc"), std::string(23, 'a') + "\u2026");

    // Something else under the drop-down's id: nothing is offered.
    tap("w3");
    KeyboardTyping::type("ab");
    EXPECT_FALSE(MenuController::shared().isMenuVisible());

    tap("w5");
    KeyboardTyping::type("\xF0\x9F\x98\x80i\xCC\x87X");
    ASSERT_TRUE(MenuController::shared().chooseItem("dotted"));
    EXPECT_EQ(keys("w5").text(), "\xF0\x9F\x98\x80" "dotted");
    EXPECT_EQ(keys("w5").selectedRange(), (platform::TextRange { 8, 0 }));
}

} // namespace
} // namespace morvix
