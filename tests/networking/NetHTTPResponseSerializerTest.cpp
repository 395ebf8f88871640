#include "networking/NetCompoundResponseSerializer.h"
#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetJSONResponseSerializer.h"

#include "platform/net/HTTPURLResponse.h"

#include <gtest/gtest.h>

using namespace morvix;
using morvix::platform::Error;
using morvix::platform::HTTPHeaders;
using morvix::platform::HTTPURLResponse;
using morvix::platform::URLResponse;
using morvix::platform::Url;

namespace {

std::shared_ptr<const URLResponse> response(int status, std::optional<std::string> contentType = {},
    std::optional<std::string> url = "http://127.0.0.1/path")
{
    HTTPHeaders headers;
    if (contentType)
        headers.set("Content-Type", *contentType);
    return HTTPURLResponse::create(url ? Url::parse(*url) : std::nullopt, status, headers);
}

} // namespace

TEST(NetHTTPResponseSerializerTest, SuccessHandsTheRawBodyOn)
{
    auto serializer = NetHTTPResponseSerializer::serializer();
    std::string body = "raw \x01 bytes";
    std::optional<Error> error;
    std::any object = serializer->responseObjectForResponse(response(200), &body, &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(std::any_cast<std::string>(object), body);
    EXPECT_FALSE(serializer->responseObjectForResponse(response(200), nullptr, &error).has_value());
}

TEST(NetHTTPResponseSerializerTest, StatusOutsideTwoHundredsIsABadServerResponse)
{
    auto serializer = NetHTTPResponseSerializer::serializer();
    std::string body = "missing";
    for (int status : { 199, 300, 404, 500 }) {
        std::optional<Error> error;
        auto failing = response(status);
        EXPECT_FALSE(serializer->validateResponse(failing, &body, &error)) << status;
        ASSERT_TRUE(error) << status;
        EXPECT_TRUE(error->is(NetURLResponseSerializationErrorDomain, -1011));
        EXPECT_EQ(error->failingURL(), "http://127.0.0.1/path");
        auto kept = error->value<std::shared_ptr<const URLResponse>>(NetworkingOperationFailingURLResponseErrorKey);
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->get(), failing.get());
        ASSERT_TRUE(error->value<std::string>(NetworkingOperationFailingURLResponseDataErrorKey));
        EXPECT_EQ(*error->value<std::string>(NetworkingOperationFailingURLResponseDataErrorKey), body);
    }
    std::optional<Error> error;
    serializer->validateResponse(response(404), nullptr, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description(), "Request failed: " + HTTPURLResponse::localizedStringForStatusCode(404) + " (404)");
    EXPECT_FALSE(error->has(NetworkingOperationFailingURLResponseDataErrorKey));
}

TEST(NetHTTPResponseSerializerTest, ResponsesWithoutURLOrNotHTTPPassTheStatusCheck)
{
    auto serializer = NetHTTPResponseSerializer::serializer();
    std::optional<Error> error;
    EXPECT_TRUE(serializer->validateResponse(response(500, {}, std::nullopt), nullptr, &error));
    auto file = std::make_shared<URLResponse>(Url::parse("file:///tmp/x"), "text/plain", 3, std::nullopt);
    EXPECT_TRUE(serializer->validateResponse(file, nullptr, &error));
    EXPECT_TRUE(serializer->validateResponse(nullptr, nullptr, &error));
    EXPECT_FALSE(error);
}

