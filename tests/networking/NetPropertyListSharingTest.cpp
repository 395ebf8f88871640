// Binary property lists whose containers share members: what a shared member expands to is
// bounded before the list is parsed, and lists that share modestly still read in full.

#include "networking/NetJSONReading.h"
#include "networking/NetPropertyListReading.h"
#include "networking/NetPropertyListResponseSerializer.h"

#include "tests/networking/SerializerTestSupport.h"

#include <gtest/gtest.h>

#include <any>
#include <cstdint>
#include <string>
#include <vector>

using namespace morvix;
using morvix::platform::Error;
using morvix::platform::Value;

namespace {

// Writes a binary property list object by object.
class BinaryListWriter {
public:
    explicit BinaryListWriter(int offsetSize = 4, int referenceSize = 2)
        : m_offsetSize(offsetSize)
        , m_referenceSize(referenceSize)
    {
    }
    // Adds an object (its marker and contents) and gives its index.
    std::uint64_t add(std::string object)
    {
        m_objects.push_back(std::move(object));
        return m_objects.size() - 1;
    }
    std::string array(const std::vector<std::uint64_t>& members) const { return container(0xA0, members); }
    // Keys first, then values, as the format lays a dictionary out.
    std::string dictionary(const std::vector<std::uint64_t>& keys, const std::vector<std::uint64_t>& values) const
    {
        std::vector<std::uint64_t> members = keys;
        members.insert(members.end(), values.begin(), values.end());
        return container(0xD0, members, keys.size());
    }
    static std::string ascii(const std::string& text) { return marker(0x50, text.size()) + text; }
    static std::string data(const std::string& bytes) { return marker(0x40, bytes.size()) + bytes; }
    static std::string integer(std::uint8_t value) { return std::string { '\x10', static_cast<char>(value) }; }

    std::string finish(std::uint64_t top) const
    {
        std::string bytes = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const auto& object : m_objects) {
            offsets.push_back(bytes.size());
            bytes += object;
        }
        std::uint64_t table = bytes.size();
        for (auto offset : offsets)
            append(bytes, offset, m_offsetSize);
        bytes += std::string(6, '\0');
        bytes += static_cast<char>(m_offsetSize);
        bytes += static_cast<char>(m_referenceSize);
        append(bytes, m_objects.size(), 8);
        append(bytes, top, 8);
        append(bytes, table, 8);
        return bytes;
    }

private:
    static void append(std::string& bytes, std::uint64_t value, int size)
    {
        for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
            bytes += static_cast<char>((value >> shift) & 0xff);
    }
    static std::string marker(unsigned type, std::uint64_t count)
    {
        std::string bytes;
        if (count < 0xf) {
            bytes += static_cast<char>(type | count);
            return bytes;
        }
        bytes += static_cast<char>(type | 0xf);
        bytes += '\x12'; // a four-byte count follows
        append(bytes, count, 4);
        return bytes;
    }
    std::string container(unsigned type, const std::vector<std::uint64_t>& members, std::size_t count = SIZE_MAX) const
    {
        std::string bytes = marker(type, count == SIZE_MAX ? members.size() : count);
        for (auto member : members)
            append(bytes, member, m_referenceSize);
        return bytes;
    }

    int m_offsetSize;
    int m_referenceSize;
    std::vector<std::string> m_objects;
};

// An empty array, then `levels` arrays each holding the one before it twice: it reads to
// 2^(levels + 1) - 1 nodes.
std::string doublingList(int levels)
{
    BinaryListWriter writer(1, 1);
    std::uint64_t inner = writer.add(writer.array({}));
    for (int level = 0; level < levels; ++level)
        inner = writer.add(writer.array({ inner, inner }));
    return writer.finish(inner);
}

std::size_t countNodes(const Value& value)
{
    std::size_t count = 1;
    if (value.is_array() || value.is_object()) {
        for (const auto& member : value)
            count += countNodes(member);
    }
    return count;
}

} // namespace

TEST(NetPropertyListSharingTest, ListsThatExpandPastTheBoundAreRefusedBeforeParsing)
{
    // 2^27 nodes from 146 bytes: reading it expanded would take gigabytes.
    std::string bomb = doublingList(26);
    ASSERT_EQ(bomb.size(), 146u);
    std::optional<Error> error;
    EXPECT_FALSE(NetPropertyListWithData(bomb, 0, nullptr, &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));

    // Few nodes, but one large piece of data named many times.
    BinaryListWriter writer;
    std::uint64_t blob = writer.add(BinaryListWriter::data(std::string(256 * 1024, 'x')));
    std::vector<std::uint64_t> copies(1000, blob);
    std::string shared = writer.finish(writer.add(writer.array(copies)));
    EXPECT_FALSE(NetPropertyListWithData(shared, 0, nullptr, nullptr));

    // Response bodies go through the same reader.
    auto serializer = NetPropertyListResponseSerializer::serializer();
    error.reset();
    std::any object = serializer->responseObjectForResponse(
        morvix::testing::responseWithContentType(200, "application/x-plist"), &bomb, &error);
    EXPECT_FALSE(object.has_value());
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));
}

TEST(NetPropertyListSharingTest, SharedMembersWithinTheBoundReadAsCopies)
{
    // Twelve doublings: 8191 nodes, each shared array read where it is named.
    auto doubled = NetPropertyListWithData(doublingList(12), 0, nullptr, nullptr);
    ASSERT_TRUE(doubled);
    EXPECT_EQ(countNodes(*doubled), 8191u);

    // Writers share equal keys and values between records; a few thousand such records read.
    BinaryListWriter writer;
    std::uint64_t nameKey = writer.add(BinaryListWriter::ascii("name"));
    std::uint64_t countKey = writer.add(BinaryListWriter::ascii("count"));
    std::uint64_t name = writer.add(BinaryListWriter::ascii("row"));
    std::uint64_t count = writer.add(BinaryListWriter::integer(7));
    std::uint64_t record = writer.add(writer.dictionary({ nameKey, countKey }, { name, count }));
    std::vector<std::uint64_t> records(3000, record);
    auto table = NetPropertyListWithData(writer.finish(writer.add(writer.array(records))), 0, nullptr, nullptr);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 3000u);
    EXPECT_EQ(table->back(), Value::parse(R"({"name": "row", "count": 7})"));

    // Without shared members a list may expand past the fixed bound, as far as its size allows.
    BinaryListWriter large(4, 2);
    std::vector<std::uint64_t> blobs;
    for (int blob = 0; blob < 40; ++blob)
        blobs.push_back(large.add(BinaryListWriter::data(std::string(std::size_t(1) << 20, static_cast<char>(blob)))));
    ASSERT_GT(blobs.size() << 20, kNetMaxExpandedPropertyList);
    auto heavy = NetPropertyListWithData(large.finish(large.add(large.array(blobs))), 0, nullptr, nullptr);
    ASSERT_TRUE(heavy);
    ASSERT_EQ(heavy->size(), 40u);
    EXPECT_EQ(heavy->back().get_binary().back(), 39);

    // A long array reads member by member, not by walking to each from the front.
    BinaryListWriter numbers(4, 4);
    std::vector<std::uint64_t> rows;
    for (int row = 0; row < 100000; ++row)
        rows.push_back(numbers.add(BinaryListWriter::integer(static_cast<std::uint8_t>(row))));
    auto many = NetPropertyListWithData(numbers.finish(numbers.add(numbers.array(rows))), 0, nullptr, nullptr);
    ASSERT_TRUE(many);
    ASSERT_EQ(many->size(), 100000u);
    EXPECT_EQ(many->back(), 99999 % 256);
}
