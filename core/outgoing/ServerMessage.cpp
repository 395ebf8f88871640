#include "core/outgoing/ServerMessage.h"

#include "platform/foundation/SystemLog.h"

#include <yajl/yajl_gen.h>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>

namespace morvix {

namespace {

// The generator refuses to open a container at this depth or deeper.
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

struct GeneratorDeleter {
    void operator()(yajl_gen generator) const { yajl_gen_free(generator); }
};
using Generator = std::unique_ptr<std::remove_pointer_t<yajl_gen>, GeneratorDeleter>;

class Writer {
public:
    explicit Writer(yajl_gen generator)
        : m_generator(generator)
    {
    }

    void write(const WireOperation& operation)
    {
        if (operation.kind == WireOperation::Kind::Other)
            return write(operation.array, 2);
        check(yajl_gen_array_open(m_generator));
        writeString(WireOperation::kindName(operation.kind));
        writeString(operation.target);
        if (operation.kind != WireOperation::Kind::Set)
            writeString(operation.name);
        if (operation.kind == WireOperation::Kind::Set && operation.map.is_object())
            writeProperties(operation);
        else
            write(operation.map, 3);
        check(yajl_gen_array_close(m_generator));
    }

    void openMap() { check(yajl_gen_map_open(m_generator)); }
    void closeMap() { check(yajl_gen_map_close(m_generator)); }
    void openArray() { check(yajl_gen_array_open(m_generator)); }
    void closeArray() { check(yajl_gen_array_close(m_generator)); }

    void writeString(const std::string& text)
    {
        if (isValidUTF8(text))
            return check(yajl_gen_string(m_generator, reinterpret_cast<const unsigned char*>(text.data()), text.size()));
        std::string repaired = repairUTF8(text, m_replacements);
        check(yajl_gen_string(m_generator, reinterpret_cast<const unsigned char*>(repaired.data()), repaired.size()));
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
            return check(yajl_gen_bool(m_generator, value.get<bool>() ? 1 : 0));
        case platform::Value::value_t::number_integer:
            return writeInteger(value.get<std::int64_t>());
        case platform::Value::value_t::number_unsigned:
            return writeUnsigned(value.get<std::uint64_t>());
        case platform::Value::value_t::number_float:
            return writeDouble(value.get<double>());
        case platform::Value::value_t::null:
        case platform::Value::value_t::binary:
        case platform::Value::value_t::discarded:
            return check(yajl_gen_null(m_generator));
        }
    }

private:
    void check(yajl_gen_status status)
    {
        assert(status == yajl_gen_status_ok && "outgoing JSON generator refused a value");
        (void)status;
    }

    bool tooDeep(int depth)
    {
        if (depth < kGeneratorMaxDepth)
            return false;
        warn("outgoing value nested deeper than " + std::to_string(kGeneratorMaxDepth) + " levels, written as null");
        check(yajl_gen_null(m_generator));
        return true;
    }

    void writeObject(const platform::Value& value, int depth)
    {
        if (tooDeep(depth))
            return;
        check(yajl_gen_map_open(m_generator));
        for (const auto& [key, member] : value.get_ref<const platform::Value::object_t&>()) {
            writeString(key);
            write(member, depth + 1);
        }
        check(yajl_gen_map_close(m_generator));
    }

    // The properties of a set operation: those recorded as floating-point keep the fraction of
    // a whole number.
    void writeProperties(const WireOperation& operation)
    {
        check(yajl_gen_map_open(m_generator));
        for (const auto& [key, member] : operation.map.get_ref<const platform::Value::object_t&>()) {
            writeString(key);
            if (member.is_number() && !operation.floatingPointKeys.empty() && operation.isFloatingPoint(key))
                writeDouble(member.get<double>(), Fraction::Keep);
            else
                write(member, 4);
        }
        check(yajl_gen_map_close(m_generator));
    }

    void writeArray(const platform::Value& value, int depth)
    {
        if (tooDeep(depth))
            return;
        check(yajl_gen_array_open(m_generator));
        for (const auto& element : value.get_ref<const platform::Value::array_t&>())
            write(element, depth + 1);
        check(yajl_gen_array_close(m_generator));
    }

