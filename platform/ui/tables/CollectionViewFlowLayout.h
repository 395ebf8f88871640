#pragma once
// Places a collection view's items in rows, at sizes its delegate may give item by item.

#include "platform/ui/tables/CollectionView.h"

#include <memory>
#include <optional>
#include <vector>

namespace morvix::platform {

class CollectionViewFlowLayout;

/// A collection view delegate that may size the items and space the sections of a flow layout.
/// Every answer is optional; none takes the layout's own measure. Held weakly (it is the
/// collection view's delegate). Main thread.
class CollectionViewDelegateFlowLayout : public CollectionViewDelegate {
public:
    virtual std::optional<Size> sizeForItem(CollectionView& collectionView, CollectionViewFlowLayout& layout,
        IndexPath indexPath)
    {
        (void)collectionView, (void)layout, (void)indexPath;
        return std::nullopt;
    }
    virtual std::optional<EdgeInsets> insetForSection(CollectionView& collectionView, CollectionViewFlowLayout& layout,
        int section)
    {
        (void)collectionView, (void)layout, (void)section;
        return std::nullopt;
    }
    virtual std::optional<double> minimumLineSpacing(CollectionView& collectionView, CollectionViewFlowLayout& layout,
        int section)
    {
        (void)collectionView, (void)layout, (void)section;
        return std::nullopt;
    }
    virtual std::optional<double> minimumInteritemSpacing(CollectionView& collectionView,
        CollectionViewFlowLayout& layout, int section)
    {
        (void)collectionView, (void)layout, (void)section;
        return std::nullopt;
    }
};

/// A vertical flow: the items of a section fill rows from left to right, `minimumInteritemSpacing`
/// apart, a row ending where the next item would pass the section's inset right edge (a row
/// always takes at least one item); rows are as high as their tallest item, which sets the others
/// at the row's top, and `minimumLineSpacing` apart; each section starts a new row inside its
/// insets.
///
/// `prepare` asks the delegate for every item's size (and each section's insets and spacings)
/// once and keeps the answers until the next `prepare`; the collection view prepares its layout
/// after a reload, after a batch, when the layout is installed and when its width changes, and at
/// no other time (scrolling asks nothing). A negative size counts as 0. The content is as wide as
/// the view, or wider when the items need it. Main thread only.
class CollectionViewFlowLayout final {
public:
    static std::shared_ptr<CollectionViewFlowLayout> create(CollectionFlowLayout measures = {});
    CollectionViewFlowLayout(const CollectionViewFlowLayout&) = delete;
    CollectionViewFlowLayout& operator=(const CollectionViewFlowLayout&) = delete;

    /// The measures taken where the delegate gives none. A change takes effect at the next
    /// `prepare`.
    const CollectionFlowLayout& measures() const { return m_measures; }
    void setMeasures(CollectionFlowLayout measures) { m_measures = measures; }

    /// Places every item of `collectionView`'s sections, as the view counts them.
    void prepare(CollectionView& collectionView);
    /// How many times `prepare` ran; for tests.
    int preparationCount() const { return m_preparations; }

    Size contentSize() const { return m_contentSize; }
    /// The item's frame in content coordinates; none for an item the layout did not place.
    std::optional<Rect> frameForItem(IndexPath indexPath) const;
    /// The items whose frames share a positive area with `rect`, in order.
    std::vector<IndexPath> itemsInRect(const Rect& rect) const;
    /// The item whose frame contains `point`; none in the gaps.
    std::optional<IndexPath> itemAt(Point point) const;

private:
    explicit CollectionViewFlowLayout(CollectionFlowLayout measures) : m_measures(measures) { }
    /// Places one section's items from `top`; answers where the next section starts.
    double placeSection(CollectionView& collectionView, int section, double top, double width);

    CollectionFlowLayout m_measures;
    std::vector<std::vector<Rect>> m_frames;
    std::vector<double> m_tallest; // per section
    Size m_contentSize;
    int m_preparations = 0;
};

} // namespace morvix::platform
