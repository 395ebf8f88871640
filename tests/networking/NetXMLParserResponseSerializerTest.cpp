#include "networking/XMLParser.h"

#include "tests/networking/SerializerTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace morvix;
using morvix::testing::fixture;
using morvix::testing::responseWithContentType;

namespace {

struct RecordingDelegate final : XMLParserDelegate {
    void didStartElement(XMLParser&, const std::string& name, const std::map<std::string, std::string>& attributes) override
    {
        events.push_back("<" + name + (attributes.count("id") ? "#" + attributes.at("id") : ""));
    }
    void didEndElement(XMLParser&, const std::string& name) override { events.push_back(">" + name); }
    void foundCharacters(XMLParser&, const std::string& text) override { characters += text; }
    void parseErrorOccurred(XMLParser&, const platform::Error&) override { ++errors; }

    std::vector<std::string> events;
    std::string characters;
    int errors = 0;
};

} // namespace

TEST(XMLParserTest, ReportsElementsAndTextOfADocumentFormattedByXmllint)
{
    XMLParser parser(fixture("sample.xml"));
    auto delegate = std::make_shared<RecordingDelegate>();
    parser.setDelegate(delegate);
    EXPECT_TRUE(parser.parse());
    EXPECT_EQ(delegate->events, (std::vector<std::string> { "<catalog", "<item#1", ">item", "<item#2", ">item", ">catalog" }));
    EXPECT_NE(delegate->characters.find("second & third"), std::string::npos);
    EXPECT_EQ(delegate->errors, 0);
    EXPECT_FALSE(parser.parserError());
}

TEST(XMLParserTest, MalformedDocumentsReportOneError)
{
    for (std::string text : { "", "<a>", "<a></b>", "plain", "<a x=1/>" }) {
        XMLParser parser(text);
        auto delegate = std::make_shared<RecordingDelegate>();
        parser.setDelegate(delegate);
        EXPECT_FALSE(parser.parse()) << text;
        EXPECT_EQ(delegate->errors, 1) << text;
        ASSERT_TRUE(parser.parserError()) << text;
        EXPECT_EQ(parser.parserError()->domain(), XMLParser::kErrorDomain);
    }
}

TEST(XMLParserTest, DeclaredEntitiesAreNeverExpanded)
{
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
                         "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
                         "<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
                         "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>"
                         "<lolz>&lol3;</lolz>";
    XMLParser parser(laughs);
    auto delegate = std::make_shared<RecordingDelegate>();
    parser.setDelegate(delegate);
    parser.parse();
    EXPECT_EQ(delegate->characters.find("lol"), std::string::npos) << delegate->characters.substr(0, 80);
}

TEST(XMLParserTest, ExternalEntitiesAreNotLoaded)
{
    auto secret = std::filesystem::temp_directory_path() / "morvix-xml-secret.txt";
    std::ofstream(secret) << "SECRET";
    std::string text = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + secret.string()
        + "\">]><a>&x;</a>";
    XMLParser parser(text);
    auto delegate = std::make_shared<RecordingDelegate>();
    parser.setDelegate(delegate);
    parser.parse();
    EXPECT_EQ(delegate->characters.find("SECRET"), std::string::npos);
    std::filesystem::remove(secret);
}

TEST(XMLParserTest, TruncatedAndCorruptedDocumentsNeverCrash)
{
    std::string document = fixture("sample.xml");
    std::mt19937 random(7);
    for (std::size_t length = 0; length < document.size(); ++length)
        XMLParser(document.substr(0, length)).parse();
    for (int round = 0; round < 2000; ++round) {
        std::string mutated = document;
        for (int flips = 0; flips < 3; ++flips)
            mutated[random() % mutated.size()] = static_cast<char>(random());
        XMLParser parser(mutated);
        auto delegate = std::make_shared<RecordingDelegate>();
        parser.setDelegate(delegate);
        parser.parse();
    }
    XMLParser deep(std::string(100000, '<') + "a>");
    EXPECT_FALSE(deep.parse());
    std::string nested;
    for (int depth = 0; depth < 5000; ++depth)
        nested += "<a>";
    EXPECT_FALSE(XMLParser(nested).parse());
}

// The serializer --------------------------------------------------------------------------------

#include "networking/NetXMLParserResponseSerializer.h"

TEST(NetXMLParserResponseSerializerTest, HandsBackAParserThatHasNotRunYet)
{
    auto serializer = NetXMLParserResponseSerializer::serializer();
    auto response = responseWithContentType(200, "text/xml; charset=utf-8");
    std::string body = fixture("sample.xml");
    std::optional<platform::Error> error;
    std::any object = serializer->responseObjectForResponse(response, &body, &error);
    ASSERT_TRUE(object.has_value());
    auto parser = std::any_cast<std::shared_ptr<XMLParser>>(object);
    auto delegate = std::make_shared<RecordingDelegate>();
    parser->setDelegate(delegate);
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(delegate->events.size(), 6u);

    auto json = responseWithContentType(200, "application/json");
    EXPECT_FALSE(serializer->responseObjectForResponse(json, &body, &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1016);
}
