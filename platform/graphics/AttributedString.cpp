#include "platform/graphics/AttributedString.h"

#include <algorithm>

namespace morvix::platform {

TextAttributes TextAttributes::mergedWith(const TextAttributes& other) const
{
    TextAttributes merged = *this;
    if (other.font)
        merged.font = other.font;
    if (other.foregroundColor)
        merged.foregroundColor = other.foregroundColor;
    if (other.underlineStyle)
        merged.underlineStyle = other.underlineStyle;
    if (other.strikethroughStyle)
        merged.strikethroughStyle = other.strikethroughStyle;
    if (other.link)
        merged.link = other.link;
    return merged;
}

AttributedString::AttributedString(std::string text, TextAttributes attributes)
    : m_text(std::move(text))
{
    if (!m_text.empty())
        m_runs.push_back({ 0, m_text.size(), std::move(attributes) });
}

TextAttributes AttributedString::attributesAt(std::size_t position) const
{
    for (const auto& run : m_runs) {
        if (position >= run.location && position < run.location + run.length)
            return run.attributes;
    }
    return {};
}

void AttributedString::append(std::string_view text, const TextAttributes& attributes)
{
    if (text.empty())
        return;
    // The runs are joined already: only the last one can take the new text in, so that appending
    // piece by piece stays linear in the pieces.
    if (!m_runs.empty() && m_runs.back().attributes == attributes)
        m_runs.back().length += text.size();
    else
        m_runs.push_back({ m_text.size(), text.size(), attributes });
    m_text.append(text);
}

void AttributedString::append(const AttributedString& other)
{
    for (const auto& run : other.m_runs)
        append(std::string_view(other.m_text).substr(run.location, run.length), run.attributes);
}

void AttributedString::splitAt(std::size_t position)
{
    for (auto it = m_runs.begin(); it != m_runs.end(); ++it) {
        if (position <= it->location || position >= it->location + it->length)
            continue;
        Run tail { position, it->location + it->length - position, it->attributes };
        it->length = position - it->location;
        m_runs.insert(it + 1, std::move(tail));
        return;
    }
}

void AttributedString::normalize()
{
    std::vector<Run> joined;
    for (auto& run : m_runs) {
        if (run.length == 0)
            continue;
        if (!joined.empty() && joined.back().attributes == run.attributes) {
            joined.back().length += run.length;
            continue;
        }
        joined.push_back(std::move(run));
    }
    m_runs = std::move(joined);
}

template<typename Change>
void AttributedString::changeRange(std::size_t location, std::size_t length, Change change)
{
    location = std::min(location, m_text.size());
    std::size_t end = location + std::min(length, m_text.size() - location);
    if (location == end)
        return;
    splitAt(location);
    splitAt(end);
    for (auto& run : m_runs) {
        if (run.location >= location && run.location + run.length <= end)
            change(run.attributes);
    }
    normalize();
}

void AttributedString::erase(std::size_t location, std::size_t length)
{
    location = std::min(location, m_text.size());
    length = std::min(length, m_text.size() - location);
    if (length == 0)
        return;
    std::size_t end = location + length;
    splitAt(location);
    splitAt(end);
    std::vector<Run> kept;
    for (auto& run : m_runs) {
        if (run.location >= location && run.location + run.length <= end)
            continue;
        if (run.location >= end)
            run.location -= length;
        kept.push_back(std::move(run));
    }
    m_runs = std::move(kept);
    m_text.erase(location, length);
    normalize();
}

void AttributedString::setFont(const std::optional<Font>& font, std::size_t location, std::size_t length)
{
    changeRange(location, length, [&](TextAttributes& attributes) { attributes.font = font; });
}

void AttributedString::setForegroundColor(const std::optional<Color>& color, std::size_t location, std::size_t length)
{
    changeRange(location, length, [&](TextAttributes& attributes) { attributes.foregroundColor = color; });
}

} // namespace morvix::platform
