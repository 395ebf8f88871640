#include "networking/NetHTTPRequestOperationManager.h"
#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetMultipartBodyStream.h"
#include "networking/NetStreamingMultipartFormData.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/FileInputStream.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace morvix;
using namespace std::chrono_literals;
using morvix::platform::Error;
using morvix::platform::Url;
using morvix::platform::Value;
using morvix::testing::TestHttpServer;
using morvix::testing::TestResponse;

namespace {

std::string readAll(platform::InputStream& stream, std::size_t chunk)
{
    stream.open();
    std::string bytes;
    std::string buffer(chunk, '\0');
    for (;;) {
        long got = stream.read(buffer.data(), chunk);
        if (got <= 0)
            break;
        bytes.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return bytes;
}

/// Gives `good` bytes, then fails.
class FailingStream final : public platform::InputStream {
public:
    long read(char* buffer, std::size_t capacity) override
    {
        if (m_sent) {
            fail(Error("test.stream", 7, "disk gone"));
            return -1;
        }
        m_sent = true;
        auto count = std::min<std::size_t>(capacity, 3);
        std::memcpy(buffer, "abc", count);
        return static_cast<long>(count);
    }

private:
    bool m_sent = false;
};

class NetMultipartFormDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        std::string pattern = (std::filesystem::temp_directory_path() / "morvix-multipart-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        directory = pattern;
        server.route("/api/echo", TestResponse().withHeader("Content-Type", "application/json").withBody("{}"));
        server.route("/api/moved", TestResponse().withStatus(307).withHeader("Location", "/api/echo"));
        server.start();
        manager = NetHTTPRequestOperationManager::create(Url::parse(server.url("/api")));
    }
    void TearDown() override
    {
        server.stop();
        std::filesystem::remove_all(directory);
        loop.resetForTesting();
    }

    std::filesystem::path writeFile(const std::string& name, const std::string& contents)
    {
        auto path = directory / name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }

    /// Uploads with `build` through the manager; the error when it failed.
    std::optional<Error> upload(const std::string& path, const std::optional<Value>& parameters,
        const std::function<void(NetMultipartFormData&)>& build)
    {
        std::optional<Error> failure;
        bool done = false;
        auto operation = manager->POST(path, parameters, build, [&](const auto&, const std::any&) { done = true; },
            [&](const auto&, const Error& error) { failure = error; done = true; });
        EXPECT_TRUE(operation);
        EXPECT_TRUE(loop.runUntil([&] { return done; }, 20s));
        return failure;
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    std::filesystem::path directory;
    TestHttpServer server;
    std::shared_ptr<NetHTTPRequestOperationManager> manager;
};

std::string part(const std::string& boundary, bool first, const std::string& headers, const std::string& body)
{
    return (first ? "" : "\r\n") + ("--" + boundary + "\r\n") + headers + "\r\n" + body;
}

} // namespace

TEST_F(NetMultipartFormDataTest, ExactBytesAtAnyReadSizeAndAnEmptyFormIsThePlainRequest)
{
    NetStreamingMultipartFormData form(platform::URLRequest(Url::parse("http://h/")), platform::kUTF8StringEncoding);
    EXPECT_EQ(form.boundary().size(), 25u);
    EXPECT_EQ(form.boundary().rfind("Boundary+", 0), 0u);
    auto empty = form.requestByFinalizingMultipartFormData();
    EXPECT_FALSE(empty.bodyStream());
    EXPECT_FALSE(empty.valueForHeader("Content-Type"));
    EXPECT_FALSE(empty.valueForHeader("Content-Length"));

    form.appendPartWithFormData("1", "a");
    form.setBoundary("B");
    auto one = form.requestByFinalizingMultipartFormData();
    const std::string expected = "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--B--\r\n";
    EXPECT_EQ(readAll(*one.bodyStream(), 4096), expected);
    EXPECT_EQ(one.valueForHeader("Content-Type"), "multipart/form-data; boundary=B");
    EXPECT_EQ(one.valueForHeader("Content-Length"), std::to_string(expected.size()));

    form.appendPartWithFileData("xyz", "f\"\r\n", "n\"a\rm\ne.txt", "text/plain");
    auto two = form.requestByFinalizingMultipartFormData();
    const std::string both = part("B", true, "Content-Disposition: form-data; name=\"a\"\r\n", "1")
        + part("B", false, "Content-Disposition: form-data; name=\"f%22%0D%0A\"; filename=\"n%22a%0Dm%0Ae.txt\"\r\nContent-Type: text/plain\r\n", "xyz")
        + "\r\n--B--\r\n";
    for (std::size_t chunk : { 1, 3, 7, 4096 }) {
        // Reopening restarts from the first part.
        two.bodyStream()->close();
        EXPECT_EQ(readAll(*two.bodyStream(), chunk), both) << chunk;
    }
    EXPECT_EQ(two.valueForHeader("Content-Length"), std::to_string(both.size()));
    char byte;
    two.bodyStream()->close();
    EXPECT_EQ(two.bodyStream()->read(&byte, 1), 0) << "a closed stream answers 0";
}

TEST_F(NetMultipartFormDataTest, UploadThroughTheManagerArrivesByteForByteAndRedirectsReplayIt)
{
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 131) ^ (i >> 9));
    auto photo = writeFile("photo.jpg", large);
    auto odd = writeFile("we\"ird\r\nX-Injected: 1.bin", "odd");
    auto parameters = Value::parse(R"({"b":[1,2],"a":{"y":"q r","x":null},"n":2.5})");

    struct Case {
        std::string path;
        bool withStream;
    };
    for (auto [path, withStream] : { Case { "echo", true }, Case { "moved", false }, Case { "moved", true } }) {
        std::string boundary;
        auto before = server.requestCount();
        auto failure = upload(path, parameters, [&](NetMultipartFormData& form) {
            std::optional<Error> error;
            EXPECT_TRUE(form.appendPartWithFileURL(Url::fileURL(photo.string()), "photo", &error));
            EXPECT_TRUE(form.appendPartWithFileURL(Url::fileURL(odd.string()), "odd", &error));
            if (withStream)
                form.appendPartWithInputStream(platform::DataInputStream::create("streamed"), "s", "s.txt", 8, "text/plain");
            boundary = static_cast<NetStreamingMultipartFormData&>(form).boundary();
        });
        if (path == "moved" && withStream) {
            // A caller's stream is read once: the redirect fails instead of sending a body again.
            ASSERT_TRUE(failure);
            EXPECT_EQ(server.requestCount(), before + 1);
            break;
        }
        ASSERT_FALSE(failure) << failure->description();
        auto recorded = server.requests().back();
        EXPECT_EQ(recorded.path, "/api/echo");
        auto field = [&](bool first, const std::string& name, const std::string& value) {
            return part(boundary, first, "Content-Disposition: form-data; name=\"" + name + "\"\r\n", value);
        };
        std::string expected = field(true, "a[x]", "") + field(false, "a[y]", "q r") + field(false, "b[]", "1")
            + field(false, "b[]", "2") + field(false, "n", "2.5")
            + part(boundary, false, "Content-Disposition: form-data; name=\"photo\"; filename=\"photo.jpg\"\r\nContent-Type: image/jpeg\r\n", large)
            + part(boundary, false, "Content-Disposition: form-data; name=\"odd\"; filename=\"we%22ird%0D%0AX-Injected: 1.bin\"\r\n"
                "Content-Type: application/octet-stream\r\n", "odd")
            + (withStream ? part(boundary, false, "Content-Disposition: form-data; name=\"s\"; filename=\"s.txt\"\r\nContent-Type: text/plain\r\n", "streamed") : "")
            + "\r\n--" + boundary + "--\r\n";
        EXPECT_EQ(recorded.header("Content-Length"), std::to_string(expected.size()));
        EXPECT_EQ(recorded.header("Content-Type"), "multipart/form-data; boundary=" + boundary);
        ASSERT_EQ(recorded.body.size(), expected.size());
        EXPECT_TRUE(recorded.body == expected);
        EXPECT_EQ(server.requestCount(), before + (path == "moved" ? 2 : 1));
    }
}

