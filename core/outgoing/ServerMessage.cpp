#include "core/outgoing/ServerMessage.h"

#include "platform/foundation/SystemLog.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>

namespace morvix {

namespace {

// Containers are written down to this depth; one nested deeper is written as null.
constexpr int kGeneratorMaxDepth = 127;

void warn(const std::string& text)
{
    platform::systemLog("warning: " + text);
}

// The length of the well-formed UTF-8 sequence that starts at `text[0]`, or, when none does, the
// negative length of its longest start that could still become one (at least one byte): the
// "maximal subpart" that one replacement character stands for.
int sequenceLength(std::string_view text)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF; // the range of the second byte; later ones are always 80..BF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<std::size_t>(i) >= text.size() || byte(i) < low || byte(i) > high)
            return -i;
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

bool isValidUTF8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        int length = sequenceLength(text.substr(i));
        if (length < 0)
            return false;
        i += static_cast<std::size_t>(length);
    }
    return true;
}

// `text` with each maximal subpart of an ill-formed sequence replaced by U+FFFD, as the Unicode
// standard recommends; counts the replacements into `replacements`.
std::string repairUTF8(std::string_view text, std::size_t& replacements)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string repaired;
    repaired.reserve(text.size() + 8);
    std::size_t i = 0;
    while (i < text.size()) {
        int length = sequenceLength(text.substr(i));
        if (length > 0) {
            repaired.append(text.substr(i, static_cast<std::size_t>(length)));
            i += static_cast<std::size_t>(length);
            continue;
        }
        repaired.append(kReplacement);
        ++replacements;
        i += static_cast<std::size_t>(-length);
    }
    return repaired;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The text being written: appending is a check of the room left and a copy, inline, where each
// append to a std::string is a call of its own.
class Text {
public:
    explicit Text(std::size_t expectedLength)
    {
        m_text.resize(std::max<std::size_t>(expectedLength, 64));
    }

    Text& operator+=(char character)
    {
        if (m_length == m_text.size())
            grow(1);
        m_text[m_length++] = character;
        return *this;
    }
    Text& operator+=(std::string_view text)
    {
        append(text.data(), text.size());
        return *this;
    }
    void append(const char* bytes, std::size_t count)
    {
        if (m_text.size() - m_length < count)
            grow(count);
        std::memcpy(m_text.data() + m_length, bytes, count);
        m_length += count;
    }
    void append(const char* begin, const char* end) { append(begin, static_cast<std::size_t>(end - begin)); }

    std::string take()
    {
        m_text.resize(m_length);
        return std::move(m_text);
    }

private:
    void grow(std::size_t count) { m_text.resize(std::max(m_text.size() * 2, m_length + count)); }

    std::string m_text; // its size is the room; the first m_length bytes are written
    std::size_t m_length = 0;
};

// Appends `text` in quotation marks, escaped as JSON generators commonly escape it: quotation
// mark and reverse solidus, backspace, form feed, line feed, carriage return and tab by their
// short escapes, the other control characters as \u00XX in upper-case hex, everything else (the
// solidus, DEL and all of UTF-8) as it is.
void appendQuoted(Text& out, std::string_view text)
{
    out += '"';
    std::size_t pending = 0; // the first byte not appended yet
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        out.append(text.data() + pending, i - pending);
        pending = i + 1;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: {
            const char escape[] = { '\\', 'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 0xF] };
            out.append(escape, sizeof escape);
        }
        }
    }
    out.append(text.data() + pending, text.size() - pending);
    out += '"';
}

// Prints compact JSON straight into a text: no spaces, members and elements separated by a
// comma, a member's name by a colon.
class Writer {
public:
    explicit Writer(Text& out)
        : m_out(out)
    {
    }

