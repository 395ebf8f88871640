#include "widgets/foundation/Composite.h"

#include "platform/ui/View.h"
#include "widgets/delegating/DelegatingView.h"

namespace morvix {

const WireTable& Composite::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire()).events(Control::touchEvents());
    return table;
}

Composite::Composite(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_composite(DelegatingView::create())
{
    m_composite->setClipsToBounds(true);
    m_composite->setBackgroundColor(platform::Color::clear());
}

Composite::~Composite() = default;

void Composite::didConstruct()
{
    RemoteClass::didConstruct();
    m_composite->setDelegate(std::static_pointer_cast<Composite>(shared_from_this()));
}

std::shared_ptr<platform::View> Composite::view() const
{
    return m_composite;
}

platform::Size Composite::intrinsicContentSize()
{
    return { platform::View::kNoIntrinsicMetric, platform::View::kNoIntrinsicMetric };
}

void Composite::setBackgroundImage(std::optional<platform::Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool hasImage = image.has_value();
    RemoteClass::setBackgroundImage(image);
    if (hasImage)
        applyBackgroundImage(image, m_composite);
    else
        m_composite->setBackgroundColor(background());
}

} // namespace morvix
