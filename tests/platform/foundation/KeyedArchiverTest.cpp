#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <gtest/gtest.h>

#include <plist/plist.h>

using namespace morvix::platform;

namespace {

// A small class tree for the coder: a shape, and a circle registered as a kind of shape.
class Shape : public KeyedCoding {
public:
    static constexpr const char* kArchiveClassName = "TestShape";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeString(name, "name"); }
    std::string name;
};

class Circle final : public Shape {
public:
    static constexpr const char* kArchiveClassName = "TestCircle";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        Shape::encodeWithCoder(coder);
        coder.encodeDouble(radius, "radius");
        if (inner)
            coder.encodeObject(*inner, "inner");
    }
    double radius = 0;
    std::shared_ptr<Shape> inner;
};

// Never registered as a shape.
class Stranger final : public KeyedCoding {
public:
    static constexpr const char* kArchiveClassName = "TestStranger";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeString("x", "name"); }
};

class KeyedArchiverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        KeyedUnarchiver::registerClass(Shape::kArchiveClassName, "", [](KeyedUnarchiver& coder) -> std::shared_ptr<KeyedCoding> {
            auto shape = std::make_shared<Shape>();
            shape->name = coder.decodeString("name").value_or("");
            return shape;
        });
        KeyedUnarchiver::registerClass(Circle::kArchiveClassName, Shape::kArchiveClassName, [](KeyedUnarchiver& coder) -> std::shared_ptr<KeyedCoding> {
            auto circle = std::make_shared<Circle>();
            circle->name = coder.decodeString("name").value_or("");
            circle->radius = coder.decodeDouble("radius").value_or(0);
            if (coder.contains("inner"))
                circle->inner = coder.decodeObject<Shape>("inner");
            return circle;
        });
        KeyedUnarchiver::registerClass(Stranger::kArchiveClassName, "", [](KeyedUnarchiver&) { return std::make_shared<Stranger>(); });
    }
};

} // namespace

TEST_F(KeyedArchiverTest, ValuesAndObjectsRoundTrip)
{
    auto inner = std::make_shared<Shape>();
    inner->name = "caf\u00e9 \xF0\x9F\x98\x80"; // written as UTF-16, with a surrogate pair
    Circle circle;
    circle.name = "outer";
    circle.radius = 2.5;
    circle.inner = inner;
    Error underlying("lower", 7, "below");
    Error error("upper", -1011, "The server said no.", "because");
    error.setFailingURL("http://h/x");
    error.setUnderlyingError(underlying);
    error.set("dropped", 5);

    KeyedArchiver archiver;
    archiver.encodeObject(circle, "shape");
    archiver.encodeError(error, "error");
    archiver.encodeBool(true, "flag");
    archiver.encodeInt64(-5, "negative");
    archiver.encodeInt64(INT64_MAX, "largest");
    archiver.encodeDouble(0.1, "fraction");
    archiver.encodeString("", "empty");
    archiver.encodeData(std::string("a\0b", 3), "bytes");
    archiver.encodeValue(Value { { "list", { 1, "two", nullptr, false } }, { "map", Value::object() } }, "value");

    KeyedUnarchiver unarchiver(archiver.encodedData());
    auto decoded = unarchiver.decodeObject<Shape>("shape");
    auto decodedCircle = std::dynamic_pointer_cast<Circle>(decoded);
    ASSERT_TRUE(decodedCircle);
    EXPECT_EQ(decodedCircle->name, "outer");
    EXPECT_EQ(decodedCircle->radius, 2.5);
    ASSERT_TRUE(decodedCircle->inner);
    EXPECT_EQ(decodedCircle->inner->name, inner->name);
    auto decodedError = unarchiver.decodeError("error");
    ASSERT_TRUE(decodedError);
    EXPECT_TRUE(decodedError->is("upper", -1011));
    EXPECT_EQ(decodedError->description(), "The server said no.");
    EXPECT_EQ(decodedError->failureReason(), "because");
    EXPECT_EQ(decodedError->failingURL(), "http://h/x");
    ASSERT_TRUE(decodedError->underlyingError());
    EXPECT_TRUE(decodedError->underlyingError()->is("lower", 7));
    EXPECT_FALSE(decodedError->has("dropped"));
    EXPECT_EQ(unarchiver.decodeBool("flag"), true);
    EXPECT_EQ(unarchiver.decodeInt64("negative"), -5);
    EXPECT_EQ(unarchiver.decodeInt64("largest"), INT64_MAX);
    EXPECT_EQ(unarchiver.decodeDouble("fraction"), 0.1);
    EXPECT_EQ(unarchiver.decodeDouble("negative"), -5.0); // integers read as numbers too
    EXPECT_EQ(unarchiver.decodeString("empty"), "");
    EXPECT_EQ(unarchiver.decodeData("bytes"), std::string("a\0b", 3));
    EXPECT_EQ(unarchiver.decodeValue("value"), (Value { { "list", { 1, "two", nullptr, false } }, { "map", Value::object() } }));
    EXPECT_FALSE(unarchiver.error());
    EXPECT_FALSE(unarchiver.contains("missing"));
}

