#include "core/objects/BasicObject.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectDispatch.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

using namespace morvix;
using morvix::platform::Value;
using namespace std::chrono_literals;

namespace {

class TestClient : public ClientContext {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override
    {
        auto entry = registry.find(id);
        return entry == registry.end() ? nullptr : entry->second;
    }
    void removeObjectById(const std::string& id) override
    {
        removed.push_back(id);
        registry.erase(id);
    }
    void log(const LogEntry& entry) override { logged.push_back(entry); }

    template<typename T>
    std::shared_ptr<T> make(const std::string& id, std::shared_ptr<TestClient> self)
    {
        auto object = std::static_pointer_cast<T>(T::create(id, nullptr, std::move(self)));
        registry[id] = object;
        return object;
    }

    std::map<std::string, std::shared_ptr<RemoteObject>> registry;
    std::vector<std::string> removed;
    std::vector<LogEntry> logged;
};

// One property of every kind, recording the order in which setters run.
class Thing : public RemoteClass<Thing> {
public:
    static constexpr std::string_view kRemoteType = "test.Thing";
    using RemoteClass::RemoteClass;

    static const PropertyTable& properties()
    {
        static const PropertyTable table = PropertyTable::extend<Thing>(BasicObject::properties())
                                               .string("text", &Thing::setText, &Thing::text)
                                               .dictionary("data", &Thing::setData, &Thing::data)
                                               .number("alpha", &Thing::setAlpha, &Thing::alpha)
                                               .color("foreground", &Thing::setForeground, &Thing::foreground)
                                               .font("font", &Thing::setFont, &Thing::font)
                                               .remote<Thing>("menu", &Thing::setMenu)
                                               .flag("selectionListener", &Thing::selectionListener)
                                               .flag("modifyListener", &Thing::modifyListener)
                                               .boolean("enabled", &Thing::setEnabled, &Thing::enabled)
                                               .rect("bounds", &Thing::setBounds, &Thing::bounds)
                                               .point("origin", &Thing::setOrigin, &Thing::origin)
                                               .string("name", nullptr, &Thing::name);
        return table;
    }
    static const PropertyNames& remoteObjectProperties()
    {
        static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
            { "text", "alpha", "foreground", "font", "menu", "enabled", "bounds", "origin", "name", "selectionListener" });
        return names;
    }

    void setText(std::optional<std::string> value) { record("text"); m_text = std::move(value); }
    std::optional<std::string> text() const { return m_text; }
    void setData(std::optional<Value> value) { record("data"); m_data = std::move(value); }
    std::optional<Value> data() const { return m_data; }
    void setAlpha(std::optional<Value> value) { record("alpha"); m_alpha = std::move(value); }
    std::optional<Value> alpha() const { return m_alpha; }
    void setForeground(std::optional<platform::Color> value) { record("foreground"); m_foreground = value; }
    std::optional<platform::Color> foreground() const { return m_foreground; }
    void setFont(std::optional<TypeConverter::NativeFont> value) { record("font"); m_font = std::move(value); }
    std::optional<TypeConverter::NativeFont> font() const { return m_font; }
    void setMenu(std::shared_ptr<Thing> value) { record("menu"); m_menu = std::move(value); }
    void setEnabled(bool value) { record("enabled"); m_enabled = value; }
    bool enabled() const { return m_enabled; }
    void setBounds(platform::Rect value) { record("bounds"); m_bounds = value; }
    platform::Rect bounds() const { return m_bounds; }
    void setOrigin(platform::Point value) { record("origin"); m_origin = value; }
    platform::Point origin() const { return m_origin; }
    std::optional<std::string> name() const { return "fixed"; }

    void setParent(std::shared_ptr<RemoteObject> parent) override
    {
        record("parent");
        BasicObject::setParent(std::move(parent));
    }

    bool processingFinished() override
    {
        finishedRuns.push_back(creationPhase());
        hookThread = std::this_thread::get_id();
        return keepObserving;
    }

    void record(std::string name) { setterOrder.push_back(std::move(name)); }

    std::vector<std::string> setterOrder;
    std::optional<std::string> m_text;
    std::optional<Value> m_data;
    std::optional<Value> m_alpha;
    std::optional<platform::Color> m_foreground;
    std::optional<TypeConverter::NativeFont> m_font;
    std::shared_ptr<Thing> m_menu;
    bool m_enabled = false;
    platform::Rect m_bounds { 9, 9, 9, 9 };
    platform::Point m_origin { 9, 9 };
    bool selectionListener = false;
    bool modifyListener = false;
    std::vector<bool> finishedRuns;
    std::thread::id hookThread;
    bool keepObserving = false;
};