    // The generator's own integer output goes through printf; the text is the same.
    template<typename Integer>
    void writeInteger(Integer number)
    {
        char text[24];
        auto end = std::to_chars(text, text + sizeof text, number).ptr;
        check(yajl_gen_number(m_generator, text, static_cast<std::size_t>(end - text)));
    }

    void writeUnsigned(std::uint64_t number) { writeInteger(number); }

    enum class Fraction { DropWhenWhole, Keep };

    // The rules of the class comment. The generator's own double output prints 20 significant
    // digits (0.1 would become 0.10000000000000000555) and refuses NaN and infinity outright.
    void writeDouble(double number, Fraction fraction = Fraction::DropWhenWhole)
    {
        if (!std::isfinite(number)) {
            warn("outgoing number " + std::to_string(number) + " is not finite, written as null");
            return check(yajl_gen_null(m_generator));
        }
        // Every double from -2^63 on and below 2^63 converts to a 64-bit integer exactly.
        constexpr double kIntegerLimit = 9223372036854775808.0;
        const bool whole = number == std::trunc(number);
        if (whole && fraction == Fraction::DropWhenWhole && number >= -kIntegerLimit && number < kIntegerLimit)
            return writeInteger(static_cast<std::int64_t>(number));
        // Fixed notation of a whole double is its exact digits (up to 309 of them), so that
        // ".0" makes it a fraction at any size; "-0.0" keeps the sign of zero. A whole number too
        // large for an integer is always an exponent, never a run of digits that a peer would
        // read as an integer it cannot hold.
        char text[kLongestFixedDouble];
        char* end = nullptr;
        if (whole && fraction == Fraction::Keep)
            end = std::copy_n(".0", 2, std::to_chars(text, text + sizeof text, number, std::chars_format::fixed).ptr);
        else if (whole)
            end = std::to_chars(text, text + sizeof text, number, std::chars_format::scientific).ptr;
        else
            end = std::to_chars(text, text + sizeof text, number).ptr;
        check(yajl_gen_number(m_generator, text, static_cast<std::size_t>(end - text)));
    }

    // A sign, the 309 digits of the largest double, ".0", with room to spare.
    static constexpr std::size_t kLongestFixedDouble = 330;

    yajl_gen m_generator;
    std::size_t m_replacements = 0;
};

void appendTo(void* text, const char* bytes, size_t length)
{
    static_cast<std::string*>(text)->append(bytes, length);
}

// Writes what `body` gives with a compact generator; logs the UTF-8 replacements once. The
// generator prints straight into the text returned, which starts with room for `expectedLength`
// bytes: its own buffer would grow by copying and then be copied once more.
template<typename Body>
std::string write(Body&& body, std::size_t expectedLength = 0)
{
    std::string text;
    text.reserve(expectedLength);
    Generator generator(yajl_gen_alloc(nullptr));
    yajl_gen_config(generator.get(), yajl_gen_beautify, 0);
    yajl_gen_config(generator.get(), yajl_gen_indent_string, "");
    yajl_gen_config(generator.get(), yajl_gen_print_callback, appendTo, &text);
    Writer writer(generator.get());
    body(writer);
    if (auto count = writer.replacements())
        warn("outgoing message: " + std::to_string(count) + " invalid UTF-8 sequence" + (count == 1 ? "" : "s")
            + " replaced with U+FFFD");
    return text;
}

// Room enough for most operations as the library writes them: target, name and a few short
// properties.
constexpr std::size_t kExpectedOperationLength = 64;

} // namespace

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
        writer.openMap();
        if (m_head) {
            writer.writeString(kHeadKey);
            writer.write(*m_head, 1);
        }
        writer.writeString(kOperationsKey);
        writer.openArray();
        for (const auto& operation : m_operations)
            writer.write(operation);
        writer.closeArray();
        writer.closeMap();
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

std::string ServerMessage::serialize(const WireOperation& operation)
{
    return write([&](Writer& writer) { writer.write(operation); }, kExpectedOperationLength);
}

} // namespace morvix
