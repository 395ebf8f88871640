#include "widgets/lists/GridTreeCell.h"

#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/lists/Tree.h"
#include "widgets/lists/TreeItem.h"
#include "widgets/text/AttributedStrings.h"

namespace morvix {

using platform::Color;
using platform::Value;

std::shared_ptr<GridTreeCell> GridTreeCell::create(std::string reuseIdentifier)
{
    auto cell = std::shared_ptr<GridTreeCell>(new GridTreeCell(std::move(reuseIdentifier)));
    cell->buildSubviews();
    return cell;
}

GridTreeCell::GridTreeCell(std::string reuseIdentifier)
    : TableViewCell(platform::TableViewCellStyle::Subtitle, std::move(reuseIdentifier))
{
}

void GridTreeCell::updateWith(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree)
{
    m_item = item;
    auto recognizers = gestureRecognizers();
    for (const auto& recognizer : recognizers)
        removeGestureRecognizer(recognizer);
    setSelectionStyle(item ? platform::TableViewCellSelectionStyle::Blue : platform::TableViewCellSelectionStyle::None);
    updateImage(item);
    updateAccessory(item, tree);
    updateTexts(item, tree && tree->markupEnabled());
    auto background = item ? item->backgroundForColumn(0) : std::nullopt;
    textLabel()->setBackgroundColor(background.value_or(Color::clear()));
    detailTextLabel()->setBackgroundColor(background.value_or(Color::clear()));
    setBackgroundColor(background);
    contentView()->setBackgroundColor(background);
}

void GridTreeCell::updateImage(const std::shared_ptr<TreeItem>& item)
{
    const Value* image = nullptr;
    if (item && item->images().is_array() && !item->images().empty())
        image = &item->images()[0];
    if (!image || !image->is_array() || image->size() < 3) {
        ImageViewMorvix::cancelImageRequestOperation(*imageView());
        imageView()->setImage(nullptr);
        setNeedsLayout();
        return;
    }
    std::weak_ptr<GridTreeCell> weak = std::static_pointer_cast<GridTreeCell>(shared_from_this());
    ImageViewMorvix::setImageWithProperties(imageView(), *image, item->client(),
        [weak](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) {
            if (auto cell = weak.lock()) {
                cell->imageView()->setImage(loaded);
                cell->setNeedsLayout();
            }
        });
}

void GridTreeCell::updateAccessory(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree)
{
    using Accessory = platform::TableViewCellAccessory;
    auto altSelection = [&](const char* word) { return tree && tree->dataForKey("altSelection", Value(word)); };
    long count = item ? item->declaredCount() : 0;
    if (altSelection("all"))
        setAccessoryType(Accessory::DetailDisclosureButton);
    else if (count < 1)
        setAccessoryType(altSelection("leaf") ? Accessory::DetailDisclosureButton : Accessory::None);
    else
        setAccessoryType(altSelection("branch") ? Accessory::DetailDisclosureButton : Accessory::DisclosureIndicator);
}

void GridTreeCell::updateTexts(const std::shared_ptr<TreeItem>& item, bool markup)
{
    if (!m_defaultTextFont)
        m_defaultTextFont = textLabel()->font();
    if (!m_defaultDetailTextFont)
        m_defaultDetailTextFont = detailTextLabel()->font();
    struct Line {
        platform::Label& label;
        std::size_t column;
        const platform::Font& font;
    };
    Line lines[] = { { *textLabel(), 0, *m_defaultTextFont }, { *detailTextLabel(), 1, *m_defaultDetailTextFont } };
    for (auto& line : lines) {
        Color color = item ? item->foregroundForColumn(line.column).value_or(Color::black()) : Color::black();
        if (!item) {
            line.label.setText("");
            continue;
        }
        auto text = item->textForColumn(line.column);
        if (markup) {
            line.label.setAttributedText(AttributedStrings::attributedString(text, line.font, color).value_or(text));
            line.label.setNumberOfLines(0);
            line.label.setLineBreakMode(platform::LineBreakMode::Clip);
            continue;
        }
        line.label.setText(text.string());
        line.label.setTextColor(color);
        line.label.setNumberOfLines(1);
        line.label.setLineBreakMode(platform::LineBreakMode::TruncateTail);
    }
}

} // namespace morvix
