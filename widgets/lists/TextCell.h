#pragma once
// A text placed in a row template.

#include "platform/graphics/AttributedString.h"
#include "widgets/lists/Cell.h"

#include <optional>
#include <string>

namespace morvix {

namespace platform {
class Label;
}

/// A template cell showing a text: its own "text" without a binding, else the bound column of
/// each row's item, in a label (tag `kTag`) inside a clipping container. Lines: as many as the
/// text has pieces between newlines; with "wrap" any number, word-wrapped; without, one line is
/// truncated at the tail and several are clipped. Text cells take the column's background. Main
/// thread only.
class TextCell final : public Cell {
public:
    static constexpr int kTag = 10001;

    TextCell() : Cell("text") { }
    void apply(const platform::Value& description) override;
    void updateWith(const std::shared_ptr<TreeItem>& item, std::size_t column, platform::View& cellView) override;
    int viewTag() const override { return kTag; }

    const std::optional<std::string>& text() const { return m_text; }
    bool wraps() const { return m_wrap; }
    /// The static text, as markup or plain; none without a text.
    std::optional<platform::AttributedString> attributedText() const;
    /// Pieces between newline characters, at least 1 ("a\n" has two).
    static int countLines(const std::string& text);

protected:
    std::shared_ptr<platform::View> internalCreateView() override;

private:
    void applyText(const std::optional<platform::AttributedString>& text, platform::Label& label, const TreeItem* item) const;
    void applyWrap(platform::Label& label) const;
    platform::Font effectiveFont(const TreeItem* item) const;

    std::optional<std::string> m_text;
    bool m_wrap = false;
};

} // namespace morvix
