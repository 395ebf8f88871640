#include "platform/ui/TabBar.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace morvix::platform {

namespace {

const Color kSystemTint = Color::fromRGBA(0.0f, 0.478f, 1.0f);
const Color kBarColor = Color::fromRGBA(0.97f, 0.97f, 0.97f);
const Color kUnselected = Color::fromRGBA(0.57f, 0.57f, 0.57f);
const Color kDisabled = Color::fromRGBA(0.8f, 0.8f, 0.8f);
const Color kBadge = Color::fromRGBA(1.0f, 0.23f, 0.19f);
constexpr double kImageSide = 25;

} // namespace

std::shared_ptr<TabBarItem> TabBarItem::create(std::string title)
{
    auto item = std::shared_ptr<TabBarItem>(new TabBarItem());
    item->m_title = std::move(title);
    return item;
}

void TabBarItem::changed()
{
    if (auto bar = m_bar.lock())
        bar->setNeedsDisplay();
}

void TabBarItem::setTitle(std::string title)
{
    m_title = std::move(title);
    changed();
}

void TabBarItem::setImage(std::shared_ptr<Image> image)
{
    m_image = std::move(image);
    changed();
}

void TabBarItem::setBadgeValue(std::string badge)
{
    m_badge = std::move(badge);
    changed();
}

void TabBarItem::setEnabled(bool enabled)
{
    m_enabled = enabled;
    changed();
}

std::optional<Color> TabBarItem::titleColor(TabBarItemState state) const
{
    auto found = m_titleColors.find(state);
    return found == m_titleColors.end() ? std::nullopt : std::optional<Color>(found->second);
}

void TabBarItem::setTitleColor(std::optional<Color> color, TabBarItemState state)
{
    if (color)
        m_titleColors[state] = *color;
    else
        m_titleColors.erase(state);
    changed();
}

std::shared_ptr<TabBar> TabBar::create(const Rect& frame)
{
    return std::shared_ptr<TabBar>(new TabBar(frame));
}

TabBar::TabBar(const Rect& frame)
    : View({ frame.origin, { frame.size.width, kHeight } })
{
    // The bar is always its own height: content beside it that keeps its natural size, even
    // at a high priority, must not stretch or squeeze it.
    setContentHuggingPriority(LayoutPriority::Required, LayoutAxis::Vertical);
    setContentCompressionResistancePriority(LayoutPriority::Required, LayoutAxis::Vertical);
}

void TabBar::setItems(std::vector<std::shared_ptr<TabBarItem>> items, Animated)
{
    auto self = std::static_pointer_cast<TabBar>(shared_from_this());
    for (const auto& item : m_items)
        if (item->m_bar.lock() == self)
            item->m_bar.reset();
    m_items = std::move(items);
    for (const auto& item : m_items)
        item->m_bar = self;
    if (std::find(m_items.begin(), m_items.end(), m_selected) == m_items.end())
        m_selected.reset();
    setNeedsDisplay();
}

void TabBar::setSelectedItem(std::shared_ptr<TabBarItem> item)
{
    if (std::find(m_items.begin(), m_items.end(), item) == m_items.end())
        item.reset();
    m_selected = std::move(item);
    setNeedsDisplay();
}

void TabBar::setBarTintColor(std::optional<Color> color)
{
    m_barTint = color;
    setNeedsDisplay();
}

void TabBar::setSelectedImageTintColor(std::optional<Color> color)
{
    m_selectedTint = color;
    setNeedsDisplay();
}

std::shared_ptr<TabBarItem> TabBar::itemAtPoint(Point point) const
{
    Rect box = bounds();
    if (m_items.empty() || !box.contains(point))
        return nullptr;
    auto index = std::size_t((point.x - box.x()) / (box.width() / double(m_items.size())));
    return m_items[std::min(index, m_items.size() - 1)];
}

void TabBar::touchesEnded(const TouchSet& touches, const Event&)
{
    if (touches.empty())
        return;
    auto touch = touches.front();
    auto item = itemAtPoint(touch->locationIn(this));
    if (!item || !item->isEnabled() || item != itemAtPoint(touch->previousLocationIn(this)))
        return;
    m_selected = item;
    setNeedsDisplay();
    if (auto delegate = m_delegate.lock())
        delegate->tabBarDidSelectItem(*this, item);
}

void TabBar::draw(GraphicsContext& context, const Rect&)
{
    Rect box = bounds();
    context.setFillColor(m_barTint.value_or(kBarColor));
    context.fillRect(box);
    context.setFillColor(kUnselected);
    context.fillRect({ box.x(), box.y(), box.width(), 0.5 });
    if (m_items.empty())
        return;
    double width = box.width() / double(m_items.size());
    TextLayout::Options options;
    options.wrapWidth = width;
    options.lineLimit = 1;
    options.alignment = TextAlignment::Center;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const auto& item = *m_items[i];
        Rect slot { box.x() + double(i) * width, box.y(), width, box.height() };
        bool selected = m_items[i] == m_selected;
        auto state = selected ? TabBarItemState::Highlighted : TabBarItemState::Normal;
        Color plain = selected ? m_selectedTint.value_or(tintColor().value_or(kSystemTint)) : kUnselected;
        Color color = item.isEnabled() ? item.titleColor(state).value_or(plain) : kDisabled;
        Rect imageBox { slot.midX() - kImageSide / 2, slot.y() + 4, kImageSide, kImageSide };
        if (item.image()) {
            context.drawImage(*item.image(), imageBox);
        }
        AttributedString title(item.title(), { .font = Font::system(10), .foregroundColor = color });
        context.drawText(title, options, { slot.x(), slot.maxY() - 16 });
        if (!item.badgeValue().empty()) {
            AttributedString badge(item.badgeValue(), { .font = Font::system(11), .foregroundColor = Color::white() });
            Size size = TextLayout(badge, {}).size();
            Rect capsule { imageBox.maxX() - 6, slot.y() + 2, std::max(18.0, size.width + 10), 18 };
            context.setFillColor(kBadge);
            context.beginPath();
            context.addPath(Path::roundedRect(capsule, 9));
            context.fillPath();
            context.drawText(badge, {}, { capsule.midX() - size.width / 2, capsule.midY() - size.height / 2 });
        }
    }
}

} // namespace morvix::platform