TEST_F(NetMultipartFormDataTest, FailingPartsFailTheUploadAndBadFilesAreRefused)
{
    auto before = server.requestCount();
    auto error = upload("echo", std::nullopt, [](NetMultipartFormData& form) {
        form.appendPartWithFormData("v", "f");
        form.appendPartWithInputStream(std::make_shared<FailingStream>(), "s", "s", 100, "text/plain");
    });
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is("test.stream", 7)) << error->description();

    // A stream that ends before its declared length fails too instead of cutting the body short.
    error = upload("echo", std::nullopt, [](NetMultipartFormData& form) {
        form.appendPartWithInputStream(platform::DataInputStream::create("ab"), "s", "s", 5, "text/plain");
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NetURLRequestSerializationErrorDomain);
    EXPECT_LE(server.requestCount(), before + 2);

    NetStreamingMultipartFormData form(platform::URLRequest(Url::parse("http://h/")), platform::kUTF8StringEncoding);
    std::optional<Error> refused;
    EXPECT_FALSE(form.appendPartWithFileURL(*Url::parse("http://h/x.jpg"), "f", &refused));
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->is(NetURLRequestSerializationErrorDomain, -1000));
    EXPECT_EQ(refused->failureReason(), "Expected URL to be a file URL");
    refused.reset();
    EXPECT_FALSE(form.appendPartWithFileURL(Url::fileURL((directory / "missing.jpg").string()), "f", &refused));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->failureReason(), "File URL not reachable.");
    EXPECT_TRUE(form.bodyStream()->isEmpty());

    // A file that vanishes after it was appended fails the read with the system's reason.
    auto gone = writeFile("gone.txt", "soon gone");
    EXPECT_TRUE(form.appendPartWithFileURL(Url::fileURL(gone.string()), "f", nullptr));
    std::filesystem::remove(gone);
    auto request = form.requestByFinalizingMultipartFormData();
    auto& stream = *request.bodyStream();
    stream.open();
    char buffer[4096];
    EXPECT_EQ(stream.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(stream.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(stream.streamStatus(), platform::StreamStatus::Error);
    ASSERT_TRUE(stream.streamError());
    EXPECT_TRUE(stream.streamError()->is(platform::POSIXErrorDomain, ENOENT));
}

TEST_F(NetMultipartFormDataTest, WritingTheBodyToAFileAndThrottling)
{
    auto contents = std::string(40000, 'z');
    auto source = writeFile("source.bin", contents);
    auto build = [&] {
        auto request = NetHTTPRequestSerializer::serializer()->multipartFormRequestWithMethod("POST", "http://h/", Value { { "k", "v" } },
            [&](NetMultipartFormData& form) {
                form.appendPartWithFileURL(Url::fileURL(source.string()), "file", nullptr);
                form.appendPartWithFileData(std::string(10000, 'd'), "d", "d.bin", "application/octet-stream");
            }, nullptr);
        return *request;
    };
    auto expectedOf = [](const platform::URLRequest& request) {
        return readAll(*std::static_pointer_cast<NetMultipartBodyStream>(request.bodyStream())->copy(), 512);
    };
    auto request = build();
    auto expected = expectedOf(request);
    ASSERT_EQ(std::to_string(expected.size()), request.valueForHeader("Content-Length"));

    struct Outcome {
        bool called = false;
        bool onMain = false;
        std::optional<Error> error;
    };
    auto write = [&](const platform::URLRequest& request, const std::string& path) {
        auto outcome = std::make_shared<Outcome>();
        auto stripped = NetHTTPRequestSerializer::requestWithMultipartFormRequest(request, Url::fileURL(path),
            [outcome](const std::optional<Error>& error) {
                outcome->called = true;
                outcome->onMain = platform::isMainThread();
                outcome->error = error;
            });
        EXPECT_FALSE(stripped.bodyStream());
        EXPECT_TRUE(loop.runUntil([&] { return outcome->called; }, 10s));
        EXPECT_TRUE(outcome->onMain);
        return outcome->error;
    };
    auto target = directory / "body.out";
    EXPECT_FALSE(write(request, target.string()));
    std::ifstream in(target, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(written == expected);

    auto full = write(build(), "/dev/full");
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->is(platform::POSIXErrorDomain, ENOSPC)) << full->description();

    // Throttled reads stop once a packet is placed; the delay is asked of the reader.
    EXPECT_EQ(kAFUploadStream3GSuggestedPacketSize, 16384u);
    EXPECT_EQ(kAFUploadStream3GSuggestedDelay, 0.2);
    auto throttled = std::static_pointer_cast<NetMultipartBodyStream>(build().bodyStream());
    throttled->setNumberOfBytesInPacket(kAFUploadStream3GSuggestedPacketSize);
    throttled->setDelay(kAFUploadStream3GSuggestedDelay);
    expected = readAll(*throttled->copy(), 512);
    throttled->open();
    std::string buffer(1 << 20, '\0');
    std::string all;
    for (long got; (got = throttled->read(buffer.data(), buffer.size())) > 0;) {
        if (throttled->streamStatus() != platform::StreamStatus::AtEnd) {
            EXPECT_GE(got, 16384);
        }
        EXPECT_GT(throttled->delayBeforeNextRead(), 0);
        all.append(buffer.data(), static_cast<std::size_t>(got));
    }
    EXPECT_EQ(all.size(), expected.size());
    EXPECT_TRUE(all == expected);
}
