#include "core/protocol/CommandOperator.h"

#include "tests/support/SessionFixture.h"

#include "core/base/LogEntry.h"
#include "core/objects/BasicObject.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Notifications.h"
#include "core/protocol/ProtocolReader.h"
#include "core/session/ProtocolTransport.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SystemLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace morvix;
using platform::Value;
using namespace std::chrono_literals;

namespace {

// The session as the operator and the objects see it, over a real object registry.
class FakeSession final : public ClientContext,
                          public CommandOperator::Session,
                          public std::enable_shared_from_this<FakeSession> {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return registry->objectById(id); }
    void removeObjectById(const std::string& id) override { registry->removeObjectById(id); }
    void log(const LogEntry& entry) override
    {
        sessionLog.push_back(entry.message());
        sessionTypes.push_back(entry.type());
    }

    std::shared_ptr<ClientContext> clientContext() override { return shared_from_this(); }
    std::shared_ptr<ObjectRegistry> objectRegistry() override { return registry; }
    // Head keys reach the session on the main thread, like operations.
    void changeBaseURL(const std::string& url) override { head("url " + url); }
    void receivedRequestCounter(long counter) override { head("counter " + std::to_string(counter)); }
    void setMorvixUIActive(bool active) override { head(active ? "ui on" : "ui off"); }
    void head(std::string change) { heads.push_back(change + (platform::isMainThread() ? "" : " off main")); }

    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
    std::vector<std::string> sessionLog;
    std::vector<LogEntry::Type> sessionTypes;
    std::vector<std::string> logged; // the system log, see the fixture
    std::vector<std::string> heads;
};

std::vector<std::string>* g_events = nullptr;
std::function<void(const std::string&)> g_hook;

void record(std::string event)
{
    if (g_hook)
        g_hook(event);
    if (g_events)
        g_events->push_back(std::move(event));
}

class Widget : public RemoteClass<Widget> {
public:
    static constexpr std::string_view kRemoteType = "test.Widget";

    Widget(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : RemoteClass(key, std::move(id), std::move(client))
    {
        registerSelector(&Widget::go, "go");
        registerSelector(&Widget::fail, "fail");
    }

    static const PropertyTable& properties()
    {
        static const PropertyTable table = PropertyTable::extend<Widget>(BasicObject::properties())
                                               .string("text", &Widget::setText, &Widget::text)
                                               .dictionary("data", &Widget::setData)
                                               .number("alpha", &Widget::setAlpha);
        return table;
    }
    static const PropertyNames& remoteObjectProperties()
    {
        static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "text" });
        return names;
    }

    void setText(std::optional<std::string> text)
    {
        record(objectId() + " text " + text.value_or("-") + (platform::isMainThread() ? "" : " off main"));
        m_text = std::move(text);
    }
    std::optional<std::string> text() const { return m_text; }
    void setData(std::optional<Value>) { record(objectId() + " data"); }
    void setAlpha(std::optional<Value>) { record(objectId() + " alpha"); }
    void setParent(std::shared_ptr<RemoteObject> parent) override
    {
        record(objectId() + " parent");
        BasicObject::setParent(std::move(parent));
    }
    void registered() override { record(objectId() + " registered"); }

    std::optional<Value> go(const Value* properties) { return properties ? (*properties)["x"] : Value("none"); }
    std::optional<Value> fail(const Value*) { return Value::array().at(3); }

private:
    std::optional<std::string> m_text;
};

class Service : public RemoteClass<Service>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "test.Service";

    Service(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : RemoteClass(key, std::move(id), std::move(client))
    {
        registerSelector(&Service::ping, "ping");
    }
    void synchronize() override { }
    void registered() override { record(objectId() + " registered"); }
    std::optional<Value> ping(const Value*) { return Value("pong"); }
};

class CommandOperatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        WidgetRegistry::instance().addHandler<Widget>();
        WidgetRegistry::instance().addHandler<Service>();
        g_events = &events;
        // Failed operations go to the system log; the operator applies everything on the main
        // thread, but a malformed array is reported on the caller's.
        platform::setSystemLogSink([weak = std::weak_ptr(session)](const std::string& line) {
            static std::mutex mutex;
            std::lock_guard lock(mutex);
            if (auto session = weak.lock())
                session->logged.push_back(line);
        });
    }
    void TearDown() override
    {
        g_events = nullptr;
        g_hook = nullptr;
        platform::setSystemLogSink({});
        if (session)
            session->registry->reset();
        WidgetRegistry::instance().resetForTesting();
        loop.resetForTesting();
    }

    std::optional<Value> apply(const char* operation) { return op->processOperation(Value::parse(operation)); }
    // Pumps the loop until everything a reader off the main thread handed to `commandOperator`
    // has been applied or skipped.
    void waitUntilApplied(CommandOperator& commandOperator)
    {
        bool applied = false;
        commandOperator.afterHandedOver([&] { applied = true; });
        ASSERT_TRUE(loop.runUntil([&] { return applied; }, 10s));
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<FakeSession> session = std::make_shared<FakeSession>();
    std::shared_ptr<CommandOperator> op = CommandOperator::create(session);
    std::vector<std::string> events;
};

} // namespace

TEST_F(CommandOperatorTest, CreateAppliesDataFirstAndParentLastThenRegisters)
{
    apply(R"(["create","w1","test.Widget"])");
    apply(R"(["create","w2","test.Widget",{"parent":"w1","text":"hi","data":{},"unknown":1}])");
    EXPECT_EQ(events, (std::vector<std::string> { "w1 registered", "w2 data", "w2 text hi", "w2 parent", "w2 registered" }));
    auto parent = std::dynamic_pointer_cast<BasicObject>(session->registry->objectById("w1"));
    ASSERT_EQ(parent->objects().size(), 1u);
    EXPECT_EQ(parent->objects()[0], session->registry->objectById("w2"));
    EXPECT_TRUE(session->logged.empty());
    EXPECT_TRUE(session->sessionLog.empty());
}

TEST_F(CommandOperatorTest, SecondCreateOfAnExistingIdChangesNothing)
{
    apply(R"(["create","w1","test.Widget",{"text":"a"}])");
    auto first = session->registry->objectById("w1");
    apply(R"(["create","w1","test.Widget",{"text":"b"}])");
    EXPECT_EQ(session->registry->objectById("w1"), first);
    EXPECT_EQ(events, (std::vector<std::string> { "w1 text a", "w1 registered" }));
}

TEST_F(CommandOperatorTest, UnknownTypesIdsAndOperationsAreIgnoredAndEachUnknownTypeIsNotedOnce)
{
    apply(R"(["create","w1","zub.widgets.NoSuchThing",{"text":"a"}])");
    apply(R"(["create","w2","zub.widgets.NoSuchThing"])");
    apply(R"(["create","w3","other.Unknown"])");
    apply(R"(["set","w9",{"text":"a"}])");
    apply(R"(["create","w1","test.Widget"])");
    apply(R"(["frobnicate","w1",{"text":"a"}])");
    EXPECT_EQ(session->registry->count(), 1u);
    EXPECT_EQ(events, (std::vector<std::string> { "w1 registered" }));
    EXPECT_TRUE(session->logged.empty());
    EXPECT_EQ(session->sessionLog, (std::vector<std::string> {
                                       "create of unknown type 'zub.widgets.NoSuchThing' skipped: no class is registered for it",
                                       "create of unknown type 'other.Unknown' skipped: no class is registered for it",
                                   }));
    EXPECT_EQ(session->sessionTypes, (std::vector<LogEntry::Type> { LogEntry::Type::Debug, LogEntry::Type::Debug }));
}

TEST_F(CommandOperatorTest, TypeNameUsedAsIdCreatesTheObjectOnDemand)
{
    EXPECT_EQ(apply(R"(["call","test.Service","ping"])"), Value("pong"));
    EXPECT_TRUE(session->registry->objectById("test.Service"));
    // The create itself then finds the object and has no effect: its properties are not applied.
    apply(R"(["create","test.Widget","test.Widget",{"text":"ignored"}])");
    EXPECT_EQ(events, (std::vector<std::string> { "test.Service registered", "test.Widget registered" }));
}

