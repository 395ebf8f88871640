#include "networking/NetPropertyListReading.h"

#include "networking/NetJSONReading.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

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
        out = platform::Value::array();
        uint32_t count = plist_array_get_size(node);
        for (uint32_t index = 0; index < count; ++index) {
            platform::Value element;
            if (!convert(plist_array_get_item(node, index), depth + 1, element))
                return false;
            out.push_back(std::move(element));
        }
        return true;
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

// libplist stops the process (an assertion) when a binary list holds a string or key with a
// NUL character in it, so such lists are refused here first. Walks the offset table and looks
// at every string object; false also for offsets or lengths outside the data.
bool binaryStringsAreSafe(std::string_view data)
{
    constexpr std::size_t kTrailerSize = 32;
    if (data.size() < 8 + kTrailerSize)
        return false;
    std::size_t trailer = data.size() - kTrailerSize;
    std::size_t offsetSize = static_cast<std::uint8_t>(data[trailer + 6]);
    std::uint64_t objectCount = readBigEndian(data, trailer + 8, 8);
    std::uint64_t tableOffset = readBigEndian(data, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || tableOffset > trailer || objectCount > (trailer - tableOffset) / offsetSize)
        return false;
    for (std::uint64_t index = 0; index < objectCount; ++index) {
        std::uint64_t offset = readBigEndian(data, tableOffset + index * offsetSize, offsetSize);
        if (offset >= trailer)
            return false;
        auto marker = static_cast<std::uint8_t>(data[offset]);
        unsigned type = marker >> 4;
        if (type != 0x5 && type != 0x6)
            continue;
        std::uint64_t length = marker & 0xf;
        std::size_t at = offset + 1;
        if (length == 0xf) {
            if (at >= trailer)
                return false;
            auto lengthMarker = static_cast<std::uint8_t>(data[at]);
            std::size_t lengthSize = std::size_t(1) << (lengthMarker & 0xf);
            if ((lengthMarker >> 4) != 0x1 || lengthSize > 8 || at + 1 + lengthSize > trailer)
                return false;
            length = readBigEndian(data, at + 1, lengthSize);
            at += 1 + lengthSize;
        }
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
    if (binary && !binaryStringsAreSafe(data))
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
