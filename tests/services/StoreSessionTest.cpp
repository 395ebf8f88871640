// The client store, the push service and the peer's HTTP requests in a real session against a
// scripted server on loopback (manual clock for the session, real time for the HTTP layer): what
// the first request carries, the store file across sessions and against Python's plistlib,
// push tokens and payloads, and the states of HTTP requests the peer makes.

#include "services/ClientStore.h"
#include "services/CloudPush.h"
#include "services/MorvixApp.h"
#include "services/MorvixHttpRequest.h"

#include "core/base/LogEntry.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Application.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/support/LoopbackSessionFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

namespace morvix {
namespace {

namespace fs = std::filesystem;
using platform::Value;
using testing::RecordedRequest;
using testing::ResponseWriter;
using testing::TestResponse;

std::string run(const std::string& command)
{
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[256];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, read);
    ::pclose(pipe);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class StoreSessionTest : public testing::LoopbackSessionFixture {
protected:
    StoreSessionTest()
        : LoopbackSessionFixture(Options().withFlushOnSettle())
    {
    }
    void SetUp() override
    {
        server.handle("/data/chunked", [](const RecordedRequest&, ResponseWriter& writer) {
            writer.writeHead(200, { { "Transfer-Encoding", "chunked" }, { "X-Part", "a" }, { "Content-Type", "text/plain" }, { "x-part", "b" } });
            for (const char* chunk : { "one ", "two ", "three" })
                writer.writeChunk(chunk);
            writer.endChunks();
        });
        server.route("/data/sized", TestResponse().withHeader("Content-Type", "text/plain").withBody("0123456789"));
        server.route("/data/missing", TestResponse().withStatus(404).withBody("not here"));
        server.route("/data/empty", TestResponse().withStatus(204));
        server.route("/data/binary", TestResponse().withHeader("Content-Type", "text/plain; charset=utf-8").withBody("\xff\xfe\x00\x01"));
        server.handle("/data/held", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.writeHead(200, { { "Content-Length", "10" } });
            writer.write("01234");
            writer.waitFor(gate);
        });
        server.route("/data/echo", TestResponse().withBody("ok"));
        LoopbackSessionFixture::SetUp();
        CloudPush::resetForTesting();
        MorvixApp::setOpenWithURL(std::nullopt);
        std::string pattern = (fs::temp_directory_path() / "morvix-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        documents = root / "Documents";
        auto bundle = platform::BundleInfo::defaults();
        bundle.documentsPath = documents.string();
        platform::BundleInfo::setMain(bundle);
    }
    void TearDown() override
    {
        gate.open();
        LoopbackSessionFixture::TearDown();
        platform::BundleInfo::resetForTesting();
        CloudPush::resetForTesting();
        platform::Application::shared().resetForTesting();
        fs::remove_all(root);
    }

    // `launch` runs between the session's creation and its first load, as the application's
    // launch does.
    void start(const std::function<void(MorvixClient&)>& launch = {})
    {
        ASSERT_NO_FATAL_FAILURE(createClient());
        if (launch)
            launch(*client);
        client->setLogObserver([this](const LogEntry& entry) {
            std::lock_guard lock(m_mutex);
            m_log.push_back(entry.message());
        }, MorvixClient::LogDelivery::AnyThread);
        loadSession();
    }
    bool waitFor(const std::function<bool()>& done) { return waitUntil(done); }
    // Plays the peer: `operations` come back in the answer to the next POST, which a
    // synchronisation of the application service provokes.
    void peer(const std::string& operations)
    {
        answerNextPost(operations, [this] { std::dynamic_pointer_cast<ServiceObject>(client->objectById("morvix.App"))->synchronize(); });
    }
    std::vector<RecordedRequest> requestsTo(const std::string& path) const
    {
        std::vector<RecordedRequest> found;
        for (const auto& request : server.requests()) {
            if (request.path == path)
                found.push_back(request);
        }
        return found;
    }
    std::string operationsFor(const std::string& target, std::size_t index = 0) const
    {
        return LoopbackSessionFixture::operationsFor(target, index).dump();
    }
    // The "state" of each "StateChange" and the name of every other event of `target`.
    std::string events(const char* target, std::size_t index) const
    {
        std::string text;
        for (const auto& operation : Value::parse(operationsFor(target, index))) {
            if (operation[0] != "notify")
                continue;
            text += text.empty() ? "" : " ";
            text += operation[2] == "StateChange" ? operation[3]["state"].get<std::string>() : operation[2].get<std::string>();
        }
        return text;
    }
    bool logged(const std::string& part)
    {
        std::lock_guard lock(m_mutex);
        for (const auto& line : m_log) {
            if (line.find(part) != std::string::npos)
                return true;
        }
        return false;
    }
    std::shared_ptr<ClientStore> store() const { return std::dynamic_pointer_cast<ClientStore>(client->objectById("morvix.ClientStore")); }
    fs::path storeFile() const { return documents / "morvix.ClientStore"; }

    testing::TestGate gate;
    fs::path root;
    fs::path documents;

private:
    std::mutex m_mutex; // guards m_log
    std::vector<std::string> m_log;
};

TEST_F(StoreSessionTest, TheStoreKeepsTypedValuesAcrossSessionsAndRefusesWhatItCannotWrite)
{
    start();
    // The first request: what was scheduled before the store's call rides with it, in service
    // order; the store's file and folder are made private.
    auto first = posts().at(0)["operations"];
    ASSERT_GE(first.size(), 3u) << first.dump();
    EXPECT_EQ(first[0][1], "w1");
    EXPECT_EQ(first[1][1], "morvix.App");
    EXPECT_EQ(first[2].dump(), R"(["call","morvix.ClientStore","synchronize",{}])");
    struct stat info {};
    ASSERT_EQ(::stat(storeFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat(documents.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);

    peer(R"([["call","morvix.ClientStore","add",{"key":"all","value":{"n":1,"b":true,"f":1.5,"list":[1,"a"],"obj":{"z":1,"a":2}}}],
        ["call","morvix.ClientStore","add",{"key":"gone","value":"x"}],["call","morvix.ClientStore","remove",{"keys":["gone"]}]])");
    // Python reads what was written, with the types it was given.
    EXPECT_EQ(run("python3 -c \"import plistlib,json; print(json.dumps(plistlib.load(open('" + storeFile().string() + "','rb'))))\""),
        R"({"all": {"n": 1, "b": true, "f": 1.5, "list": [1, "a"], "obj": {"z": 1, "a": 2}}})");

    // Refused: a nested null, a missing value, a key that is not text. Nothing changes.
    std::string before = fileBytes(storeFile());
    peer(R"([["call","morvix.ClientStore","add",{"key":"bad","value":{"inner":[1,null]}}],
        ["call","morvix.ClientStore","add",{"key":"bad"}],["call","morvix.ClientStore","add",{"key":3,"value":1}]])");
    EXPECT_EQ(fileBytes(storeFile()), before);
    EXPECT_TRUE(logged("catching 'Incorrect Parameter'"));
    EXPECT_EQ(store()->contents().dump(), R"({"all":{"n":1,"b":true,"f":1.5,"list":[1,"a"],"obj":{"z":1,"a":2}}})");

    // "get" answers the value as the call's result; an absent key answers nothing.
    Value key = Value::object();
    key["key"] = "all";
    EXPECT_EQ(store()->callWithProperties(&key, "get")->dump(), R"({"n":1,"b":true,"f":1.5,"list":[1,"a"],"obj":{"z":1,"a":2}})");
    key["key"] = "none";
    EXPECT_FALSE(store()->callWithProperties(&key, "get").has_value());

    // "remove" of absent keys still writes the file anew (a new inode from the rename); an
    // existing file keeps the mode a person gave it.
    ASSERT_EQ(::chmod(storeFile().c_str(), 0640), 0);
    ASSERT_EQ(::stat(storeFile().c_str(), &info), 0);
    auto inode = info.st_ino;
    peer(R"([["call","morvix.ClientStore","remove",{"keys":["absent"]}]])");
    ASSERT_EQ(::stat(storeFile().c_str(), &info), 0);
    EXPECT_NE(info.st_ino, inode);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // A new session on the same folder hands the same values and types to its peer at once.
    client.reset();
    harness.runUntilIdle();
    std::size_t mark = posts().size();
    start();
    EXPECT_EQ(operationsFor("morvix.ClientStore", mark),
        R"([["call","morvix.ClientStore","synchronize",{"all":{"n":1,"b":true,"f":1.5,"list":[1,"a"],"obj":{"z":1,"a":2}}}]])");
}

TEST_F(StoreSessionTest, WhatTheFileCouldNotKeepExactlyIsRefusedAndNothingChanges)
{
    start();
    peer(R"([["call","morvix.ClientStore","add",{"key":"kept","value":{"max":9223372036854775807,"ws":"a\tb\nc\rd","<&>":"]]>"}}]])");
    const std::string kept = R"({"kept":{"max":9223372036854775807,"ws":"a\tb\nc\rd","<&>":"]]>"}})";
    ASSERT_EQ(store()->contents().dump(), kept);
    std::string before = fileBytes(storeFile());

    // Each would come back other than it went in: a text cut at its NUL, two keys merged into
    // one, an integer turned negative, a file no XML reader takes.
    peer(R"([["call","morvix.ClientStore","add",{"key":"nul","value":"x\u0000y"}],
        ["call","morvix.ClientStore","add",{"key":"a\u0000b","value":1}],["call","morvix.ClientStore","add",{"key":"a\u0000c","value":2}],
        ["call","morvix.ClientStore","add",{"key":"big","value":9223372036854775808}],
        ["call","morvix.ClientStore","add",{"key":"bell","value":{"deep":["ok","\u0007"]}}],
        ["call","morvix.ClientStore","add",{"key":"nonchar","value":"\uffff"}],["call","morvix.ClientStore","add",{"key":"esc\u001b","value":true}]])");
    EXPECT_EQ(fileBytes(storeFile()), before);
    EXPECT_EQ(store()->contents().dump(), kept);
    for (const char* reason : { "\"nul\" holds a NUL", "\"a\\u0000b\"", "\"a\\u0000c\"", "9223372036854775808 at \"big\"",
             "\"bell[deep][1]\" holds the control character U+0007", "U+FFFF", "U+001B" })
        EXPECT_TRUE(logged(reason)) << reason;

    // Other readers take the file, with what was kept exactly as it was given.
    EXPECT_EQ(run("python3 -c \"import plistlib,json; print(json.dumps(plistlib.load(open('" + storeFile().string() + "','rb'))))\""),
        R"({"kept": {"max": 9223372036854775807, "ws": "a\tb\nc\rd", "<&>": "]]>"}})");
}

