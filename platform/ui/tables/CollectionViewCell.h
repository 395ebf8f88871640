#pragma once
// One item of a collection view: a content view that the cell's owner fills, and reuse.

#include "platform/ui/View.h"

#include <memory>
#include <string>

namespace morvix::platform {

class CollectionView;

/// A cell of a `CollectionView`. Its one subview is the content view, which fills the cell and
/// holds whatever the data source puts there. The collection view sets the highlighted state
/// while a finger rests on the cell; the cell itself draws nothing for it (owners colour the
/// cell as they like). Cells made by a factory registered with the collection view carry that
/// registration's reuse identifier; they go back to its pool when they leave the visible
/// bounds and come out again after `prepareForReuse`. Main thread only.
class CollectionViewCell : public View {
public:
    static std::shared_ptr<CollectionViewCell> create(const Rect& frame = {});
    ~CollectionViewCell() override;
    const char* className() const override { return "CollectionViewCell"; }

    /// Empty for a cell that was not dequeued from a collection view.
    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }
    const std::shared_ptr<View>& contentView() const { return m_contentView; }

    bool isHighlighted() const { return m_highlighted; }
    /// Overrides call the base.
    virtual void setHighlighted(bool highlighted);

    /// Called by the collection view before it hands out a pooled cell again: clears the
    /// highlight. Overrides call the base.
    virtual void prepareForReuse();

    void layoutSubviews() override;

protected:
    explicit CollectionViewCell(const Rect& frame);
    /// Makes the content view; factories of subclasses call it once the cell is owned.
    void buildSubviews();

private:
    friend class CollectionView;

    std::string m_reuseIdentifier;
    std::shared_ptr<View> m_contentView;
    bool m_highlighted = false;
};

} // namespace morvix::platform
