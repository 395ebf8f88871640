#include "platform/ui/CollectionView.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

std::shared_ptr<CollectionView> CollectionView::create(const Rect& frame)
{
    return std::shared_ptr<CollectionView>(new CollectionView(frame));
}

void CollectionView::setLayout(CollectionFlowLayout layout)
{
    m_layout = layout;
    placeCells();
}

void CollectionView::reloadData()
{
    for (const auto& section : m_cells) {
        for (const auto& cell : section) {
            if (cell)
                cell->removeFromSuperview();
        }
    }
    m_cells.clear();
    auto source = m_dataSource.lock();
    if (!source) {
        placeCells();
        return;
    }
    int sections = std::max(source->numberOfSections(*this), 0);
    for (int section = 0; section < sections; ++section) {
        int items = std::max(source->numberOfItems(*this, section), 0);
        auto& cells = m_cells.emplace_back();
        for (int item = 0; item < items; ++item) {
            auto cell = source->cellForItem(*this, { section, item });
            if (cell)
                addSubview(cell);
            cells.push_back(std::move(cell));
        }
    }
    placeCells();
}

int CollectionView::numberOfItems(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return 0;
    return static_cast<int>(m_cells[section].size());
}

std::shared_ptr<View> CollectionView::cellForItem(IndexPath indexPath) const
{
    if (indexPath.item < 0 || indexPath.item >= numberOfItems(indexPath.section))
        return nullptr;
    return m_cells[indexPath.section][indexPath.item];
}

std::optional<IndexPath> CollectionView::indexPathForItemAt(Point point) const
{
    for (int section = 0; section < numberOfSections(); ++section) {
        for (int item = 0; item < numberOfItems(section); ++item) {
            auto cell = m_cells[section][item];
            if (cell && cell->frame().contains(point))
                return IndexPath { section, item };
        }
    }
    return std::nullopt;
}

void CollectionView::placeCells()
{
    const auto& layout = m_layout;
    double width = bounds().width();
    m_placedWidth = width;
    double rowWidth = width - layout.sectionInset.left - layout.sectionInset.right;
    double step = layout.itemSize.width + layout.minimumInteritemSpacing;
    int perRow = std::max(1, static_cast<int>(std::floor((rowWidth + layout.minimumInteritemSpacing) / step)));
    double y = 0;
    double contentWidth = width;
    for (const auto& cells : m_cells) {
        y += layout.sectionInset.top;
        int rows = (static_cast<int>(cells.size()) + perRow - 1) / perRow;
        for (std::size_t index = 0; index < cells.size(); ++index) {
            int row = static_cast<int>(index) / perRow;
            int column = static_cast<int>(index) % perRow;
            Rect frame { layout.sectionInset.left + column * step, y + row * (layout.itemSize.height + layout.minimumLineSpacing),
                layout.itemSize.width, layout.itemSize.height };
            contentWidth = std::max(contentWidth, frame.maxX() + layout.sectionInset.right);
            if (cells[index])
                cells[index]->setFrame(frame);
        }
        if (rows > 0)
            y += rows * layout.itemSize.height + (rows - 1) * layout.minimumLineSpacing;
        y += layout.sectionInset.bottom;
    }
    setContentSize({ contentWidth, y });
}

void CollectionView::layoutSubviews()
{
    ScrollView::layoutSubviews();
    if (bounds().width() != m_placedWidth)
        placeCells();
}

} // namespace morvix::platform