TEST_F(StoreSessionTest, StoreFilesOfOtherProgramsAreReadAndDamagedOnesKeptAside)
{
    fs::create_directories(documents);
    // A binary property list from Python, with data that reaches the peer as Base64.
    ASSERT_EQ(std::system(("python3 -c \"import plistlib; plistlib.dump({'t':'x','d':b'foobar','i':-3,'r':0.25},open('" + storeFile().string()
                              + "','wb'),fmt=plistlib.FMT_BINARY)\"").c_str()),
        0);
    // A write a crash interrupted an hour ago left its temporary file behind; one just begun
    // belongs to another process's write still under way.
    std::ofstream(documents / "morvix.ClientStore.tmp-Ab12Cd") << "half";
    fs::last_write_time(documents / "morvix.ClientStore.tmp-Ab12Cd", fs::file_time_type::clock::now() - std::chrono::hours(1));
    std::ofstream(documents / "morvix.ClientStore.tmp-Ef34Gh") << "busy";
    start();
    EXPECT_EQ(operationsFor("morvix.ClientStore"), R"([["call","morvix.ClientStore","synchronize",{"d":"Zm9vYmFy","i":-3,"r":0.25,"t":"x"}]])");
    EXPECT_FALSE(fs::exists(documents / "morvix.ClientStore.tmp-Ab12Cd"));
    EXPECT_TRUE(fs::exists(documents / "morvix.ClientStore.tmp-Ef34Gh"));

    // Damaged files: an empty store, a warning naming the file, the bytes kept aside, and the
    // next "add" writes a whole file again.
    std::string truncated = fileBytes(storeFile()).substr(0, 20);
    for (std::string damaged : { std::string(), truncated, std::string("\x13\x37 random \x00\xff bytes", 18) }) {
        client.reset();
        harness.runUntilIdle();
        { std::ofstream(storeFile(), std::ios::binary | std::ios::trunc) << damaged; }
        std::size_t mark = posts().size();
        start();
        EXPECT_EQ(operationsFor("morvix.ClientStore", mark), R"([["call","morvix.ClientStore","synchronize",{}]])");
        EXPECT_TRUE(logged("the client store \"" + storeFile().string() + "\" is damaged"));
        EXPECT_EQ(fileBytes(documents / "morvix.ClientStore.damaged"), damaged);
        peer(R"([["call","morvix.ClientStore","add",{"key":"k","value":"v"}]])");
        EXPECT_EQ(run("python3 -c \"import plistlib; print(plistlib.load(open('" + storeFile().string() + "','rb')))\""), "{'k': 'v'}");
    }

    // A write that fails (the disk is full: no file may grow past 64 bytes) keeps the change in
    // memory and the file whole; the next write that can stores everything.
    std::string before = fileBytes(storeFile());
    rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    rlimit full = limit;
    full.rlim_cur = 64;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    peer(R"([["call","morvix.ClientStore","add",{"key":"later","value":2}]])");
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(fileBytes(storeFile()), before);
    EXPECT_TRUE(logged("could not be written: " + std::string(std::strerror(EFBIG))));
    peer(R"([["call","morvix.ClientStore","clear",{}],["call","morvix.ClientStore","add",{"key":"k","value":"v"}],["call","morvix.ClientStore","add",{"key":"later","value":2}]])");
    EXPECT_EQ(run("python3 -c \"import plistlib; print(plistlib.load(open('" + storeFile().string() + "','rb')))\""), "{'k': 'v', 'later': 2}");
}

