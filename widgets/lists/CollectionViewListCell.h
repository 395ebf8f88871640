#pragma once
// The cell of a collection view widget: it hosts one widget that the peer made for it.

#include "platform/ui/tables/CollectionViewCell.h"

#include <memory>
#include <string>

namespace morvix {

class RemoteObject;

/// A collection view cell that clips to its bounds and keeps, for its whole life, the widget it
/// was given: the widget's view lies in the content view, its four edges pinned to the content
/// view's. Main thread only.
class CollectionViewListCell : public platform::CollectionViewCell {
public:
    static std::shared_ptr<CollectionViewListCell> create();
    ~CollectionViewListCell() override;
    const char* className() const override { return "CollectionViewListCell"; }

    /// Null until a widget is given.
    const std::shared_ptr<RemoteObject>& widget() const { return m_widget; }
    /// The widget's id; empty without one.
    std::string widgetId() const;
    /// Takes `object` when it is a widget and the cell has none yet; answers whether it did.
    bool setWidget(const std::shared_ptr<RemoteObject>& object);

protected:
    CollectionViewListCell();

private:
    std::shared_ptr<RemoteObject> m_widget;
};

} // namespace morvix
