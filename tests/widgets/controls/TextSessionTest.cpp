// The text widget base in a real session: two small kinds bind it to the native field and view
// as the widget kinds do, and the user types through the keyboard stand-in.

#include "widgets/controls/Text.h"

#include "core/objects/RemoteException.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/KeyboardTyping.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/controls/DropDownActionHook.h"
#include "widgets/controls/MorvixTextField.h"
#include "widgets/controls/MorvixTextView.h"
#include "widgets/controls/TextDefaultSelectionListener.h"
#include "widgets/controls/TextReplacer.h"
#include "widgets/foundation/Display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace morvix {
namespace {

using platform::KeyboardTyping;
using platform::Value;

// Binds the base to a native input the way the widget kinds do: delegate, text-did-change
// observer, begin and end of editing, and the limit while editable.
template<typename Input>
class BoundText : public Text {
public:
    BoundText(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : Text(key, std::move(id), std::move(client)), m_input(Input::create())
    {
    }
    std::shared_ptr<platform::View> view() const override { return m_input; }
    std::shared_ptr<platform::View> getTextInput() const override { return m_input; }
    platform::TextRange currentSelection() const override { return m_input->selectedRange(); }
    std::optional<std::string> text() const override { return m_input->text(); }
    void setText(std::optional<std::string> text) override { m_input->setText(text.value_or(std::string())); }
    const std::shared_ptr<Input>& input() const { return m_input; }

protected:
    void bind(const char* changeNotification)
    {
        m_input->setParent(weak_from_this());
        m_input->setLayoutDelegate(std::dynamic_pointer_cast<ViewDelegate>(shared_from_this()));
        std::weak_ptr<Text> weak = std::static_pointer_cast<Text>(shared_from_this());
        addObservation(platform::NotificationCenter::defaultCenter()->addObserver(changeNotification, m_input.get(),
            [weak](const platform::Notification&) {
                if (auto self = weak.lock())
                    self->textModified();
            }));
        applyAutoCapitalizationDefaults();
        applyAutoCorrectionDefaults();
    }

    std::shared_ptr<Input> m_input;
};

class FieldText final : public BoundText<MorvixTextField>, public platform::TextFieldDelegate {
public:
    using BoundText::BoundText;
    static std::shared_ptr<BasicObject> make(const std::string& id, std::shared_ptr<ClientContext> client)
    {
        return construct<FieldText>(id, std::move(client));
    }
    void didConstruct() override
    {
        Text::didConstruct();
        bind(platform::TextField::kTextDidChangeNotification);
        m_input->setDelegate(std::dynamic_pointer_cast<platform::TextFieldDelegate>(shared_from_this()));
    }
    void textFieldDidBeginEditing(platform::TextField&) override { focusedIn(); }
    void textFieldDidEndEditing(platform::TextField&) override { focusedOut(); }
    bool textFieldShouldReturn(platform::TextField& field) override
    {
        defaultSelected(&field);
        return true;
    }
    bool textFieldShouldChangeCharacters(platform::TextField& field, platform::TextRange range, const std::string& text) override
    {
        return willBeWithinLimit(field, range, text);
    }
};

class ViewText final : public BoundText<MorvixTextView>, public platform::TextViewDelegate {
public:
    using BoundText::BoundText;
    static std::shared_ptr<BasicObject> make(const std::string& id, std::shared_ptr<ClientContext> client)
    {
        return construct<ViewText>(id, std::move(client));
    }
    void didConstruct() override
    {
        Text::didConstruct();
        bind(platform::TextView::kTextDidChangeNotification);
        m_input->setTextDelegate(std::dynamic_pointer_cast<platform::TextViewDelegate>(shared_from_this()));
        m_input->setInputAccessoryView(accessoryView());
    }
    void textViewDidBeginEditing(platform::TextView&) override { focusedIn(); }
    void textViewDidEndEditing(platform::TextView&) override { focusedOut(); }
    bool textViewShouldChangeText(platform::TextView& view, platform::TextRange range, const std::string& text) override
    {
        return willBeWithinLimit(view, range, text);
    }
};

// A text replacer that counts what it was handed.
class CountingReplacer final : public RemoteClass<CountingReplacer, BasicObject>, public TextReplacer {
public:
    static constexpr std::string_view kRemoteType = "test.Replacer";
    using RemoteClass::RemoteClass;
    void handle(const std::shared_ptr<Text>& widget) override { handled.push_back(widget->objectId()); }
    std::vector<std::string> handled;
};

std::shared_ptr<BasicObject> makeText(const std::string& id, const Value* properties, std::shared_ptr<ClientContext> client)
{
    bool multi = properties && properties->contains("style") && properties->at("style").is_array()
        && std::find(properties->at("style").begin(), properties->at("style").end(), Value("MULTI")) != properties->at("style").end();
    if (multi)
        return ViewText::make(id, std::move(client));
    return FieldText::make(id, std::move(client));
}

class TextSessionTest : public testing::ScriptSessionFixture {
protected:
    void start(const std::string& main)
    {
        WidgetRegistry::instance().addHandler({ "zub.widgets.Text", &makeText, false });
        WidgetRegistry::instance().addHandler<CountingReplacer>();
        for (auto [name, kind] : { std::pair { Message::kSendNotification, "send" }, { Message::kScheduleNotification, "schedule" },
                 { Message::kStoreNotification, "store" } })
            m_kindTokens.push_back(platform::NotificationCenter::defaultCenter()->addObserver(name, nullptr,
                [this, kind = std::string(kind)](const platform::Notification&) { kinds.push_back(kind); }));
        ASSERT_NO_FATAL_FAILURE(startWithDisplay(main));
        ASSERT_NE(object("w1"), nullptr);
        sent();
        kinds.clear();
    }
    std::shared_ptr<Text> text(const std::string& id) { return std::dynamic_pointer_cast<Text>(object(id)); }
    void tapInto(const std::string& id)
    {
        auto view = text(id)->getTextInput();
        harness.touches().tapView(*view, { 5, 5 });
        EXPECT_TRUE(view->isFirstResponder());
        sent();
        kinds.clear();
    }
    std::vector<std::string> takeKinds() { return std::exchange(kinds, {}); }
    // What was sent, without the touch locations the display stores for every touch.
    std::vector<Value> sent()
    {
        auto operations = ScriptSessionFixture::sent();
        std::erase_if(operations, [](const Value& operation) {
            return operation.at(0) == "set" && operation.at(2).size() == 1 && operation.at(2).contains("cursorLocation");
        });
        return operations;
    }