TEST_F(StoreSessionTest, PushRegistrationsTokensAndPayloadsReachThePeer)
{
    // A launch by a push message: the payload goes out with the first synchronisation.
    start([](MorvixClient& launching) {
        launching.didFinishLaunchingWithOptions(Value::parse(R"({"UIApplicationLaunchOptionsRemoteNotificationKey":{"aps":{"alert":"Hi"},"id":7}})"));
        EXPECT_EQ(CloudPush::message(), R"({"aps":{"alert":"Hi"},"id":7})");
    });
    harness.advance(0.3);
    ASSERT_TRUE(waitFor([&] { return operationsFor("morvix.CloudPush") != "[]" && !CloudPush::message(); }))
        << "the message goes out and the successful exchange acknowledges it";
    EXPECT_EQ(operationsFor("morvix.CloudPush"), R"([["set","morvix.CloudPush",{"message":"{\"aps\":{\"alert\":\"Hi\"},\"id\":7}"}]])");
    auto push = std::dynamic_pointer_cast<CloudPush>(client->objectById("morvix.CloudPush"));
    ASSERT_NE(push, nullptr);
    std::size_t mark = posts().size();
    push->synchronize();
    harness.advance(0.3);
    harness.runUntilIdle();
    EXPECT_EQ(operationsFor("morvix.CloudPush", mark), "[]");

    // Two listens register twice: settings (badge, sound, alert), then the push token.
    peer(R"([["listen","morvix.CloudPush",{"notification":true}],["listen","morvix.CloudPush",{"notification":false}],
        ["listen","morvix.CloudPush",{"notification":true}]])");
    using Kind = platform::Application::NotificationRegistration::Kind;
    const auto& registrations = platform::Application::shared().notificationRegistrations();
    ASSERT_EQ(registrations.size(), 4u);
    EXPECT_EQ(registrations[0].kind, Kind::Settings);
    EXPECT_EQ(registrations[0].types, 7u);
    EXPECT_TRUE(registrations[0].categories.empty());
    EXPECT_EQ(registrations[1].kind, Kind::RemoteNotifications);
    EXPECT_EQ(registrations[3].kind, Kind::RemoteNotifications);

    // The platform's answers, forwarded by the application: sent at once, listened or not.
    std::vector<std::uint8_t> token { 0x00, 0x0f, 0xa0, 0xff, 0x12, 0x34, 0xab, 0xcd };
    mark = posts().size();
    client->didRegisterForRemoteNotificationsWithDeviceToken(token);
    ASSERT_TRUE(waitFor([&] { return posts().size() > mark; }));
    std::string hex = run("python3 -c \"print(bytes([0x00,0x0f,0xa0,0xff,0x12,0x34,0xab,0xcd]).hex())\"");
    EXPECT_EQ(operationsFor("morvix.CloudPush", mark), R"([["notify","morvix.CloudPush","Registered",{"token":")" + hex + R"("}]])");
    mark = posts().size();
    client->didFailToRegisterForRemoteNotificationsWithError(platform::Error("NSCocoaErrorDomain", 3010));
    client->didFailToRegisterForRemoteNotificationsWithError(platform::Error("NSCocoaErrorDomain", 3000, "no valid entitlement"));
    ASSERT_TRUE(waitFor([&] { return Value::parse(operationsFor("morvix.CloudPush", mark)).size() == 2; }));
    EXPECT_EQ(operationsFor("morvix.CloudPush", mark),
        R"([["notify","morvix.CloudPush","ErrorReceived",{"errorMessage":"Did fail to register for remote notifications"}],)"
        R"(["notify","morvix.CloudPush","ErrorReceived",{"errorMessage":"no valid entitlement"}]])");

    // A message while running: one POST with the payload's text and the event.
    mark = posts().size();
    client->didReceiveRemoteNotification(Value::parse(R"({"aps":{"badge":2},"text":"ä"})"));
    ASSERT_TRUE(settle(mark + 1));
    auto body = posts().at(mark)["operations"];
    ASSERT_EQ(body.size(), 2u) << body.dump();
    EXPECT_EQ(body[0].dump(), R"(["set","morvix.CloudPush",{"message":"{\"aps\":{\"badge\":2},\"text\":\"ä\"}"}])");
    EXPECT_EQ(body[1].dump(), R"(["notify","morvix.CloudPush","MessageReceived",{}])");
    EXPECT_EQ(CloudPush::message(), std::nullopt) << "the exchange that carried it acknowledged it";
}

