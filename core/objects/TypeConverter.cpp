#include "core/objects/TypeConverter.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace morvix {

using platform::Value;

namespace {

platform::Font systemFont(const std::vector<std::string>&, double size, bool bold, bool italic)
{
    return platform::Font::system(size, { bold, italic });
}

std::atomic<TypeConverter::FontResolution> s_fontResolution = &systemFont;

} // namespace

void TypeConverter::setFontResolution(FontResolution resolution)
{
    s_fontResolution = resolution ? resolution : &systemFont;
}

bool TypeConverter::isNumber(const Value& value)
{
    return platform::isNumber(value);
}

Value TypeConverter::floatNumber(double number)
{
    float single = static_cast<float>(number);
    if (!std::isfinite(single))
        return static_cast<double>(single);
    // Print the float's shortest form and read it back, so that 13.3 stays 13.3 instead of
    // becoming the float's exact expansion 13.300000190734863.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer - 1, single);
    *result.ptr = '\0';
    return std::strtod(buffer, nullptr);
}

float TypeConverter::floatAt(const Value& array, std::size_t index)
{
    return static_cast<float>(platform::numberValue(array[index]).value_or(0));
}

bool TypeConverter::isArrayOfNumbers(const Value& value, std::size_t count)
{
    if (!value.is_array() || value.size() != count)
        return false;
    for (const auto& element : value) {
        if (!isNumber(element))
            return false;
    }
    return true;
}

std::optional<platform::Color> TypeConverter::toUIColor(const Value& value)
{
    if (!value.is_array() || value.size() < 3)
        return std::nullopt;
    for (const auto& element : value) {
        if (!isNumber(element))
            return std::nullopt;
    }
    float alpha = value.size() >= 4 ? floatAt(value, 3) : 255.0f;
    return platform::Color::fromRGBA(floatAt(value, 0) / 255.0f, floatAt(value, 1) / 255.0f,
        floatAt(value, 2) / 255.0f, alpha / 255.0f);
}

std::optional<Value> TypeConverter::fromUIColor(const std::optional<platform::Color>& color)
{
    if (!color)
        return std::nullopt;
    auto component = [](float c) -> Value {
        float scaled = std::round(c * 255.0f);
        // Components are not clamped; one too large for an integer stays a floating number.
        if (!(std::fabs(scaled) < 9.0e18f))
            return static_cast<double>(scaled);
        return static_cast<long long>(scaled);
    };
    return Value::array({ component(color->red), component(color->green), component(color->blue),
        component(color->alpha) });
}

std::optional<TypeConverter::NativeFont> TypeConverter::toUIFont(const Value& value)
{
    if (!value.is_array() || value.size() != 4 || !value[0].is_array())
        return std::nullopt;
    if (!isNumber(value[1]) || !isNumber(value[2]) || !isNumber(value[3]))
        return std::nullopt;
    double size = *platform::numberValue(value[1]);
    if (!std::isfinite(size))
        return std::nullopt;
    std::vector<std::string> names;
    for (const auto& name : value[0]) {
        if (name.is_string())
            names.push_back(name.get<std::string>());
    }
    return s_fontResolution.load()(names, size, *platform::numberValue(value[2]) != 0,
        *platform::numberValue(value[3]) != 0);
}

std::optional<Value> TypeConverter::fromUIFont(const std::optional<NativeFont>& font)
{
    if (!font)
        return std::nullopt;
    return Value::array({ Value::array({ font->familyName() }), floatNumber(font->pointSize()), font->isBold(),
        font->isItalic() });
}

bool TypeConverter::validCGPointArray(const Value& value)
{
    return isArrayOfNumbers(value, 2);
}

bool TypeConverter::validCGRectArray(const Value& value)
{
    return isArrayOfNumbers(value, 4);
}

platform::Point TypeConverter::toCGPoint(const Value& value)
{
    if (!validCGPointArray(value))
        return {};
    return { floatAt(value, 0), floatAt(value, 1) };
}

Value TypeConverter::fromCGPoint(const platform::Point& point)
{
    return Value::array({ floatNumber(point.x), floatNumber(point.y) });
}

platform::Rect TypeConverter::toCGRect(const Value& value)
{
    if (!validCGRectArray(value))
        return {};
    return { floatAt(value, 0), floatAt(value, 1), floatAt(value, 2), floatAt(value, 3) };
}

Value TypeConverter::fromCGRect(const platform::Rect& rect)
{
    return Value::array({ floatNumber(rect.x()), floatNumber(rect.y()), floatNumber(rect.width()),
        floatNumber(rect.height()) });
}

} // namespace morvix
