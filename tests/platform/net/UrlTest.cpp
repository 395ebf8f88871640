#include "platform/net/Url.h"

#include "platform/net/HTTPHeaders.h"
#include "platform/net/HTTPURLResponse.h"

#include <gtest/gtest.h>

using namespace morvix::platform;

namespace {

std::string resolved(std::string_view reference)
{
    static const auto base = *Url::parse("http://a/b/c/d;p?q");
    auto url = Url::resolve(base, reference);
    return url ? url->absoluteString() : "(none)";
}

} // namespace

TEST(UrlTest, ResolvesTheNormalExamplesOfTheStandard)
{
    const std::pair<const char*, const char*> examples[] = {
        { "g:h", "g:h" }, { "g", "http://a/b/c/g" }, { "./g", "http://a/b/c/g" }, { "g/", "http://a/b/c/g/" },
        { "/g", "http://a/g" }, { "//g", "http://g" }, { "?y", "http://a/b/c/d;p?y" }, { "g?y", "http://a/b/c/g?y" },
        { "#s", "http://a/b/c/d;p?q#s" }, { "g#s", "http://a/b/c/g#s" }, { "g?y#s", "http://a/b/c/g?y#s" },
        { ";x", "http://a/b/c/;x" }, { "g;x", "http://a/b/c/g;x" }, { "g;x?y#s", "http://a/b/c/g;x?y#s" },
        { "", "http://a/b/c/d;p?q" }, { ".", "http://a/b/c/" }, { "./", "http://a/b/c/" }, { "..", "http://a/b/" },
        { "../", "http://a/b/" }, { "../g", "http://a/b/g" }, { "../..", "http://a/" }, { "../../", "http://a/" },
        { "../../g", "http://a/g" },
    };
    for (const auto& [reference, expected] : examples)
        EXPECT_EQ(resolved(reference), expected) << reference;
}

TEST(UrlTest, ResolvesTheAbnormalExamplesOfTheStandard)
{
    const std::pair<const char*, const char*> examples[] = {
        { "../../../g", "http://a/g" }, { "../../../../g", "http://a/g" }, { "/./g", "http://a/g" }, { "/../g", "http://a/g" },
        { "g.", "http://a/b/c/g." }, { ".g", "http://a/b/c/.g" }, { "g..", "http://a/b/c/g.." }, { "..g", "http://a/b/c/..g" },
        { "./../g", "http://a/b/g" }, { "./g/.", "http://a/b/c/g/" }, { "g/./h", "http://a/b/c/g/h" }, { "g/../h", "http://a/b/c/h" },
        { "g;x=1/./y", "http://a/b/c/g;x=1/y" }, { "g;x=1/../y", "http://a/b/c/y" }, { "g?y/./x", "http://a/b/c/g?y/./x" },
        { "g?y/../x", "http://a/b/c/g?y/../x" }, { "g#s/./x", "http://a/b/c/g#s/./x" }, { "g#s/../x", "http://a/b/c/g#s/../x" },
        { "http:g", "http:g" },
    };
    for (const auto& [reference, expected] : examples)
        EXPECT_EQ(resolved(reference), expected) << reference;
}

TEST(UrlTest, KeepsTheTextItWasGivenAndRefusesIllegalCharacters)
{
    EXPECT_EQ(Url::parse("http://h")->absoluteString(), "http://h");
    EXPECT_EQ(Url::parse("http://h")->path(), "");
    EXPECT_EQ(Url::parse("HTTP://User:pw@[::1]:8080/p%20q?x#f")->scheme(), "http");
    auto full = *Url::parse("http://user:pw@[::1]:8080/p%20q?x#f");
    EXPECT_EQ(full.host(), "::1");
    EXPECT_EQ(full.port(), 8080);
    EXPECT_EQ(full.user(), "user");
    EXPECT_EQ(full.path(), "/p%20q");
    EXPECT_EQ(full.query(), "x");
    EXPECT_EQ(full.fragment(), "f");
    EXPECT_EQ(Url::parse("https://h")->effectivePort(), 443);
    for (const char* bad : { "http://h/a b", "http://h/\"", "http://h/<", "http://h/\xC3\xA9", "http://h:99999/", "http://h:x/" })
        EXPECT_FALSE(Url::parse(bad)) << bad;
    EXPECT_EQ(Url::parse("http://h/a?q")->appendingEmptyComponent().absoluteString(), "http://h/a/?q");
    EXPECT_EQ(Url::parse("http://h/a/")->appendingEmptyComponent().absoluteString(), "http://h/a/");
}

TEST(UrlTest, DecodedPathUndoesEveryEscapeAndRefusesMalformedOnesAndNul)
{
    auto decoded = [](const char* text) { return Url::parse(text)->decodedPath(); };
    EXPECT_EQ(decoded("file:///tmp/a%20b.js"), "/tmp/a b.js");
    EXPECT_EQ(decoded("file:///tmp/a%41"), "/tmp/aA"); // an escape that ends the path
    EXPECT_EQ(decoded("file:///tmp/%C3%A9t%c3%a9"), "/tmp/\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(decoded("file:///tmp/plain"), "/tmp/plain");
    EXPECT_EQ(decoded("file:///tmp/x.js%00.png"), std::nullopt);
    EXPECT_EQ(decoded("file:///tmp/a%2"), std::nullopt);
    EXPECT_EQ(decoded("file:///tmp/a%"), std::nullopt);
    EXPECT_EQ(decoded("file:///tmp/a%zz"), std::nullopt);
}

TEST(HTTPHeadersTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling)
{
    HTTPHeaders headers;
    headers.set("Content-Type", "a");
    headers.set("content-type", "b");
    headers.add("X-List", "1");
    headers.add("x-list", "2");
    EXPECT_EQ(headers.value("CONTENT-TYPE"), "b");
    EXPECT_EQ(headers.fields().front().first, "Content-Type");
    EXPECT_EQ(headers.value("X-List"), "1, 2");
    headers.remove("x-LIST");
    headers.remove("absent");
    EXPECT_EQ(headers.size(), 1u);
}

TEST(HTTPURLResponseTest, StatusPhrasesFollowTheStandardTable)
{
    // As Python's http.HTTPStatus gives them.
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(200), "OK");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(404), "Not Found");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(418), "I'm a Teapot");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(199), "Informational");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(299), "Success");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(399), "Redirection");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(499), "Client Error");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(599), "Server Error");
}
