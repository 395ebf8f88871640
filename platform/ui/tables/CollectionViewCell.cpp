#include "platform/ui/tables/CollectionViewCell.h"

namespace morvix::platform {

std::shared_ptr<CollectionViewCell> CollectionViewCell::create(const Rect& frame)
{
    auto cell = std::shared_ptr<CollectionViewCell>(new CollectionViewCell(frame));
    cell->buildSubviews();
    return cell;
}

CollectionViewCell::CollectionViewCell(const Rect& frame)
    : View(frame)
{
}

CollectionViewCell::~CollectionViewCell() = default;

void CollectionViewCell::buildSubviews()
{
    if (m_contentView)
        return;
    m_contentView = View::create(bounds());
    addSubview(m_contentView);
}

void CollectionViewCell::setHighlighted(bool highlighted)
{
    m_highlighted = highlighted;
}

void CollectionViewCell::prepareForReuse()
{
    setHighlighted(false);
}

void CollectionViewCell::layoutSubviews()
{
    View::layoutSubviews();
    if (m_contentView)
        m_contentView->setFrame(bounds());
}

} // namespace morvix::platform