TEST_F(CommandOperatorTest, SetFailureKeepsEarlierKeysAndLogsTheException)
{
    apply(R"(["create","w1","test.Widget"])");
    apply(R"(["set","w1",{"text":"a","alpha":"not a number","data":{}}])");
    // "data" goes first, then "text"; "alpha" fails and nothing after it is applied.
    EXPECT_EQ(events, (std::vector<std::string> { "w1 registered", "w1 data", "w1 text a" }));
    ASSERT_EQ(session->logged.size(), 1u);
    EXPECT_TRUE(session->logged[0].starts_with("catching 'Incorrect Parameter' reason 'Property 'alpha' of widget 'w1'"))
        << session->logged[0];
    // The session log gets the same line, as an error.
    EXPECT_EQ(session->sessionLog, session->logged);
    EXPECT_EQ(session->sessionTypes, (std::vector<LogEntry::Type> { LogEntry::Type::Error }));
}

TEST_F(CommandOperatorTest, CreationWhoseSetFailsIsNotRegistered)
{
    apply(R"(["create","w1","test.Widget",{"alpha":"bad"}])");
    EXPECT_FALSE(session->registry->objectById("w1"));
    EXPECT_EQ(session->logged.size(), 1u);
    apply(R"(["create","w2","test.Widget"])");
    EXPECT_TRUE(session->registry->objectById("w2"));
}

TEST_F(CommandOperatorTest, MalformedOperationsAreLoggedAndTheNextOneIsApplied)
{
    apply(R"(["create","w1","test.Widget"])");
    for (const char* bad : { R"(["destroy"])", R"([1,"w1"])", R"(["set",2,{}])", R"(["call","w1"])",
             R"(["get","w1",5])", R"("set")", R"([])", R"(["create","w2"])" })
        EXPECT_EQ(apply(bad), std::nullopt) << bad;
    EXPECT_EQ(session->logged.size(), 8u);
    for (const auto& line : session->logged)
        EXPECT_TRUE(line.starts_with("catching 'Incorrect Parameter' reason 'operation ")) << line;
    EXPECT_EQ(session->sessionLog, session->logged);
    apply(R"(["set","w1",{"text":"after"}])");
    EXPECT_EQ(events.back(), "w1 text after");
}

TEST_F(CommandOperatorTest, OtherExceptionsOfAnObjectAreLoggedInTheSameFormat)
{
    apply(R"(["create","w1","test.Widget"])");
    EXPECT_EQ(apply(R"(["call","w1","fail"])"), std::nullopt);
    ASSERT_EQ(session->logged.size(), 1u);
    EXPECT_TRUE(session->logged[0].starts_with("catching 'nlohmann::")) << session->logged[0];
    EXPECT_NE(session->logged[0].find("' reason '"), std::string::npos);
}

TEST_F(CommandOperatorTest, ArgumentsArePickedByOperationName)
{
    apply(R"(["create","w1","test.Widget",{"text":"t"}])");
    EXPECT_EQ(apply(R"(["get","w1","text"])"), Value("t"));
    EXPECT_EQ(apply(R"(["call","w1","go",{"x":5}])"), Value(5));
    EXPECT_EQ(apply(R"(["call","w1","go",[1]])"), Value("none")); // not an object: absent
    EXPECT_EQ(apply(R"(["call","w1","unregistered",{}])"), std::nullopt);
    apply(R"(["set","w1","text"])");
    apply(R"(["set","w1",{"text":"u"},"extra"])");
    EXPECT_EQ(events.back(), "w1 text u");
    apply(R"(["destroy","w1"])");
    EXPECT_FALSE(session->registry->objectById("w1"));
}

