#include "platform/ui/controls/TextView.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/ui/Touch.h"
#include "platform/ui/controls/TextField.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvix::platform {

std::shared_ptr<TextView> TextView::create(const Rect& frame)
{
    return std::shared_ptr<TextView>(new TextView(frame));
}

TextView::TextView(const Rect& frame)
    : ScrollView(frame)
    , m_font(Font::system(kDefaultFontSize))
{
}

void TextView::setFont(Font font)
{
    m_font = std::move(font);
    setNeedsDisplay();
}

void TextView::setTextColor(Color color)
{
    m_textColor = color;
    setNeedsDisplay();
}

void TextView::setTextAlignment(TextAlignment alignment)
{
    m_alignment = alignment;
    setNeedsDisplay();
}

void TextView::setTextContainerInset(EdgeInsets inset)
{
    m_textContainerInset = inset;
    setNeedsDisplay();
}

void TextView::setLineFragmentPadding(double padding)
{
    m_lineFragmentPadding = padding;
    setNeedsDisplay();
}

void TextView::setEditable(bool editable)
{
    m_editable = editable;
    if (!editable && isFirstResponder())
        resignFirstResponder();
}

bool TextView::shouldChangeText(TextRange range, const std::string& replacement)
{
    auto delegate = m_delegate.lock();
    return !delegate || delegate->textViewShouldChangeText(*this, range, replacement);
}

void TextView::editedText()
{
    if (auto delegate = m_delegate.lock())
        delegate->textViewDidChange(*this);
    auto self = std::static_pointer_cast<TextView>(shared_from_this());
    NotificationCenter::defaultCenter()->post(kTextDidChangeNotification, this, nullptr, self);
}

void TextView::selectByUser(TextRange range)
{
    if (!isFirstResponder())
        return;
    setSelectedRange(range);
    if (auto delegate = m_delegate.lock())
        delegate->textViewDidChangeSelection(*this);
}

bool TextView::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder())
        return false;
    if (auto delegate = m_delegate.lock(); delegate && !delegate->textViewShouldBeginEditing(*this))
        return false;
    if (!ScrollView::becomeFirstResponder())
        return false;
    if (auto delegate = m_delegate.lock())
        delegate->textViewDidBeginEditing(*this);
    return true;
}

bool TextView::resignFirstResponder()
{
    bool wasEditing = isFirstResponder();
    if (!ScrollView::resignFirstResponder())
        return false;
    if (!wasEditing)
        return true;
    if (auto delegate = m_delegate.lock())
        delegate->textViewDidEndEditing(*this);
    return true;
}

bool TextView::canPerformAction(const std::string& action, const void* sender)
{
    (void)sender;
    return canPerformEditAction(action);
}

void TextView::touchesEnded(const TouchSet& touches, const Event& event)
{
    bool inside = !touches.empty() && !isDragging();
    for (const auto& touch : touches)
        inside = inside && bounds().contains(touch->locationIn(this));
    if (inside)
        becomeFirstResponder();
    ScrollView::touchesEnded(touches, event);
}

Point TextView::textOrigin() const
{
    EdgeInsets inset = contentInset();
    return { bounds().x() + inset.left + m_textContainerInset.left + m_lineFragmentPadding, bounds().y() + inset.top + m_textContainerInset.top };
}

TextLayout::Options TextView::textOptions() const
{
    EdgeInsets inset = contentInset();
    double width = bounds().width() - inset.left - inset.right - m_textContainerInset.left - m_textContainerInset.right - 2 * m_lineFragmentPadding;
    TextLayout::Options options;
    options.wrapWidth = width > 0 ? std::optional<double>(width) : std::nullopt;
    options.alignment = m_alignment;
    return options;
}

Rect TextView::caretRect(std::size_t offset) const
{
    return caretRectInLayout(offset, m_font, textOptions(), textOrigin());
}

void TextView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    if (text().empty())
        return;
    Rect box = bounds();
    Point origin = textOrigin();
    double room = box.maxY() - origin.y;
    if (!(room > 0))
        return;
    AttributedString attributed(displayedText(text(), isSecureTextEntry()), { .font = m_font, .foregroundColor = m_textColor });
    TextLayout::Options options = textOptions();
    // Only the lines that can show are laid out: no line is shorter than the font's size.
    double lines = std::ceil(room / std::max(m_font.pointSize(), 1.0)) + 1;
    options.lineLimit = lines < double(std::numeric_limits<int>::max()) ? static_cast<int>(lines) : std::numeric_limits<int>::max();
    context.save();
    context.clipToRect(box);
    context.drawText(attributed, options, origin);
    context.restore();
}

} // namespace morvix::platform
