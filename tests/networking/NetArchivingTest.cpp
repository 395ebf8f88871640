#include "networking/NetArchiving.h"

#include "networking/NetCompoundResponseSerializer.h"
#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetHTTPRequestOperationManager.h"
#include "networking/NetImageResponseSerializer.h"
#include "networking/NetJSONRequestSerializer.h"
#include "networking/NetJSONResponseSerializer.h"
#include "networking/NetPropertyListRequestSerializer.h"
#include "networking/NetPropertyListResponseSerializer.h"
#include "networking/NetXMLParserResponseSerializer.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/MainLoop.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

using namespace morvix;
using namespace morvix::testing;
using namespace std::chrono_literals;
using morvix::platform::KeyedArchiver;
using morvix::platform::KeyedUnarchiver;
using morvix::platform::Url;
using morvix::platform::URLRequest;

namespace {

template<typename T>
std::shared_ptr<T> roundTrip(const platform::KeyedCoding& object)
{
    std::optional<platform::Error> error;
    auto decoded = KeyedUnarchiver::unarchivedObject<T>(KeyedArchiver::archivedDataWithRootObject(object), &error);
    EXPECT_FALSE(error) << error->failureReason().value_or("");
    return decoded;
}

// An archive of an operation written field by field, as a stored or forged one may be.
std::string operationArchive(const char* className, std::int64_t state, const std::function<void(KeyedArchiver&)>& more = {})
{
    struct Forged final : platform::KeyedCoding {
        std::string name;
        std::int64_t state = 0;
        std::function<void(KeyedArchiver&)> more;
        std::string archiveClassName() const override { return name; }
        void encodeWithCoder(KeyedArchiver& coder) const override
        {
            coder.encodeObject(NetArchivedURLRequest(URLRequest(Url::parse("http://127.0.0.1:1/x"))), "request");
            coder.encodeInt64(state, "state");
            coder.encodeInt64(0, "totalBytesRead");
            if (more)
                more(coder);
        }
    } forged;
    forged.name = className;
    forged.state = state;
    forged.more = more;
    return KeyedArchiver::archivedDataWithRootObject(forged);
}

class NetArchivingTest : public ::testing::Test {
protected:
    void SetUp() override { loop.resetForTesting(); }
    void TearDown() override
    {
        gate->open();
        server.stop();
        loop.resetForTesting();
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<TestGate> gate = std::make_shared<TestGate>();
    TestHttpServer server;
};

} // namespace

TEST_F(NetArchivingTest, SerializersAndTheManagerRoundTripAsTheirOwnClasses)
{
    auto json = NetJSONRequestSerializer::serializerWithWritingOptions(NetJSONRequestSerializer::kPrettyPrinted);
    json->setValueForHTTPHeaderField("t\u00e9", "X-Token");
    json->setValueForHTTPHeaderField(std::nullopt, "User-Agent");
    json->setQueryStringSerializationWithStyle(0);
    json->setTimeoutInterval(5); // a request setting: neither copied nor archived
    auto plistRequest = NetPropertyListRequestSerializer::serializerWithFormat(NetPropertyListFormat::Binary, 7);

    auto jsonResponse = NetJSONResponseSerializer::serializerWithReadingOptions(4);
    jsonResponse->setRemovesKeysWithNullValues(true);
    jsonResponse->setAcceptableStatusCodes(std::set<int> { 200, 404 });
    jsonResponse->setAcceptableContentTypes(std::nullopt);
    auto image = NetImageResponseSerializer::serializer();
    image->setImageScale(3);
    image->setAutomaticallyInflatesResponseImage(false);
    auto compound = NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        { jsonResponse, image, NetXMLParserResponseSerializer::serializer(),
            NetPropertyListResponseSerializer::serializerWithFormat(NetPropertyListFormat::Binary, 2) });

