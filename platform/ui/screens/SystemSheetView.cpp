#include "platform/ui/screens/SystemSheetView.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Path.h"

namespace morvix::platform {

namespace {

constexpr double kMargin = 16;
constexpr double kTitleSize = 17;
constexpr double kLineSize = 13;
constexpr double kLineHeight = 20;

void drawLine(GraphicsContext& context, const std::string& text, const Font& font, const Color& color, Point origin, double width)
{
    TextLayout::Options options { .wrapWidth = width, .lineLimit = 1 };
    context.drawText(AttributedString(text, { .font = font, .foregroundColor = color }), options, origin);
}

} // namespace

std::shared_ptr<SystemSheetView> SystemSheetView::create(const Rect& frame)
{
    return std::shared_ptr<SystemSheetView>(new SystemSheetView(frame));
}

SystemSheetView::SystemSheetView(const Rect& frame)
    : View(frame)
{
    setBackgroundColor(Color::fromRGBA(0.94f, 0.94f, 0.96f));
}

void SystemSheetView::setTitle(std::string title)
{
    m_title = std::move(title);
    setNeedsDisplay();
}

void SystemSheetView::setLines(std::vector<std::string> lines)
{
    m_lines = std::move(lines);
    setNeedsDisplay();
}

void SystemSheetView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect area = bounds().insetBy(kMargin, kMargin);
    if (area.width() <= 0 || area.height() <= 0)
        return;
    double height = std::min(area.height(), 2 * kMargin + kLineHeight * double(m_lines.size() + 1) + 8);
    Rect card(area.x(), area.y(), area.width(), height);
    context.beginPath();
    context.addPath(Path::roundedRect(card, 12));
    context.setFillColor(Color::white());
    context.fillPath();
    double width = card.width() - 2 * kMargin;
    double y = card.y() + kMargin;
    drawLine(context, m_title, Font::system(kTitleSize, { .bold = true }), Color::black(), { card.x() + kMargin, y }, width);
    y += kLineHeight + 8;
    for (const auto& line : m_lines) {
        drawLine(context, line, Font::system(kLineSize), Color::fromRGBA(0.3f, 0.3f, 0.3f), { card.x() + kMargin, y }, width);
        y += kLineHeight;
    }
}

} // namespace morvix::platform
