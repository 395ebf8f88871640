#include "networking/NetRequestBodyWriting.h"

#include "networking/NetURLRequestSerialization.h"

#include <cmath>

namespace morvix {

namespace {

bool isUTF8(const std::string& text)
{
    std::size_t index = 0;
    while (index < text.size()) {
        auto lead = static_cast<unsigned char>(text[index]);
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++index;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (index + extra >= text.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[index + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        index += extra + 1;
    }
    return true;
}

std::string located(const std::string& what, const std::string& path)
{
    return what + (path.empty() ? " at the top level" : " at \"" + path + "\"");
}

std::optional<std::string> findUnwritable(const platform::Value& value, const std::string& path, NetBodyFormat format)
{
    using Type = platform::Value::value_t;
    switch (value.type()) {
    case Type::null:
        if (format == NetBodyFormat::PropertyList)
            return located("a null value", path) + " cannot be written to a property list";
        return std::nullopt;
    case Type::number_float:
        if (!std::isfinite(value.get<double>()))
            return located("the number " + value.dump(), path) + " is not finite";
        return std::nullopt;
    case Type::string:
        if (!isUTF8(value.get_ref<const std::string&>()))
            return located("the text", path) + " is not UTF-8";
        return std::nullopt;
    case Type::binary:
        if (format == NetBodyFormat::JSON)
            return located("the bytes", path) + " cannot be written as JSON";
        return std::nullopt;
    case Type::array: {
        std::size_t index = 0;
        for (const auto& element : value) {
            if (auto reason = findUnwritable(element, path + "[" + std::to_string(index++) + "]", format))
                return reason;
        }
        return std::nullopt;
    }
    case Type::object:
        for (const auto& [key, element] : value.items()) {
            if (!isUTF8(key))
                return located("a key", path) + " is not UTF-8";
            if (auto reason = findUnwritable(element, path.empty() ? key : path + "[" + key + "]", format))
                return reason;
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<std::string> NetUnwritableParametersReason(const platform::Value& parameters, NetBodyFormat format)
{
    if (!parameters.is_object() && !parameters.is_array())
        return "the parameters are " + platform::kindName(parameters) + ", not a dictionary or a list";
    return findUnwritable(parameters, {}, format);
}

platform::Error NetBodyWritingError(const std::string& reason)
{
    return platform::Error(NetURLRequestSerializationErrorDomain, -1000, "The request body could not be written.", reason);
}

} // namespace morvix
