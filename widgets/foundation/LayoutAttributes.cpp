#include "widgets/foundation/LayoutAttributes.h"

#include "core/objects/ClientContext.h"
#include "core/objects/RemoteObject.h"
#include "platform/foundation/WireNumber.h"
#include "platform/ui/View.h"
#include "widgets/foundation/Widget.h"

#include <cmath>

namespace morvix {

using platform::LayoutAttribute;
using platform::LayoutConstraint;
using platform::LayoutRelation;
using platform::WireNumber;

LayoutAttributes::LayoutAttributes(const platform::Value& value, std::shared_ptr<platform::View> view,
    std::weak_ptr<ClientContext> client)
    : m_view(std::move(view))
    , m_client(std::move(client))
{
    if (auto number = platform::numberValue(value))
        m_offset = WireNumber::singlePrecision(*number);
    else if (value.is_string())
        m_reference = referenceByObjectId(value.get<std::string>());
    else if (value.is_array())
        parseArray(value);
}

void LayoutAttributes::parseArray(const platform::Value& array)
{
    if (!array.empty()) {
        const platform::Value& first = array[0];
        if (auto number = platform::numberValue(first); number && std::trunc(*number) != 0)
            m_percentage = WireNumber::singlePrecision(*number);
        else if (first.is_string())
            m_reference = referenceByObjectId(first.get<std::string>());
    }
    if (array.size() > 1) {
        if (auto number = platform::numberValue(array[1]))
            m_offset = WireNumber::singlePrecision(*number);
    }
}

std::shared_ptr<platform::View> LayoutAttributes::referenceByObjectId(const std::string& id) const
{
    auto client = m_client.lock();
    if (!client)
        return nullptr;
    auto object = client->objectById(id);
    auto* widget = dynamic_cast<Widget*>(object.get());
    return widget ? widget->view() : nullptr;
}

std::shared_ptr<LayoutConstraint> LayoutAttributes::constraintFor(LayoutAttribute attribute) const
{
    if (!m_view || !m_view->superview())
        return nullptr;
    bool percentageOrReference = m_percentage || m_reference;
    switch (attribute) {
    case LayoutAttribute::Left:
        return edgeConstraint(attribute, percentageOrReference ? LayoutAttribute::Right : LayoutAttribute::Left, false);
    case LayoutAttribute::Right:
        return edgeConstraint(attribute, m_reference ? LayoutAttribute::Left : LayoutAttribute::Right, true);
    case LayoutAttribute::Top:
        return edgeConstraint(attribute, percentageOrReference ? LayoutAttribute::Bottom : LayoutAttribute::Top, false);
    case LayoutAttribute::Bottom:
        return edgeConstraint(attribute, m_reference ? LayoutAttribute::Top : LayoutAttribute::Bottom, true);
    case LayoutAttribute::CenterX:
    case LayoutAttribute::CenterY:
    case LayoutAttribute::Baseline:
        return edgeConstraint(attribute, attribute, false);
    case LayoutAttribute::Width:
    case LayoutAttribute::Height:
        return sizeConstraint(attribute);
    case LayoutAttribute::NotAnAttribute:
    case LayoutAttribute::Leading:
    case LayoutAttribute::Trailing:
        return nullptr;
    }
    return nullptr;
}

// The far edges (right, bottom) measure the percentage from the other side and the offset
// inward: view.right = (1 - p/100) * ref.right - o.
std::shared_ptr<LayoutConstraint> LayoutAttributes::edgeConstraint(LayoutAttribute attribute,
    LayoutAttribute referenceAttribute, bool farEdge) const
{
    float multiplier = 1;
    if (m_percentage)
        multiplier = farEdge ? 1.0f - *m_percentage / 100.0f : *m_percentage / 100.0f;
    float constant = farEdge ? -m_offset : m_offset;
    auto second = m_reference ? m_reference : m_view->superview();
    return LayoutConstraint::create(m_view, attribute, LayoutRelation::Equal, second, referenceAttribute, multiplier, constant);
}

std::shared_ptr<LayoutConstraint> LayoutAttributes::sizeConstraint(LayoutAttribute attribute) const
{
    return LayoutConstraint::create(m_view, attribute, LayoutRelation::Equal, nullptr, LayoutAttribute::NotAnAttribute, 1,
        std::trunc(m_offset));
}

std::shared_ptr<LayoutConstraint> LayoutAttributes::applyConstraintsFor(LayoutAttribute attribute) const
{
    auto constraint = constraintFor(attribute);
    if (!constraint)
        return nullptr;
    auto superview = m_view->superview();
    return superview->addConstraint(constraint) ? constraint : nullptr;
}

} // namespace morvix
