#include "platform/ui/controls/SegmentedControl.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace morvix::platform {

namespace {

const Color kSystemTint = Color::fromRGBA(0.0f, 0.478f, 1.0f);
constexpr double kTitleSize = 13;

} // namespace

std::shared_ptr<SegmentedControl> SegmentedControl::create(const Rect& frame)
{
    return std::shared_ptr<SegmentedControl>(new SegmentedControl(frame));
}

SegmentedControl::SegmentedControl(const Rect& frame)
    : Control({ frame.origin, { frame.size.width, kHeight } })
{
    setOpaque(false);
    // The row is always its own height: content beside it that keeps its natural size, even
    // at a high priority, must not stretch or squeeze it.
    setContentHuggingPriority(LayoutPriority::Required, LayoutAxis::Vertical);
    setContentCompressionResistancePriority(LayoutPriority::Required, LayoutAxis::Vertical);
}

void SegmentedControl::removeAllSegments()
{
    m_titles.clear();
    m_selected = kNoSegment;
    setNeedsDisplay();
}

void SegmentedControl::insertSegmentWithTitle(std::string title, int index, Animated)
{
    index = std::clamp(index, 0, numberOfSegments());
    m_titles.insert(m_titles.begin() + index, std::move(title));
    if (m_selected >= index)
        ++m_selected;
    setNeedsDisplay();
}

std::string SegmentedControl::titleForSegmentAtIndex(int index) const
{
    return index >= 0 && index < numberOfSegments() ? m_titles[index] : std::string();
}

void SegmentedControl::setSelectedSegmentIndex(int index)
{
    m_selected = index >= 0 && index < numberOfSegments() ? index : kNoSegment;
    setNeedsDisplay();
}

void SegmentedControl::setApportionsSegmentWidthsByContent(bool byContent)
{
    m_widthsByContent = byContent;
    setNeedsDisplay();
}

std::vector<Rect> SegmentedControl::segmentFrames() const
{
    Rect box = bounds();
    std::vector<double> widths(m_titles.size(), m_titles.empty() ? 0 : box.width() / numberOfSegments());
    if (m_widthsByContent && !m_titles.empty()) {
        Font font = Font::system(kTitleSize);
        double needed = 0;
        for (std::size_t i = 0; i < m_titles.size(); ++i) {
            // As drawn: the first line.
            widths[i] = TextLayout(AttributedString(m_titles[i], { .font = font }), { .wrapWidth = std::nullopt, .lineLimit = 1 }).size().width + 2 * kContentPadding;
            needed += widths[i];
        }
        double spare = box.width() - needed;
        for (auto& width : widths)
            width = spare >= 0 ? width + spare / numberOfSegments() : width * box.width() / needed;
    }
    std::vector<Rect> frames;
    double x = box.x();
    for (double width : widths) {
        frames.push_back({ x, box.y(), width, box.height() });
        x += width;
    }
    return frames;
}

int SegmentedControl::segmentAtPoint(Point point) const
{
    Rect box = bounds();
    if (m_titles.empty() || box.width() <= 0 || point.x < box.x() || point.x >= box.maxX() || point.y < box.y() || point.y >= box.maxY())
        return kNoSegment;
    auto frames = segmentFrames();
    for (int i = 0; i < numberOfSegments(); ++i) {
        if (point.x < frames[i].maxX())
            return i;
    }
    return numberOfSegments() - 1;
}

Size SegmentedControl::intrinsicContentSize() const
{
    return { bounds().width(), kHeight };
}

Size SegmentedControl::sizeThatFits(Size size) const
{
    return { size.width, kHeight };
}

void SegmentedControl::endedTracking(const Touch& touch, bool inside)
{
    if (!inside)
        return;
    int index = segmentAtPoint(touch.locationIn(this));
    if (index == kNoSegment || index == m_selected)
        return;
    m_selected = index;
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventValueChanged);
}

void SegmentedControl::draw(GraphicsContext& context, const Rect&)
{
    Color tint = tintColor().value_or(kSystemTint);
    Rect box = bounds().insetBy(0.5, 0.5);
    auto frames = segmentFrames();
    TextLayout::Options options;
    options.lineLimit = 1;
    options.alignment = TextAlignment::Center;
    Font font = Font::system(kTitleSize);
    for (int i = 0; i < numberOfSegments(); ++i) {
        Rect segment { frames[i].x(), box.y(), frames[i].width(), box.height() };
        options.wrapWidth = segment.width();
        bool selected = i == m_selected;
        if (selected) {
            context.setFillColor(tint);
            context.fillRect(segment);
        }
        if (i > 0) {
            context.setFillColor(tint);
            context.fillRect({ segment.x(), segment.y(), 1, segment.height() });
        }
        AttributedString title(m_titles[i], { .font = font, .foregroundColor = selected ? Color::white() : tint });
        double height = TextLayout(title, options).size().height;
        context.drawText(title, options, { segment.x(), segment.y() + (segment.height() - height) / 2 });
    }
    context.setStrokeColor(tint);
    context.setLineWidth(1);
    context.strokeRect(box);
}

} // namespace morvix::platform
