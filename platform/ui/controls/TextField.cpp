#include "platform/ui/controls/TextField.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/GraphicsContext.h"

#include <cmath>

namespace morvix::platform {

namespace {

const Color kPlaceholderColor = Color::fromRGBA(0.7f, 0.7f, 0.7f);
const Color kLineBorderColor = Color::fromRGBA(0.2f, 0.2f, 0.2f);
const Color kRoundedBorderColor = Color::fromRGBA(0.8f, 0.8f, 0.8f);
constexpr const char* kBullet = "\u2022";
// Room between a drawn border and the text.
constexpr double kBorderPadding = 7;
constexpr double kRoundedCornerRadius = 5;

} // namespace

std::string displayedText(const std::string& text, bool secure)
{
    if (!secure)
        return text;
    std::string bullets;
    // One bullet per character: a surrogate pair is one character, as the user sees it.
    std::size_t characters = 0;
    for (unsigned char byte : text)
        characters += (byte & 0xC0) != 0x80;
    for (; characters > 0; --characters)
        bullets += kBullet;
    return bullets;
}

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

void TextField::setBorderStyle(TextBorderStyle style)
{
    m_borderStyle = style;
    setNeedsDisplay();
}

bool TextField::shouldChangeText(TextRange range, const std::string& replacement)
{
    auto delegate = m_delegate.lock();
    return !delegate || delegate->textFieldShouldChangeCharacters(*this, range, replacement);
}

void TextField::editedText()
{
    sendActionsForControlEvents(ControlEventEditingChanged);
    auto self = std::static_pointer_cast<TextField>(shared_from_this());
    NotificationCenter::defaultCenter()->post(kTextDidChangeNotification, this, nullptr, self);
}

void TextField::pressReturn()
{
    if (!acceptsTyping())
        return;
    if (auto delegate = m_delegate.lock())
        delegate->textFieldShouldReturn(*this);
}

bool TextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder())
        return false;
    if (auto delegate = m_delegate.lock(); delegate && !delegate->textFieldShouldBeginEditing(*this))
        return false;
    if (!Control::becomeFirstResponder())
        return false;
    if (m_clearsOnBeginEditing)
        setText({});
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    if (auto delegate = m_delegate.lock())
        delegate->textFieldDidBeginEditing(*this);
    return true;
}

bool TextField::resignFirstResponder()
{
    bool wasEditing = isFirstResponder();
    if (!Control::resignFirstResponder())
        return false;
    if (!wasEditing)
        return true;
    sendActionsForControlEvents(ControlEventEditingDidEnd);
    if (auto delegate = m_delegate.lock())
        delegate->textFieldDidEndEditing(*this);
    return true;
}

bool TextField::canPerformAction(const std::string& action, const void* sender)
{
    (void)sender;
    return canPerformEditAction(action);
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

void TextField::drawBorder(GraphicsContext& context) const
{
    Rect box = bounds();
    // Strokes of width 1 on half-point lines fill whole pixels.
    Rect inset(box.x() + 0.5, box.y() + 0.5, box.width() - 1, box.height() - 1);
    switch (m_borderStyle) {
    case TextBorderStyle::None:
        return;
    case TextBorderStyle::Line:
    case TextBorderStyle::Bezel:
        context.setStrokeColor(kLineBorderColor);
        context.setLineWidth(1);
        context.strokeRect(inset);
        return;
    case TextBorderStyle::RoundedRect:
        context.setFillColor(Color::white());
        context.setStrokeColor(kRoundedBorderColor);
        context.setLineWidth(1);
        context.addPath(Path::roundedRect(inset, kRoundedCornerRadius));
        context.fillPath();
        context.addPath(Path::roundedRect(inset, kRoundedCornerRadius));
        context.strokePath();
        return;
    }
}

Rect TextField::textBox() const
{
    Rect box = bounds();
    if (m_borderStyle != TextBorderStyle::None)
        box = Rect(box.x() + kBorderPadding, box.y(), std::max(0.0, box.width() - 2 * kBorderPadding), box.height());
    return box;
}

TextLayout::Options TextField::textOptions(const Rect& box, const std::string& shown) const
{
    TextLayout::Options options;
    options.lineLimit = 1;
    options.alignment = m_alignment;
    // One line, never broken: a text wider than the box runs on past its edge. One that fits
    // keeps the box's width, which alignment needs.
    if (box.width() > 0 && TextLayout(AttributedString(shown, { .font = m_font }), options).size().width <= box.width())
        options.wrapWidth = box.width();
    return options;
}

Rect TextField::caretRect(std::size_t offset) const
{
    Rect box = textBox();
    double lineHeight = std::ceil(m_font.lineHeight());
    TextLayout::Options options = textOptions(box, displayedText(text(), isSecureTextEntry()));
    return caretRectInLayout(offset, m_font, options, { box.x(), box.y() + (box.height() - lineHeight) / 2 });
}

void TextField::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    context.save();
    drawBorder(context);
    context.restore();
    bool showsPlaceholder = text().empty();
    std::string shown = showsPlaceholder ? m_placeholder : displayedText(text(), isSecureTextEntry());
    if (shown.empty())
        return;
    Rect box = textBox();
    AttributedString attributed(shown, { .font = m_font, .foregroundColor = showsPlaceholder ? kPlaceholderColor : m_textColor });
    TextLayout::Options options = textOptions(box, shown);
    double height = TextLayout(attributed, options).size().height;
    context.save();
    context.clipToRect(box);
    context.drawText(attributed, options, { box.x(), box.y() + (box.height() - height) / 2 });
    context.restore();
}

} // namespace morvix::platform