class Other : public RemoteClass<Other> {
public:
    static constexpr std::string_view kRemoteType = "test.Other";
    using RemoteClass::RemoteClass;
};

} // namespace

class BasicObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::install(clock);
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        thing = client->make<Thing>("w1", client);
    }
    void TearDown() override
    {
        thing.reset();
        client->registry.clear();
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        platform::Clock::install(nullptr);
    }

    void set(const std::shared_ptr<BasicObject>& object, const Value& properties)
    {
        object->dispatchType("set", "", &properties);
    }
    static std::string incorrectParameterReason(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const RemoteException& exception) {
            EXPECT_EQ(exception.name(), RemoteException::kIncorrectParameter);
            return exception.reason();
        }
        ADD_FAILURE() << "no exception";
        return {};
    }
    static void postProcessingFinished()
    {
        platform::NotificationCenter::defaultCenter()->post(std::string(BasicObject::kProcessingFinished));
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<TestClient> client = std::make_shared<TestClient>();
    std::shared_ptr<Thing> thing;
};

// MARK: set

TEST_F(BasicObjectTest, SetAppliesDataFirstParentLastAndTheRestInWireOrder)
{
    auto parent = client->make<Thing>("p", client);
    set(thing, Value::parse(R"({"parent":"p","text":"a","enabled":1,"data":{}})"));
    EXPECT_EQ(thing->setterOrder, (std::vector<std::string> { "data", "text", "enabled", "parent" }));
    EXPECT_EQ(thing->parent(), parent);
}

TEST_F(BasicObjectTest, PrioritizeKeysMovesOnlyDataAndParent)
{
    EXPECT_EQ(BasicObject::prioritizeKeys({ "a", "parent", "b", "data", "c" }),
        (std::vector<std::string> { "data", "a", "b", "c", "parent" }));
    EXPECT_EQ(BasicObject::prioritizeKeys({ "a", "b" }), (std::vector<std::string> { "a", "b" }));
}

TEST_F(BasicObjectTest, UndeclaredPropertiesAndAbsentOrNullPropertiesChangeNothing)
{
    set(thing, Value::parse(R"({"unknown":5,"visible":true})"));
    thing->setWithProperties(nullptr);
    set(thing, nullptr);
    EXPECT_TRUE(thing->setterOrder.empty());
}

TEST_F(BasicObjectTest, AnExceptionEndsTheSetAndKeepsEarlierKeys)
{
    EXPECT_THROW(set(thing, Value::parse(R"({"text":"a","enabled":"yes","alpha":1})")), RemoteException);
    EXPECT_EQ(thing->m_text, "a");
    EXPECT_FALSE(thing->m_alpha.has_value());
}

TEST_F(BasicObjectTest, PropertiesThatAreNotAnObjectAreRefused)
{
    EXPECT_THROW(set(thing, Value::array({ 1, 2 })), RemoteException);
}

TEST_F(BasicObjectTest, ReadOnlyPropertiesRaiseUnrecognizedSelector)
{
    const std::vector<std::pair<std::string, Value>> attempts { { "name", "x" }, { "objectId", "x" },
        { "isDisposed", 1 }, { "creationPhase", 0 }, { "objects", Value::array() } };
    for (const auto& [key, value] : attempts) {
        try {
            thing->setKey(key, value);
            ADD_FAILURE() << key << " was set";
        } catch (const RemoteException& exception) {
            EXPECT_EQ(exception.name(), RemoteException::kUnrecognizedSelector) << key;
        }
    }
    EXPECT_EQ(thing->objectId(), "w1");
    EXPECT_FALSE(thing->isDisposed());
}

TEST_F(BasicObjectTest, AWrongValueTypeIsCheckedBeforeTheReadOnlyRefusal)
{
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("isDisposed", "x"); }),
        "Widget w1 property isDisposed expects character/bool but got x");
}

// MARK: Object properties

