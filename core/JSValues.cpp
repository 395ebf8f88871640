#include "core/JSValues.h"

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

} // namespace

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
    JSObjectRef object = JSValueToObject(context, value, nullptr);
    if (!object || JSObjectIsFunction(context, object) || !hasDefaultToString(context, object)
        || !isJSON(context, value, 0))
        return toString(context, value);
    if (JSValueIsArray(context, value))
        return arrayToString(context, object);
    return dictionaryToString(context, object);
}

bool JSValues::hasDefaultToString(JSContextRef context, JSObjectRef object)
{
    JSValueRef own = property(context, object, "toString");
    if (!JSValueIsObject(context, own))
        return false;
    for (const char* constructor : { "Object", "Array" }) {
        JSObjectRef standard = prototypeMember(context, constructor, "toString");
        if (standard && JSValueIsStrictEqual(context, own, standard))
            return true;
    }
    return false;
}

bool JSValues::isJSON(JSContextRef context, JSValueRef value, int depth)
{
    switch (JSValueGetType(context, value)) {
    case kJSTypeUndefined:
    case kJSTypeSymbol:
    case kJSTypeBigInt:
        return false;
    case kJSTypeNull:
    case kJSTypeBoolean:
    case kJSTypeString:
        return true;
    case kJSTypeNumber:
        return std::isfinite(JSValueToNumber(context, value, nullptr));
    case kJSTypeObject:
        break;
    }
    if (depth >= kMaximumDepth || JSValueIsDate(context, value))
        return false;
    JSObjectRef object = JSValueToObject(context, value, nullptr);
    if (JSObjectIsFunction(context, object))
        return true; // written by its own text, like any other non-string element
    if (JSValueIsArray(context, value)) {
        std::size_t length = arrayLength(context, object);
        for (std::size_t index = 0; index < length; ++index) {
            if (!isJSON(context, JSObjectGetPropertyAtIndex(context, object, static_cast<unsigned>(index), nullptr), depth + 1))
                return false;
        }
        return true;
    }
    bool valid = true;
    forEachKey(context, object, [&](JSStringRef name) {
        valid = isJSON(context, JSObjectGetProperty(context, object, name, nullptr), depth + 1);
        return valid;
    });
    return valid;
}

std::string JSValues::elementToString(JSContextRef context, JSValueRef value)
{
    if (JSValueIsString(context, value))
        return '"' + toString(context, value) + '"';
    return stringForValue(context, value);
}

std::string JSValues::arrayToString(JSContextRef context, JSObjectRef array)
{
    std::string text = "[";
    std::size_t length = arrayLength(context, array);
    for (std::size_t index = 0; index < length; ++index) {
        if (index > 0)
            text += ", ";
        text += elementToString(context, JSObjectGetPropertyAtIndex(context, array, static_cast<unsigned>(index), nullptr));
    }
    return text + "]";
}

std::string JSValues::dictionaryToString(JSContextRef context, JSObjectRef object)
{
    std::string text = "{";
    bool first = true;
    forEachKey(context, object, [&](JSStringRef name) {
        if (!first)
            text += ", ";
        first = false;
        text += utf8(name) + ':' + elementToString(context, JSObjectGetProperty(context, object, name, nullptr));
        return true;
    });
    return text + "}";
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
