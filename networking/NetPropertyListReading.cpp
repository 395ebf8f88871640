#include "networking/NetPropertyListReading.h"

#include "networking/NetJSONReading.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace morvix {

namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};

// Converts a node; false when the tree is deeper than allowed or holds a kind we do not know.
bool convert(plist_t node, int depth, platform::Value& out)
{
    if (depth > kNetMaxNestingDepth)
        return false;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        out = value != 0;
        return true;
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        out = static_cast<std::int64_t>(value);
        return true;
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        out = value;
        return true;
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* value = plist_get_string_ptr(node, &length);
        out = value ? std::string(value, length) : std::string();
        return true;
    }
    case PLIST_DATA: {
        char* value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        out = platform::Value::binary(std::vector<std::uint8_t>(value, value + length));
        std::free(value);
        return true;
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        out = seconds + microseconds / 1e6;
        return true;
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        out = static_cast<std::int64_t>(value);
        return true;
    }
    case PLIST_ARRAY: {
        // The iterator walks the members in turn. Asking for each by index would not: libplist
        // finds a member of an array read from a binary list by walking to it from the front.
        out = platform::Value::array();
        plist_array_iter iterator = nullptr;
        plist_array_new_iter(node, &iterator);
        bool ok = true;
        while (ok) {
            plist_t item = nullptr;
            plist_array_next_item(node, iterator, &item);
            if (!item)
                break;
            platform::Value element;
            ok = convert(item, depth + 1, element);
            if (ok)
                out.push_back(std::move(element));
        }
        std::free(iterator);
        return ok;
    }
    case PLIST_DICT: {
        out = platform::Value::object();
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        bool ok = true;
        while (ok) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            platform::Value value;
            ok = key && convert(item, depth + 1, value);
            if (ok)
                out[key] = std::move(value);
            std::free(key);
        }
        std::free(iterator);
        return ok;
    }
    case PLIST_KEY:
    case PLIST_NONE:
        return false;
    }
    return false;
}

std::uint64_t readBigEndian(std::string_view data, std::size_t at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < size; ++index)
        value = value << 8 | static_cast<std::uint8_t>(data[at + index]);
    return value;
}

// The trailer of a binary property list and the object table it describes. Objects are found
// through an offset table; containers name their members by index into it.
struct BinaryList {
    std::string_view data;
    std::size_t trailer = 0;     // where the trailer starts; objects lie before it
    std::size_t offsetSize = 0;  // bytes per offset-table entry
    std::size_t referenceSize = 0;
    std::uint64_t objectCount = 0;
    std::uint64_t topObject = 0;
    std::uint64_t tableOffset = 0;

    // False when the trailer is missing or points outside the data.
    bool read(std::string_view bytes)
    {
        constexpr std::size_t kTrailerSize = 32;
        if (bytes.size() < 8 + kTrailerSize)
            return false;
        data = bytes;
        trailer = bytes.size() - kTrailerSize;
        offsetSize = static_cast<std::uint8_t>(bytes[trailer + 6]);
        referenceSize = static_cast<std::uint8_t>(bytes[trailer + 7]);
        objectCount = readBigEndian(bytes, trailer + 8, 8);
        topObject = readBigEndian(bytes, trailer + 16, 8);
        tableOffset = readBigEndian(bytes, trailer + 24, 8);
        return offsetSize >= 1 && offsetSize <= 8 && referenceSize >= 1 && referenceSize <= 8 && tableOffset <= trailer
            && objectCount <= (trailer - tableOffset) / offsetSize && topObject < objectCount;
    }
    // Where object `index` starts; nothing when outside the objects.
    std::optional<std::size_t> offsetOf(std::uint64_t index) const
    {
        std::uint64_t offset = readBigEndian(data, tableOffset + index * offsetSize, offsetSize);
        if (offset >= trailer)
            return std::nullopt;
        return static_cast<std::size_t>(offset);
    }
    // The count in an object's marker (its low four bits, or the integer that follows when they
    // are all set) and where the object's contents start; nothing when unreadable.
    std::optional<std::pair<std::uint64_t, std::size_t>> countAt(std::size_t offset) const
    {
        std::uint64_t count = static_cast<std::uint8_t>(data[offset]) & 0xf;
        std::size_t at = offset + 1;
        if (count != 0xf)
            return std::pair(count, at);
        if (at >= trailer)
            return std::nullopt;
        auto countMarker = static_cast<std::uint8_t>(data[at]);
        std::size_t countSize = std::size_t(1) << (countMarker & 0xf);
        if ((countMarker >> 4) != 0x1 || countSize > 8 || at + 1 + countSize > trailer)
            return std::nullopt;
        return std::pair(readBigEndian(data, at + 1, countSize), at + 1 + countSize);
    }
};