TEST_F(BasicObjectTest, ColorPropertiesConvertArraysAndClearOnNull)
{
    thing->setKey("foreground", Value::array({ 255, 0, 0 }));
    EXPECT_EQ(thing->m_foreground, platform::Color::fromRGBA(1, 0, 0, 1));
    thing->setKey("foreground", nullptr);
    EXPECT_FALSE(thing->m_foreground.has_value());
    thing->setKey("foreground", Value::array({ 255, 0, 0 }));
    thing->setKey("foreground", Value::parse(R"([255, 0, "0"])"));
    EXPECT_FALSE(thing->m_foreground.has_value());
    EXPECT_EQ(thing->setterOrder.size(), 4u);
}

TEST_F(BasicObjectTest, FontPropertiesConvertValidArraysOnly)
{
    thing->setKey("font", Value::parse(R"([["Sans"], 12, true, false])"));
    ASSERT_TRUE(thing->m_font.has_value());
    EXPECT_EQ(thing->m_font->pointSize(), 12);
    EXPECT_TRUE(thing->m_font->isBold());
    thing->setKey("font", Value::parse(R"([["Sans"], "12", true, false])"));
    EXPECT_FALSE(thing->m_font.has_value());
}

TEST_F(BasicObjectTest, AValueOfTheWrongClassRaisesIncorrectParameter)
{
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("foreground", "red"); }),
        "Property 'foreground' of widget 'w1' expects class 'Color' but got 'String'");
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("alpha", Value::array()); }),
        "Property 'alpha' of widget 'w1' expects class 'Number' but got 'Array'");
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("data", 5); }),
        "Property 'data' of widget 'w1' expects class 'Dictionary' but got 'Number'");
    EXPECT_TRUE(thing->setterOrder.empty());
}

TEST_F(BasicObjectTest, NumberPropertiesKeepTheWireValue)
{
    thing->setKey("alpha", true);
    EXPECT_EQ(*thing->m_alpha, Value(true));
    thing->setKey("alpha", 0.5);
    EXPECT_EQ(*thing->getKey("alpha"), Value(0.5));
}

TEST_F(BasicObjectTest, StringPropertiesStoreOnlyText)
{
    thing->setKey("text", 12);
    EXPECT_EQ(thing->m_text, "12");
    thing->setKey("text", 0.25);
    EXPECT_EQ(thing->m_text, "0.25");
    thing->setKey("text", false);
    EXPECT_EQ(thing->m_text, "false");
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("text", Value::object()); }),
        "Property 'text' of widget 'w1' expects class 'String' but got 'Dictionary'");
    EXPECT_THROW(thing->setKey("text", Value::array({ "a" })), RemoteException);
    EXPECT_EQ(thing->m_text, "false");
    thing->setKey("text", nullptr);
    EXPECT_FALSE(thing->m_text.has_value());
}

// MARK: Remote-object properties

TEST_F(BasicObjectTest, RemoteObjectPropertiesResolveIdsThroughTheSession)
{
    auto menu = client->make<Thing>("m1", client);
    thing->setKey("menu", "m1");
    EXPECT_EQ(thing->m_menu, menu);
    thing->setKey("menu", "unknown");
    EXPECT_EQ(thing->m_menu, nullptr);
    thing->setKey("menu", "m1");
    thing->setKey("menu", nullptr);
    EXPECT_EQ(thing->m_menu, nullptr);
}

TEST_F(BasicObjectTest, RemoteObjectPropertiesRefuseNonIdsAndObjectsOfAnotherClass)
{
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("parent", 5); }),
        "Property 'parent' of widget 'w1' expects class '(null)' but got 'Number'");
    client->make<Other>("o1", client);
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("menu", "o1"); }),
        "Property 'menu' of widget 'w1' expects class 'test.Thing' but got 'test.Other'");
    EXPECT_EQ(thing->m_menu, nullptr);
}

// MARK: Bool and structure properties

TEST_F(BasicObjectTest, BoolPropertiesTakeAnyNonZeroNumberAsTrue)
{
    for (const auto& [value, expected] : std::vector<std::pair<Value, bool>> {
             { 1, true }, { 0, false }, { 256, true }, { 0.5, true }, { true, true }, { false, false }, { -1, true } }) {
        thing->setKey("enabled", value);
        EXPECT_EQ(thing->m_enabled, expected) << value.dump();
    }
}

TEST_F(BasicObjectTest, BoolPropertiesRefuseNonNumbersWithIdPropertyAndValue)
{
    EXPECT_EQ(incorrectParameterReason([&] { thing->setKey("enabled", "true"); }),
        "Widget w1 property enabled expects character/bool but got true");
    EXPECT_THROW(thing->setKey("enabled", nullptr), RemoteException);
}

