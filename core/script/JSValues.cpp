#include "core/script/JSValues.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace morvix {

using platform::Value;

namespace {

// Deeper nesting than this is not written out as JSON text; it also ends cycles.
constexpr int kMaximumDepth = 64;

std::size_t arrayLength(JSContextRef context, JSObjectRef array)
{
    double length = JSValueToNumber(context, JSValues::property(context, array, "length"), nullptr);
    return std::isfinite(length) && length > 0 ? static_cast<std::size_t>(length) : 0;
}

JSObjectRef prototypeMember(JSContextRef context, const char* constructor, const char* member)
{
    JSObjectRef global = JSContextGetGlobalObject(context);
    JSValueRef type = JSValues::property(context, global, constructor);
    if (!JSValueIsObject(context, type))
        return nullptr;
    JSValueRef prototype = JSValues::property(context, JSValueToObject(context, type, nullptr), "prototype");
    if (!JSValueIsObject(context, prototype))
        return nullptr;
    JSValueRef function = JSValues::property(context, JSValueToObject(context, prototype, nullptr), member);
    return JSValueIsObject(context, function) ? JSValueToObject(context, function, nullptr) : nullptr;
}

template<typename Visit>
void forEachKey(JSContextRef context, JSObjectRef object, Visit&& visit)
{
    JSPropertyNameArrayRef names = JSObjectCopyPropertyNames(context, object);
    std::size_t count = JSPropertyNameArrayGetCount(names);
    for (std::size_t index = 0; index < count; ++index) {
        JSStringRef name = JSPropertyNameArrayGetNameAtIndex(names, index);
        if (!visit(name))
            break;
    }
    JSPropertyNameArrayRelease(names);
}

std::string utf8(JSStringRef string)
{
    std::size_t size = JSStringGetMaximumUTF8CStringSize(string);
    std::string text(size, '\0');
    std::size_t written = JSStringGetUTF8CString(string, text.data(), size);
    text.resize(written > 0 ? written - 1 : 0);
    return text;
}

// Longer console text is cut: a few shared sub-objects make the text grow exponentially with
// the nesting.
constexpr std::size_t kMaximumLength = 64 * 1024;
constexpr std::string_view kCutMark = "...";

} // namespace

// The console text of a plain object or array, written in one walk: each value is read once
// for each time it is written, so the work is linear in the text, which is bounded. A value
// that is not JSON (or a cycle, or nesting too deep) anywhere in what is written ends the walk
// with failure, and the caller falls back to the value's own string conversion.
class JSValues::ConsoleWriter {
public:
    explicit ConsoleWriter(JSContextRef context)
        : m_context(context)
        , m_objectToString(prototypeMember(context, "Object", "toString"))
        , m_arrayToString(prototypeMember(context, "Array", "toString"))
    {
    }

    bool hasDefaultToString(JSObjectRef object) const
    {
        JSValueRef own = property(m_context, object, "toString");
        if (!JSValueIsObject(m_context, own))
            return false;
        return (m_objectToString && JSValueIsStrictEqual(m_context, own, m_objectToString))
            || (m_arrayToString && JSValueIsStrictEqual(m_context, own, m_arrayToString));
    }

    bool writeContainer(JSObjectRef object)
    {
        if (m_ancestors.size() >= static_cast<std::size_t>(kMaximumDepth) || JSValueIsDate(m_context, object) || isAncestor(object))
            return false;
        m_ancestors.push_back(object);
        bool written = JSValueIsArray(m_context, object) ? writeArray(object) : writeDictionary(object);
        m_ancestors.pop_back();
        return written;
    }

    /// The text, cut at the length bound (on a character boundary) with a mark.
    std::string finish()
    {
        if (!m_cut)
            return std::move(m_text);
        std::size_t end = kMaximumLength;
        while (end > 0 && (static_cast<unsigned char>(m_text[end]) & 0xC0) == 0x80)
            --end;
        m_text.resize(end);
        return m_text + std::string(kCutMark);
    }

private:
    bool isAncestor(JSObjectRef object) const
    {
        return std::any_of(m_ancestors.begin(), m_ancestors.end(), [&](JSObjectRef ancestor) {
            return JSValueIsStrictEqual(m_context, ancestor, object);
        });
    }

    void append(std::string_view text)
    {
        m_text += text;
        m_cut = m_text.size() > kMaximumLength;
    }

    bool writeArray(JSObjectRef array)
    {
        append("[");
        std::size_t length = arrayLength(m_context, array);
        for (std::size_t index = 0; index < length && !m_cut; ++index) {
            if (index > 0)
                append(", ");
            if (!writeElement(JSObjectGetPropertyAtIndex(m_context, array, static_cast<unsigned>(index), nullptr)))
                return false;
        }
        append("]");
        return true;
    }

    bool writeDictionary(JSObjectRef object)
    {
        append("{");
        bool first = true;
        bool valid = true;
        forEachKey(m_context, object, [&](JSStringRef name) {
            if (!first)
                append(", ");
            first = false;
            append(utf8(name) + ':');
            valid = writeElement(JSObjectGetProperty(m_context, object, name, nullptr));
            return valid && !m_cut;
        });
        append("}");
        return valid;
    }

