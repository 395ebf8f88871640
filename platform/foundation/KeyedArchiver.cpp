#include "platform/foundation/KeyedArchiver.h"

#include <plist/plist.h>

#include <memory>

namespace morvix::platform {

namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};

plist_t plistNode(const Value& value)
{
    switch (value.type()) {
    case Value::value_t::null: {
        plist_t marker = plist_new_dict();
        plist_dict_set_item(marker, KeyedArchiver::kNullKey, plist_new_bool(1));
        return marker;
    }
    case Value::value_t::boolean:
        return plist_new_bool(value.get<bool>() ? 1 : 0);
    case Value::value_t::number_integer:
        // Property lists hold 64-bit integers as unsigned; negative ones read back as written.
        return plist_new_uint(static_cast<std::uint64_t>(value.get<std::int64_t>()));
    case Value::value_t::number_unsigned:
        return plist_new_uint(value.get<std::uint64_t>());
    case Value::value_t::number_float:
        return plist_new_real(value.get<double>());
    case Value::value_t::string:
        return plist_new_string(value.get_ref<const std::string&>().c_str());
    case Value::value_t::binary: {
        const auto& bytes = value.get_binary();
        return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    case Value::value_t::array: {
        plist_t array = plist_new_array();
        for (const auto& element : value)
            plist_array_append_item(array, plistNode(element));
        return array;
    }
    case Value::value_t::object: {
        plist_t dictionary = plist_new_dict();
        for (const auto& [key, element] : value.items())
            plist_dict_set_item(dictionary, key.c_str(), plistNode(element));
        return dictionary;
    }
    case Value::value_t::discarded:
        break;
    }
    return plist_new_dict();
}

} // namespace

KeyedArchiver::KeyedArchiver()
{
    m_scopes.push_back(Value::object());
}

Value KeyedArchiver::objectValue(const KeyedCoding& object)
{
    m_scopes.push_back(Value::object());
    current()[kClassKey] = object.archiveClassName();
    object.encodeWithCoder(*this);
    Value encoded = std::move(current());
    m_scopes.pop_back();
    return encoded;
}

void KeyedArchiver::encodeObject(const KeyedCoding& object, const std::string& key)
{
    auto encoded = objectValue(object);
    current()[key] = std::move(encoded);
}

void KeyedArchiver::encodeObjectList(const std::vector<std::shared_ptr<const KeyedCoding>>& objects, const std::string& key)
{
    Value list = Value::array();
    for (const auto& object : objects) {
        if (object)
            list.push_back(objectValue(*object));
    }
    current()[key] = std::move(list);
}

Value KeyedArchiver::errorValue(const Error& error)
{
    Value encoded = Value::object();
    encoded[kClassKey] = kErrorClassName;
    encoded["domain"] = error.domain();
    encoded["code"] = static_cast<std::int64_t>(error.code());
    if (auto description = error.value<std::string>(Error::kDescriptionKey))
        encoded[Error::kDescriptionKey] = *description;
    if (auto reason = error.failureReason())
        encoded[Error::kFailureReasonKey] = *reason;
    if (auto url = error.failingURL())
        encoded[Error::kFailingURLKey] = *url;
    if (auto underlying = error.underlyingError())
        encoded[Error::kUnderlyingErrorKey] = errorValue(*underlying);
    return encoded;
}

void KeyedArchiver::encodeError(const Error& error, const std::string& key)
{
    current()[key] = errorValue(error);
}

void KeyedArchiver::encodeBool(bool value, const std::string& key)
{
    current()[key] = value;
}

void KeyedArchiver::encodeInt64(std::int64_t value, const std::string& key)
{
    current()[key] = value;
}

void KeyedArchiver::encodeDouble(double value, const std::string& key)
{
    current()[key] = value;
}

void KeyedArchiver::encodeString(std::string value, const std::string& key)
{
    current()[key] = std::move(value);
}

void KeyedArchiver::encodeData(const std::string& bytes, const std::string& key)
{
    current()[key] = Value::binary(Value::binary_t::container_type(bytes.begin(), bytes.end()));
}

void KeyedArchiver::encodeValue(const Value& value, const std::string& key)
{
    current()[key] = value;
}

std::string KeyedArchiver::encodedData() const
{
    std::unique_ptr<void, PlistFree> root(plistNode(m_scopes.front()));
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    std::string archive = bytes ? std::string(bytes, length) : std::string();
    plist_to_bin_free(bytes);
    return archive;
}

std::string KeyedArchiver::archivedDataWithRootObject(const KeyedCoding& root)
{
    KeyedArchiver archiver;
    archiver.encodeObject(root, kRootKey);
    return archiver.encodedData();
}

} // namespace morvix::platform
