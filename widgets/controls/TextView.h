#pragma once
// "morvix.TextView": a read-only text, plain or markup, with a line limit.

#include "platform/graphics/Font.h"
#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingLabel;

namespace platform {
class Label;
}

/// Shows a read-only text in one `DelegatingLabel`, which is the widget's view; markup when
/// "markupEnabled" is on. "alignment" "center" or "right" aligns so, anything else left.
/// "maxLines" of 1 or more (its integer part) shows that many lines, the last cut with a tail
/// ellipsis; null, 0 or less shows every line, wrapped between words. Defaults: left, no
/// limit, the label font and colour, a clear background. Main thread only.
class TextView : public RemoteClass<TextView, Control> {
public:
    static constexpr std::string_view kRemoteType = "morvix.TextView";

    static const PropertyTable& properties();
    /// `Control`'s names, then "text", "alignment", "markupEnabled", "maxLines".
    static const PropertyNames& remoteObjectProperties();
    /// Its base's events and the raw touches, which its view hands it.
    static const WireTable& wire();

    TextView(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~TextView() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingLabel>& label() const { return m_label; }

    const std::optional<std::string>& text() const { return m_text; }
    void setText(std::optional<std::string> text);
    const std::optional<std::string>& alignment() const { return m_alignment; }
    void setAlignment(std::optional<std::string> alignment);
    bool markupEnabled() const { return m_markupEnabled; }
    void setMarkupEnabled(bool enabled);
    const std::optional<platform::Value>& maxLines() const { return m_maxLines; }
    /// A value that is not a number counts as null.
    void setMaxLines(std::optional<platform::Value> lines);

    /// Null means the label font.
    void setFont(std::optional<platform::Font> font) override;
    /// The stored font, else the label font.
    std::optional<platform::Font> currentFont() const;
    /// Null means the label colour.
    void setForeground(std::optional<platform::Color> color) override;
    /// Null shows the background colour on the label.
    void setBackgroundImage(std::optional<platform::Value> image) override;

    /// Shows `text` on `label`: as markup over `font` and `color`, or as plain text in them,
    /// clearing the other representation; an empty or null text leaves the label empty.
    static void showTextContent(platform::Label& label, const std::optional<std::string>& text, bool markup,
        const platform::Font& font, const platform::Color& color);

protected:
    void didConstruct() override;

private:
    /// Shows the text as markup or plain text, clearing the other representation.
    void updateTextContent();

    bool m_markupEnabled = false;
    std::shared_ptr<DelegatingLabel> m_label;
    std::optional<std::string> m_alignment;
    std::optional<std::string> m_text;
    std::optional<platform::Value> m_maxLines;
};

} // namespace morvix
