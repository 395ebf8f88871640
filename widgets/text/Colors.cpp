#include "widgets/text/Colors.h"

#include "platform/graphics/Image.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace morvix {

using platform::Color;

namespace {

struct HSB {
    double hue = 0;
    double saturation = 0;
    double brightness = 0;
};

HSB toHSB(const Color& color)
{
    double red = color.red, green = color.green, blue = color.blue;
    double maximum = std::max({ red, green, blue });
    double minimum = std::min({ red, green, blue });
    double delta = maximum - minimum;
    HSB hsb;
    hsb.brightness = maximum;
    hsb.saturation = maximum > 0 ? delta / maximum : 0;
    if (delta <= 0)
        return hsb;
    double hue = 0;
    if (maximum == red)
        hue = (green - blue) / delta;
    else if (maximum == green)
        hue = 2 + (blue - red) / delta;
    else
        hue = 4 + (red - green) / delta;
    hue /= 6;
    hsb.hue = hue < 0 ? hue + 1 : hue;
    return hsb;
}

Color fromHSB(const HSB& hsb, double alpha)
{
    double h = hsb.hue * 6, s = hsb.saturation, v = hsb.brightness;
    int sector = static_cast<int>(std::floor(h)) % 6;
    double f = h - std::floor(h);
    double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = v, b = v;
    switch (sector) {
    case 0: r = v, g = t, b = p; break;
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    default: r = v, g = p, b = q; break;
    }
    return Color::fromRGBA(float(r), float(g), float(b), float(alpha));
}

double mean(const Color& color)
{
    return (double(color.red) + color.green + color.blue) / 3;
}

} // namespace

bool Colors::isBrightColor(const Color& color)
{
    return mean(color) >= 0.5;
}

bool Colors::isDarkColor(const Color& color)
{
    return mean(color) < 0.5;
}

Color Colors::brighterColorFor(const Color& color)
{
    HSB hsb = toHSB(color);
    hsb.brightness = std::max(std::min(hsb.brightness * 1.1, 1.0), 0.1);
    return fromHSB(hsb, std::max(double(color.alpha), 0.1));
}

Color Colors::darkerColorFor(const Color& color)
{
    HSB hsb = toHSB(color);
    hsb.brightness = std::max(hsb.brightness * 0.9, 0.0);
    return fromHSB(hsb, std::max(double(color.alpha), 0.1));
}

Color Colors::highlightColorFor(const Color& color)
{
    Color rgb = toRGBColor(color);
    return isBrightColor(rgb) ? darkerColorFor(rgb) : brighterColorFor(rgb);
}

std::shared_ptr<platform::Image> Colors::imageOfColor(const Color& color)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgba(context, color.red, color.green, color.blue, color.alpha);
    cairo_rectangle(context, 0, 0, 1, 1);
    cairo_fill(context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    return platform::Image::adopt(surface);
}

std::string Colors::toHex(const Color& color)
{
    auto component = [](float value) {
        float scaled = value * 255.0f;
        if (!(scaled > 0)) // also NaN
            return 0;
        return std::min(static_cast<int>(scaled), 255);
    };
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", component(color.red), component(color.green), component(color.blue));
    return text;
}

} // namespace morvix