    void write(const WireOperation& operation)
    {
        if (operation.kind == WireOperation::Kind::Other)
            return write(operation.array, 2);
        m_out += '[';
        writeString(WireOperation::kindName(operation.kind));
        m_out += ',';
        writeString(operation.target);
        if (operation.kind != WireOperation::Kind::Set) {
            m_out += ',';
            writeString(operation.name);
        }
        m_out += ',';
        if (operation.kind == WireOperation::Kind::Set && operation.map.is_object())
            writeProperties(operation.target, operation.map);
        else
            write(operation.map, 3);
        m_out += ']';
    }

    /// Appends `text` as it is: punctuation between the values written.
    void raw(std::string_view text) { m_out += text; }

    void writeString(std::string_view text)
    {
        if (isValidUTF8(text))
            return appendQuoted(m_out, text);
        appendQuoted(m_out, repairUTF8(text, m_replacements));
    }

    /// Invalid UTF-8 sequences replaced so far.
    std::size_t replacements() const { return m_replacements; }

    void write(const platform::Value& value, int depth)
    {
        switch (value.type()) {
        case platform::Value::value_t::object:
            return writeObject(value, depth);
        case platform::Value::value_t::array:
            return writeArray(value, depth);
        case platform::Value::value_t::string:
            return writeString(value.get_ref<const std::string&>());
        case platform::Value::value_t::boolean:
            m_out += value.get<bool>() ? "true" : "false";
            return;
        case platform::Value::value_t::number_integer:
            return writeInteger(value.get<std::int64_t>());
        case platform::Value::value_t::number_unsigned:
            return writeInteger(value.get<std::uint64_t>());
        case platform::Value::value_t::number_float:
            return writeDouble(value);
        case platform::Value::value_t::null:
        case platform::Value::value_t::binary:
        case platform::Value::value_t::discarded:
            m_out += "null";
            return;
        }
    }

private:
    bool tooDeep(int depth)
    {
        if (depth < kGeneratorMaxDepth)
            return false;
        warn("outgoing value nested deeper than " + std::to_string(kGeneratorMaxDepth) + " levels, written as null");
        m_out += "null";
        return true;
    }

    void writeObject(const platform::Value& value, int depth)
    {
        if (tooDeep(depth))
            return;
        m_out += '{';
        bool first = true;
        for (const auto& [key, member] : value.get_ref<const platform::Value::object_t&>()) {
            if (!std::exchange(first, false))
                m_out += ',';
            writeString(key);
            m_out += ':';
            write(member, depth + 1);
        }
        m_out += '}';
    }

    // The properties of a set operation: those declared floating-point keep the fraction of a
    // whole number.
    void writeProperties(const std::string& target, const platform::Value& properties)
    {
        m_out += '{';
        bool first = true;
        for (const auto& [key, member] : properties.get_ref<const platform::Value::object_t&>()) {
            if (!std::exchange(first, false))
                m_out += ',';
            writeString(key);
            m_out += ':';
            if (member.is_number_float() && ServerMessage::isFloatingPoint(target, key))
                writeDouble(member, Fraction::Keep);
            else
                write(member, 4);
        }
        m_out += '}';
    }

    void writeArray(const platform::Value& value, int depth)
    {
        if (tooDeep(depth))
            return;
        m_out += '[';
        bool first = true;
        for (const auto& element : value.get_ref<const platform::Value::array_t&>()) {
            if (!std::exchange(first, false))
                m_out += ',';
            write(element, depth + 1);
        }
        m_out += ']';
    }

    template<typename Integer>
    void writeInteger(Integer number)
    {
        char text[24];
        auto end = std::to_chars(text, text + sizeof text, number).ptr;
        m_out.append(text, end);
    }

    enum class Fraction { DropWhenWhole, Keep };

