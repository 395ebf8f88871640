#include "networking/NetPropertyListRequestSerializer.h"

#include "networking/NetArchiving.h"
#include "networking/NetRequestBodyWriting.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"

#include <plist/plist.h>

#include <cstdint>
#include <string_view>

namespace morvix {

namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<void, PlistFree>;

// Precondition: NetUnwritableParametersReason found nothing wrong with `value`.
plist_t node(const platform::Value& value)
{
    using Type = platform::Value::value_t;
    switch (value.type()) {
    case Type::boolean:
        return plist_new_bool(value.get<bool>() ? 1 : 0);
    case Type::number_integer:
        // libplist stores every integer as unsigned; negative ones are written back as such.
        return plist_new_uint(static_cast<uint64_t>(value.get<std::int64_t>()));
    case Type::number_unsigned:
        return plist_new_uint(value.get<std::uint64_t>());
    case Type::number_float:
        return plist_new_real(value.get<double>());
    case Type::string:
        return plist_new_string(value.get_ref<const std::string&>().c_str());
    case Type::binary: {
        const auto& bytes = value.get_binary();
        return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    case Type::array: {
        plist_t array = plist_new_array();
        for (const auto& element : value)
            plist_array_append_item(array, node(element));
        return array;
    }
    case Type::object: {
        plist_t dictionary = plist_new_dict();
        for (const auto& [key, element] : value.items())
            plist_dict_set_item(dictionary, key.c_str(), node(element));
        return dictionary;
    }
    default:
        return nullptr;
    }
}

// Why `text` cannot be written into a property list in `format`, or nothing. `text` is UTF-8.
std::optional<std::string> unwritableCharacter(std::string_view text, NetPropertyListFormat format)
{
    for (std::size_t index = 0; index < text.size(); ++index) {
        auto byte = static_cast<unsigned char>(text[index]);
        if (byte == 0)
            return std::string("holds a NUL character, which a property list cannot carry");
        if (format != NetPropertyListFormat::XML)
            continue;
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            return platform::format("holds the control character U+%04X, which an XML property list cannot carry", byte);
        // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
        if (text.substr(index, 3) == "\xEF\xBF\xBE" || text.substr(index, 3) == "\xEF\xBF\xBF")
            return platform::format("holds U+%X, which an XML property list cannot carry", text[index + 2] == '\xBE' ? 0xFFFE : 0xFFFF);
    }
    return std::nullopt;
}

std::string at(const std::string& path)
{
    return path.empty() ? "at the top level" : "at \"" + path + "\"";
}

std::optional<std::string> findUnwritable(const platform::Value& value, const std::string& path, NetPropertyListFormat format)
{
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
        return "the integer " + value.dump() + " " + at(path) + " is above the signed 64-bit range a property list keeps";
    if (value.is_string()) {
        if (auto reason = unwritableCharacter(value.get_ref<const std::string&>(), format))
            return "the text " + at(path) + " " + *reason;
        return std::nullopt;
    }
    if (value.is_array()) {
        for (std::size_t index = 0; index < value.size(); ++index) {
            if (auto reason = findUnwritable(value[index], path + "[" + std::to_string(index) + "]", format))
                return reason;
        }
        return std::nullopt;
    }
    if (!value.is_object())
        return std::nullopt;
    for (const auto& [key, element] : value.items()) {
        if (auto reason = unwritableCharacter(key, format))
            return "the key " + platform::Value(key).dump() + " " + at(path) + " " + *reason;
        if (auto reason = findUnwritable(element, path.empty() ? key : path + "[" + key + "]", format))
            return reason;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> NetPropertyListUnwritableReason(const platform::Value& value, NetPropertyListFormat format)
{
    if (auto reason = NetUnwritableParametersReason(value, NetBodyFormat::PropertyList))
        return reason;
    return findUnwritable(value, {}, format);
}

std::optional<std::string> NetPropertyListData(const platform::Value& value, NetPropertyListFormat format,
    std::optional<platform::Error>* error)
{
    auto fail = [error](std::string reason) -> std::optional<std::string> {
        if (error)
            *error = NetBodyWritingError(std::move(reason));
        return std::nullopt;
    };
    if (format != NetPropertyListFormat::XML && format != NetPropertyListFormat::Binary)
        return fail("property lists can be written only as XML (100) or binary (200), not in format "
            + std::to_string(static_cast<unsigned long>(format)));
    if (auto reason = NetPropertyListUnwritableReason(value, format))
        return fail(*reason);
    PlistPointer root(node(value));
    char* bytes = nullptr;
    uint32_t length = 0;
    if (format == NetPropertyListFormat::XML)
        plist_to_xml(root.get(), &bytes, &length);
    else
        plist_to_bin(root.get(), &bytes, &length);
    if (!bytes)
        return fail("the property-list writer failed");
    std::string data(bytes, length);
    if (format == NetPropertyListFormat::XML)
        plist_to_xml_free(bytes);
    else
        plist_to_bin_free(bytes);
    if (format == NetPropertyListFormat::XML && data.find('\r') != std::string::npos) {
        // The writer's own layout has no carriage return, so each one is a text's; written raw,
        // an XML reader would turn it into a line feed. A character reference keeps it.
        std::string kept;
        kept.reserve(data.size() + 16);
        for (char c : data) {
            if (c == '\r')
                kept += "&#13;";
            else
                kept += c;
        }
        data = std::move(kept);
    }
    return data;
}

std::shared_ptr<NetPropertyListRequestSerializer> NetPropertyListRequestSerializer::serializerWithFormat(NetPropertyListFormat format,
    unsigned long writeOptions)
{
    std::shared_ptr<NetPropertyListRequestSerializer> serializer(new NetPropertyListRequestSerializer());
    serializer->m_format = format;
    serializer->m_writeOptions = writeOptions;
    return serializer;
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetPropertyListRequestSerializer>(
    NetHTTPRequestSerializer::kArchiveClassName, [](platform::KeyedUnarchiver&) { return NetPropertyListRequestSerializer::serializer(); });

} // namespace

void NetPropertyListRequestSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInt64(static_cast<std::int64_t>(m_format), "format");
    coder.encodeInt64(static_cast<std::int64_t>(m_writeOptions), "writeOptions");
}

void NetPropertyListRequestSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    NetHTTPRequestSerializer::decodeWithCoder(coder);
    auto format = NetDecodePropertyListFormat(coder, "format");
    auto options = NetDecodeUnsigned(coder, "writeOptions");
    if (!format || !options)
        return;
    m_format = *format;
    m_writeOptions = *options;
}

std::shared_ptr<NetHTTPRequestSerializer> NetPropertyListRequestSerializer::makeEmpty() const
{
    return serializer();
}

std::shared_ptr<NetHTTPRequestSerializer> NetPropertyListRequestSerializer::copy() const
{
    auto copy = NetHTTPRequestSerializer::copy();
    auto& typed = static_cast<NetPropertyListRequestSerializer&>(*copy);
    typed.m_format = m_format;
    typed.m_writeOptions = m_writeOptions;
    return copy;
}

std::optional<platform::URLRequest> NetPropertyListRequestSerializer::requestBySerializingRequest(const platform::URLRequest& request,
    const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const
{
    return requestWithWrittenBody(request, parameters, error, "application/x-plist",
        [this](const platform::Value& parameters, std::optional<platform::Error>* error) {
            return NetPropertyListData(parameters, m_format, error);
        });
}

} // namespace morvix