TEST_F(CommandOperatorTest, HeadKeysChangeTheSessionOnlyWithTheirOwnKinds)
{
    EXPECT_EQ(op->processHead(7, "requestCounter"), std::nullopt);
    op->processHead(0, "requestCounter");
    op->processHead(9007199254740992.0, "requestCounter"); // 2^53
    op->processHead(12.0, "requestCounter");
    // Not an integer from 0 to 2^53: refused and logged, never clamped.
    for (const Value& bad : { Value("7"), Value(7.9), Value(1e300), Value(-1), Value(std::uint64_t(1) << 63),
             Value(9007199254740993), Value(std::numeric_limits<double>::infinity()), Value(true), Value(nullptr) })
        op->processHead(bad, "requestCounter");
    op->processHead("/app", "url");
    op->processHead(3, "url");
    op->processHead(true, "morvix.UI");
    op->processHead(0, "morvix.UI");
    op->processHead("on", "morvix.UI");
    op->processHead(1, "other");
    EXPECT_EQ(session->heads, (std::vector<std::string> { "counter 7", "counter 0", "counter 9007199254740992", "counter 12",
                                  "url /app", "ui on", "ui off" }));
    ASSERT_EQ(session->logged.size(), 11u);
    EXPECT_EQ(session->logged[0], "catching 'Incorrect Parameter' reason 'head key 'requestCounter' expects an integer from 0 "
                                  "to 2^53 but got '7''");
    EXPECT_EQ(session->logged[9], "catching 'Incorrect Parameter' reason 'head key 'url' expects a string but got '3''");
    EXPECT_EQ(op->processHead("Session expired", "error"), "Session expired");
    EXPECT_EQ(op->processHead(406, "error"), std::nullopt);
}

TEST_F(CommandOperatorTest, GoneSessionAppliesNothing)
{
    session.reset();
    EXPECT_EQ(op->processOperation(Value::parse(R"(["create","w1","test.Widget"])")), std::nullopt);
    EXPECT_EQ(op->processHead(1, "requestCounter"), std::nullopt);
    EXPECT_TRUE(events.empty());
}

TEST_F(CommandOperatorTest, ReaderOnAnotherThreadAppliesEverythingOnTheMainThreadInOrder)
{
    auto reader = ProtocolReader::create(op);
    const std::string body = R"({"head":{"requestCounter":2},"operations":[["create","w1","test.Widget",{"text":"a"}],)"
                             R"(["set","w1",{"text":"b"}],["set","w1",{"alpha":"x"}],["set","w1",{"text":"c"}]]})";
    std::atomic<bool> done = false;
    std::thread networking([&] {
        for (char c : body)
            reader->write(std::string_view(&c, 1));
        done = true;
        loop.post([] { }); // wakes the loop to see it
    });
    ASSERT_TRUE(loop.runUntil([&] { return done.load(); }, 10s));
    networking.join();
    waitUntilApplied(*op);
    EXPECT_EQ(session->heads, (std::vector<std::string> { "counter 2" }));
    EXPECT_EQ(events, (std::vector<std::string> { "w1 text a", "w1 registered", "w1 text b", "w1 text c" }));
    EXPECT_EQ(session->logged.size(), 1u);
    EXPECT_FALSE(reader->error());
}

TEST_F(CommandOperatorTest, AbandonedReaderStopsBeforeTheNextOperation)
{
    auto reader = ProtocolReader::create(op);
    // Abandon on the main thread while the reading thread waits for its first operation.
    g_hook = [&](const std::string& event) {
        if (event == "w1 text a")
            reader->abandon();
    };
    std::atomic<bool> done = false;
    std::thread networking([&] {
        reader->write(R"({"operations":[["create","w1","test.Widget",{"text":"a"}],)");
        reader->write(R"(["set","w1",{"text":"b"}]]})");
        done = true;
        loop.post([] { }); // wakes the loop to see it
    });
    ASSERT_TRUE(loop.runUntil([&] { return done.load(); }, 10s));
    networking.join();
    waitUntilApplied(*op);
    EXPECT_EQ(events, (std::vector<std::string> { "w1 text a", "w1 registered" }));
}

