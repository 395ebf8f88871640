#include "widgets/foundation/ClientLayout.h"

#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"
#include "widgets/delegating/DelegatingScrollView.h"
#include "widgets/foundation/AbsoluteClientLayout.h"
#include "widgets/foundation/RelativeClientLayout.h"

#include <algorithm>
#include <array>

namespace morvix {

using platform::LayoutAttribute;
using platform::LayoutConstraint;
using platform::LayoutRelation;
using platform::View;

namespace {

// A constraint on `attribute` of `view` among `holder`'s constraints (any relation, any second
// item). With `skipLessThan`, relations "less than or equal" do not count.
bool holdsConstraint(const View& holder, const View& view, LayoutAttribute attribute, bool skipLessThan = false)
{
    auto mentioning = holder.constraintsMentioning(view);
    return std::any_of(mentioning.begin(), mentioning.end(), [&](const auto& constraint) {
        return constraint->firstItem().get() == &view && constraint->firstAttribute() == attribute
            && !(skipLessThan && constraint->relation() == LayoutRelation::LessThanOrEqual);
    });
}

// Whether `view`'s size along one axis is fixed by its own superview: a size constraint there,
// or both edges attached other than by "at most", or a superview without any constraints (or
// none at all), which leaves the view at its frame.
bool hasExplicitExtent(const View& view, LayoutAttribute size, LayoutAttribute start, LayoutAttribute end)
{
    auto holder = view.superview();
    if (!holder || !holder->hasConstraints())
        return true;
    if (holdsConstraint(*holder, view, size))
        return true;
    return holdsConstraint(*holder, view, start, true) && holdsConstraint(*holder, view, end, true);
}

} // namespace

std::shared_ptr<ClientLayout> ClientLayout::newLayoutWithView(const std::shared_ptr<View>& view, platform::Value data,
    bool absolute, std::weak_ptr<ClientContext> client)
{
    if (absolute)
        return std::shared_ptr<ClientLayout>(new AbsoluteClientLayout(view, std::move(data), std::move(client)));
    return std::shared_ptr<ClientLayout>(new RelativeClientLayout(view, std::move(data), std::move(client)));
}

std::shared_ptr<ClientLayout> ClientLayout::newAbsoluteLayoutWithView(const std::shared_ptr<View>& view,
    platform::Value data, std::weak_ptr<ClientContext> client)
{
    return newLayoutWithView(view, std::move(data), true, std::move(client));
}

std::shared_ptr<ClientLayout> ClientLayout::newRelativeLayoutWithView(const std::shared_ptr<View>& view,
    platform::Value data, std::weak_ptr<ClientContext> client)
{
    return newLayoutWithView(view, std::move(data), false, std::move(client));
}

bool ClientLayout::isAbsoluteData(const platform::Value& data)
{
    static constexpr std::array kKeys = { "left", "top", "width", "height" };
    if (!data.is_object() || data.size() != kKeys.size())
        return false;
    return std::all_of(kKeys.begin(), kKeys.end(), [&](const char* key) {
        auto entry = data.find(key);
        return entry != data.end() && platform::isNumber(*entry);
    });
}

ClientLayout::ClientLayout(const std::shared_ptr<View>& view, platform::Value data, std::weak_ptr<ClientContext> client)
    : m_view(view)
    , m_data(std::move(data))
    , m_client(std::move(client))
{
}

ClientLayout::~ClientLayout() = default;

void ClientLayout::layout() { }

void ClientLayout::updateConstraints()
{
    auto view = m_view.lock();
    updateParentConstraints(view ? view->superview() : nullptr);
}

void ClientLayout::dispose()
{
    clearParentConstraints();
    if (auto view = m_view.lock())
        view->setNeedsUpdateConstraints();
}

void ClientLayout::uninstall(Constraints& constraints)
{
    for (const auto& constraint : constraints) {
        if (auto holder = constraint->installedOn())
            holder->removeConstraint(constraint);
    }
    constraints.clear();
}

void ClientLayout::updateParentConstraints(const std::shared_ptr<View>& superview)
{
    clearParentConstraints();
    if (!superview)
        return;
    addDefaultParentConstraints(*superview);
    addParentConstraintsWhenContainedInScrollView(*superview);
}

void ClientLayout::clearParentConstraints()
{
    uninstall(m_horizontalSpan);
    uninstall(m_verticalSpan);
}

void ClientLayout::addDefaultParentConstraints(View& superview)
{
    if (!hasExplicitExtent(superview, LayoutAttribute::Width, LayoutAttribute::Left, LayoutAttribute::Right))
        spanSuperviewHorizontal(superview);
    if (!hasExplicitExtent(superview, LayoutAttribute::Height, LayoutAttribute::Top, LayoutAttribute::Bottom))
        spanSuperviewVertical(superview);
}

// Content in a scroll view has no size of its own unless the scroll view gives it one, so it
// grows around its children. The spans are added once even when the superview also lacks an
// explicit size.
void ClientLayout::addParentConstraintsWhenContainedInScrollView(View& superview)
{
    auto scrollView = std::dynamic_pointer_cast<DelegatingScrollView>(superview.superview());
    if (!scrollView)
        return;
    if (m_horizontalSpan.empty() && !holdsConstraint(*scrollView, superview, LayoutAttribute::Width))
        spanSuperviewHorizontal(superview);
    if (m_verticalSpan.empty() && !holdsConstraint(*scrollView, superview, LayoutAttribute::Height))
        spanSuperviewVertical(superview);
}

void ClientLayout::spanSuperviewHorizontal(View& superview)
{
    addSpan(superview, LayoutAttribute::Left, LayoutRelation::GreaterThanOrEqual, m_horizontalSpan);
    addSpan(superview, LayoutAttribute::Right, LayoutRelation::LessThanOrEqual, m_horizontalSpan);
}

void ClientLayout::spanSuperviewVertical(View& superview)
{
    addSpan(superview, LayoutAttribute::Top, LayoutRelation::GreaterThanOrEqual, m_verticalSpan);
    addSpan(superview, LayoutAttribute::Bottom, LayoutRelation::LessThanOrEqual, m_verticalSpan);
}

// view.edge (>= or <=) superview.edge at the low priority that lets the superview grow around
// the view rather than push it.
void ClientLayout::addSpan(View& superview, LayoutAttribute edge, LayoutRelation relation, Constraints& list)
{
    auto view = m_view.lock();
    if (!view)
        return;
    auto holder = std::static_pointer_cast<View>(superview.shared_from_this());
    auto constraint = LayoutConstraint::create(view, edge, relation, holder, edge);
    constraint->setPriority(platform::LayoutPriority::DefaultLow);
    if (holder->addConstraint(constraint))
        list.push_back(constraint);
}

} // namespace morvix
