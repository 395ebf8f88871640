#include "core/script/JSErrorLocation.h"

#include "core/script/JSValues.h"
#include "platform/foundation/ConfinedFile.h"
#include "platform/net/Url.h"

#include <cmath>
#include <filesystem>
#include <vector>

namespace morvix {

namespace {

struct Place {
    std::string url;
    long line = 0;
    long column = 0; // 0: none given
};

std::optional<long> positiveNumber(JSContextRef context, JSValueRef value)
{
    if (!value || !JSValueIsNumber(context, value))
        return std::nullopt;
    double number = JSValueToNumber(context, value, nullptr);
    if (!std::isfinite(number) || number < 1 || number > 1e9)
        return std::nullopt;
    return static_cast<long>(number);
}

std::optional<long> digits(std::string_view text)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::stol(std::string(text));
}

// One "function@url:line:column" frame of a stack; nothing for a frame without a source.
std::optional<Place> frameOf(std::string_view frame)
{
    auto at = frame.find('@');
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = frame.substr(at + 1);
    auto second = rest.rfind(':');
    if (second == std::string_view::npos)
        return std::nullopt;
    auto first = rest.rfind(':', second == 0 ? 0 : second - 1);
    if (first == std::string_view::npos || first == 0)
        return std::nullopt;
    auto line = digits(rest.substr(first + 1, second - first - 1));
    auto column = digits(rest.substr(second + 1));
    if (!line || !column || *line < 1)
        return std::nullopt;
    return Place { std::string(rest.substr(0, first)), *line, *column };
}

std::optional<Place> placeOf(JSContextRef context, JSObjectRef error)
{
    JSValueRef source = JSValues::property(context, error, "sourceURL");
    auto line = positiveNumber(context, JSValues::property(context, error, "line"));
    if (JSValueIsString(context, source) && line) {
        auto column = positiveNumber(context, JSValues::property(context, error, "column"));
        return Place { JSValues::toString(context, source), *line, column.value_or(0) };
    }
    JSValueRef stack = JSValues::property(context, error, "stack");
    if (!JSValueIsString(context, stack))
        return std::nullopt;
    std::string frames = JSValues::toString(context, stack);
    std::string_view rest = frames;
    while (!rest.empty()) {
        auto end = rest.find('\n');
        if (auto place = frameOf(rest.substr(0, end)))
            return place;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return std::nullopt;
}

bool isLineTerminator(JSChar c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

bool isIdentifierPart(JSChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'$' || c >= 0x80;
}

// Where line `line` (1-based) of `text` begins and ends (before its terminator); nothing when
// the text has fewer lines.
std::optional<std::pair<std::size_t, std::size_t>> lineBounds(const JSChar* text, std::size_t length, long line)
{
    std::size_t start = 0;
    for (long current = 1; current < line; ++current) {
        while (start < length && !isLineTerminator(text[start]))
            ++start;
        if (start == length)
            return std::nullopt;
        start += (text[start] == u'\r' && start + 1 < length && text[start + 1] == u'\n') ? 2 : 1;
    }
    std::size_t end = start;
    while (end < length && !isLineTerminator(text[end]))
        ++end;
    return std::pair { start, end };
}

struct SyntaxFailure {
    std::string text;
    long line = 0;
};

// How the first `length` units of `text` fail to parse; nothing when they parse.
std::optional<SyntaxFailure> checkSyntax(JSContextRef context, const JSChar* text, std::size_t length)
{
    JSText source = JSText::adopt(JSStringCreateWithCharacters(text, length));
    JSValueRef exception = nullptr;
    if (JSCheckScriptSyntax(context, source.get(), nullptr, 1, &exception) || !exception)
        return std::nullopt;
    long line = 0;
    if (JSValueIsObject(context, exception))
        line = positiveNumber(context, JSValues::property(context, JSValueToObject(context, exception, nullptr), "line")).value_or(0);
    return SyntaxFailure { JSValues::toString(context, exception), line };
}

} // namespace

std::string JSErrorLocation::moduleName(const std::string& url, const std::optional<std::string>& applicationFolder)
{
    auto parsed = platform::Url::parse(url);
    if (!applicationFolder || !parsed || !parsed->isFileURL())
        return url;
    auto path = platform::ConfinedFile::decodeReference(url);
    if (!path)
        return url;
    std::filesystem::path file(*path);
    std::error_code error;
    // Modules are read by their resolved paths: compare with the folder's resolved path too.
    for (const std::filesystem::path& folder : { std::filesystem::path(*applicationFolder), std::filesystem::weakly_canonical(*applicationFolder, error) }) {
        if (!folder.empty() && platform::ConfinedFile::isInside(file, folder))
            return file.lexically_relative(folder).generic_string();
    }
    return url;
}

std::optional<std::string> JSErrorLocation::locate(JSContextRef context, JSValueRef error, const std::optional<std::string>& applicationFolder,
    const HeadWidths& headWidths)
{
    if (!error || !JSValueIsObject(context, error))
        return std::nullopt;
    auto place = placeOf(context, JSValueToObject(context, error, nullptr));
    if (!place || place->url.empty())
        return std::nullopt;
    if (place->line == 1 && place->column > 0) {
        auto head = headWidths.find(place->url);
        if (head != headWidths.end())
            place->column = std::max<long>(1, place->column - static_cast<long>(head->second));
    }
    std::string text = moduleName(place->url, applicationFolder) + ":" + std::to_string(place->line);
    if (place->column > 0)
        text += ":" + std::to_string(place->column);
    return text;
}

std::string JSErrorLocation::describe(JSContextRef context, JSValueRef error, const std::optional<std::string>& applicationFolder,
    const HeadWidths& headWidths)
{
    std::string text = JSValues::toString(context, error);
    auto place = locate(context, error, applicationFolder, headWidths);
    return place ? *place + ": " + text : text;
}

void JSErrorLocation::completeSyntaxError(JSContextRef context, JSValueRef error, std::string_view source)
{
    if (!error || !JSValueIsObject(context, error))
        return;
    JSObjectRef object = JSValueToObject(context, error, nullptr);
    // A syntax error raised while a native function runs carries the column of the script
    // that called it, not one of the source: only the parser's line is the source's.
    auto line = positiveNumber(context, JSValues::property(context, object, "line"));
    if (!line || JSValues::toString(context, JSValues::property(context, object, "name")) != "SyntaxError")
        return;
    JSText column("column");
    JSObjectDeleteProperty(context, object, column.get(), nullptr);
    JSText whole(source);
    std::size_t length = JSStringGetLength(whole.get());
    if (length > kLongestSourceToSearch)
        return;
    const JSChar* text = JSStringGetCharactersPtr(whole.get());
    auto bounds = lineBounds(text, length, *line);
    auto failure = checkSyntax(context, text, length);
    if (!bounds || !failure)
        return;
    auto failsThere = [&](std::size_t end) {
        auto truncated = checkSyntax(context, text, end);
        return truncated && truncated->text == failure->text && truncated->line == failure->line;
    };
    auto [start, end] = *bounds;
    if (!failsThere(end))
        return;
    // The shortest beginning that already fails as the whole does ends with the offending token.
    std::size_t low = start, high = end;
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        if (failsThere(middle))
            high = middle;
        else
            low = middle + 1;
    }
    std::size_t token = low > start ? low - 1 : start;
    while (token > start && isIdentifierPart(text[token]) && isIdentifierPart(text[token - 1]))
        --token;
    JSValues::setProperty(context, object, "column", JSValueMakeNumber(context, static_cast<double>(token - start + 1)));
}

} // namespace morvix
