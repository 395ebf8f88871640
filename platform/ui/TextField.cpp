#include "platform/ui/TextField.h"

#include "platform/graphics/GraphicsContext.h"

#include <cmath>

namespace morvix::platform {

namespace {

const Color kPlaceholderColor = Color::fromRGBA(0.7f, 0.7f, 0.7f);
constexpr const char* kBullet = "\u2022";

// The number of characters (UTF-8 sequences) of a text.
std::size_t characterCount(const std::string& text)
{
    std::size_t count = 0;
    for (unsigned char byte : text)
        count += (byte & 0xC0) != 0x80;
    return count;
}

} // namespace

std::shared_ptr<TextField> TextField::create(const Rect& frame)
{
    return std::shared_ptr<TextField>(new TextField(frame));
}

TextField::TextField(const Rect& frame)
    : Control(frame)
    , m_font(Font::system(kDefaultFontSize))
{
    setOpaque(false);
}

void TextField::setText(std::string text)
{
    m_text = std::move(text);
    setNeedsDisplay();
}

void TextField::setPlaceholder(std::string placeholder)
{
    m_placeholder = std::move(placeholder);
    setNeedsDisplay();
}

void TextField::setFont(Font font)
{
    m_font = std::move(font);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void TextField::setTextColor(Color color)
{
    m_textColor = color;
    setNeedsDisplay();
}

void TextField::setTextAlignment(TextAlignment alignment)
{
    m_alignment = alignment;
    setNeedsDisplay();
}

void TextField::setSecureTextEntry(bool secure)
{
    m_secure = secure;
    setNeedsDisplay();
}

void TextField::insertText(const std::string& text)
{
    if (!isFirstResponder() || text.empty())
        return;
    m_text += text;
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventEditingChanged);
}

void TextField::deleteBackward()
{
    if (!isFirstResponder() || m_text.empty())
        return;
    std::size_t end = m_text.size() - 1;
    while (end > 0 && (static_cast<unsigned char>(m_text[end]) & 0xC0) == 0x80)
        --end;
    m_text.erase(end);
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventEditingChanged);
}

bool TextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!Control::becomeFirstResponder())
        return false;
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    return true;
}

bool TextField::resignFirstResponder()
{
    bool wasEditing = isFirstResponder();
    if (!Control::resignFirstResponder())
        return false;
    if (wasEditing)
        sendActionsForControlEvents(ControlEventEditingDidEnd);
    return true;
}

void TextField::endedTracking(const Touch& touch, bool inside)
{
    (void)touch;
    if (inside)
        becomeFirstResponder();
}

Size TextField::intrinsicContentSize() const
{
    return { kNoIntrinsicMetric, std::ceil(m_font.lineHeight()) };
}

void TextField::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    bool showsPlaceholder = m_text.empty();
    std::string shown = showsPlaceholder ? m_placeholder : m_text;
    if (m_secure && !showsPlaceholder) {
        std::string bullets;
        for (std::size_t i = characterCount(m_text); i > 0; --i)
            bullets += kBullet;
        shown = bullets;
    }
    if (shown.empty())
        return;
    Rect box = bounds();
    AttributedString text(shown, { .font = m_font, .foregroundColor = showsPlaceholder ? kPlaceholderColor : m_textColor });
    TextLayout::Options options;
    options.wrapWidth = box.width() > 0 ? std::optional<double>(box.width()) : std::nullopt;
    options.lineLimit = 1;
    options.alignment = m_alignment;
    double height = TextLayout(text, options).size().height;
    context.save();
    context.clipToRect(box);
    context.drawText(text, options, { box.x(), box.y() + (box.height() - height) / 2 });
    context.restore();
}

} // namespace morvix::platform