// A reader far ahead of the main thread waits for room in the queue and then goes on: a body of
// more operations than the queue holds, read as one batch, is applied whole and in order, what
// each operation posts to the main loop running before the next one.
TEST_F(CommandOperatorTest, ReaderFarAheadOfTheMainThreadWaitsAndLosesNothing)
{
    auto reader = ProtocolReader::create(op);
    constexpr std::size_t kCount = CommandOperator::kMaximumHandedOver * 2 + 3;
    std::string body = R"({"operations":[["create","w1","test.Widget",{"text":"0"}])";
    for (std::size_t index = 1; index < kCount; ++index)
        body += R"(,["set","w1",{"text":")" + std::to_string(index) + R"("}])";
    body += "]}";
    std::size_t posted = 0;
    g_hook = [&](const std::string& event) {
        if (event.starts_with("w1 text "))
            loop.post([&, event] { events.push_back("posted by " + event); ++posted; });
    };
    std::atomic<bool> done = false;
    std::thread networking([&] {
        op->beginHandOffBatch();
        reader->write(body);
        op->endHandOffBatch(reader);
        done = true;
        loop.post([] { });
    });
    ASSERT_TRUE(loop.runUntil([&] { return done.load(); }, 20s));
    networking.join();
    waitUntilApplied(*op);
    loop.runUntilIdle();
    ASSERT_EQ(posted, kCount);
    std::vector<std::string> expected;
    for (std::size_t index = 0; index < kCount; ++index) {
        expected.push_back("w1 text " + std::to_string(index));
        if (index == 0)
            expected.push_back("w1 registered");
        expected.push_back("posted by w1 text " + std::to_string(index));
    }
    EXPECT_EQ(events, expected);
}

// An operator that counts what a reader hands it and notes when the reader waits for room.
class RoomWatchingOperator final : public CommandOperator {
public:
    explicit RoomWatchingOperator(std::weak_ptr<Session> session) : CommandOperator(std::move(session)) { }

    std::optional<Value> processOperation(const Value& operation, const std::atomic<bool>& abandoned) override
    {
        ++handedOver;
        return CommandOperator::processOperation(operation, abandoned);
    }
    void willWaitForRoom() override { waited = true; }

    std::atomic<int> handedOver = 0;
    std::atomic<bool> waited = false;
};

// The queue is bounded by what its values hold as well as by their count: a reader ahead of a
// busy main thread with operations of large values waits for room long before a thousand of
// them are queued, and still loses nothing.
TEST_F(CommandOperatorTest, ReaderAheadWithLargeValuesWaitsByWhatTheyHold)
{
    auto watching = std::shared_ptr<RoomWatchingOperator>(new RoomWatchingOperator(session));
    auto reader = ProtocolReader::create(watching, ProtocolReader::BodyCopy::Discard);
    constexpr int kCount = 100;
    const std::string text(256 * 1024, 'x');
    std::string body = R"({"operations":[["create","w1","test.Widget",{"text":"0"}])";
    for (int index = 1; index < kCount; ++index)
        body += R"(,["set","w1",{"text":")" + text + R"("}])";
    body += "]}";
    int handedOverAtTheWait = -1;
    // The main thread, busy with the first operation, holds still until the reader waits for
    // room or has handed over everything.
    g_hook = [&](const std::string& event) {
        if (event != "w1 text 0")
            return;
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!watching->waited && watching->handedOver < kCount && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        handedOverAtTheWait = watching->handedOver;
    };
    std::atomic<bool> done = false;
    std::thread networking([&] {
        watching->beginHandOffBatch();
        reader->write(body);
        watching->endHandOffBatch(reader);
        done = true;
        loop.post([] { });
    });
    ASSERT_TRUE(loop.runUntil([&] { return done.load(); }, 20s));
    networking.join();
    waitUntilApplied(*watching);
    EXPECT_TRUE(watching->waited);
    EXPECT_LE(handedOverAtTheWait, int(CommandOperator::kMaximumHandedOverBytes / text.size()) + 2);
    EXPECT_EQ(std::count(events.begin(), events.end(), "w1 text " + text), kCount - 1);
}