TEST_F(StoreSessionTest, HttpRequestsReportTheirStatesInOrder)
{
    start();
    // A body in chunks without a length; the one with a length; a 404 with a body; a 204; a
    // body that is not text.
    peer(R"([["create","r1","morvix.HttpRequest",{}],["listen","r1",{"StateChange":1,"DownloadProgress":1}],["call","r1","send",{"url":"/data/chunked"}],
        ["create","r2","morvix.HttpRequest",{}],["listen","r2",{"StateChange":1,"DownloadProgress":1}],["call","r2","send",{"url":"/data/sized"}],
        ["create","r3","morvix.HttpRequest",{}],["listen","r3",{"StateChange":1}],["call","r3","send",{"url":"/data/missing"}],
        ["create","r4","morvix.HttpRequest",{}],["listen","r4",{"StateChange":1}],["call","r4","send",{"url":"/data/empty"}],
        ["create","r5","morvix.HttpRequest",{}],["listen","r5",{"StateChange":1}],["call","r5","send",{"url":"/data/binary"}]])");
    auto ended = [&](const char* id) {
        auto text = events(id, 0);
        return text.find("finished") != std::string::npos || text.find("error") != std::string::npos;
    };
    ASSERT_TRUE(waitFor([&] { return ended("r1") && ended("r2") && ended("r3") && ended("r4") && ended("r5"); }));
    auto r1 = Value::parse(operationsFor("r1"));
    EXPECT_EQ(r1[0].dump(), R"(["notify","r1","StateChange",{"state":"loading"}])");
    EXPECT_EQ(r1[1][3]["code"], 200);
    EXPECT_EQ(r1[1][3]["message"], "OK");
    EXPECT_EQ(r1[1][3]["headers"]["X-Part"], "a, b") << "repeats joined in arrival order";
    EXPECT_EQ(r1[2][2], "DownloadProgress");
    EXPECT_EQ(r1[2][3]["total"], 0);
    EXPECT_EQ(r1[2][3]["lengthComputable"], false);
    EXPECT_EQ(r1.back().dump(), R"(["notify","r1","StateChange",{"state":"finished","response":"one two three"}])");
    auto r2 = Value::parse(operationsFor("r2"));
    EXPECT_EQ(r2[2][3].dump(), R"({"loaded":10,"total":10,"lengthComputable":true})");
    EXPECT_EQ(events("r3", 0), "loading headers error");
    EXPECT_EQ(Value::parse(operationsFor("r3"))[1][3]["code"], 404);
    EXPECT_EQ(Value::parse(operationsFor("r3"))[1][3]["message"], "Not Found");
    EXPECT_EQ(events("r4", 0), "loading headers finished") << "a response without progress still reports its head";
    EXPECT_EQ(Value::parse(operationsFor("r4")).back()[3]["response"], "");
    EXPECT_EQ(events("r5", 0), "loading headers error");

    // Abort while the body is held: "aborted" is the last word; abort after the end: nothing.
    std::size_t mark = posts().size();
    peer(R"([["create","h1","morvix.HttpRequest",{}],["listen","h1",{"StateChange":1}],["call","h1","send",{"url":"/data/held"}]])");
    ASSERT_TRUE(waitFor([&] { return events("h1", mark).find("headers") != std::string::npos; }));
    auto held = std::dynamic_pointer_cast<MorvixHttpRequest>(client->objectById("h1"));
    ASSERT_NE(held, nullptr);
    held->abort(nullptr);
    ASSERT_TRUE(waitFor([&] { return events("h1", mark).find("aborted") != std::string::npos; }));
    auto r2Object = std::dynamic_pointer_cast<MorvixHttpRequest>(client->objectById("r2"));
    r2Object->abort(nullptr);
    // A second send replaces a running request: only the second one is heard of.
    peer(R"([["call","h1","send",{"url":"/data/held"}],["call","h1","send",{"url":"/data/echo"}]])");
    ASSERT_TRUE(waitFor([&] { return events("h1", mark).find("finished") != std::string::npos; }));
    gate.open();
    // Let the cancelled requests' ends arrive, if they were going to be heard.
    peer("[]");
    harness.runUntilIdle();
    EXPECT_EQ(events("h1", mark), "loading headers aborted loading headers finished");
    EXPECT_EQ(events("r2", 0), "loading headers DownloadProgress finished");
}