// libplist stops the process (an assertion) when a binary list holds a string or key with a
// NUL character in it, so such lists are refused here first. Walks the offset table and looks
// at every string object; false also for offsets or lengths outside the data.
bool binaryStringsAreSafe(const BinaryList& list)
{
    std::string_view data = list.data;
    std::size_t trailer = list.trailer;
    for (std::uint64_t index = 0; index < list.objectCount; ++index) {
        auto offset = list.offsetOf(index);
        if (!offset)
            return false;
        unsigned type = static_cast<std::uint8_t>(data[*offset]) >> 4;
        if (type != 0x5 && type != 0x6)
            continue;
        auto counted = list.countAt(*offset);
        if (!counted)
            return false;
        auto [length, at] = *counted;
        std::uint64_t unitSize = type == 0x6 ? 2 : 1;
        if (length > (trailer - at) / unitSize)
            return false;
        for (std::uint64_t unit = 0; unit < length; ++unit) {
            std::size_t position = at + unit * unitSize;
            bool zero = data[position] == 0 && (unitSize == 1 || data[position + 1] == 0);
            if (zero)
                return false;
        }
    }
    return true;
}

// libplist reads nested containers recursively, and copies a shared member into every
// container that names it, so a deep list overflows the stack and a small list of shared
// members (an array holding the same array twice, nested a few dozen times) expands to
// billions of nodes before the tree could be checked. This pre-scan bounds both without
// building anything: `convert` refuses a node deeper than kNetMaxNestingDepth, and so does it;
// and it adds up what the expanded tree would cost, each object's cost worked out once.

// What one node of the expanded tree costs, besides the bytes of its string or data: about
// what libplist's node and our Value take for it.
constexpr std::uint64_t kExpandedNodeCost = 64;

// One container being walked: its member references, the deepest member seen so far and the
// cost of the container with the members seen so far.
struct ContainerWalk {
    std::uint64_t object = 0;
    std::size_t references = 0; // where the member references start
    std::uint64_t memberCount = 0;
    std::uint64_t next = 0;
    int height = 0;
    std::uint64_t cost = kExpandedNodeCost;
};

// The members of the container at `offset`, or nothing for another kind of object; false in
// `readable` when the container runs outside the data.
std::optional<ContainerWalk> containerAt(const BinaryList& list, std::uint64_t object, std::size_t offset, bool& readable)
{
    unsigned type = static_cast<std::uint8_t>(list.data[offset]) >> 4;
    bool array = type == 0xA || type == 0xC; // arrays and sets
    if (!array && type != 0xD)
        return std::nullopt;
    auto counted = list.countAt(offset);
    std::uint64_t members = counted ? counted->first * (array ? 1 : 2) : 0; // a dictionary: keys, then values
    readable = counted && counted->first <= list.trailer && members <= (list.trailer - counted->second) / list.referenceSize;
    if (!readable)
        return std::nullopt;
    return ContainerWalk { object, counted->second, members, 0, 0 };
}

// The cost of an object that holds no members: its node and, for data and strings, the bytes
// it reads to (a UTF-16 unit may take three bytes of UTF-8); nothing when it runs outside the
// data.
std::optional<std::uint64_t> leafCost(const BinaryList& list, std::size_t offset)
{
    unsigned type = static_cast<std::uint8_t>(list.data[offset]) >> 4;
    if (type != 0x4 && type != 0x5 && type != 0x6)
        return kExpandedNodeCost;
    auto counted = list.countAt(offset);
    if (!counted)
        return std::nullopt;
    auto [length, at] = *counted;
    std::uint64_t unitSize = type == 0x6 ? 2 : 1;
    if (length > (list.trailer - at) / unitSize)
        return std::nullopt;
    return kExpandedNodeCost + length * (type == 0x6 ? 3 : 1);
}

// What the expanded tree of `data` may cost: as much as a list of that size without shared
// members could (every object takes at least one byte and one offset-table byte, and reads to
// no more than its node and half again its bytes), and at least kNetMaxExpandedPropertyList.
std::uint64_t expansionBound(std::string_view data)
{
    return std::max<std::uint64_t>(kNetMaxExpandedPropertyList, kExpandedNodeCost * data.size());
}