// A quit of the main loop while a body is applied keeps the rest of it, and what waits for it
// (a request's end), for when the loop runs again.
TEST_F(CommandOperatorTest, AQuitKeepsWhatAReaderQueuedForTheLoopsNextRun)
{
    auto reader = ProtocolReader::create(op);
    std::string body = R"({"operations":[["create","w1","test.Widget",{"text":"0"}])";
    for (int index = 1; index < 10; ++index)
        body += R"(,["set","w1",{"text":")" + std::to_string(index) + R"("}])";
    body += "]}";
    g_hook = [&](const std::string& event) {
        if (event == "w1 text 3")
            loop.quit();
    };
    bool ended = false;
    std::thread networking([&] {
        op->beginHandOffBatch();
        reader->write(body);
        op->endHandOffBatch(reader);
        op->afterHandedOver([&] { ended = true; });
    });
    loop.run();
    networking.join();
    EXPECT_EQ(events.back(), "w1 text 3");
    EXPECT_FALSE(ended);
    op->afterHandedOver([&] { loop.quit(); });
    loop.run();
    EXPECT_EQ(events.back(), "w1 text 9");
    EXPECT_TRUE(ended);
}

// An operator that tells when the reader has handed it a head key or an operation, before
// the hand-off to the main thread.
class HandOffSignallingOperator final : public CommandOperator {
public:
    explicit HandOffSignallingOperator(std::weak_ptr<Session> session) : CommandOperator(std::move(session)) { }

    std::optional<std::string> processHead(const Value& value, const std::string& key,
        const std::atomic<bool>& abandoned) override
    {
        signal();
        return CommandOperator::processHead(value, key, abandoned);
    }
    std::optional<Value> processOperation(const Value& operation, const std::atomic<bool>& abandoned) override
    {
        signal();
        return CommandOperator::processOperation(operation, abandoned);
    }

    std::atomic<int> handedOver = 0;

private:
    void signal()
    {
        ++handedOver;
        handedOver.notify_all();
    }
};

TEST_F(CommandOperatorTest, AbandonedReaderAppliesNothingThatWasAlreadyWaitingForTheMainThread)
{
    // The first operation posts a task that waits until the reading thread has handed the next
    // head key or operation over (it then waits in the queue, behind that task), and only then
    // abandons the reader.
    for (const char* rest : { R"("head":{"requestCounter":9}})", R"("operations":[["set","w1",{"text":"b"}]]})" }) {
        events.clear();
        session->heads.clear();
        session->registry->reset();
        auto signalling = std::make_shared<HandOffSignallingOperator>(session);
        auto reader = ProtocolReader::create(signalling);
        g_hook = [&](const std::string& event) {
            if (event != "w1 text a")
                return;
            loop.post([&] {
                signalling->handedOver.wait(1);
                reader->abandon();
            });
        };
        std::atomic<bool> done = false;
        std::thread networking([&] {
            reader->write(std::string(R"({"operations":[["create","w1","test.Widget",{"text":"a"}]],)") + rest);
            done = true;
            loop.post([] { }); // wakes the loop to see it
        });
        ASSERT_TRUE(loop.runUntil([&] { return done.load(); }, 10s));
        networking.join();
        waitUntilApplied(*signalling);
        EXPECT_EQ(signalling->handedOver, 2);
        EXPECT_EQ(events, (std::vector<std::string> { "w1 text a", "w1 registered" })) << rest;
        EXPECT_TRUE(session->heads.empty()) << rest;
    }
}

