#pragma once
// Text with formatting runs.

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix::platform {

/// The formatting of a stretch of text. Each attribute is optional: absent means "not set
/// here", so that sets of attributes can be merged. Plain value type.
struct TextAttributes {
    std::optional<Font> font = std::nullopt;
    std::optional<Color> foregroundColor = std::nullopt;
    /// Underline style; 1 is a single line.
    std::optional<int> underlineStyle = std::nullopt;
    /// Strike-through style; 1 is a single line.
    std::optional<int> strikethroughStyle = std::nullopt;
    /// A link target; may be the empty text.
    std::optional<std::string> link = std::nullopt;

    bool operator==(const TextAttributes&) const = default;

    /// These attributes with every attribute that `other` sets taking its value from `other`.
    TextAttributes mergedWith(const TextAttributes& other) const;
};

/// A UTF-8 text divided into runs, each with its attributes. Positions and lengths count bytes
/// of the UTF-8 text. Adjacent runs with equal attributes are joined, and there are no empty
/// runs, so two strings with the same text and formatting compare equal. Plain value type;
/// any thread.
class AttributedString {
public:
    struct Run {
        std::size_t location = 0;
        std::size_t length = 0;
        TextAttributes attributes;

        bool operator==(const Run&) const = default;
    };

    AttributedString() = default;
    explicit AttributedString(std::string text, TextAttributes attributes = {});

    const std::string& string() const { return m_text; }
    std::size_t length() const { return m_text.size(); }
    bool empty() const { return m_text.empty(); }
    const std::vector<Run>& runs() const { return m_runs; }
    /// The attributes at a byte position; empty attributes past the end.
    TextAttributes attributesAt(std::size_t position) const;

    void append(std::string_view text, const TextAttributes& attributes);
    void append(const AttributedString& other);
    /// Deletes `length` bytes at `location`; a range past the end is cut at the end.
    void erase(std::size_t location, std::size_t length);
    /// Sets the font (or, with nothing, removes it) over a range; a range past the end is cut
    /// at the end.
    void setFont(const std::optional<Font>& font, std::size_t location, std::size_t length);
    /// Sets the foreground colour (or, with nothing, removes it) over a range.
    void setForegroundColor(const std::optional<Color>& color, std::size_t location, std::size_t length);

    bool operator==(const AttributedString&) const = default;

private:
    template<typename Change>
    void changeRange(std::size_t location, std::size_t length, Change change);
    void splitAt(std::size_t position);
    void normalize();

    std::string m_text;
    std::vector<Run> m_runs;
};

} // namespace morvix::platform