TEST_F(BasicObjectTest, StructurePropertiesConvertArraysAndIgnoreOtherValues)
{
    thing->setKey("bounds", Value::array({ 1, 2, 3, 4 }));
    EXPECT_EQ(thing->m_bounds, platform::Rect(1, 2, 3, 4));
    thing->setKey("bounds", Value::array({ 1, 2, 3 }));
    EXPECT_EQ(thing->m_bounds, platform::Rect());
    thing->setKey("origin", Value::array({ 10, true }));
    EXPECT_EQ(thing->m_origin, (platform::Point { 10, 1 }));
    thing->setKey("origin", "1,2");
    thing->setKey("origin", nullptr);
    EXPECT_EQ(thing->m_origin, (platform::Point { 10, 1 }));
}

// MARK: listen

TEST_F(BasicObjectTest, ListenSetsListenerFlagsFromNumberValuesOnly)
{
    thing->modifyListener = true;
    auto properties = Value::parse(R"({"Selection":true,"modify":false,"other":"x","unknown":1})");
    thing->dispatchType("listen", "", &properties);
    EXPECT_TRUE(thing->selectionListener);
    EXPECT_FALSE(thing->modifyListener);
    properties = Value::parse(R"({"selectionListener":0})");
    thing->dispatchType("listen", "", &properties);
    EXPECT_FALSE(thing->selectionListener);
}

// A call the object does not have or a value of the wrong shape changes nothing but is not
// passed over in silence: the session log names the object, the operation and the value. A
// listen without a listener flag stays silent (events of that kind may be sent without one).
TEST_F(BasicObjectTest, IgnoredCallsAndStructureValuesLeaveAWarning)
{
    auto listen = Value::parse(R"({"Selecton":true,"other":"x"})");
    thing->dispatchType("listen", "", &listen);
    thing->dispatchType("call", "opne", nullptr);
    thing->setKey("bounds", "0,0,10,10");
    thing->setKey("origin", Value::array({ 1 }));
    thing->setKey("bounds", Value::array({ 1, 2, 3, 4 }));
    std::vector<std::string> warnings;
    for (const auto& entry : client->logged) {
        EXPECT_EQ(entry.type(), LogEntry::Type::Warning);
        warnings.push_back(entry.message());
    }
    EXPECT_EQ(warnings, (std::vector<std::string> {
        "call 'opne' of widget 'w1' ignored: it has no such call",
        "property 'bounds' of widget 'w1' expects [x, y, width, height] but got '0,0,10,10': ignored",
        "property 'origin' of widget 'w1' expects [x, y] but got '[1]': set to zero",
    }));
    EXPECT_EQ(thing->m_bounds, platform::Rect(1, 2, 3, 4));
}

// MARK: call

TEST_F(BasicObjectTest, CallsRunTheRegisteredHandlerWithNullPropertiesAsNone)
{
    std::vector<bool> sawProperties;
    thing->registerSelector([&](const Value* properties) -> std::optional<Value> {
        sawProperties.push_back(properties != nullptr);
        return Value("result");
    },
        "open");
    Value null = nullptr;
    EXPECT_EQ(thing->dispatchType("call", "open", &null), Value("result"));
    Value object = Value::object();
    thing->dispatchType("call", "open", &object);
    EXPECT_EQ(sawProperties, (std::vector<bool> { false, true }));
    EXPECT_EQ(thing->dispatchType("call", "close", &object), std::nullopt);
}

TEST_F(BasicObjectTest, ALaterRegistrationReplacesAnEarlierOne)
{
    thing->registerSelector([](const Value*) -> std::optional<Value> { return Value(1); }, "go");
    thing->registerSelector([](const Value*) -> std::optional<Value> { return std::nullopt; }, "go");
    EXPECT_EQ(thing->callWithProperties(nullptr, "go"), std::nullopt);
}