namespace morvix::testing {
namespace {

using CommandOperatorSessionTest = SessionFixture;

// A reload that runs while the old session's body waits for the main thread: the new session
// gets nothing of the old body, and its request counter starts again at 1.
TEST_F(CommandOperatorSessionTest, ReloadDropsWhatTheOldBodyHadQueuedForTheMainThread)
{
    WidgetRegistry::instance().addHandler<Widget>();
    std::vector<std::string> applied;
    g_events = &applied;
    // The first object of the old body reloads the session from the main loop, behind which the
    // old body's next head key or operation is then queued.
    g_hook = [&](const std::string& event) {
        if (event == "reloader text reload")
            platform::MainLoop::main().post([&] { client->load(); });
    };
    const std::string oldBodies[] = {
        R"({"operations":[["create","reloader","test.Widget",{"text":"reload"}]],"head":{"requestCounter":9}})",
        R"({"operations":[["create","reloader","test.Widget",{"text":"reload"}],["create","stale","test.Widget",{"text":"old"}]]})",
    };
    const std::string* oldBody = nullptr;
    std::atomic<int> gets = 0;
    server.handle("*", [&](const RecordedRequest& request, ResponseWriter& writer) {
        if (request.method != "GET")
            return (void)writer.respond(200, R"({"head":{},"operations":[]})");
        writer.respond(200, ++gets % 2 == 1 ? *oldBody : std::string(R"({"head":{"requestCounter":1},"operations":[]})"));
    });
    server.start();
    delegate->url = server.url("/");
    for (const auto& body : oldBodies) {
        oldBody = &body;
        applied.clear();
        std::size_t postsBefore = posts().size();
        int getsBefore = gets;
        makeClient();
        client->load();
        ASSERT_TRUE(pumpUntil([&] { return gets == getsBefore + 2 && !client->notificationsDispatcher()->isProcessing(); }));
        platform::MainLoop::main().runUntilIdle();
        auto head = Notifications::forHead();
        head->setAttribute(true, "event");
        head->send();
        ASSERT_TRUE(pumpUntil([&] { return posts().size() == postsBefore + 1 && !client->notificationsDispatcher()->isProcessing(); }));
        EXPECT_EQ(applied, (std::vector<std::string> { "reloader text reload", "reloader registered" })) << body;
        EXPECT_FALSE(client->objectRegistry()->objectById("stale")) << body;
        EXPECT_EQ(Value::parse(posts().back().body)["head"]["requestCounter"], 1) << body;
        client.reset();
        platform::MainLoop::main().runUntilIdle();
    }
    g_events = nullptr;
    g_hook = nullptr;
    WidgetRegistry::instance().resetForTesting();
}

// A request ends only once everything its body queued for the main thread has been applied,
// each operation's own posts running before the next operation, and all of them before the
// request's success is announced.
TEST_F(CommandOperatorSessionTest, ARequestEndsOnceWhatItsBodyQueuedHasBeenApplied)
{
    WidgetRegistry::instance().addHandler<Widget>();
    std::vector<std::string> applied;
    g_events = &applied;
    g_hook = [&](const std::string& event) {
        if (event.ends_with(" registered"))
            platform::MainLoop::main().post([&applied, event] { applied.push_back("posted by " + event); });
    };
    server.handle("*", [&](const RecordedRequest&, ResponseWriter& writer) {
        writer.respond(200, R"({"head":{"requestCounter":1},"operations":[["create","a","test.Widget",{"text":"a"}],)"
                            R"(["create","b","test.Widget",{"text":"b"}]]})");
    });
    server.start();
    delegate->url = server.url("/");
    auto token = platform::NotificationCenter::defaultCenter()->addObserver(ProtocolTransport::kOperationSucceeded, nullptr,
        [&](const platform::Notification&) { applied.push_back("succeeded"); });
    makeClient();
    client->load();
    ASSERT_TRUE(pumpUntil([&] { return applied.size() >= 7; }));
    EXPECT_EQ(applied, (std::vector<std::string> { "a text a", "a registered", "posted by a registered", "b text b",
                           "b registered", "posted by b registered", "succeeded" }));
    client.reset();
    platform::MainLoop::main().runUntilIdle();
    g_events = nullptr;
    g_hook = nullptr;
    WidgetRegistry::instance().resetForTesting();
}

} // namespace
} // namespace morvix::testing
