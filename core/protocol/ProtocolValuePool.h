#pragma once
// The heap parts of the values a reader has handed over, kept to build the next ones in.

#include "platform/foundation/Value.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvix {

/// Keeps what a response reader's values held on the heap once they have been handed over:
/// the string objects, and the storage of arrays and objects, emptied. The next values of the
/// body are built in them, so that reading a stream of similar operations stops allocating
/// after the first few: a JSON string, array or object value otherwise costs a heap block of
/// its own, and its storage one more.
///
/// What is kept is bounded: at most `kMaximumSpares` of each kind, and only strings of at most
/// `kMaximumStringCapacity` bytes and containers of at most `kMaximumContainerCapacity`
/// elements; the rest is freed, so one large operation does not leave its memory with the
/// reader. Values come out of the pool exactly as fresh ones would: empty containers, and
/// strings holding only the text given.
///
/// Owned by one `ProtocolProcessor`; used on the thread that parses.
class ProtocolValuePool final {
public:
    static constexpr std::size_t kMaximumSpares = 128;
    static constexpr std::size_t kMaximumStringCapacity = 256;
    static constexpr std::size_t kMaximumContainerCapacity = 64;

    ProtocolValuePool() = default;
    ProtocolValuePool(const ProtocolValuePool&) = delete;
    ProtocolValuePool& operator=(const ProtocolValuePool&) = delete;

    /// A string value holding `text`.
    platform::Value string(std::string_view text);
    /// An empty array value, with room for a few elements.
    platform::Value array();
    /// An empty object value, with room for a few members.
    platform::Value object();

    /// Takes `value` apart, innermost first, keeping what fits the bounds and freeing the rest
    /// (without the work list nlohmann allocates to destroy a container), and leaves `value`
    /// null. Recursion depth is the value's nesting depth, which the reader bounds.
    void recycle(platform::Value& value);

    /// How many spares of each kind are kept now. For tests.
    std::size_t spareStrings() const { return m_strings.size(); }
    std::size_t spareArrays() const { return m_arrays.size(); }
    std::size_t spareObjects() const { return m_objects.size(); }

private:
    static constexpr std::size_t kFreshArrayCapacity = 4;
    static constexpr std::size_t kFreshObjectCapacity = 8;

    platform::Value takeContainer(std::vector<platform::Value>& spares, platform::Value::value_t kind,
        std::size_t freshCapacity);
    bool keep(std::vector<platform::Value>& spares, platform::Value& value);

    std::vector<platform::Value> m_strings;
    std::vector<platform::Value> m_arrays;
    std::vector<platform::Value> m_objects;
};

// Inline, so that whatever builds the reader's sources one by one (its fuzz target) needs no
// source of the pool.

inline platform::Value ProtocolValuePool::string(std::string_view text)
{
    if (m_strings.empty())
        return platform::Value(std::string(text));
    platform::Value value = std::move(m_strings.back());
    m_strings.pop_back();
    value.get_ref<std::string&>().assign(text.data(), text.size());
    return value;
}

inline platform::Value ProtocolValuePool::array()
{
    return takeContainer(m_arrays, platform::Value::value_t::array, kFreshArrayCapacity);
}

inline platform::Value ProtocolValuePool::object()
{
    return takeContainer(m_objects, platform::Value::value_t::object, kFreshObjectCapacity);
}

inline platform::Value ProtocolValuePool::takeContainer(std::vector<platform::Value>& spares,
    platform::Value::value_t kind, std::size_t freshCapacity)
{
    if (!spares.empty()) {
        platform::Value value = std::move(spares.back());
        spares.pop_back();
        return value;
    }
    platform::Value value(kind);
    if (auto* items = value.get_ptr<platform::Value::array_t*>())
        items->reserve(freshCapacity);
    else if (auto* members = value.get_ptr<platform::Value::object_t*>())
        members->reserve(freshCapacity);
    return value;
}

inline void ProtocolValuePool::recycle(platform::Value& value)
{
    bool kept = false;
    if (auto* items = value.get_ptr<platform::Value::array_t*>()) {
        for (auto& item : *items)
            recycle(item);
        items->clear();
        kept = items->capacity() <= kMaximumContainerCapacity && keep(m_arrays, value);
    } else if (auto* members = value.get_ptr<platform::Value::object_t*>()) {
        for (auto& member : *members)
            recycle(member.second);
        members->clear();
        kept = members->capacity() <= kMaximumContainerCapacity && keep(m_objects, value);
    } else if (auto* text = value.get_ptr<std::string*>()) {
        kept = text->capacity() <= kMaximumStringCapacity && keep(m_strings, value);
    }
    // What was not kept is an empty container, a string or a scalar by now: nothing nested is
    // left for nlohmann's destruction to walk.
    if (!kept)
        value = nullptr;
}

inline bool ProtocolValuePool::keep(std::vector<platform::Value>& spares, platform::Value& value)
{
    if (spares.size() >= kMaximumSpares)
        return false;
    if (spares.capacity() == 0)
        spares.reserve(kMaximumSpares);
    // Moving leaves `value` null.
    spares.push_back(std::move(value));
    return true;
}

} // namespace morvix
