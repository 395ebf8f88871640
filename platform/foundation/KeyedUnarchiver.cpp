#include "platform/foundation/KeyedUnarchiver.h"

#include "platform/foundation/KeyedArchiver.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

namespace morvix::platform {

namespace {

// Archives are untrusted: nesting and the number of values read are bounded, so that neither
// deep lists nor lists that share members many times over can exhaust the stack or memory.
constexpr int kMaximumDepth = 128;
constexpr std::size_t kMaximumValues = 1 << 20;

struct ClassEntry {
    std::string superclassName;
    KeyedUnarchiver::Decoder decoder;
};

std::mutex s_classesMutex; // guards classes()
std::map<std::string, ClassEntry>& classes()
{
    static auto* registered = new std::map<std::string, ClassEntry>();
    return *registered;
}

void appendUTF8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A strict reader of the binary property lists KeyedArchiver writes (libplist's own reader
// stops the process on some malformed lists and recurses without bound, so it never sees an
// archive). Every offset, count and reference is checked against the data before use.
class BinaryPropertyListReader {
public:
    explicit BinaryPropertyListReader(std::string_view data) : m_data(data) { }

    std::optional<Value> read()
    {
        constexpr std::size_t kTrailerSize = 32;
        if (m_data.size() < 8 + kTrailerSize || m_data.substr(0, 8) != "bplist00")
            return std::nullopt;
        m_trailer = m_data.size() - kTrailerSize;
        m_offsetSize = byteAt(m_trailer + 6);
        m_referenceSize = byteAt(m_trailer + 7);
        m_objectCount = bigEndian(m_trailer + 8, 8);
        auto top = bigEndian(m_trailer + 16, 8);
        m_tableOffset = bigEndian(m_trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_referenceSize < 1 || m_referenceSize > 8 || m_tableOffset > m_trailer
            || m_objectCount > (m_trailer - m_tableOffset) / m_offsetSize || top >= m_objectCount)
            return std::nullopt;
        Value out;
        if (!object(top, 0, out))
            return std::nullopt;
        return out;
    }

private:
    std::uint8_t byteAt(std::size_t at) const { return static_cast<std::uint8_t>(m_data[at]); }
    std::uint64_t bigEndian(std::size_t at, std::size_t size) const
    {
        std::uint64_t value = 0;
        for (std::size_t index = 0; index < size; ++index)
            value = value << 8 | byteAt(at + index);
        return value;
    }
    // Whether `size` bytes from `at` lie among the objects (before the offset table).
    bool inObjects(std::size_t at, std::uint64_t size) const { return at <= m_tableOffset && size <= m_tableOffset - at; }

    // The count of the object whose marker is at `at`, and where its contents start.
    bool count(std::size_t at, std::uint64_t& count, std::size_t& contents) const
    {
        count = byteAt(at) & 0xF;
        contents = at + 1;
        if (count != 0xF)
            return true;
        if (!inObjects(contents, 1))
            return false;
        auto marker = byteAt(contents);
        std::size_t size = std::size_t(1) << (marker & 0xF);
        if ((marker >> 4) != 0x1 || size > 8 || !inObjects(contents + 1, size))
            return false;
        count = bigEndian(contents + 1, size);
        contents += 1 + size;
        return true;
    }

    bool object(std::uint64_t index, int depth, Value& out)
    {
        if (depth > kMaximumDepth || ++m_values > kMaximumValues || index >= m_objectCount)
            return false;
        auto at = bigEndian(m_tableOffset + index * m_offsetSize, m_offsetSize);
        if (at < 8 || !inObjects(at, 1))
            return false;
        auto marker = byteAt(at);
        switch (marker >> 4) {
        case 0x0:
            if (marker != 0x08 && marker != 0x09)
                return false;
            out = marker == 0x09;
            return true;
        case 0x1: {
            std::size_t size = std::size_t(1) << (marker & 0xF);
            if (size > 16 || !inObjects(at + 1, size))
                return false;
            // A 16-byte integer is an unsigned one; its low eight bytes hold the value.
            std::size_t low = size > 8 ? size - 8 : 0;
            out = static_cast<std::int64_t>(bigEndian(at + 1 + low, size - low));
            return true;
        }
        case 0x2:
        case 0x3:
            return real(at, marker, out);
        case 0x4:
        case 0x5:
        case 0x6:
            return bytes(at, marker >> 4, out);
        case 0xA:
            return array(at, depth, out);
        case 0xD:
            return dictionary(at, depth, out);
        default:
            return false; // sets, identifiers and reserved markers are never written
        }
    }

    bool real(std::size_t at, std::uint8_t marker, Value& out) const
    {
        std::size_t size = (marker >> 4) == 0x3 ? 8 : std::size_t(1) << (marker & 0xF);
        if ((size != 4 && size != 8) || ((marker >> 4) == 0x3 && marker != 0x33) || !inObjects(at + 1, size))
            return false;
        auto bits = bigEndian(at + 1, size);
        if (size == 4) {
            float value;
            auto narrow = static_cast<std::uint32_t>(bits);
            std::memcpy(&value, &narrow, sizeof value);
            out = static_cast<double>(value);
        } else {
            double value;
            std::memcpy(&value, &bits, sizeof value);
            out = value;
        }
        return true;
    }

    bool bytes(std::size_t at, int type, Value& out) const
    {
        std::uint64_t length = 0;
        std::size_t contents = 0;
        std::uint64_t unit = type == 0x6 ? 2 : 1;
        if (!count(at, length, contents) || length > m_tableOffset || !inObjects(contents, length * unit))
            return false;
        if (type == 0x4) {
            auto begin = m_data.begin() + static_cast<std::ptrdiff_t>(contents);
            out = Value::binary(Value::binary_t::container_type(begin, begin + static_cast<std::ptrdiff_t>(length)));
            return true;
        }
        if (type == 0x5) {
            std::string text(m_data.substr(contents, length));
            for (char character : text) {
                if (static_cast<unsigned char>(character) >= 0x80)
                    return false;
            }
            out = std::move(text);
            return true;
        }
        std::string text;
        for (std::uint64_t index = 0; index < length; ++index) {
            auto code = static_cast<std::uint32_t>(bigEndian(contents + index * 2, 2));
            if (code >= 0xD800 && code < 0xDC00) {
                if (++index == length)
                    return false;
                auto low = static_cast<std::uint32_t>(bigEndian(contents + index * 2, 2));
                if (low < 0xDC00 || low >= 0xE000)
                    return false;
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code < 0xE000) {
                return false;
            }
            appendUTF8(text, code);
        }
        out = std::move(text);
        return true;
    }

    bool references(std::size_t at, std::uint64_t multiple, std::uint64_t& members, std::size_t& contents) const
    {
        return count(at, members, contents) && members <= m_tableOffset / multiple
            && inObjects(contents, members * multiple * m_referenceSize);
    }
    std::uint64_t reference(std::size_t contents, std::uint64_t position) const
    {
        return bigEndian(contents + position * m_referenceSize, m_referenceSize);
    }

    bool array(std::size_t at, int depth, Value& out)
    {
        std::uint64_t members = 0;
        std::size_t contents = 0;
        if (!references(at, 1, members, contents))
            return false;
        out = Value::array();
        for (std::uint64_t position = 0; position < members; ++position) {
            Value element;
            if (!object(reference(contents, position), depth + 1, element))
                return false;
            out.push_back(std::move(element));
        }
        return true;
    }

    bool dictionary(std::size_t at, int depth, Value& out)
    {
        std::uint64_t members = 0;
        std::size_t contents = 0;
        if (!references(at, 2, members, contents))
            return false;
        out = Value::object();
        for (std::uint64_t position = 0; position < members; ++position) {
            Value key;
            Value element;
            if (!object(reference(contents, position), depth + 1, key) || !key.is_string()
                || !object(reference(contents, members + position), depth + 1, element))
                return false;
            out[key.get<std::string>()] = std::move(element);
        }
        // The marker KeyedArchiver writes for a JSON null.
        if (out.size() == 1 && out.contains(KeyedArchiver::kNullKey) && out[KeyedArchiver::kNullKey] == true)
            out = nullptr;
        return true;
    }

    std::string_view m_data;
    std::size_t m_trailer = 0;
    std::size_t m_offsetSize = 0;
    std::size_t m_referenceSize = 0;
    std::uint64_t m_objectCount = 0;
    std::uint64_t m_tableOffset = 0;
    std::size_t m_values = 0;
};

std::optional<std::int64_t> integralValue(const Value& value)
{
    if (value.is_number_integer())
        return value.get<std::int64_t>();
    if (value.is_boolean())
        return value.get<bool>() ? 1 : 0;
    if (!value.is_number_float())
        return std::nullopt;
    double number = value.get<double>();
    // Doubles at or above 2^63 do not fit; the bound itself is exactly representable.
    if (!std::isfinite(number) || number != std::trunc(number) || number < -9223372036854775808.0 || number >= 9223372036854775808.0)
        return std::nullopt;
    return static_cast<std::int64_t>(number);
}

} // namespace

void KeyedUnarchiver::registerClass(std::string name, std::string superclassName, Decoder decoder)
{
    std::lock_guard lock(s_classesMutex);
    classes()[std::move(name)] = ClassEntry { std::move(superclassName), std::move(decoder) };
}

bool KeyedUnarchiver::isKindOfClass(const std::string& name, const std::string& ancestor)
{
    std::lock_guard lock(s_classesMutex);
    std::string current = name;
    // Bounded, so that a registration cycle cannot loop forever.
    for (std::size_t step = 0; step <= classes().size() && !current.empty(); ++step) {
        if (current == ancestor)
            return true;
        auto found = classes().find(current);
        if (found == classes().end())
            return false;
        current = found->second.superclassName;
    }
    return false;
}

KeyedUnarchiver::KeyedUnarchiver(std::string_view archive)
{
    auto values = BinaryPropertyListReader(archive).read();
    if (!values || !values->is_object()) {
        m_archive = Value::object();
        fail(kKeyedArchiveCorruptError, "the archive is not a readable keyed archive");
    } else {
        m_archive = std::move(*values);
    }
    m_scopes.push_back(&m_archive);
}

void KeyedUnarchiver::fail(long code, std::string reason)
{
    if (m_error)
        return;
    m_error = Error(KeyedArchiveErrorDomain, code, "The data couldn't be read because it isn't in the correct format.", std::move(reason));
}

bool KeyedUnarchiver::contains(const std::string& key) const
{
    return m_scopes.back()->contains(key);
}

const Value* KeyedUnarchiver::find(const std::string& key)
{
    if (m_error)
        return nullptr;
    const auto& scope = *m_scopes.back();
    auto found = scope.find(key);
    if (found == scope.end()) {
        fail(kKeyedArchiveValueError, "the archive has no value for \"" + key + "\"");
        return nullptr;
    }
    return &*found;
}

std::shared_ptr<KeyedCoding> KeyedUnarchiver::decodeObjectValue(const Value& value, const std::string& className, const std::string& key)
{
    auto nameValue = value.is_object() ? value.find(KeyedArchiver::kClassKey) : value.end();
    if (!value.is_object() || nameValue == value.end() || !nameValue->is_string()) {
        fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold an object");
        return nullptr;
    }
    auto name = nameValue->get<std::string>();
    if (!isKindOfClass(name, className)) {
        fail(kKeyedArchiveValueError, "\"" + key + "\" holds a " + name + " where a " + className + " is allowed");
        return nullptr;
    }
    Decoder decoder;
    {
        std::lock_guard lock(s_classesMutex);
        decoder = classes()[name].decoder;
    }
    if (!decoder || m_scopes.size() > static_cast<std::size_t>(kMaximumDepth)) {
        fail(kKeyedArchiveValueError, "\"" + key + "\" holds a " + name + ", which cannot be decoded");
        return nullptr;
    }
    m_scopes.push_back(&value);
    auto object = decoder(*this);
    m_scopes.pop_back();
    if (m_error)
        return nullptr; // a value inside it was refused
    if (!object)
        fail(kKeyedArchiveValueError, "\"" + key + "\" holds a " + name + " that could not be decoded");
    return object;
}

std::shared_ptr<KeyedCoding> KeyedUnarchiver::decodeObjectOfClass(const std::string& className, const std::string& key)
{
    const auto* value = find(key);
    return value ? decodeObjectValue(*value, className, key) : nullptr;
}

std::optional<std::vector<std::shared_ptr<KeyedCoding>>> KeyedUnarchiver::decodeObjectListOfClass(const std::string& className, const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    if (!value->is_array()) {
        fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold a list");
        return std::nullopt;
    }
    std::vector<std::shared_ptr<KeyedCoding>> objects;
    for (const auto& element : *value) {
        auto object = decodeObjectValue(element, className, key);
        if (!object)
            return std::nullopt;
        objects.push_back(std::move(object));
    }
    return objects;
}

std::optional<Error> KeyedUnarchiver::errorFromValue(const Value& value, int depth)
{
    auto text = [&](const char* name) -> std::optional<std::string> {
        auto found = value.find(name);
        return found != value.end() && found->is_string() ? std::optional(found->get<std::string>()) : std::nullopt;
    };
    auto className = value.is_object() ? text(KeyedArchiver::kClassKey) : std::nullopt;
    auto domain = className ? text("domain") : std::nullopt;
    auto code = domain && value.contains("code") ? integralValue(value["code"]) : std::nullopt;
    if (className != KeyedArchiver::kErrorClassName || !domain || !code || depth > kMaximumDepth)
        return std::nullopt;
    Error error(*domain, static_cast<long>(*code));
    if (auto description = text(Error::kDescriptionKey))
        error.setDescription(*description);
    if (auto reason = text(Error::kFailureReasonKey))
        error.setFailureReason(*reason);
    if (auto url = text(Error::kFailingURLKey))
        error.setFailingURL(*url);
    if (value.contains(Error::kUnderlyingErrorKey)) {
        auto underlying = errorFromValue(value[Error::kUnderlyingErrorKey], depth + 1);
        if (!underlying)
            return std::nullopt;
        error.setUnderlyingError(std::move(*underlying));
    }
    return error;
}

std::optional<Error> KeyedUnarchiver::decodeError(const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    auto error = errorFromValue(*value, 0);
    if (!error)
        fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold an error");
    return error;
}

std::optional<bool> KeyedUnarchiver::decodeBool(const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    if (value->is_boolean())
        return value->get<bool>();
    auto number = integralValue(*value);
    if (!number || (*number != 0 && *number != 1)) {
        fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold a boolean");
        return std::nullopt;
    }
    return *number == 1;
}

std::optional<std::int64_t> KeyedUnarchiver::decodeInt64(const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    auto number = value->is_boolean() ? std::nullopt : integralValue(*value);
    if (!number)
        fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold an integer");
    return number;
}

std::optional<double> KeyedUnarchiver::decodeDouble(const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    if (value->is_number_float())
        return value->get<double>();
    if (value->is_number_integer())
        return static_cast<double>(value->get<std::int64_t>());
    fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold a number");
    return std::nullopt;
}

std::optional<std::string> KeyedUnarchiver::decodeString(const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    if (value->is_string())
        return value->get<std::string>();
    fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold a text");
    return std::nullopt;
}

std::optional<std::string> KeyedUnarchiver::decodeData(const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    if (value->is_binary()) {
        const auto& bytes = value->get_binary();
        return std::string(bytes.begin(), bytes.end());
    }
    fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold bytes");
    return std::nullopt;
}

std::optional<Value> KeyedUnarchiver::decodeValue(const std::string& key)
{
    const auto* value = find(key);
    if (!value)
        return std::nullopt;
    return *value;
}

} // namespace morvix::platform