// Member functions of either result kind, found by name among several, and a call that
// registers another handler under its own name while it runs: it finishes as it began, and the
// next call runs the new one.
TEST_F(BasicObjectTest, MemberFunctionCallsRunOnTheirObjectAndMayReplaceThemselves)
{
    class Caller : public RemoteClass<Caller> {
    public:
        using RemoteClass::RemoteClass;
        void didConstruct() override
        {
            registerSelector(&Caller::count, "count");
            registerSelector(&Caller::echo, "echo");
            registerSelector(&Caller::swap, "swap");
        }
        void count(const Value* properties) { counted += properties ? properties->value("by", 1) : 1; }
        std::optional<Value> echo(const Value* properties) { return properties ? *properties : Value("none"); }
        std::optional<Value> swap(const Value*)
        {
            registerSelector([](const Value*) -> std::optional<Value> { return Value("new"); }, "swap");
            return Value(counted);
        }
        int counted = 0;
    };
    auto caller = client->make<Caller>("c", client);
    Value by = Value::parse(R"({"by":3})");
    EXPECT_EQ(caller->dispatchType("call", "count", &by), std::nullopt);
    EXPECT_EQ(caller->dispatchType("call", "count", nullptr), std::nullopt);
    EXPECT_EQ(caller->counted, 4);
    EXPECT_EQ(caller->dispatchType("call", "echo", &by), by);
    EXPECT_EQ(caller->dispatchType("call", "echo", nullptr), Value("none"));
    EXPECT_EQ(caller->dispatchType("call", "swap", nullptr), Value(4));
    EXPECT_EQ(caller->dispatchType("call", "swap", nullptr), Value("new"));
    EXPECT_EQ(caller->executeMethods().size(), 3u);
}

// MARK: get

TEST_F(BasicObjectTest, GetReadsOnlyListedPropertiesInWireForm)
{
    thing->setKey("foreground", Value::array({ 255, 0, 0, 128 }));
    thing->setKey("enabled", 5);
    thing->setKey("bounds", Value::array({ 1, 2, 3, 4 }));
    thing->setKey("text", "hi");
    EXPECT_EQ(thing->dispatchType("get", "foreground", nullptr), Value::array({ 255, 0, 0, 128 }));
    EXPECT_EQ(thing->dispatchType("get", "enabled", nullptr), Value(true));
    EXPECT_EQ(thing->dispatchType("get", "bounds", nullptr), Value::array({ 1.0, 2.0, 3.0, 4.0 }));
    EXPECT_EQ(thing->dispatchType("get", "text", nullptr), Value("hi"));
    EXPECT_EQ(thing->dispatchType("get", "name", nullptr), Value("fixed"));
    EXPECT_EQ(thing->dispatchType("get", "selectionListener", nullptr), Value(false));
}

TEST_F(BasicObjectTest, GetGivesNothingForUnlistedUnsetAndRemoteProperties)
{
    thing->setKey("data", Value::object({ { "a", 1 } }));
    EXPECT_EQ(thing->getWithMethod("data"), std::nullopt);
    EXPECT_EQ(thing->getKey("data"), Value::object({ { "a", 1 } }));
    EXPECT_EQ(thing->getWithMethod("alpha"), std::nullopt);
    client->make<Thing>("m1", client);
    thing->setKey("menu", "m1");
    EXPECT_EQ(thing->getWithMethod("menu"), std::nullopt);
    EXPECT_EQ(thing->getWithMethod("missing"), std::nullopt);
}

// MARK: dispatch and types

TEST_F(BasicObjectTest, UnknownOperationsAndAbsentObjectsGiveNothing)
{
    Value properties = Value::object({ { "text", "x" } });
    EXPECT_EQ(thing->dispatchType("frobnicate", "", &properties), std::nullopt);
    EXPECT_FALSE(thing->m_text.has_value());
    EXPECT_EQ(ObjectDispatch::dispatch(nullptr, "set", "", &properties), std::nullopt);
}

TEST_F(BasicObjectTest, TypeNamesComeFromTheClass)
{
    EXPECT_EQ(thing->remoteType(), "test.Thing");
    auto plain = BasicObject::create("b", nullptr, client);
    try {
        (void)plain->remoteType();
        ADD_FAILURE() << "a plain object has a type name";
    } catch (const RemoteException& exception) {
        EXPECT_EQ(exception.name(), RemoteException::kUnrecognizedSelector);
    }
    EXPECT_TRUE(plain->gettableProperties().empty());
    EXPECT_TRUE(thing->gettableProperties().contains("text"));
}

// MARK: parent

TEST_F(BasicObjectTest, SettingTheSameParentTwiceLeavesOneEntry)
{
    auto parent = client->make<Thing>("p", client);
    set(thing, Value::object({ { "parent", "p" } }));
    set(thing, Value::object({ { "parent", "p" } }));
    EXPECT_EQ(parent->objects().size(), 1u);
}

