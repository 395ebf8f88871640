#include "widgets/text/FontResolver.h"

#include "platform/graphics/FontCatalog.h"
#include "widgets/text/FontRegistry.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace morvix {

using platform::Font;
using platform::FontCatalog;

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return pieces;
        start = end + 1;
    }
}

std::string lowercased(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return result;
}

// The generic serif and monospace families name fonts that Linux does not ship; the Liberation
// faces are their metric-compatible stand-ins, so texts measure the same.
std::string installedOrStandIn(const std::string& family, const std::string& standIn)
{
    return FontCatalog::installed().hasFamily(family) ? family : standIn;
}

} // namespace

std::string_view FontResolver::trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\n\r\v\f";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<std::string> FontResolver::extractValue(std::string_view property, std::string_view description)
{
    std::optional<std::string> value;
    for (auto piece : split(description, ';')) {
        piece = trim(piece);
        if (!piece.starts_with(property))
            continue;
        // A declaration that is only the name has no value, and as the last one it leaves none.
        if (piece.size() == property.size()) {
            value.reset();
            continue;
        }
        value = std::string(trim(piece.substr(property.size() + 1)));
    }
    return value;
}

double FontResolver::extractSize(std::string_view description)
{
    auto value = extractValue("font-size", description);
    if (!value)
        return kDefaultSize;
    std::string_view text = *value;
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double size = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (error != std::errc() || !std::isfinite(size))
        return kDefaultSize;
    return size;
}

bool FontResolver::extractWeight(std::string_view description)
{
    return extractValue("font-weight", description) == "bold";
}

bool FontResolver::extractStyle(std::string_view description)
{
    return extractValue("font-style", description) == "italic";
}

std::string FontResolver::normalizeFamily(std::string_view family)
{
    std::string name = lowercased(family);
    if (name == "sans-serif")
        return Font::system(kDefaultSize).faceName();
    if (name == "serif")
        return installedOrStandIn("Times New Roman", "Liberation Serif");
    if (name == "monospace")
        return installedOrStandIn("Courier New", "Liberation Mono");
    return std::string(family);
}

std::vector<std::string> FontResolver::splitFamilies(std::string_view families)
{
    std::vector<std::string> result;
    for (auto item : split(families, ','))
        result.push_back(normalizeFamily(trim(item)));
    return result;
}

std::optional<std::string> FontResolver::findFamily(const std::string& name)
{
    if (!FontCatalog::installed().hasFamily(name))
        return std::nullopt;
    return name;
}

std::optional<std::string> FontResolver::extractFontName(std::string_view description, bool bold, bool italic)
{
    auto families = extractValue("font-family", description);
    if (!families)
        return std::nullopt;
    for (const auto& family : splitFamilies(*families)) {
        auto installed = findFamily(family);
        if (!installed)
            continue;
        if (auto face = FontRegistry::instance().fontForFamily(*installed, bold, italic))
            return face;
    }
    return std::nullopt;
}

std::optional<Font> FontResolver::computeFont(const std::string& faceName, double size, bool bold, bool italic)
{
    // The registry's system-font entries stand for the system user-interface font.
    std::optional<Font> plain = faceName.find(".SFUIText") != std::string::npos
        ? Font::system(size)
        : Font::withName(faceName, size);
    if (!plain)
        return std::nullopt;
    if (!bold && !italic)
        return plain;
    return plain->withTraits({ bold, italic }).value_or(*plain);
}

Font FontResolver::computeFallbackFont(double size, bool bold, bool italic)
{
    if (bold)
        return Font::system(size, { .bold = true });
    if (italic)
        return Font::system(size, { .italic = true });
    return Font::system(size);
}

Font FontResolver::fontWithDescription(std::string_view description)
{
    double size = extractSize(description);
    bool bold = extractWeight(description);
    bool italic = extractStyle(description);
    std::string faceName = extractFontName(description, bold, italic).value_or(FontCatalog::installed().preferredBodyFace().faceName);
    if (auto font = computeFont(faceName, size, bold, italic))
        return *font;
    return computeFallbackFont(size, bold, italic);
}

} // namespace morvix