    void writeDouble(const platform::Value& value, Fraction fraction = Fraction::DropWhenWhole)
    {
        double number = value.get<double>();
        if (!std::isfinite(number)) {
            warn("outgoing number " + std::to_string(number) + " is not finite, written as null");
            m_out += "null";
            return;
        }
        // Whole numbers as integers, the rest in their shortest form (`platform::numberText`
        // without its string): never the 17 or 20 significant digits of printf's forms, which
        // would send 0.1 as 0.10000000000000001.
        bool whole = number == std::trunc(number) && std::fabs(number) < 1e15;
        if (whole && fraction == Fraction::DropWhenWhole)
            return writeInteger(static_cast<long long>(number));
        char text[64];
        auto end = whole ? std::to_chars(text, text + sizeof text, static_cast<long long>(number)).ptr
                         : std::to_chars(text, text + sizeof text, number).ptr;
        if (whole)
            end = std::copy_n(".0", 2, end);
        m_out.append(text, end);
    }

    Text& m_out;
    std::size_t m_replacements = 0;
};

// Writes what `body` gives; logs the UTF-8 replacements once. The text starts with room for
// `expectedLength` bytes.
template<typename Body>
std::string write(Body&& body, std::size_t expectedLength = 0)
{
    Text text(expectedLength);
    Writer writer(text);
    body(writer);
    if (auto count = writer.replacements())
        warn("outgoing message: " + std::to_string(count) + " invalid UTF-8 sequence" + (count == 1 ? "" : "s")
            + " replaced with U+FFFD");
    return text.take();
}

// Room enough for most operations as the library writes them: target, name and a few short
// properties.
constexpr std::size_t kExpectedOperationLength = 64;

} // namespace

namespace {

std::mutex s_floatingPointMutex; // guards s_floatingPoint
// The declared keys by target; looked up by views, so that writing a set allocates nothing.
std::map<std::string, std::set<std::string, std::less<>>, std::less<>> s_floatingPoint;

// Set once the first declaration is made: until then no lookup takes the lock.
std::atomic<bool> s_anyFloatingPoint = false;

} // namespace

void ServerMessage::declareFloatingPoint(const std::string& target, const std::string& key)
{
    std::lock_guard lock(s_floatingPointMutex);
    s_floatingPoint[target].insert(key);
    s_anyFloatingPoint.store(true, std::memory_order_release);
}

bool ServerMessage::isFloatingPoint(const std::string& target, const std::string& key)
{
    if (!s_anyFloatingPoint.load(std::memory_order_acquire))
        return false;
    std::lock_guard lock(s_floatingPointMutex);
    auto keys = s_floatingPoint.find(std::string_view(target));
    return keys != s_floatingPoint.end() && keys->second.contains(std::string_view(key));
}

const std::string ServerMessage::kHeadKey = "head";
const std::string ServerMessage::kOperationsKey = "operations";

ServerMessage::ServerMessage(platform::Value head, std::vector<WireOperation> operations)
    : m_operations(std::move(operations))
{
    if (head.is_object() && !head.empty())
        m_head = std::move(head);
}

platform::Value& ServerMessage::getHead()
{
    if (!m_head)
        m_head = platform::Value::object();
    return *m_head;
}

void ServerMessage::setRequestCounter(std::int64_t counter)
{
    getHead()["requestCounter"] = counter;
}

std::string ServerMessage::serialize() const
{
    return write([this](Writer& writer) {
        writer.raw("{");
        if (m_head) {
            writer.writeString(kHeadKey);
            writer.raw(":");
            writer.write(*m_head, 1);
            writer.raw(",");
        }
        writer.writeString(kOperationsKey);
        writer.raw(":[");
        bool first = true;
        for (const auto& operation : m_operations) {
            if (!std::exchange(first, false))
                writer.raw(",");
            writer.write(operation);
        }
        writer.raw("]}");
    }, 64 + m_operations.size() * kExpectedOperationLength);
}

platform::Value ServerMessage::json() const
{
    platform::Value document = platform::Value::object();
    if (m_head)
        document[kHeadKey] = *m_head;
    auto& operations = document[kOperationsKey] = platform::Value::array();
    for (const auto& operation : m_operations)
        operations.push_back(operation.toArray());
    return document;
}

std::string ServerMessage::serialize(const platform::Value& value)
{
    return write([&](Writer& writer) { writer.write(value, 0); });
}

} // namespace morvix
