#include "platform/ui/tables/TableViewCell.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

namespace {

constexpr double kMargin = 15;
constexpr double kImageGap = 15;
const Color kSeparatorColor = Color::fromRGBA(0.78f, 0.78f, 0.8f);
const Color kBlueSelection = Color::fromRGBA(0.85f, 0.9f, 1.0f);
const Color kGraySelection = Color::fromRGBA(0.85f, 0.85f, 0.85f);
const Color kAccessoryGray = Color::fromRGBA(0.78f, 0.78f, 0.8f);
const Color kAccessoryBlue = Color::fromRGBA(0.0f, 0.48f, 1.0f);

} // namespace

std::shared_ptr<TableViewCell> TableViewCell::create(TableViewCellStyle style, std::string reuseIdentifier)
{
    auto cell = std::shared_ptr<TableViewCell>(new TableViewCell(style, std::move(reuseIdentifier)));
    cell->buildSubviews();
    return cell;
}

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View({ 0, 0, 320, 44 })
    , m_style(style)
    , m_reuseIdentifier(std::move(reuseIdentifier))
{
}

TableViewCell::~TableViewCell() = default;

void TableViewCell::buildSubviews()
{
    if (m_contentView)
        return;
    m_contentView = View::create(bounds());
    m_imageView = ImageView::create();
    m_textLabel = Label::create();
    m_textLabel->setFont(Font::system(kTitleFontSize));
    m_contentView->addSubview(m_imageView);
    m_contentView->addSubview(m_textLabel);
    if (m_style == TableViewCellStyle::Subtitle) {
        m_detailTextLabel = Label::create();
        m_detailTextLabel->setFont(Font::system(kDetailFontSize));
        m_contentView->addSubview(m_detailTextLabel);
    }
    addSubview(m_contentView);
    setNeedsLayout();
}

void TableViewCell::setAccessoryType(TableViewCellAccessory accessory)
{
    if (accessory == m_accessory)
        return;
    m_accessory = accessory;
    if (m_accessoryButton) {
        m_accessoryButton->removeFromSuperview();
        m_accessoryButton = nullptr;
    }
    if (accessory == TableViewCellAccessory::DetailDisclosureButton) {
        m_accessoryButton = Button::create(ButtonType::System);
        m_accessoryButton->setTitle("i");
        m_accessoryButton->setTitleColor(kAccessoryBlue);
        m_accessoryButton->setDebugName("accessory");
        std::weak_ptr<TableViewCell> weak = std::static_pointer_cast<TableViewCell>(shared_from_this());
        m_accessoryButton->addAction([weak](Control&, const Event*) {
            auto cell = weak.lock();
            if (cell && cell->onAccessoryTapped)
                cell->onAccessoryTapped(*cell);
        },
            ControlEventTouchUpInside);
        addSubview(m_accessoryButton);
    }
    setNeedsLayout();
    setNeedsDisplay();
}

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style)
{
    m_selectionStyle = style;
    setNeedsDisplay();
}

void TableViewCell::setHighlighted(bool highlighted, Animated)
{
    m_highlighted = highlighted;
    setNeedsDisplay();
}

void TableViewCell::setSelected(bool selected, Animated)
{
    m_selected = selected;
    setNeedsDisplay();
}

void TableViewCell::setShowsSeparator(bool shows)
{
    m_showsSeparator = shows;
    setNeedsDisplay();
}

void TableViewCell::prepareForReuse()
{
    m_highlighted = false;
    m_selected = false;
    setNeedsDisplay();
}

void TableViewCell::layoutSubviews()
{
    Rect cell = bounds();
    double accessoryRoom = m_accessory == TableViewCellAccessory::None ? 0 : kAccessoryWidth;
    Rect content { 0, 0, std::max(0.0, cell.width() - accessoryRoom), cell.height() };
    m_contentView->setFrame(content);
    if (m_accessoryButton)
        m_accessoryButton->setFrame({ content.maxX(), 0, accessoryRoom, cell.height() });

    double x = kMargin;
    if (auto image = m_imageView->image()) {
        Size size = image->size();
        double side = std::max(0.0, content.height() - 4);
        if (size.height > side && size.height > 0)
            size = { size.width * side / size.height, side };
        m_imageView->setFrame({ x, (content.height() - size.height) / 2, size.width, size.height });
        x += size.width + kImageGap;
    } else {
        m_imageView->setFrame({ x, 0, 0, 0 });
    }
    double width = std::max(0.0, content.width() - x - kMargin);
    if (!m_detailTextLabel) {
        m_textLabel->setFrame({ x, 0, width, content.height() });
        return;
    }
    double titleHeight = std::ceil(m_textLabel->font().lineHeight());
    double detailHeight = std::ceil(m_detailTextLabel->font().lineHeight());
    double top = std::max(0.0, (content.height() - titleHeight - detailHeight) / 2);
    m_textLabel->setFrame({ x, top, width, titleHeight });
    m_detailTextLabel->setFrame({ x, top + titleHeight, width, detailHeight });
}

void TableViewCell::draw(GraphicsContext& context, const Rect&)
{
    Rect cell = bounds();
    if ((m_highlighted || m_selected) && m_selectionStyle != TableViewCellSelectionStyle::None) {
        context.setFillColor(m_selectionStyle == TableViewCellSelectionStyle::Gray ? kGraySelection : kBlueSelection);
        context.fillRect(cell);
    }
    drawAccessory(context);
    if (m_showsSeparator) {
        context.setFillColor(kSeparatorColor);
        context.fillRect({ kMargin, cell.maxY() - 0.5, cell.width() - kMargin, 0.5 });
    }
}

void TableViewCell::drawAccessory(GraphicsContext& context) const
{
    Rect cell = bounds();
    double centerX = cell.maxX() - kAccessoryWidth / 2;
    double centerY = cell.height() / 2;
    switch (m_accessory) {
    case TableViewCellAccessory::None:
        return;
    case TableViewCellAccessory::DisclosureIndicator:
        context.setStrokeColor(kAccessoryGray);
        context.setLineWidth(2);
        context.beginPath();
        context.moveTo({ centerX - 3, centerY - 6 });
        context.lineTo({ centerX + 3, centerY });
        context.lineTo({ centerX - 3, centerY + 6 });
        context.strokePath();
        return;
    case TableViewCellAccessory::DetailDisclosureButton:
        context.setStrokeColor(kAccessoryBlue);
        context.setLineWidth(1);
        context.beginPath();
        context.addEllipse({ centerX - 10, centerY - 10, 20, 20 });
        context.strokePath();
        return;
    case TableViewCellAccessory::Checkmark:
        context.setStrokeColor(kAccessoryBlue);
        context.setLineWidth(2);
        context.beginPath();
        context.moveTo({ centerX - 6, centerY });
        context.lineTo({ centerX - 2, centerY + 5 });
        context.lineTo({ centerX + 7, centerY - 6 });
        context.strokePath();
        return;
    }
}

} // namespace morvix::platform