TEST(NetHTTPResponseSerializerTest, ContentTypeRejectionNeedsABodyAndAURLToBeReported)
{
    auto serializer = NetHTTPResponseSerializer::serializer();
    serializer->setAcceptableContentTypes(std::set<std::string> { "application/json" });
    std::string empty;
    std::string body = "<html>";
    std::optional<Error> error = Error("earlier", 1);

    // Invalid but silent: the out-error is cleared, so an operation calls its success block.
    EXPECT_FALSE(serializer->validateResponse(response(200), &empty, &error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(serializer->validateResponse(response(200, "text/html", std::nullopt), &body, &error));
    EXPECT_FALSE(error);

    EXPECT_FALSE(serializer->validateResponse(response(200, "text/html; charset=utf-8"), &body, &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(NetURLResponseSerializationErrorDomain, -1016));
    EXPECT_EQ(error->description(), "Request failed: unacceptable content-type: text/html");
    EXPECT_FALSE(error->underlyingError());

    EXPECT_TRUE(serializer->validateResponse(response(201, "application/json"), &body, &error));
}

TEST(NetHTTPResponseSerializerTest, BothFailuresChainTheContentTypeUnderTheStatus)
{
    auto serializer = NetHTTPResponseSerializer::serializer();
    serializer->setAcceptableContentTypes(std::set<std::string> { "application/json" });
    std::string body = "<html>";
    std::optional<Error> error;
    serializer->validateResponse(response(503, "text/html"), &body, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), -1016);
    EXPECT_TRUE(NetErrorOrUnderlyingErrorHasCodeInDomain(error));
}

TEST(NetHTTPResponseSerializerTest, NoStatusSetMeansAnyStatus)
{
    auto serializer = NetHTTPResponseSerializer::serializer();
    serializer->setAcceptableStatusCodes(std::nullopt);
    std::optional<Error> error;
    EXPECT_TRUE(serializer->validateResponse(response(599), nullptr, &error));
    serializer->setAcceptableStatusCodes(std::set<int> { 418 });
    EXPECT_TRUE(serializer->validateResponse(response(418), nullptr, &error));
    EXPECT_FALSE(serializer->validateResponse(response(200), nullptr, &error));
}

TEST(NetHTTPResponseSerializerTest, CopiesCarryWhatEachClassSays)
{
    auto base = NetHTTPResponseSerializer::serializer();
    base->setAcceptableStatusCodes(std::set<int> { 299 });
    base->setAcceptableContentTypes(std::set<std::string> { "a/b" });
    base->setStringEncoding("ISO-8859-1");
    auto baseCopy = base->copy();
    EXPECT_EQ(baseCopy->acceptableStatusCodes(), base->acceptableStatusCodes());
    EXPECT_EQ(baseCopy->acceptableContentTypes(), base->acceptableContentTypes());
    EXPECT_EQ(baseCopy->stringEncoding(), "UTF-8");

    auto json = NetJSONResponseSerializer::serializerWithReadingOptions(NetJSONReadingAllowFragments);
    json->setRemovesKeysWithNullValues(true);
    json->setAcceptableStatusCodes(std::set<int> { 299 });
    auto jsonCopy = std::dynamic_pointer_cast<NetJSONResponseSerializer>(json->copy());
    ASSERT_TRUE(jsonCopy);
    EXPECT_EQ(jsonCopy->readingOptions(), NetJSONReadingAllowFragments);
    EXPECT_TRUE(jsonCopy->removesKeysWithNullValues());
    EXPECT_EQ(jsonCopy->acceptableStatusCodes()->size(), 100u); // the class's defaults
}

TEST(NetCompoundResponseSerializerTest, FirstMemberWithAnObjectWinsAndChainsTheEarlierError)
{
    auto json = NetJSONResponseSerializer::serializer();
    auto compound = NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers({ json, NetHTTPResponseSerializer::serializer() });
    std::string body = "{\"a\":1}";
    std::optional<Error> error = Error("earlier", 7);
    std::any object = compound->responseObjectForResponse(response(500, "application/json"), &body, &error);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(std::any_cast<platform::Value>(object)["a"], 1);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->domain(), "earlier");

    // The JSON member refuses HTML, so the raw member answers.
    std::string html = "<p>";
    error.reset();
    object = compound->responseObjectForResponse(response(200, "text/html"), &html, &error);
    EXPECT_EQ(std::any_cast<std::string>(object), html);
    EXPECT_FALSE(error);
}

TEST(NetCompoundResponseSerializerTest, WithoutAnAnswerItBehavesAsTheBase)
{
    struct Other final : NetURLResponseSerialization {
        std::any responseObjectForResponse(const std::shared_ptr<const URLResponse>&, const std::string*,
            std::optional<Error>*) const override
        {
            return std::string("never asked");
        }
    };
    auto compound = NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        { std::make_shared<Other>(), NetJSONResponseSerializer::serializer() });
    std::string body = "<p>";
    std::optional<Error> error;
    std::any object = compound->responseObjectForResponse(response(404, "text/html"), &body, &error);
    EXPECT_EQ(std::any_cast<std::string>(object), body); // the raw body, not the foreign member's
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011);
    EXPECT_EQ(compound->copy()->acceptableStatusCodes()->size(), 100u);
}