    auto manager = NetHTTPRequestOperationManager::create(Url::parse("http://h/app/"));
    manager->setRequestSerializer(json);
    manager->setResponseSerializer(compound);
    auto decoded = roundTrip<NetHTTPRequestOperationManager>(*manager);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "http://h/app/");

    auto decodedJSON = std::dynamic_pointer_cast<NetJSONRequestSerializer>(decoded->requestSerializer());
    ASSERT_TRUE(decodedJSON);
    EXPECT_EQ(decodedJSON->writingOptions(), NetJSONRequestSerializer::kPrettyPrinted);
    EXPECT_EQ(decodedJSON->HTTPRequestHeaders(), json->HTTPRequestHeaders());
    EXPECT_EQ(decodedJSON->timeoutInterval(), NetJSONRequestSerializer::serializer()->timeoutInterval());
    auto decodedPlist = roundTrip<NetHTTPRequestSerializer>(*plistRequest);
    ASSERT_TRUE(std::dynamic_pointer_cast<NetPropertyListRequestSerializer>(decodedPlist));
    EXPECT_EQ(std::static_pointer_cast<NetPropertyListRequestSerializer>(decodedPlist)->format(), NetPropertyListFormat::Binary);
    EXPECT_EQ(std::static_pointer_cast<NetPropertyListRequestSerializer>(decodedPlist)->writeOptions(), 7u);

    auto decodedCompound = std::dynamic_pointer_cast<NetCompoundResponseSerializer>(decoded->responseSerializer());
    ASSERT_TRUE(decodedCompound);
    const auto& members = decodedCompound->responseSerializers();
    ASSERT_EQ(members.size(), 4u);
    auto memberJSON = std::dynamic_pointer_cast<const NetJSONResponseSerializer>(members[0]);
    ASSERT_TRUE(memberJSON);
    EXPECT_EQ(memberJSON->readingOptions(), 4u);
    EXPECT_TRUE(memberJSON->removesKeysWithNullValues());
    EXPECT_EQ(memberJSON->acceptableStatusCodes(), (std::set<int> { 200, 404 }));
    EXPECT_FALSE(memberJSON->acceptableContentTypes()); // any content type, as archived
    auto memberImage = std::dynamic_pointer_cast<const NetImageResponseSerializer>(members[1]);
    ASSERT_TRUE(memberImage);
    EXPECT_EQ(memberImage->imageScale(), 3);
    EXPECT_FALSE(memberImage->automaticallyInflatesResponseImage());
    EXPECT_EQ(memberImage->acceptableContentTypes(), image->acceptableContentTypes());
    EXPECT_TRUE(std::dynamic_pointer_cast<const NetXMLParserResponseSerializer>(members[2]));
    auto memberPlist = std::dynamic_pointer_cast<const NetPropertyListResponseSerializer>(members[3]);
    ASSERT_TRUE(memberPlist);
    EXPECT_EQ(memberPlist->format(), NetPropertyListFormat::Binary);
    EXPECT_EQ(memberPlist->readOptions(), 2u);
}

