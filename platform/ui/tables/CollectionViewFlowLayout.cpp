#include "platform/ui/tables/CollectionViewFlowLayout.h"

#include <algorithm>

namespace morvix::platform {

std::shared_ptr<CollectionViewFlowLayout> CollectionViewFlowLayout::create(CollectionFlowLayout measures)
{
    return std::shared_ptr<CollectionViewFlowLayout>(new CollectionViewFlowLayout(measures));
}

void CollectionViewFlowLayout::prepare(CollectionView& collectionView)
{
    ++m_preparations;
    m_frames.assign(static_cast<std::size_t>(collectionView.numberOfSections()), {});
    m_tallest.assign(m_frames.size(), 0);
    double width = collectionView.bounds().width();
    m_contentSize = { width, 0 };
    double top = 0;
    for (int section = 0; section < collectionView.numberOfSections(); ++section)
        top = placeSection(collectionView, section, top, width);
    m_contentSize.height = top;
}

double CollectionViewFlowLayout::placeSection(CollectionView& collectionView, int section, double top, double width)
{
    auto delegate = std::dynamic_pointer_cast<CollectionViewDelegateFlowLayout>(collectionView.delegate());
    EdgeInsets inset = m_measures.sectionInset;
    double lineSpacing = m_measures.minimumLineSpacing;
    double itemSpacing = m_measures.minimumInteritemSpacing;
    if (delegate) {
        inset = delegate->insetForSection(collectionView, *this, section).value_or(inset);
        lineSpacing = delegate->minimumLineSpacing(collectionView, *this, section).value_or(lineSpacing);
        itemSpacing = delegate->minimumInteritemSpacing(collectionView, *this, section).value_or(itemSpacing);
    }
    double right = width - inset.right;
    double x = inset.left;
    double rowTop = top + inset.top;
    double rowHeight = 0;
    bool rowEmpty = true;
    auto& frames = m_frames[static_cast<std::size_t>(section)];
    for (int item = 0; item < collectionView.numberOfItems(section); ++item) {
        std::optional<Size> asked = delegate ? delegate->sizeForItem(collectionView, *this, { section, item }) : std::nullopt;
        Size size = asked.value_or(m_measures.itemSize);
        size = { std::max(0.0, size.width), std::max(0.0, size.height) };
        if (!rowEmpty && x + size.width > right) {
            rowTop += rowHeight + lineSpacing;
            x = inset.left;
            rowHeight = 0;
        }
        frames.push_back({ x, rowTop, size.width, size.height });
        m_contentSize.width = std::max(m_contentSize.width, x + size.width + inset.right);
        x += size.width + itemSpacing;
        rowHeight = std::max(rowHeight, size.height);
        m_tallest[static_cast<std::size_t>(section)] = std::max(m_tallest[static_cast<std::size_t>(section)], size.height);
        rowEmpty = false;
    }
    return rowTop + rowHeight + inset.bottom;
}

std::optional<Rect> CollectionViewFlowLayout::frameForItem(IndexPath indexPath) const
{
    if (indexPath.section < 0 || indexPath.section >= static_cast<int>(m_frames.size()))
        return std::nullopt;
    const auto& frames = m_frames[static_cast<std::size_t>(indexPath.section)];
    if (indexPath.item < 0 || indexPath.item >= static_cast<int>(frames.size()))
        return std::nullopt;
    return frames[static_cast<std::size_t>(indexPath.item)];
}

std::vector<IndexPath> CollectionViewFlowLayout::itemsInRect(const Rect& rect) const
{
    std::vector<IndexPath> items;
    for (std::size_t section = 0; section < m_frames.size(); ++section) {
        const auto& frames = m_frames[section];
        // Row tops never go back up, and no item reaches further down than the section's tallest
        // from its top: the search skips what lies wholly above the rectangle.
        double from = rect.y() - m_tallest[section];
        auto first = std::lower_bound(frames.begin(), frames.end(), from,
            [](const Rect& frame, double y) { return frame.y() < y; });
        for (auto it = first; it != frames.end() && it->y() < rect.maxY(); ++it) {
            Rect overlap = it->intersection(rect);
            if (overlap.width() > 0 && overlap.height() > 0)
                items.push_back({ static_cast<int>(section), static_cast<int>(it - frames.begin()) });
        }
    }
    return items;
}

std::optional<IndexPath> CollectionViewFlowLayout::itemAt(Point point) const
{
    for (std::size_t section = 0; section < m_frames.size(); ++section) {
        const auto& frames = m_frames[section];
        for (std::size_t item = 0; item < frames.size(); ++item) {
            if (frames[item].contains(point))
                return IndexPath { static_cast<int>(section), static_cast<int>(item) };
        }
    }
    return std::nullopt;
}

} // namespace morvix::platform
