#include "widgets/delegating/DelegatingCollectionView.h"

namespace morvix {

std::shared_ptr<DelegatingCollectionView> DelegatingCollectionView::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingCollectionView>(new DelegatingCollectionView(frame));
}

} // namespace morvix
