#include "widgets/lists/TextCell.h"

#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/controls/Label.h"
#include "widgets/lists/TreeItem.h"
#include "widgets/text/AttributedStrings.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

using platform::LayoutAttribute;
using platform::LayoutConstraint;
using platform::LayoutRelation;
using platform::Value;

void TextCell::apply(const Value& description)
{
    Cell::apply(description);
    auto text = description.is_object() ? description.find("text") : description.end();
    m_text = description.is_object() && text != description.end() && text->is_string() ? std::optional(text->get<std::string>()) : std::nullopt;
    auto wrap = description.is_object() ? description.find("wrap") : description.end();
    m_wrap = description.is_object() && wrap != description.end() && (wrap->is_boolean() || wrap->is_number()) && platform::boolValue(*wrap);
}

int TextCell::countLines(const std::string& text)
{
    int lines = 1;
    for (char character : text) {
        if (character == '\n')
            ++lines;
    }
    return lines;
}

std::optional<platform::AttributedString> TextCell::attributedText() const
{
    if (!m_text)
        return std::nullopt;
    if (markupEnabled())
        return AttributedStrings::attributedStringFromMarkupString(m_text, font().value_or(FontHelper::textFont()), foreground());
    return platform::AttributedString(*m_text);
}

platform::Font TextCell::effectiveFont(const TreeItem* item) const
{
    if (item && item->font())
        return *item->font();
    return font().value_or(FontHelper::textFont());
}

std::shared_ptr<platform::View> TextCell::internalCreateView()
{
    auto container = makeContainer();
    auto label = platform::Label::create();
    label->setBackgroundColor(platform::Color::clear());
    label->setUserInteractionEnabled(isSelectable());
    label->setTag(kTag);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    container->addSubview(label);
    if (!bindingIndex())
        applyText(attributedText(), *label, nullptr);
    applyWrap(*label);
    label->setFont(font().value_or(FontHelper::textFont()));
    label->setTextColor(foreground());
    label->setTextAlignment(horizontalAlignment() == "CENTER" ? platform::TextAlignment::Center
            : horizontalAlignment() == "RIGHT"                ? platform::TextAlignment::Right
                                                              : platform::TextAlignment::Left);
    auto equal = [&](LayoutAttribute attribute) {
        container->addConstraint(LayoutConstraint::create(label, attribute, LayoutRelation::Equal, container, attribute));
    };
    equal(LayoutAttribute::Left);
    equal(LayoutAttribute::Right);
    equal(verticalAlignment() == "CENTER" ? LayoutAttribute::CenterY
            : verticalAlignment() == "BOTTOM" ? LayoutAttribute::Bottom
                                              : LayoutAttribute::Top);
    return container;
}

void TextCell::updateWith(const std::shared_ptr<TreeItem>& item, std::size_t column, platform::View& cellView)
{
    cellView.setBackgroundColor((item ? item->backgroundForColumn(column) : std::nullopt).value_or(background()));
    auto label = std::dynamic_pointer_cast<platform::Label>(cellView.viewWithTag(kTag));
    if (!label)
        return;
    label->setFont(effectiveFont(item.get()));
    label->setTextColor((item ? item->foregroundForColumn(column) : std::nullopt).value_or(foreground()));
    applyText(item ? std::optional(item->textForColumn(column)) : std::nullopt, *label, item.get());
    applyWrap(*label);
}

void TextCell::applyText(const std::optional<platform::AttributedString>& text, platform::Label& label, const TreeItem* item) const
{
    label.setNumberOfLines(text ? countLines(text->string()) : 1);
    if (!markupEnabled()) {
        label.setText(text ? text->string() : "");
        return;
    }
    label.setText("");
    if (!text)
        return;
    std::optional<platform::Color> color;
    if (item && bindingIndex())
        color = item->foregroundForColumn(*bindingIndex());
    auto styled = AttributedStrings::attributedString(text, effectiveFont(item), color.value_or(foreground()));
    label.setAttributedText(styled.value_or(*text));
}

void TextCell::applyWrap(platform::Label& label) const
{
    if (m_wrap) {
        label.setNumberOfLines(0);
        label.setLineBreakMode(platform::LineBreakMode::WordWrap);
        return;
    }
    label.setLineBreakMode(label.numberOfLines() < 2 ? platform::LineBreakMode::TruncateTail : platform::LineBreakMode::Clip);
}

} // namespace morvix