TEST_F(StoreSessionTest, HttpRequestsSendWhatThePeerGaveAndRefuseInjection)
{
    start();
    peer(R"([["create","e1","morvix.HttpRequest",{}],["listen","e1",{"StateChange":1}],
        ["call","e1","send",{"url":"/data/echo","method":"PUT","headers":{"X-Zeta":"1","X-Alpha":2,"X-Flag":true},"data":"grüße","timeout":1500}]])");
    ASSERT_TRUE(waitFor([&] { return events("e1", 0).find("finished") != std::string::npos; }));
    auto sent = requestsTo("/data/echo");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "PUT");
    EXPECT_EQ(sent[0].body, "grüße");
    std::vector<std::string> custom;
    for (const auto& [name, value] : sent[0].headers) {
        if (name.rfind("X-", 0) == 0)
            custom.push_back(name + "=" + value);
    }
    EXPECT_EQ(custom, (std::vector<std::string> { "X-Zeta=1", "X-Alpha=2", "X-Flag=true" }));

    // Injection attempts and a file of the user's reach no server and no file; the peer hears
    // "error".
    peer(R"([["create","i1","morvix.HttpRequest",{}],["listen","i1",{"StateChange":1}]])");
    for (const char* send : { R"({"url":"/data/echo","headers":{"X-A":"v\r\nX-Injected: 1"}})", R"({"url":"/data/echo","headers":{"X-A\nB":"v"}})",
             R"({"url":"/data/echo","headers":{"X A":"v"}})", R"({"url":"/data/echo","headers":{"X:A":"v"}})",
             R"({"url":"/data/echo","headers":{"X-A":["v"]}})", R"({"url":"/data/echo","method":"GET\r\nX"})", R"({"url":"file:///etc/passwd"})" }) {
        std::size_t mark = posts().size();
        peer(std::string(R"([["call","i1","send",)") + send + "]]");
        ASSERT_TRUE(waitFor([&] { return !events("i1", mark).empty(); })) << send;
        EXPECT_EQ(events("i1", mark), "error") << send;
    }
    harness.runUntilIdle();
    EXPECT_EQ(requestsTo("/data/echo").size(), 1u);
    EXPECT_TRUE(logged("catching 'Incorrect Parameter'"));
    EXPECT_TRUE(logged("refused \"file:///etc/passwd\""));

    // The time-out: a held response with 1500 ms times out after 1 s (real time on the network
    // thread), and a "timeout" of 1 to 999 ms is 1 s, never none.
    std::size_t mark = posts().size();
    peer(R"([["create","t1","morvix.HttpRequest",{}],["listen","t1",{"StateChange":1}],["call","t1","send",{"url":"/data/held","timeout":1500}]])");
    ASSERT_TRUE(waitFor([&] { return events("t1", mark).find("timeout") != std::string::npos; }));
    EXPECT_EQ(events("t1", mark), "loading headers timeout");
    EXPECT_EQ(MorvixHttpRequest::timeoutSeconds(Value(999)), 1.0);
    EXPECT_EQ(MorvixHttpRequest::timeoutSeconds(Value(1e300)), platform::URLRequest::kMaximumTimeoutInterval);
}

} // namespace
} // namespace morvix