    bool writeElement(JSValueRef value)
    {
        switch (JSValueGetType(m_context, value)) {
        case kJSTypeUndefined:
        case kJSTypeSymbol:
        case kJSTypeBigInt:
            return false;
        case kJSTypeNumber:
            if (!std::isfinite(JSValueToNumber(m_context, value, nullptr)))
                return false;
            append(toString(m_context, value));
            return true;
        case kJSTypeNull:
        case kJSTypeBoolean:
            append(toString(m_context, value));
            return true;
        case kJSTypeString:
            append('"' + toString(m_context, value) + '"');
            return true;
        case kJSTypeObject:
            break;
        }
        JSObjectRef object = JSValueToObject(m_context, value, nullptr);
        if (JSValueIsDate(m_context, value))
            return false;
        // Functions and objects with a string conversion of their own are written by it.
        if (JSObjectIsFunction(m_context, object) || !hasDefaultToString(object)) {
            append(toString(m_context, value));
            return true;
        }
        return writeContainer(object);
    }

    JSContextRef m_context;
    JSObjectRef m_objectToString;
    JSObjectRef m_arrayToString;
    std::vector<JSObjectRef> m_ancestors; // the containers being written, outermost first
    std::string m_text;
    bool m_cut = false;
};

JSText::JSText(std::string_view utf8)
    : m_string(JSStringCreateWithUTF8CString(std::string(utf8).c_str()))
{
}

JSText JSText::adopt(JSStringRef string)
{
    JSText text;
    text.m_string = string;
    return text;
}

JSText::~JSText()
{
    if (m_string)
        JSStringRelease(m_string);
}

JSText::JSText(JSText&& other) noexcept
    : m_string(other.m_string)
{
    other.m_string = nullptr;
}

std::string JSText::utf8() const
{
    return m_string ? morvix::utf8(m_string) : std::string();
}

std::string JSValues::toString(JSContextRef context, JSValueRef value)
{
    JSValueRef exception = nullptr;
    JSStringRef string = JSValueToStringCopy(context, value, &exception);
    if (!string)
        return "undefined";
    return JSText::adopt(string).utf8();
}

std::string JSValues::stringForValues(JSContextRef context, std::size_t count, const JSValueRef values[])
{
    std::string text;
    for (std::size_t index = 0; index < count; ++index) {
        if (index > 0)
            text += ' ';
        text += stringForValue(context, values[index]);
    }
    return text;
}

std::string JSValues::stringForValue(JSContextRef context, JSValueRef value)
{
    if (JSValueIsObject(context, value))
        return stringForObject(context, value);
    return toString(context, value);
}

std::string JSValues::stringForObject(JSContextRef context, JSValueRef value)
{
    ConsoleWriter writer(context);
    JSObjectRef object = JSValueToObject(context, value, nullptr);
    if (!object || JSObjectIsFunction(context, object) || !writer.hasDefaultToString(object) || !writer.writeContainer(object))
        return toString(context, value);
    return writer.finish();
}

std::optional<Value> JSValues::toValue(JSContextRef context, JSValueRef value)
{
    JSValueRef exception = nullptr;
    JSStringRef json = JSValueCreateJSONString(context, value, 0, &exception);
    if (!json)
        return std::nullopt;
    Value parsed = Value::parse(JSText::adopt(json).utf8(), nullptr, false);
    if (parsed.is_discarded())
        return std::nullopt;
    return parsed;
}

JSValueRef JSValues::fromValue(JSContextRef context, const Value& value)
{
    switch (value.type()) {
    case Value::value_t::null:
    case Value::value_t::discarded:
    case Value::value_t::binary:
        return JSValueMakeNull(context);
    case Value::value_t::boolean:
        return JSValueMakeBoolean(context, value.get<bool>());
    case Value::value_t::number_integer:
    case Value::value_t::number_unsigned:
    case Value::value_t::number_float:
        return JSValueMakeNumber(context, value.get<double>());
    case Value::value_t::string:
        return JSValueMakeString(context, JSText(value.get_ref<const std::string&>()).get());
    case Value::value_t::array: {
        std::vector<JSValueRef> elements;
        elements.reserve(value.size());
        for (const Value& element : value)
            elements.push_back(fromValue(context, element));
        return JSObjectMakeArray(context, elements.size(), elements.data(), nullptr);
    }
    case Value::value_t::object: {
        JSObjectRef object = JSObjectMake(context, nullptr, nullptr);
        for (const auto& [key, member] : value.items())
            setProperty(context, object, key, fromValue(context, member));
        return object;
    }
    }
    return JSValueMakeUndefined(context);
}

JSValueRef JSValues::property(JSContextRef context, JSObjectRef object, std::string_view name)
{
    JSValueRef exception = nullptr;
    JSValueRef value = JSObjectGetProperty(context, object, JSText(name).get(), &exception);
    return exception || !value ? JSValueMakeUndefined(context) : value;
}

void JSValues::setProperty(JSContextRef context, JSObjectRef object, std::string_view name, JSValueRef value)
{
    JSObjectSetProperty(context, object, JSText(name).get(), value, kJSPropertyAttributeNone, nullptr);
}

JSValueRef JSValues::makeError(JSContextRef context, std::string_view message)
{
    JSValueRef argument = JSValueMakeString(context, JSText(message).get());
    return JSObjectMakeError(context, 1, &argument, nullptr);
}

} // namespace morvix
