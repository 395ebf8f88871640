#include "core/ServerMessage.h"

#include "platform/foundation/SystemLog.h"

#include <yajl/yajl_gen.h>

#include <cassert>
#include <cmath>
#include <limits>
#include <memory>

namespace morvix {

namespace {

// The generator refuses to open a container at this depth or deeper.
constexpr int kGeneratorMaxDepth = 127;

void warn(const std::string& text)
{
    platform::systemLog("warning: " + text);
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
            return check(yajl_gen_integer(m_generator, value.get<std::int64_t>()));
        case platform::Value::value_t::number_unsigned:
            return writeUnsigned(value.get<std::uint64_t>());
        case platform::Value::value_t::number_float:
            return writeDouble(value);
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

    void writeArray(const platform::Value& value, int depth)
    {
        if (tooDeep(depth))
            return;
        check(yajl_gen_array_open(m_generator));
        for (const auto& element : value.get_ref<const platform::Value::array_t&>())
            write(element, depth + 1);
        check(yajl_gen_array_close(m_generator));
    }

    void writeString(const std::string& text)
    {
        check(yajl_gen_string(m_generator, reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    }

    void writeUnsigned(std::uint64_t number)
    {
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<long long>::max()))
            return check(yajl_gen_integer(m_generator, static_cast<long long>(number)));
        std::string text = std::to_string(number);
        check(yajl_gen_number(m_generator, text.data(), text.size()));
    }

    void writeDouble(const platform::Value& value)
    {
        // The generator's own double output prints 20 significant digits (0.1 would become
        // 0.10000000000000000555) and refuses NaN and infinity outright.
        if (!std::isfinite(value.get<double>())) {
            warn("outgoing number " + std::to_string(value.get<double>()) + " is not finite, written as null");
            return check(yajl_gen_null(m_generator));
        }
        std::string text = platform::numberText(value);
        check(yajl_gen_number(m_generator, text.data(), text.size()));
    }

    yajl_gen m_generator;
};

} // namespace

ServerMessage::ServerMessage(platform::Value head, std::vector<platform::Value> operations)
{
    if (head.is_object() && !head.empty())
        m_dictionary["head"] = std::move(head);
    if (operations.empty())
        return;
    auto& array = m_dictionary["operations"] = platform::Value::array();
    auto& elements = array.get_ref<platform::Value::array_t&>();
    elements.reserve(operations.size());
    for (auto& operation : operations)
        elements.push_back(std::move(operation));
}

platform::Value& ServerMessage::getHead()
{
    if (!m_dictionary.contains("head")) {
        // Keep "head" first, as it is when the message is made with head attributes.
        platform::Value reordered = platform::Value::object();
        reordered["head"] = platform::Value::object();
        for (auto& [key, member] : m_dictionary.items())
            reordered[key] = std::move(member);
        m_dictionary = std::move(reordered);
    }
    return m_dictionary["head"];
}

platform::Value& ServerMessage::getOperations()
{
    auto& operations = m_dictionary["operations"];
    if (!operations.is_array())
        operations = platform::Value::array();
    return operations;
}

void ServerMessage::setRequestCounter(std::int64_t counter)
{
    getHead()["requestCounter"] = counter;
}

std::string ServerMessage::serialize()
{
    getOperations();
    return serialize(m_dictionary);
}

const platform::Value& ServerMessage::json()
{
    getOperations();
    return m_dictionary;
}

std::string ServerMessage::serialize(const platform::Value& value)
{
    Generator generator(yajl_gen_alloc(nullptr));
    yajl_gen_config(generator.get(), yajl_gen_beautify, 0);
    yajl_gen_config(generator.get(), yajl_gen_indent_string, "");
    Writer(generator.get()).write(value, 0);
    const unsigned char* buffer = nullptr;
    size_t length = 0;
    yajl_gen_get_buf(generator.get(), &buffer, &length);
    return std::string(reinterpret_cast<const char*>(buffer), length);
}

} // namespace morvix