// Walks the references from the top object depth first, each object once (a list may share
// one member between many containers), with a stack no deeper than the limit. False for a
// list nested too deep, one whose expanded tree would cost more than `expansionBound`, a
// reference cycle, or a reference or an object outside the data.
bool binaryTreeIsBounded(const BinaryList& list)
{
    constexpr std::int16_t kUnknown = -1;
    constexpr std::int16_t kOnPath = -2;
    const std::uint64_t bound = expansionBound(list.data);
    std::vector<std::int16_t> heights(list.objectCount, kUnknown);
    std::vector<std::uint64_t> costs(list.objectCount, 0);
    std::vector<ContainerWalk> path;
    auto enter = [&](std::uint64_t object) -> std::optional<int> {
        auto offset = list.offsetOf(object);
        if (!offset)
            return std::nullopt;
        bool readable = true;
        auto walk = containerAt(list, object, *offset, readable);
        if (!readable)
            return std::nullopt;
        if (!walk || walk->memberCount == 0) {
            auto cost = walk ? std::optional<std::uint64_t>(kExpandedNodeCost) : leafCost(list, *offset);
            if (!cost)
                return std::nullopt;
            costs[object] = *cost;
            return heights[object] = 0;
        }
        heights[object] = kOnPath;
        path.push_back(*walk);
        return kOnPath;
    };
    // Adds a finished member to the container on top of the path; false past a bound. Costs
    // are at most `bound` each, so the sum cannot overflow before it is refused.
    auto addMember = [&](std::uint64_t member) {
        auto& walk = path.back();
        walk.height = std::max(walk.height, heights[member] + 1);
        walk.cost += costs[member];
        return walk.height <= kNetMaxNestingDepth && walk.cost <= bound;
    };
    if (!enter(list.topObject))
        return false;
    while (!path.empty()) {
        auto& walk = path.back();
        if (walk.next == walk.memberCount) {
            std::uint64_t object = walk.object;
            heights[object] = static_cast<std::int16_t>(walk.height);
            costs[object] = walk.cost;
            path.pop_back();
            if (!path.empty() && !addMember(object))
                return false;
            continue;
        }
        std::uint64_t member = readBigEndian(list.data, walk.references + walk.next++ * list.referenceSize, list.referenceSize);
        if (member >= list.objectCount || heights[member] == kOnPath)
            return false;
        if (heights[member] == kUnknown) {
            if (path.size() > static_cast<std::size_t>(kNetMaxNestingDepth))
                return false;
            auto entered = enter(member);
            if (!entered)
                return false;
            if (*entered == kOnPath)
                continue;
        }
        if (!addMember(member))
            return false;
    }
    return heights[list.topObject] <= kNetMaxNestingDepth && costs[list.topObject] <= bound;
}

// Element nesting of an XML list, counted from its tags: the <plist> element and a leaf's own
// element sit around the nodes that `convert` counts. Comments, CDATA sections, processing
// instructions and declarations hold no elements. Tags must close in order (libplist refuses
// anything else too), so the open elements are a stack no deeper than the limit.
bool xmlNestingIsBounded(std::string_view text)
{
    constexpr std::size_t kDeepestElement = kNetMaxNestingDepth + 2;
    std::vector<std::string_view> open;
    auto skipPast = [&](std::size_t& at, std::string_view end) {
        auto found = text.find(end, at);
        at = found == std::string_view::npos ? found : found + end.size();
        return found != std::string_view::npos;
    };
    auto nameAt = [&](std::size_t at) {
        std::size_t end = text.find_first_of(" \t\r\n/>", at);
        return text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    };
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        std::string_view rest = text.substr(at);
        bool closed = true;
        if (rest.starts_with("<!--"))
            closed = skipPast(at, "-->");
        else if (rest.starts_with("<![CDATA["))
            closed = skipPast(at, "]]>");
        else if (rest.starts_with("<?"))
            closed = skipPast(at, "?>");
        else if (rest.starts_with("<!"))
            closed = skipPast(at, ">");
        else if (rest.starts_with("</")) {
            if (open.empty() || nameAt(at + 2) != open.back())
                return false;
            open.pop_back();
            closed = skipPast(at, ">");
        } else {
            // A start tag ends at the first '>' outside its quoted attribute values.
            std::string_view name = nameAt(at + 1);
            char quote = 0;
            std::size_t end = at + 1;
            for (; end < text.size() && (quote || text[end] != '>'); ++end) {
                if (quote && text[end] == quote)
                    quote = 0;
                else if (!quote && (text[end] == '"' || text[end] == '\''))
                    quote = text[end];
            }
            if (end == text.size())
                return false;
            if (text[end - 1] != '/') {
                if (open.size() == kDeepestElement)
                    return false;
                open.push_back(name);
            }
            at = end + 1;
        }
        if (!closed)
            return false;
    }
    return true;
}

} // namespace

std::optional<platform::Value> NetPropertyListWithData(std::string_view data, unsigned long,
    NetPropertyListFormat* format, std::optional<platform::Error>* error)
{
    auto fail = [error]() -> std::optional<platform::Value> {
        if (error) {
            *error = platform::Error(NetCocoaErrorDomain, NetPropertyListReadCorruptError,
                "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
        }
        return std::nullopt;
    };
    if (data.empty() || data.size() > std::numeric_limits<uint32_t>::max())
        return fail();
    plist_t root = nullptr;
    auto length = static_cast<uint32_t>(data.size());
    bool binary = plist_is_binary(data.data(), length) != 0;
    BinaryList list;
    if (binary && !(list.read(data) && binaryStringsAreSafe(list) && binaryTreeIsBounded(list)))
        return fail();
    if (!binary && !xmlNestingIsBounded(data))
        return fail();
    if (binary)
        plist_from_bin(data.data(), length, &root);
    else
        plist_from_xml(data.data(), length, &root);
    std::unique_ptr<void, PlistFree> owner(root);
    platform::Value value;
    if (!root || !convert(root, 0, value))
        return fail();
    if (format)
        *format = binary ? NetPropertyListFormat::Binary : NetPropertyListFormat::XML;
    return value;
}

} // namespace morvix