TEST_F(KeyedArchiverTest, SecureDecodingRefusesOtherClassesMissingKeysAndWrongKinds)
{
    KeyedArchiver archiver;
    Shape shape;
    archiver.encodeObject(shape, "shape");
    archiver.encodeObject(Stranger(), "stranger");
    archiver.encodeString("text", "text");
    archiver.encodeDouble(1.5, "fraction");
    archiver.encodeValue(Value { { "$class", "TestNobody" } }, "forged");
    auto archive = archiver.encodedData();

    auto expectRefused = [&](auto decode) {
        KeyedUnarchiver unarchiver(archive);
        EXPECT_FALSE(decode(unarchiver));
        ASSERT_TRUE(unarchiver.error());
        EXPECT_EQ(unarchiver.error()->domain(), KeyedArchiveErrorDomain);
        EXPECT_EQ(unarchiver.error()->code(), kKeyedArchiveValueError);
    };
    // A base class is not its subclass; an unregistered class and an unrelated one are refused.
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeObject<Circle>("shape"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeObject<Shape>("stranger"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeObject<Shape>("forged"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeObject<Shape>("text"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeObject<Shape>("missing"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeError("shape"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeInt64("fraction"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeInt64("text"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeString("fraction"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeData("text"); });
    expectRefused([](KeyedUnarchiver& coder) { return coder.decodeBool("missing"); });

    auto root = KeyedUnarchiver::unarchivedObject<Shape>(KeyedArchiver::archivedDataWithRootObject(shape));
    EXPECT_TRUE(root);
    std::optional<Error> error;
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Circle>(KeyedArchiver::archivedDataWithRootObject(shape), &error));
    EXPECT_TRUE(error);
}

TEST_F(KeyedArchiverTest, CorruptedTruncatedAndHostileArchivesDecodeToNothing)
{
    Circle circle;
    circle.name = "n\u00e9";
    circle.radius = 1;
    circle.inner = std::make_shared<Shape>();
    auto archive = KeyedArchiver::archivedDataWithRootObject(circle);
    ASSERT_TRUE(KeyedUnarchiver::unarchivedObject<Shape>(archive));
    // Every truncation and every single-byte change either decodes or fails with an error.
    for (std::size_t length = 0; length < archive.size(); ++length) {
        std::optional<Error> error;
        EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Shape>(archive.substr(0, length), &error));
        EXPECT_TRUE(error);
    }
    for (std::size_t at = 0; at < archive.size(); ++at) {
        for (int flip : { 0x01, 0x10, 0x80, 0xFF }) {
            auto changed = archive;
            changed[at] = static_cast<char>(changed[at] ^ flip);
            std::optional<Error> error;
            auto object = KeyedUnarchiver::unarchivedObject<Shape>(changed, &error);
            EXPECT_NE(static_cast<bool>(object), static_cast<bool>(error));
        }
    }
    EXPECT_TRUE(KeyedUnarchiver(std::string_view("garbage")).error());

    // Nesting far deeper than any archive needs, written by libplist itself.
    plist_t root = plist_new_dict();
    plist_t level = plist_new_array();
    plist_dict_set_item(root, "deep", level);
    for (int depth = 0; depth < 5000; ++depth) {
        plist_t next = plist_new_array();
        plist_array_append_item(level, next);
        level = next;
    }
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    KeyedUnarchiver deep(std::string_view(bytes, length));
    plist_to_bin_free(bytes);
    plist_free(root);
    EXPECT_TRUE(deep.error());
    EXPECT_FALSE(deep.decodeValue("deep"));
}