TEST_F(BasicObjectTest, ANewParentTakesTheChildFromTheOldOne)
{
    auto first = client->make<Thing>("p1", client);
    auto second = client->make<Thing>("p2", client);
    thing->setParent(first);
    thing->setParent(second);
    EXPECT_TRUE(first->objects().empty());
    EXPECT_EQ(second->objects(), std::vector<std::shared_ptr<RemoteObject>> { thing });
    EXPECT_EQ(thing->parent(), second);
}

TEST_F(BasicObjectTest, AnUnknownParentIdLeavesTheCurrentParent)
{
    auto parent = client->make<Thing>("p", client);
    thing->setParent(parent);
    set(thing, Value::object({ { "parent", "nobody" } }));
    EXPECT_EQ(thing->parent(), nullptr);
    EXPECT_TRUE(parent->objects().empty());
    EXPECT_EQ(client->registry.count("nobody"), 0u);
}

TEST_F(BasicObjectTest, AParentInsideTheObjectsOwnSubtreeIsRefused)
{
    auto child = client->make<Thing>("c", client);
    auto grandchild = client->make<Thing>("g", client);
    child->setParent(thing);
    grandchild->setParent(child);
    EXPECT_THROW(set(thing, Value::object({ { "parent", "w1" } })), RemoteException);
    EXPECT_THROW(thing->setParent(grandchild), RemoteException);
    EXPECT_EQ(thing->parent(), nullptr);
    EXPECT_TRUE(grandchild->objects().empty());
    // Destroying still ends.
    thing->destroy();
    EXPECT_TRUE(grandchild->isDisposed());
}

TEST_F(BasicObjectTest, ChildrenMayHoldTheSameObjectTwiceAndRemovalTakesEveryEntry)
{
    auto other = client->make<Thing>("o", client);
    thing->addObject(other);
    thing->addObject(other);
    EXPECT_EQ(thing->objects().size(), 2u);
    thing->removeObject(*other);
    EXPECT_TRUE(thing->objects().empty());
    thing->removeObject(*other);
}

// MARK: destroy

TEST_F(BasicObjectTest, DestroyTakesDownChildrenFirstAndLeavesTheParentWithoutThem)
{
    auto parent = client->make<Thing>("p", client);
    thing->setParent(parent);
    auto first = client->make<Thing>("c1", client);
    auto second = client->make<Thing>("c2", client);
    first->setParent(thing);
    second->setParent(thing);
    auto grandchild = client->make<Thing>("g", client);
    grandchild->setParent(first);

    thing->dispatchType("destroy", "", nullptr);

    EXPECT_EQ(client->removed, (std::vector<std::string> { "g", "c1", "c2", "w1" }));
    EXPECT_TRUE(thing->objects().empty());
    EXPECT_TRUE(parent->objects().empty());
    EXPECT_TRUE(first->isDisposed() && second->isDisposed() && thing->isDisposed());
    // The weak parent reference is kept.
    EXPECT_EQ(thing->parent(), parent);
}

TEST_F(BasicObjectTest, ASecondDestroyDoesNothing)
{
    thing->destroy();
    thing->destroy();
    EXPECT_EQ(client->removed, std::vector<std::string> { "w1" });
}

TEST_F(BasicObjectTest, OmitDestroyOnlyMarksTheObjectUntilItIsCleared)
{
    auto child = client->make<Thing>("c", client);
    child->setParent(thing);
    set(thing, Value::object({ { "omitDestroy", true } }));
    thing->destroy();
    EXPECT_TRUE(thing->isDisposed());
    EXPECT_TRUE(client->removed.empty());
    EXPECT_EQ(thing->objects().size(), 1u);

    thing->setOmitDestroy(false);
    thing->destroy();
    EXPECT_EQ(client->removed, (std::vector<std::string> { "c", "w1" }));
}

TEST_F(BasicObjectTest, DestroyOfAChildWhoseOnlyOwnerIsItsParentIsSafe)
{
    auto child = client->make<Thing>("c", client);
    child->setParent(thing);
    std::weak_ptr<Thing> weakChild = child;
    client->registry.erase("c");
    child.reset();
    weakChild.lock()->destroy();
    EXPECT_TRUE(weakChild.expired());
    EXPECT_TRUE(thing->objects().empty());
}

