#include "widgets/controls/TextView.h"

#include "widgets/delegating/DelegatingLabel.h"
#include "widgets/text/AttributedStrings.h"
#include "widgets/text/FontHelper.h"

#include <cmath>

namespace morvix {

using platform::Value;

const WireTable& TextView::wire()
{
    static const WireTable table = WireTable::extend(Control::wire()).events(Control::touchEvents());
    return table;
}

const PropertyTable& TextView::properties()
{
    static const PropertyTable table = PropertyTable::extend<TextView>(Control::properties())
                                           .string("text", &TextView::setText, &TextView::text)
                                           .string("alignment", &TextView::setAlignment, &TextView::alignment)
                                           .boolean("markupEnabled", &TextView::setMarkupEnabled, &TextView::markupEnabled)
                                           .number("maxLines", &TextView::setMaxLines, &TextView::maxLines)
                                           .font("font", &TextView::setFont, &TextView::currentFont);
    return table;
}

const PropertyNames& TextView::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "text", "alignment", "markupEnabled", "maxLines" });
    return names;
}

TextView::TextView(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_label(DelegatingLabel::create())
{
}

TextView::~TextView() = default;

void TextView::didConstruct()
{
    RemoteClass::didConstruct();
    m_label->setDelegate(std::static_pointer_cast<TextView>(shared_from_this()));
    m_label->setBackgroundColor(platform::Color::clear());
    m_label->setUserInteractionEnabled(true);
    m_label->setClipsToBounds(true);
    m_label->setAutoresizingMask(platform::AutoresizingNone);
    m_label->setTranslatesAutoresizingMaskIntoConstraints(false);
    setAlignment(std::string("left"));
    setMaxLines(std::nullopt);
    setFont(std::nullopt);
    setForeground(std::nullopt);
}

std::shared_ptr<platform::View> TextView::view() const
{
    return m_label;
}

void TextView::setText(std::optional<std::string> text)
{
    m_text = std::move(text);
    updateTextContent();
}

void TextView::setAlignment(std::optional<std::string> alignment)
{
    m_alignment = std::move(alignment);
    auto aligned = platform::TextAlignment::Left;
    if (m_alignment == "center")
        aligned = platform::TextAlignment::Center;
    else if (m_alignment == "right")
        aligned = platform::TextAlignment::Right;
    m_label->setTextAlignment(aligned);
}

void TextView::setMaxLines(std::optional<Value> lines)
{
    if (lines && !lines->is_number())
        lines.reset();
    m_maxLines = std::move(lines);
    double limit = m_maxLines ? m_maxLines->get<double>() : 0;
    if (std::isfinite(limit) && limit >= 1) {
        m_label->setNumberOfLines(static_cast<int>(std::min(limit, 1e6)));
        m_label->setLineBreakMode(platform::LineBreakMode::TruncateTail);
        return;
    }
    m_label->setNumberOfLines(0);
    m_label->setLineBreakMode(platform::LineBreakMode::WordWrap);
}

void TextView::setMarkupEnabled(bool enabled)
{
    m_markupEnabled = enabled;
    updateTextContent();
}

void TextView::setFont(std::optional<platform::Font> font)
{
    RemoteClass::setFont(std::move(font));
    updateTextContent();
}

std::optional<platform::Font> TextView::currentFont() const
{
    return font().value_or(FontHelper::labelFont());
}

void TextView::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color.value_or(FontHelper::labelColor()));
    updateTextContent();
}

void TextView::updateTextContent()
{
    showTextContent(*m_label, m_text, m_markupEnabled, *currentFont(), foreground().value_or(FontHelper::labelColor()));
}

void TextView::showTextContent(platform::Label& label, const std::optional<std::string>& text, bool markup,
    const platform::Font& font, const platform::Color& color)
{
    bool hasText = text && !text->empty();
    if (hasText && markup) {
        auto attributed = AttributedStrings::attributedStringFromMarkupString(text, font, color);
        label.setAttributedText(attributed.value_or(platform::AttributedString("")));
        return;
    }
    // Setting the plain text replaces any attributed text, so no stale markup survives.
    label.setTextColor(color);
    label.setFont(font);
    label.setText(hasText ? *text : std::string());
}

void TextView::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    RemoteClass::setBackgroundImage(image);
    if (!image) {
        m_label->setBackgroundColor(background());
        return;
    }
    applyBackgroundImage(image, m_label);
}

} // namespace morvix
