#include "widgets/lists/CollectionViewListCell.h"

#include "core/objects/RemoteObject.h"
#include "platform/ui/LayoutConstraint.h"
#include "widgets/foundation/Widget.h"

namespace morvix {

std::shared_ptr<CollectionViewListCell> CollectionViewListCell::create()
{
    auto cell = std::shared_ptr<CollectionViewListCell>(new CollectionViewListCell());
    cell->buildSubviews();
    return cell;
}

CollectionViewListCell::CollectionViewListCell()
    : CollectionViewCell({})
{
    setClipsToBounds(true);
    // Clear rather than none, so that the touch highlight fades in from it.
    setBackgroundColor(platform::Color::clear());
}

CollectionViewListCell::~CollectionViewListCell() = default;

std::string CollectionViewListCell::widgetId() const
{
    return m_widget ? m_widget->objectId() : std::string();
}

bool CollectionViewListCell::setWidget(const std::shared_ptr<RemoteObject>& object)
{
    auto* widget = dynamic_cast<Widget*>(object.get());
    auto view = widget ? widget->view() : nullptr;
    if (m_widget || !view)
        return false;
    m_widget = object;
    auto content = contentView();
    content->addSubview(view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    using platform::LayoutAttribute;
    for (auto attribute : { LayoutAttribute::Top, LayoutAttribute::Bottom, LayoutAttribute::Left, LayoutAttribute::Right })
        content->addConstraint(platform::LayoutConstraint::create(view, attribute, platform::LayoutRelation::Equal, content, attribute));
    view->setFrame(content->bounds());
    widget->didMoveToSuperview(content);
    return true;
}

} // namespace morvix