TEST_F(BasicObjectTest, DestroyWithoutASessionStillTearsDownTheTree)
{
    auto orphan = Thing::create("x", nullptr, nullptr);
    auto child = Thing::create("y", nullptr, nullptr);
    child->setParent(orphan);
    orphan->destroy();
    EXPECT_TRUE(child->isDisposed());
    EXPECT_TRUE(orphan->objects().empty());
}

// MARK: processingFinished

TEST_F(BasicObjectTest, TheHookRunsOnceAfterCreationWithCreationPhaseSet)
{
    EXPECT_TRUE(thing->creationPhase());
    postProcessingFinished();
    postProcessingFinished();
    EXPECT_EQ(thing->finishedRuns, std::vector<bool> { true });
    EXPECT_FALSE(thing->creationPhase());
}

TEST_F(BasicObjectTest, AClassThatKeepsObservingRunsTheHookAfterEveryMessage)
{
    thing->keepObserving = true;
    postProcessingFinished();
    postProcessingFinished();
    EXPECT_EQ(thing->finishedRuns, (std::vector<bool> { true, false }));
}

// Objects that keep observing go on hearing every message while many around them stop, in the
// order they began, whatever their place among those that stopped.
TEST_F(BasicObjectTest, ObjectsThatKeepObservingOutliveManyThatStop)
{
    std::vector<std::shared_ptr<Thing>> others;
    for (int i = 0; i < 20; ++i)
        others.push_back(client->make<Thing>("o" + std::to_string(i), client));
    thing->keepObserving = true;
    others[10]->keepObserving = true;
    others.back()->keepObserving = true;
    others[5]->destroy();
    others[6].reset();
    client->registry.erase("o6");
    for (int post = 0; post < 3; ++post)
        postProcessingFinished();
    EXPECT_EQ(thing->finishedRuns, (std::vector<bool> { true, false, false }));
    EXPECT_EQ(others[10]->finishedRuns, (std::vector<bool> { true, false, false }));
    EXPECT_EQ(others.back()->finishedRuns, (std::vector<bool> { true, false, false }));
    EXPECT_EQ(others[0]->finishedRuns, std::vector<bool> { true });
    EXPECT_TRUE(others[5]->finishedRuns.empty());
    // A new object waits behind the ones still observing and hears only the next message.
    auto late = client->make<Thing>("late", client);
    postProcessingFinished();
    EXPECT_EQ(late->finishedRuns, std::vector<bool> { true });
    EXPECT_EQ(thing->finishedRuns.size(), 4u);
}

TEST_F(BasicObjectTest, ADestroyedObjectStopsObserving)
{
    thing->keepObserving = true;
    thing->destroy();
    postProcessingFinished();
    EXPECT_TRUE(thing->finishedRuns.empty());
}

TEST_F(BasicObjectTest, AnObjectKeptByOmitDestroyKeepsObserving)
{
    thing->keepObserving = true;
    thing->setOmitDestroy(true);
    thing->destroy();
    postProcessingFinished();
    EXPECT_EQ(thing->finishedRuns.size(), 1u);
}

TEST_F(BasicObjectTest, AReleasedObjectIsNoLongerObserving)
{
    auto center = platform::NotificationCenter::defaultCenter();
    auto before = center->observerCount();
    client->registry.erase("w1");
    thing.reset();
    EXPECT_EQ(center->observerCount(), before - 1);
    postProcessingFinished();
}

TEST_F(BasicObjectTest, APostFromAnotherThreadRunsTheHookOnTheMainThreadWhileThePosterWaits)
{
    std::atomic<bool> posted = false;
    std::thread poster([&] {
        postProcessingFinished();
        posted = true;
    });
    // The hook runs inside a turn of the loop; the poster returns once it has.
    ASSERT_TRUE(loop.runUntil([&] { return !thing->finishedRuns.empty(); }, 5s));
    poster.join();
    EXPECT_TRUE(posted);
    EXPECT_EQ(thing->finishedRuns, std::vector<bool> { true });
    EXPECT_EQ(thing->hookThread, std::this_thread::get_id());
}

// MARK: message builders

TEST_F(BasicObjectTest, MessageBuildersComeFromTheNotificationsFactory)
{
    auto message = thing->notificationForObject();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->getTarget(), "w1");
    std::vector<std::string> asked;
    thing->setNotifications([&](const std::string& id) {
        asked.push_back(id);
        return Notifications::forType("replaced");
    });
    EXPECT_EQ(thing->notificationForObject()->getTarget(), "replaced");
    EXPECT_EQ(asked, std::vector<std::string> { "w1" });
}