    std::vector<std::string> kinds;
    std::vector<platform::ObserverToken> m_kindTokens;
};

constexpr const char* kField = "client.create('t1', 'zub.widgets.Text', {parent: 'w1', bounds: [10, 10, 200, 30]});";

TEST_F(TextSessionTest, TypingIsStoredWithoutAModifyListenerAndSentWithOne)
{
    start(kField);
    tapInto("t1");
    KeyboardTyping::type("ab");
    auto operations = sent();
    ASSERT_FALSE(operations.empty());
    EXPECT_EQ(operations.back(), Value::parse(R"(["set","t1",{"text":"ab","selection":[2,2]}])"));
    EXPECT_EQ(takeKinds(), (std::vector<std::string> { "store", "store" })) << "nothing goes at once";

    run("client.listen('t1', 'Modify', true);");
    sent();
    takeKinds();
    KeyboardTyping::type("\xF0\x9F\x98\x80");
    EXPECT_EQ(sent(), wire({ R"(["set","t1",{"text":"ab\ud83d\ude00","selection":[4,4]}])", R"(["notify","t1","Modify",{}])" }));
    EXPECT_EQ(takeKinds(), (std::vector<std::string> { "send" }));
}

TEST_F(TextSessionTest, FocusInIsSentAtOnceAndTheDisplaysReportFollows)
{
    start(std::string(kField) + "client.listen('t1', 'FocusIn', true); client.listen('t1', 'FocusOut', true);"
                                "client.set('t1', {text: 'a\\ud83d\\ude00'});");
    auto view = text("t1")->getTextInput();
    harness.touches().tapView(*view, { 5, 5 });
    EXPECT_EQ(sent(), wire({ R"(["notify","t1","FocusIn",{}])" }));
    EXPECT_EQ(text("t1")->selection(), Value::parse("[3,3]")) << "the caret at the end, in UTF-16 units";
    EXPECT_EQ(std::dynamic_pointer_cast<Display>(object("w1"))->activeTextField(), view);
    harness.advance(0.3);
    EXPECT_EQ(sent(), wire({ R"(["set","w1",{"focusControl":"t1","activeControl":"t1"}])" }));

    view->resignFirstResponder();
    EXPECT_EQ(sent(), wire({ R"(["notify","t1","FocusOut",{}])" }));
    EXPECT_EQ(std::dynamic_pointer_cast<Display>(object("w1"))->focusControl(), std::nullopt);
}

TEST_F(TextSessionTest, LimitCountsUtf16UnitsUnsignedAndAlwaysAllowsANewLine)
{
    start(std::string(kField) + "client.set('t1', {text: 'abcde', textLimit: 5});");
    tapInto("t1");
    KeyboardTyping::type("f");
    EXPECT_EQ(text("t1")->text(), "abcde");
    KeyboardTyping::paste("x\ny");
    EXPECT_EQ(text("t1")->text(), "abcdex\ny");

    run("client.set('t1', {text: 'abcd', textLimit: 5});");
    KeyboardTyping::type("\xF0\x9F\x98\x80");
    EXPECT_EQ(text("t1")->text(), "abcd") << "the pair is two units";
    run("client.set('t1', {textLimit: -1});");
    KeyboardTyping::type("\xF0\x9F\x98\x80");
    EXPECT_EQ(text("t1")->text(), "abcd\xF0\x9F\x98\x80") << "a negative limit never limits";
}

TEST_F(TextSessionTest, SelectionSetByThePeerIsEchoedAndABadOneIsRefused)
{
    start(std::string(kField) + "client.create('r1', 'test.Replacer', {});"
                                "client.set('t1', {text: 'hello', data: {textReplacement: 'r1'}});");
    run("client.set('t1', {selection: [1, 3]});");
    EXPECT_TRUE(sent().empty()) << "not listened";
    run("client.listen('t1', 'Selection', true); client.set('t1', {selection: [1, 3]});");
    EXPECT_EQ(sent(), wire({ R"(["set","t1",{"text":"hello","selection":[1,3]}])", R"(["notify","t1","Selection",{}])" }));
    auto replacer = std::dynamic_pointer_cast<CountingReplacer>(object("r1"));
    EXPECT_EQ(replacer->handled.size(), 2u);

    EXPECT_THROW(text("t1")->setSelection(Value::parse(R"([1, "2"])")), RemoteException);
    EXPECT_THROW(text("t1")->setSelection(Value::parse("[1]")), RemoteException);
    EXPECT_EQ(text("t1")->selection(), Value::parse("[1,3]"));
    text("t1")->setSelection(Value(nullptr));
    EXPECT_EQ(text("t1")->selection(), std::nullopt);

    // An id that names no replacer is ignored.
    run("client.set('t1', {data: {textReplacement: 'w1'}, selection: [0, 0]});");
    EXPECT_EQ(replacer->handled.size(), 2u);
}

TEST_F(TextSessionTest, ReturnSendsDefaultSelectionAndSchedulesTheFocusForTheParent)
{
    start(std::string(kField) + "client.set('t1', {text: 'go'}); client.listen('t1', 'DefaultSelection', true);");
    ASSERT_NE(text("t1")->textDefaultSelectionListener(), nullptr);
    tapInto("t1");
    KeyboardTyping::pressReturn();
    EXPECT_EQ(sent(), wire({ R"(["set","w1",{"activeControl":"w1","focusControl":"w1"}])", R"(["set","t1",{"text":"go","selection":[2,2]}])",
                           R"(["notify","t1","DefaultSelection",{}])" }));
    EXPECT_EQ(takeKinds(), (std::vector<std::string> { "schedule", "send" }));

    // Without a parent the focus report is left out, and the event still goes.
    auto input = text("t1")->getTextInput();
    text("t1")->setParent(nullptr);
    text("t1")->textDefaultSelectionListener()->selected(input.get());
    EXPECT_EQ(sent(), wire({ R"(["set","t1",{"text":"go","selection":[2,2]}])", R"(["notify","t1","DefaultSelection",{}])" }));

    run("client.listen('t1', 'DefaultSelection', false);");
    EXPECT_EQ(text("t1")->textDefaultSelectionListener(), nullptr);
    KeyboardTyping::pressReturn();
    EXPECT_TRUE(sent().empty());
}

TEST_F(TextSessionTest, TheDoneItemAboveTheKeyboardEndsEditingWithDefaultSelection)
{
    start("client.create('t2', 'zub.widgets.Text', {parent: 'w1', style: ['MULTI'], bounds: [10, 60, 200, 100]});"
          "client.listen('t2', 'DefaultSelection', true);");
    auto input = std::dynamic_pointer_cast<MorvixTextView>(text("t2")->getTextInput());
    auto toolbar = std::dynamic_pointer_cast<platform::Toolbar>(input->inputAccessoryView());
    ASSERT_NE(toolbar, nullptr);
    ASSERT_EQ(toolbar->items().size(), 2u);
    EXPECT_TRUE(toolbar->items()[0]->isFlexibleSpace());
    EXPECT_EQ(toolbar->frame().height(), platform::Toolbar::kHeight);
    tapInto("t2");
    KeyboardTyping::pressReturn();
    EXPECT_EQ(input->text(), "\n") << "the view's return key types a new line";
    sent();
    EXPECT_TRUE(KeyboardTyping::tapDone());
    EXPECT_FALSE(input->isFirstResponder());
    EXPECT_EQ(sent(), wire({ R"(["set","w1",{"activeControl":"w1","focusControl":"w1"}])", R"(["set","t2",{"text":"\n","selection":[1,1]}])",
                           R"(["notify","t2","DefaultSelection",{}])" }));
}

TEST_F(TextSessionTest, KeyboardCorrectionAndSecureEntryFollowDataStyleAndDefaults)
{
    start(std::string(kField) + "client.set('t1', {data: {keyboard: 'email'}});");
    auto* input = text("t1")->keyInput();
    EXPECT_EQ(input->keyboardType(), platform::KeyboardType::EmailAddress);
    EXPECT_EQ(input->autocorrectionType(), platform::AutocorrectionType::No) << "no client default";
    EXPECT_EQ(input->autocapitalizationType(), platform::AutocapitalizationType::None);
    const std::pair<const char*, platform::KeyboardType> table[] = { { "ascii", platform::KeyboardType::ASCIICapable },
        { "numbersAndPunctuation", platform::KeyboardType::NumbersAndPunctuation }, { "url", platform::KeyboardType::URL },
        { "number", platform::KeyboardType::NumberPad }, { "phone", platform::KeyboardType::PhonePad },
        { "decimal", platform::KeyboardType::DecimalPad }, { "Email", platform::KeyboardType::Default } };
    for (auto [name, type] : table) {
        run(std::string("client.set('t1', {data: {keyboard: '") + name + "'}});");
        EXPECT_EQ(input->keyboardType(), type) << name;
    }
    auto device = platform::DeviceInfo::current();
    device.setIdiom(platform::DeviceIdiom::Pad);
    platform::DeviceInfo::setCurrent(device);
    run("client.set('t1', {data: {keyboard: 'decimal'}});");
    EXPECT_EQ(input->keyboardType(), platform::KeyboardType::NumbersAndPunctuation) << "decimal on a pad";
    device.setIdiom(platform::DeviceIdiom::Phone);
    platform::DeviceInfo::setCurrent(device);

    input->setAutocorrectionType(platform::AutocorrectionType::Default);
    run("client.set('t1', {data: {autoCapitalize: true}});");
    EXPECT_EQ(input->autocorrectionType(), platform::AutocorrectionType::Default) << "an absent key changes nothing";
    EXPECT_EQ(input->autocapitalizationType(), platform::AutocapitalizationType::Sentences);
    run("client.set('t1', {data: {autoCorrect: false, autoCapitalize: 'yes'}});");
    EXPECT_EQ(input->autocorrectionType(), platform::AutocorrectionType::No);
    EXPECT_EQ(input->autocapitalizationType(), platform::AutocapitalizationType::Sentences);

    EXPECT_FALSE(input->isSecureTextEntry());
    run("client.set('t1', {echoChar: ' '});");
    EXPECT_TRUE(input->isSecureTextEntry()) << "any echo character, even a space";
    run("client.set('t1', {echoChar: null, style: ['PASSWORD']});");
    EXPECT_TRUE(input->isSecureTextEntry());
    run("client.set('t1', {style: []});");
    EXPECT_FALSE(input->isSecureTextEntry());
}

TEST_F(TextSessionTest, NativeViewsReportEachNewSizeOnceAndAskTheDropDownHookFirst)
{
    start(std::string(kField) + "client.listen('t1', 'Resize', true);");
    auto input = std::dynamic_pointer_cast<MorvixTextField>(text("t1")->getTextInput());
    EXPECT_EQ(input->parent(), object("t1"));
    EXPECT_EQ(input->returnKeyType(), platform::ReturnKeyType::Done);
    sent();
    for (int pass = 0; pass < 3; ++pass) {
        input->setNeedsLayout();
        input->layoutIfNeeded();
    }
    EXPECT_TRUE(sent().empty()) << "the size was reported when it was first laid out";
    run("client.set('t1', {bounds: [10, 10, 150, 30]});");
    input->layoutIfNeeded();
    input->setNeedsLayout();
    input->layoutIfNeeded();
    auto operations = sent();
    EXPECT_EQ(std::count_if(operations.begin(), operations.end(), [](const Value& operation) { return operation.at(2) == "Resize"; }), 1);

    input->setText("abc");
    input->setSelectedRange({ 0, 2 });
    EXPECT_TRUE(input->canPerformAction("copy", nullptr));
    EXPECT_FALSE(input->canPerformAction("choose", nullptr));
    std::shared_ptr<RemoteObject> askedFor;
    DropDownActionHook::set([&askedFor](const std::string& action, const std::shared_ptr<RemoteObject>& parent) -> std::optional<bool> {
        askedFor = parent;
        if (action == "choose")
            return true;
        return std::nullopt;
    });
    EXPECT_TRUE(input->canPerformAction("choose", nullptr));
    EXPECT_TRUE(input->canPerformAction("copy", nullptr)) << "not the drop-down's: the platform answers";
    EXPECT_EQ(askedFor, object("t1"));
    DropDownActionHook::set(nullptr);
}

} // namespace
} // namespace morvix