TEST_F(NetArchivingTest, ArchivingPausesARunningOperationAndTheCopyOfAFinishedOneStartsAfresh)
{
    server.handle("/held", [this](const RecordedRequest&, ResponseWriter& writer) {
        writer.writeHead(200, { { "Transfer-Encoding", "chunked" }, { "Content-Type", "application/json" } });
        writer.writeChunk("[1,");
        writer.waitFor(*gate);
    });
    server.route("/done", TestResponse().withHeader("Content-Type", "application/json").withBody("[1,2]"));
    server.start();

    auto running = NetHTTPRequestOperation::create(URLRequest(Url::parse(server.url("/held"))));
    running->start();
    ASSERT_TRUE(loop.runUntil([&] { return running->totalBytesRead() > 0; }, 10s));
    auto archive = KeyedArchiver::archivedDataWithRootObject(*running);
    EXPECT_TRUE(running->isPaused());
    auto decodedRunning = KeyedUnarchiver::unarchivedObject<NetHTTPRequestOperation>(archive);
    ASSERT_TRUE(decodedRunning);
    EXPECT_TRUE(decodedRunning->isReady());

    auto finished = NetHTTPRequestOperation::create(URLRequest(Url::parse(server.url("/done"))));
    finished->setResponseSerializer(NetJSONResponseSerializer::serializer());
    finished->start();
    ASSERT_TRUE(loop.runUntil([&] { return finished->isFinished() && finished->totalBytesRead() == 5; }, 10s));
    auto decoded = roundTrip<NetURLConnectionOperation>(*finished);
    auto http = std::dynamic_pointer_cast<NetHTTPRequestOperation>(decoded);
    ASSERT_TRUE(http);
    // A finished state cannot follow ready: the operation is ready, with the archived results.
    EXPECT_TRUE(http->isReady());
    EXPECT_EQ(http->response()->statusCode(), 200);
    EXPECT_EQ(http->responseData(), "[1,2]");
    EXPECT_EQ(http->totalBytesRead(), 5);
    EXPECT_TRUE(std::dynamic_pointer_cast<NetJSONResponseSerializer>(http->responseSerializer()));
    EXPECT_EQ(http->request().url()->absoluteString(), server.url("/done"));

    auto copy = finished->copy();
    EXPECT_TRUE(copy->isReady());
    EXPECT_FALSE(copy->response());
}

TEST_F(NetArchivingTest, HostileOperationArchivesDecodeSafely)
{
    // An archive claiming a running operation gives a ready one, which runs to its end (here a
    // refused connection) instead of claiming to run forever.
    auto executing = KeyedUnarchiver::unarchivedObject<NetURLConnectionOperation>(operationArchive("NetURLConnectionOperation", 2));
    ASSERT_TRUE(executing);
    EXPECT_TRUE(executing->isReady());
    EXPECT_FALSE(executing->isExecuting());
    auto paused = KeyedUnarchiver::unarchivedObject<NetURLConnectionOperation>(operationArchive("NetURLConnectionOperation", -1));
    ASSERT_TRUE(paused);
    EXPECT_TRUE(paused->isPaused());

    auto refused = [](const std::string& archive) {
        std::optional<platform::Error> error;
        auto operation = KeyedUnarchiver::unarchivedObject<NetURLConnectionOperation>(archive, &error);
        EXPECT_TRUE(error);
        return !operation;
    };
    EXPECT_TRUE(refused(operationArchive("NetURLConnectionOperation", 7)));
    EXPECT_TRUE(refused(operationArchive("NetHTTPRequestSerializer", 1)));       // another class
    EXPECT_TRUE(refused(operationArchive("NetHTTPRequestOperation", 1, [](KeyedArchiver& coder) {
        coder.encodeObject(*NetHTTPRequestSerializer::serializer(), "responseSerializer"); // not a response serializer
    })));
    EXPECT_TRUE(refused(operationArchive("NetURLConnectionOperation", 1, [](KeyedArchiver& coder) {
        coder.encodeString("not an error", "error");
    })));
    // A header field that would split the request is refused, not sent.
    struct Injected final : platform::KeyedCoding {
        std::string archiveClassName() const override { return "URLRequest"; }
        void encodeWithCoder(KeyedArchiver& coder) const override
        {
            NetArchivedURLRequest(URLRequest(Url::parse("http://127.0.0.1:1/"))).encodeWithCoder(coder);
            coder.encodeValue(platform::Value::array({ platform::Value::array({ "X-A", "1\r\nHost: evil" }) }), "headers");
        }
    };
    EXPECT_TRUE(refused(operationArchive("NetURLConnectionOperation", 1, [](KeyedArchiver& coder) {
        coder.encodeObject(Injected(), "request");
    })));

    executing->start();
    ASSERT_TRUE(loop.runUntil([&] { return executing->isFinished(); }, 10s));
}
