#include "platform/ui/LayoutConstraint.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace morvix::platform {

const char* attributeName(LayoutAttribute attribute)
{
    switch (attribute) {
    case LayoutAttribute::NotAnAttribute:
        return "none";
    case LayoutAttribute::Left:
        return "left";
    case LayoutAttribute::Right:
        return "right";
    case LayoutAttribute::Top:
        return "top";
    case LayoutAttribute::Bottom:
        return "bottom";
    case LayoutAttribute::Leading:
        return "leading";
    case LayoutAttribute::Trailing:
        return "trailing";
    case LayoutAttribute::Width:
        return "width";
    case LayoutAttribute::Height:
        return "height";
    case LayoutAttribute::CenterX:
        return "centerX";
    case LayoutAttribute::CenterY:
        return "centerY";
    case LayoutAttribute::Baseline:
        return "baseline";
    }
    return "?";
}

const char* relationSymbol(LayoutRelation relation)
{
    switch (relation) {
    case LayoutRelation::LessThanOrEqual:
        return "<=";
    case LayoutRelation::Equal:
        return "==";
    case LayoutRelation::GreaterThanOrEqual:
        return ">=";
    }
    return "?";
}

std::shared_ptr<LayoutConstraint> LayoutConstraint::create(const std::shared_ptr<View>& firstItem, LayoutAttribute firstAttribute,
    LayoutRelation relation, const std::shared_ptr<View>& secondItem, LayoutAttribute secondAttribute, double multiplier, double constant)
{
    static std::uint64_t s_nextSerial = 1;
    std::shared_ptr<LayoutConstraint> constraint(new LayoutConstraint);
    constraint->m_serial = s_nextSerial++;
    constraint->m_firstItem = firstItem;
    constraint->m_firstAddress = firstItem.get();
    constraint->m_secondAddress = secondItem.get();
    constraint->m_firstAttribute = firstAttribute;
    constraint->m_relation = relation;
    constraint->m_secondItem = secondItem;
    constraint->m_secondAttribute = secondItem ? secondAttribute : LayoutAttribute::NotAnAttribute;
    constraint->m_multiplier = multiplier;
    constraint->m_constant = constant;
    return constraint;
}

bool LayoutConstraint::mentions(const View& view) const
{
    return firstItem().get() == &view || secondItem().get() == &view;
}

void LayoutConstraint::setConstant(double constant)
{
    assertOnMainThread();
    if (m_constant == constant)
        return;
    m_constant = constant;
    changed();
}

void LayoutConstraint::setPriority(double priority)
{
    assertOnMainThread();
    priority = std::clamp(priority, 1.0, LayoutPriority::Required);
    if (m_priority == priority)
        return;
    m_priority = priority;
    changed();
}

void LayoutConstraint::changed()
{
    if (auto view = installedOn())
        view->setNeedsUpdateConstraints();
}

void LayoutConstraint::setActive(bool active)
{
    assertOnMainThread();
    if (!active) {
        if (auto view = installedOn())
            view->removeConstraint(shared_from_this());
        return;
    }
    if (isActive())
        return;
    auto first = firstItem();
    auto second = secondItem();
    if (!first) {
        std::fprintf(stderr, "layout: cannot activate a constraint whose first item is gone\n");
        return;
    }
    std::shared_ptr<View> ancestor = first;
    while (ancestor && second && !second->isDescendantOf(*ancestor))
        ancestor = ancestor->superview();
    if (!ancestor) {
        std::fprintf(stderr, "layout: cannot activate constraint %s: its items have no common ancestor\n",
            describeWith("first", "second").c_str());
        return;
    }
    ancestor->addConstraint(shared_from_this());
}

std::string LayoutConstraint::describeWith(const std::string& first, const std::string& second) const
{
    char number[64];
    std::string text = first + "." + attributeName(m_firstAttribute) + " " + relationSymbol(m_relation) + " ";
    bool hasSecond = m_secondAttribute != LayoutAttribute::NotAnAttribute;
    if (hasSecond) {
        if (m_multiplier != 1) {
            std::snprintf(number, sizeof number, "%g * ", m_multiplier);
            text += number;
        }
        text += second + "." + attributeName(m_secondAttribute);
        if (m_constant != 0) {
            std::snprintf(number, sizeof number, " %s %g", m_constant < 0 ? "-" : "+", std::fabs(m_constant));
            text += number;
        }
    } else {
        std::snprintf(number, sizeof number, "%g", m_constant);
        text += number;
    }
    std::snprintf(number, sizeof number, " @%g", m_priority);
    return text + number;
}

} // namespace morvix::platform
