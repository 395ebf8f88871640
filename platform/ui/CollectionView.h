#pragma once
// A scrolling grid of cells supplied by a data source.

#include "platform/graphics/EdgeInsets.h"
#include "platform/ui/ScrollView.h"

#include <memory>
#include <vector>

namespace morvix::platform {

class CollectionView;

/// The position of an item: its section and its index in the section.
struct IndexPath {
    int section = 0;
    int item = 0;

    bool operator==(const IndexPath&) const = default;
};

/// Supplies a collection view's items. Held weakly. Main thread.
class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual int numberOfSections(CollectionView& collectionView) { (void)collectionView; return 1; }
    virtual int numberOfItems(CollectionView& collectionView, int section) = 0;
    /// The view shown for the item; null shows nothing there.
    virtual std::shared_ptr<View> cellForItem(CollectionView& collectionView, IndexPath indexPath) = 0;
};

/// The flow layout's measures: cells of one size, filled into rows from left to right.
struct CollectionFlowLayout {
    Size itemSize { 50, 50 };
    double minimumLineSpacing = 10;
    double minimumInteritemSpacing = 10;
    EdgeInsets sectionInset;
};

/// A scroll view that shows the items of its data source as cells in rows: `reloadData` asks for
/// every cell at once (there is no reuse of cells scrolled out of sight) and places them by the
/// flow layout, each section starting on a new row; the content size follows. Main thread only.
class CollectionView : public ScrollView {
public:
    static std::shared_ptr<CollectionView> create(const Rect& frame = {});
    const char* className() const override { return "CollectionView"; }

    std::shared_ptr<CollectionViewDataSource> dataSource() const { return m_dataSource.lock(); }
    void setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource) { m_dataSource = std::move(dataSource); }
    const CollectionFlowLayout& layout() const { return m_layout; }
    void setLayout(CollectionFlowLayout layout);

    /// Drops the cells and asks the data source again; without a data source there are none.
    void reloadData();
    int numberOfSections() const { return static_cast<int>(m_cells.size()); }
    int numberOfItems(int section) const;
    /// Null for an index path outside the data or an item without a cell.
    std::shared_ptr<View> cellForItem(IndexPath indexPath) const;
    /// The item whose cell contains `point` (content coordinates); none outside every cell.
    std::optional<IndexPath> indexPathForItemAt(Point point) const;

    void layoutSubviews() override;

protected:
    explicit CollectionView(const Rect& frame) : ScrollView(frame) { }

private:
    void placeCells();

    std::weak_ptr<CollectionViewDataSource> m_dataSource;
    CollectionFlowLayout m_layout;
    std::vector<std::vector<std::shared_ptr<View>>> m_cells;
    double m_placedWidth = -1;
};

} // namespace morvix::platform
