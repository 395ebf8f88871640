#include "platform/ui/LayoutEngine.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <unordered_set>

namespace morvix::platform {

using Expression = ConstraintSolver::Expression;
using SolverConstraint = ConstraintSolver::Constraint;
using Relation = ConstraintSolver::Relation;

namespace {

// Frames of fixed views come first, so that a required constraint that contradicts one is the
// one dropped.
constexpr int kKindPin = -1;
constexpr int kKindPreference = 0;
constexpr int kKindConstraint = 1;
constexpr double kOriginWeight = 0.5;
constexpr double kContentSizeWeight = 0.25;
constexpr int kMaximumPassRounds = 8;
// Fewer removals than this are made one by one, however few constraints stay.
constexpr std::size_t kRebuildAfterRemovals = 64;
// Marks the key of a scroll view's content-size variables apart from its frame variables.
constexpr std::uint64_t kContentKey = std::uint64_t(1) << 63;

// Shares of a size change along one axis, for the parts (leading margin, size, trailing margin).
struct AxisShares {
    double margin = 0;
    double size = 0;
};

// The largest constant or coefficient a constraint may bring to the solver: a billion points
// is far beyond any screen, and the solver's elimination stays exact enough below it.
constexpr double kLargestSolverNumber = 1e9;

// The solver's arithmetic with an infinity or NaN in it would poison every variable the
// constraint meets, and numbers near the float range wreck its elimination (rows it keeps lose
// the symbols it looks for), so such a constraint never reaches it.
bool isSolvable(const Expression& expression)
{
    if (!(std::fabs(expression.constant) <= kLargestSolverNumber))
        return false;
    for (const auto& term : expression.terms) {
        if (!(std::fabs(term.coefficient) <= kLargestSolverNumber))
            return false;
    }
    return true;
}

bool isFinite(const Rect& frame)
{
    return std::isfinite(frame.x()) && std::isfinite(frame.y()) && std::isfinite(frame.width()) && std::isfinite(frame.height());
}

// Pins change whenever a fixed frame moves, so they stay tracked for incremental removal; the
// installed constraints may be folded into the rows, so that a chain of attachments costs the
// solver rows of constant length (see ConstraintSolver::Tracking).
ConstraintSolver::Tracking trackingFor(int kind)
{
    return kind == kKindPin ? ConstraintSolver::Tracking::Tracked : ConstraintSolver::Tracking::Folding;
}

AxisShares autoresizingShares(double margin, double size, double trailing, bool flexMargin, bool flexSize, bool flexTrailing)
{
    double flexible = (flexMargin ? margin : 0) + (flexSize ? size : 0) + (flexTrailing ? trailing : 0);
    int count = flexMargin + flexSize + flexTrailing;
    if (count == 0)
        return {};
    if (flexible == 0)
        return { flexMargin ? 1.0 / count : 0, flexSize ? 1.0 / count : 0 };
    return { flexMargin ? margin / flexible : 0, flexSize ? size / flexible : 0 };
}

} // namespace

// The expressions of one view's frame, in its superview's coordinates.
struct LayoutEngine::Geometry {
    Expression x, y, width, height;
};

double LayoutEngine::weightForPriority(double priority)
{
    if (priority >= 1000)
        return ConstraintSolver::kRequired;
    return std::pow(10.0, priority / 125.0);
}

LayoutEngine::Variables& LayoutEngine::variablesFor(const View& view)
{
    auto found = m_variables.find(view.serial());
    if (found != m_variables.end()) {
        found->second.pass = m_pass;
        return found->second;
    }
    std::string prefix = view.debugName().empty() ? std::to_string(view.serial()) : view.debugName();
    Variables variables { m_solver.newVariable(prefix + ".x"), m_solver.newVariable(prefix + ".y"),
        m_solver.newVariable(prefix + ".width"), m_solver.newVariable(prefix + ".height"), m_pass };
    return m_variables.emplace(view.serial(), variables).first->second;
}

std::vector<std::pair<std::shared_ptr<View>, Rect>> LayoutEngine::solve(View& root)
{
    ++m_pass;
    // 1. Gather the installed constraints and the views they mention.
    struct Installed {
        std::shared_ptr<LayoutConstraint> constraint;
        View* installer;
    };
    std::vector<Installed> installed;
    std::unordered_set<const View*> mentioned;
    std::vector<std::shared_ptr<View>> order;
    std::function<void(View&)> gather = [&](View& view) {
        for (const auto& constraint : view.constraints()) {
            auto first = constraint->firstItem();
            if (!first)
                continue;
            installed.push_back({ constraint, &view });
            mentioned.insert(first.get());
            if (auto second = constraint->secondItem())
                mentioned.insert(second.get());
        }
        for (const auto& subview : view.subviews()) {
            order.push_back(subview);
            gather(*subview);
        }
    };
    gather(root);

    auto isLaid = [&](const View& view) {
        return &view != &root && !view.translatesAutoresizingMaskIntoConstraints() && mentioned.count(&view);
    };

    std::unordered_map<const View*, Geometry> geometries;
    geometries.reserve(order.size() + 1);
    // Fixed views that constraints mention get variables pinned to their frames, so that a change
    // of such a frame (a parent resized) changes one pin instead of every constraint that
    // mentions the view.
    std::vector<std::pair<const View*, Rect>> pinned;
    std::function<const Geometry&(const View&)> geometry = [&](const View& view) -> const Geometry& {
        auto found = geometries.find(&view);
        if (found != geometries.end())
            return found->second;
        Geometry result;
        // The frame the layout works with: the untransformed rectangle around the centre.
        Rect frame = view.untransformedFrame();
        auto superview = view.superview();
        if (isLaid(view)) {
            Variables& variables = variablesFor(view);
            result = { variables.x, variables.y, variables.width, variables.height };
        } else if (superview && isLaid(*superview) && superview->autoresizesSubviews() && view.autoresizingMask()) {
            const Geometry& parent = geometry(*superview);
            Size old = superview->bounds().size;
            unsigned mask = view.autoresizingMask();
            AxisShares h = autoresizingShares(frame.x(), frame.width(), old.width - frame.x() - frame.width(),
                mask & AutoresizingFlexibleLeftMargin, mask & AutoresizingFlexibleWidth, mask & AutoresizingFlexibleRightMargin);
            AxisShares v = autoresizingShares(frame.y(), frame.height(), old.height - frame.y() - frame.height(),
                mask & AutoresizingFlexibleTopMargin, mask & AutoresizingFlexibleHeight, mask & AutoresizingFlexibleBottomMargin);
            Expression deltaWidth = parent.width - Expression(old.width);
            Expression deltaHeight = parent.height - Expression(old.height);
            result.x = Expression(frame.x()) + deltaWidth * h.margin;
            result.width = Expression(frame.width()) + deltaWidth * h.size;
            result.y = Expression(frame.y()) + deltaHeight * v.margin;
            result.height = Expression(frame.height()) + deltaHeight * v.size;
        } else if (mentioned.count(&view)) {
            Variables& variables = variablesFor(view);
            result = { variables.x, variables.y, variables.width, variables.height };
            pinned.emplace_back(&view, frame);
        } else {
            result = { frame.x(), frame.y(), frame.width(), frame.height() };
        }
        return geometries.emplace(&view, std::move(result)).first->second;
    };

    // The origin of `view` in the content coordinates of its ancestor `container`.
    std::function<Expression(const View&, const View&, bool)> origin = [&](const View& view, const View& container, bool vertical) {
        if (&view == &container)
            return Expression(0.0);
        const Geometry& g = geometry(view);
        Expression result = vertical ? g.y : g.x;
        auto superview = view.superview();
        if (superview && superview.get() != &container) {
            result.add(origin(*superview, container, vertical));
            result.add(Expression(vertical ? -superview->bounds().y() : -superview->bounds().x()));
        }
        return result;
    };

    // The content area of a scroll view: a constraint between one of its descendants and its
    // left, right, top or bottom edge binds that edge of the content area (its origin is the
    // content's origin, its right and bottom the content size's variables), not of its frame;
    // the solved content size is set on the axes bound. Width, height and centres keep meaning
    // the frame.
    struct ContentArea {
        ScrollView* scrollView;
        Variables* variables;
        bool bound[2] = { false, false };
    };
    std::vector<ContentArea> contentAreas;
    auto contentArea = [&](ScrollView& scrollView) -> ContentArea& {
        for (auto& area : contentAreas) {
            if (area.scrollView == &scrollView)
                return area;
        }
        auto found = m_variables.find(scrollView.serial() | kContentKey);
        if (found == m_variables.end()) {
            std::string prefix = scrollView.debugName().empty() ? std::to_string(scrollView.serial()) : scrollView.debugName();
            Variables variables { m_solver.newVariable(prefix + ".contentX"), m_solver.newVariable(prefix + ".contentY"),
                m_solver.newVariable(prefix + ".contentWidth"), m_solver.newVariable(prefix + ".contentHeight"), m_pass };
            found = m_variables.emplace(scrollView.serial() | kContentKey, variables).first;
        }
        found->second.pass = m_pass;
        return contentAreas.emplace_back(ContentArea { &scrollView, &found->second });
    };
    auto contentEdge = [&](View& view, LayoutAttribute attribute, const View* other, const View& container) -> std::optional<Expression> {
        bool trailing = attribute == LayoutAttribute::Right || attribute == LayoutAttribute::Trailing;
        bool vertical = attribute == LayoutAttribute::Top || attribute == LayoutAttribute::Bottom;
        bool leading = attribute == LayoutAttribute::Left || attribute == LayoutAttribute::Leading || attribute == LayoutAttribute::Top;
        auto* scrollView = dynamic_cast<ScrollView*>(&view);
        if (!scrollView || !other || !other->isDescendantOf(view) || !(leading || trailing || attribute == LayoutAttribute::Bottom))
            return std::nullopt;
        // The content's origin in the installing view's coordinates.
        Expression result(0.0);
        if (&view != &container) {
            result = origin(view, container, vertical);
            result.add(Expression(vertical ? -view.bounds().y() : -view.bounds().x()));
        }
        if (leading)
            return result;
        ContentArea& area = contentArea(*scrollView);
        area.bound[vertical] = true;
        result.add(Expression(vertical ? area.variables->height : area.variables->width));
        return result;
    };

    auto attribute = [&](View& view, LayoutAttribute attribute, const View& container, const View* other) -> Expression {
        if (auto edge = contentEdge(view, attribute, other, container))
            return *edge;
        const Geometry& g = geometry(view);
        auto edge = [&](bool vertical, double sizeFactor) {
            return origin(view, container, vertical) + (vertical ? g.height : g.width) * sizeFactor;
        };
        switch (attribute) {
        case LayoutAttribute::Left:
        case LayoutAttribute::Leading:
            return edge(false, 0);
        case LayoutAttribute::Right:
        case LayoutAttribute::Trailing:
            return edge(false, 1);
        case LayoutAttribute::Top:
            return edge(true, 0);
        case LayoutAttribute::Bottom:
            return edge(true, 1);
        case LayoutAttribute::CenterX:
            return edge(false, 0.5);
        case LayoutAttribute::CenterY:
            return edge(true, 0.5);
        case LayoutAttribute::Width:
            return g.width;
        case LayoutAttribute::Height:
            return g.height;
        case LayoutAttribute::Baseline: {
            // Expressed through the height being solved: a view's baseline read from its
            // current bounds would be off by however much the pass changes its height.
            auto baselineView = view.viewForBaselineLayout();
            if (!baselineView || baselineView.get() == &view || !baselineView->isDescendantOf(view)) {
                View::BaselinePlacement placement = view.baselinePlacement();
                return origin(view, container, true) + g.height * placement.heightFactor + Expression(placement.offset);
            }
            const Geometry& b = geometry(*baselineView);
            View::BaselinePlacement placement = baselineView->baselinePlacement();
            return origin(*baselineView, container, true) + b.height * placement.heightFactor + Expression(placement.offset);
        }
        case LayoutAttribute::NotAnAttribute:
            return Expression(0.0);
        }
        return Expression(0.0);
    };

    // 2. Build the wanted system.
    std::vector<std::pair<Key, Wanted>> wanted;
    wanted.reserve(m_entries.size() + installed.size());
    // Descriptions are only written for entries the solver drops (see step 3).
    auto want = [&](Key key, const Expression& lhs, Relation relation, const Expression& rhs, double weight, const char* label,
                    const LayoutConstraint* source = nullptr) {
        Expression left = lhs.normalized();
        Expression right = rhs.normalized();
        Wanted entry { {}, label, source };
        if (!isSolvable(left) || !isSolvable(right) || std::isnan(weight)) {
            // Kept as an empty entry that never reaches the solver: it compares equal from pass
            // to pass (NaN never does), so that it is noted once, not on every pass.
            entry.constraint = SolverConstraint { {}, Relation::Equal, {}, 0 };
            entry.unsolvable = true;
        } else {
            entry.constraint = SolverConstraint { (left - right).normalized(), relation, {}, weight };
        }
        wanted.emplace_back(key, std::move(entry));
    };
    for (const auto& view : order) {
        if (!isLaid(*view))
            continue;
        Variables& variables = variablesFor(*view);
        Size intrinsic = view->intrinsicContentSize();
        double sizes[2] = { intrinsic.width, intrinsic.height };
        ConstraintSolver::Variable lengths[2] = { variables.width, variables.height };
        for (int axis = 0; axis < 2; ++axis) {
            auto layoutAxis = static_cast<LayoutAxis>(axis);
            if (sizes[axis] >= 0) {
                want({ kKindPreference, view->serial(), axis * 2 }, lengths[axis], Relation::LessOrEqual, sizes[axis],
                    weightForPriority(view->contentHuggingPriority(layoutAxis)), "content hugging");
                want({ kKindPreference, view->serial(), axis * 2 + 1 }, lengths[axis], Relation::GreaterOrEqual, sizes[axis],
                    weightForPriority(view->contentCompressionResistancePriority(layoutAxis)), "compression resistance");
            } else {
                want({ kKindPreference, view->serial(), axis * 2 }, lengths[axis], Relation::Equal, 0.0, weightForPriority(1), "size preference");
            }
        }
        want({ kKindPreference, view->serial(), 4 }, variables.x, Relation::Equal, 0.0, kOriginWeight, "origin preference");
        want({ kKindPreference, view->serial(), 5 }, variables.y, Relation::Equal, 0.0, kOriginWeight, "origin preference");
    }
    for (const auto& [constraint, installer] : installed) {
        auto first = constraint->firstItem();
        auto second = constraint->secondItem();
        Expression lhs = attribute(*first, constraint->firstAttribute(), *installer, second.get());
        Expression rhs(constraint->constant());
        if (second && constraint->secondAttribute() != LayoutAttribute::NotAnAttribute)
            rhs.add(attribute(*second, constraint->secondAttribute(), *installer, first.get()), constraint->multiplier());
        Relation relation = constraint->relation() == LayoutRelation::Equal ? Relation::Equal
            : constraint->relation() == LayoutRelation::LessThanOrEqual                ? Relation::LessOrEqual
                                                                                       : Relation::GreaterOrEqual;
        want({ kKindConstraint, constraint->serial(), 0 }, lhs, relation, rhs, weightForPriority(constraint->priority()), nullptr,
            constraint.get());
    }

    for (const auto& area : contentAreas) {
        // A content size that the constraints leave open prefers 0, more weakly than the views'
        // origins, so that a view tied only by its trailing edge stays at the content's origin.
        for (int axis = 0; axis < 2; ++axis) {
            auto variable = axis ? area.variables->height : area.variables->width;
            want({ kKindPreference, area.scrollView->serial() | kContentKey, axis }, variable, Relation::Equal, 0.0,
                kContentSizeWeight, "content size preference");
        }
    }
    for (const auto& [view, frame] : pinned) {
        const Variables& variables = variablesFor(*view);
        double values[4] = { frame.x(), frame.y(), frame.width(), frame.height() };
        ConstraintSolver::Variable targets[4] = { variables.x, variables.y, variables.width, variables.height };
        for (int part = 0; part < 4; ++part)
            want({ kKindPin, view->serial(), part }, targets[part], Relation::Equal, values[part], ConstraintSolver::kRequired, "frame");
    }

    // 3. Bring the solver in line: remove what went or changed, then add what is new, each in
    // the order of the keys. A key wanted twice counts once, as asked first.
    std::stable_sort(wanted.begin(), wanted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    wanted.erase(std::unique(wanted.begin(), wanted.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
        wanted.end());
    std::vector<bool> kept(m_entries.size());
    std::vector<ConstraintSolver::ConstraintId> removed;
    auto next = wanted.begin();
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        auto& [key, entry] = m_entries[i];
        while (next != wanted.end() && next->first < key)
            ++next;
        if (next != wanted.end() && next->first == key && holds(entry, next->second.constraint)) {
            entry.source = next->second.source;
            kept[i] = true;
        } else if (entry.id) {
            removed.push_back(entry.id);
        }
    }
    // Each removal re-optimises the whole tableau: when most of the system goes (a page taken
    // down, every frame of a page moved), building it again from what stays is far cheaper.
    if (removed.size() > kRebuildAfterRemovals && removed.size() > wanted.size() / 2) {
        m_solver.clear();
        // What the solver held is given again below; what it never held (dropped, unsolvable)
        // stays as it is, so that it is not reported again.
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].second.id)
                kept[i] = false;
        }
    } else {
        for (auto id : removed)
            m_solver.remove(id);
    }
    std::vector<std::pair<Key, Entry>> entries;
    entries.reserve(wanted.size());
    bool pinRefused = false;
    std::size_t old = 0;
    for (auto& [key, wish] : wanted) {
        while (old < m_entries.size() && m_entries[old].first < key)
            ++old;
        if (old < m_entries.size() && kept[old] && m_entries[old].first == key) {
            entries.emplace_back(std::move(m_entries[old]));
            continue;
        }
        Entry& entry = entries.emplace_back(key, Entry { 0, wish.label, wish.source, nullptr, wish.unsolvable }).second;
        if (wish.unsolvable) {
            entry.refused = std::make_unique<SolverConstraint>(std::move(wish.constraint));
            noteDropped(entry);
            continue;
        }
        give(key, entry, wish.constraint);
        if (!entry.id && key.kind == kKindPin)
            pinRefused = true;
        else if (!entry.id)
            noteDropped(entry);
    }
    m_entries = std::move(entries);
    // A moved frame that contradicts required constraints added earlier must win over them, as
    // it does when the system is built from scratch: build it again in order.
    if (pinRefused) {
        // Copied out first: clearing the solver drops the constraints it holds.
        std::vector<std::optional<SolverConstraint>> constraints;
        constraints.reserve(m_entries.size());
        for (const auto& [key, entry] : m_entries)
            constraints.push_back(entry.unsolvable ? std::nullopt : constraintOf(entry));
        m_solver.clear();
        auto constraint = constraints.begin();
        for (auto& [key, entry] : m_entries) {
            const auto& next = *constraint++;
            if (entry.unsolvable)
                continue;
            if (!next) {
                entry.id = 0; // lost by the solver: given again by the next pass
                continue;
            }
            give(key, entry, *next);
            if (!entry.id)
                noteDropped(entry);
        }
    }

    // Every constraint that mentions a view went through variablesFor above, so the variables of
    // views this pass did not reach belong to views that left the tree (or lost their constraints).
    releaseUnusedVariables();

    // 4. Read the content sizes and the frames.
    for (const auto& area : contentAreas) {
        Size size = area.scrollView->contentSize();
        if (double width = m_solver.value(area.variables->width); area.bound[0] && std::isfinite(width))
            size.width = width;
        if (double height = m_solver.value(area.variables->height); area.bound[1] && std::isfinite(height))
            size.height = height;
        area.scrollView->setContentSize(size);
    }
    std::vector<std::pair<std::shared_ptr<View>, Rect>> frames;
    for (const auto& view : order) {
        if (!isLaid(*view))
            continue;
        const Variables& variables = variablesFor(*view);
        Rect frame(m_solver.value(variables.x), m_solver.value(variables.y), m_solver.value(variables.width),
            m_solver.value(variables.height));
        if (isFinite(frame))
            frames.emplace_back(view, frame);
    }
    return frames;
}

void LayoutEngine::releaseUnusedVariables()
{
    for (auto it = m_variables.begin(); it != m_variables.end();) {
        const Variables& variables = it->second;
        if (variables.pass == m_pass) {
            ++it;
            continue;
        }
        for (auto variable : { variables.x, variables.y, variables.width, variables.height })
            m_solver.releaseVariable(variable);
        it = m_variables.erase(it);
    }
}

bool LayoutEngine::holds(const Entry& entry, const ConstraintSolver::Constraint& constraint) const
{
    if (entry.id)
        return m_solver.holds(entry.id, constraint);
    return entry.refused && *entry.refused == constraint;
}

std::optional<ConstraintSolver::Constraint> LayoutEngine::constraintOf(const Entry& entry) const
{
    if (entry.id)
        return m_solver.constraint(entry.id);
    if (entry.refused)
        return *entry.refused;
    return std::nullopt;
}

// Adds the constraint to the solver under the entry; keeps it in the entry when the solver
// refuses it.
void LayoutEngine::give(const Key& key, Entry& entry, const ConstraintSolver::Constraint& constraint)
{
    entry.id = m_solver.add(constraint, trackingFor(key.kind));
    if (entry.id)
        entry.refused.reset();
    else if (!entry.refused)
        entry.refused = std::make_unique<SolverConstraint>(constraint);
}

std::string LayoutEngine::describe(const Entry& entry)
{
    if (entry.source) {
        return entry.source->describe([](const View* view) {
            if (!view)
                return std::string("nil");
            return view->debugName().empty() ? std::string(view->className()) + "#" + std::to_string(view->serial()) : view->debugName();
        });
    }
    return entry.label ? entry.label : "";
}

void LayoutEngine::noteDropped(const Entry& entry)
{
    std::string description = describe(entry);
    std::fprintf(stderr, "layout: unable to satisfy constraint %s; dropping it\n", description.c_str());
    m_dropped.push_back(std::move(description));
}

namespace {
std::uint64_t s_passesRun = 0; // main thread only
} // namespace

std::uint64_t LayoutEngine::passesRunForTesting()
{
    return s_passesRun;
}

void LayoutEngine::runPass(View& root)
{
    assertOnMainThread();
    ++s_passesRun;
    if (!root.m_layoutEngine)
        root.m_layoutEngine = std::make_unique<LayoutEngine>();
    LayoutEngine& engine = *root.m_layoutEngine;
    // While the pass runs, changes only mark the tree; they are handled by another round here.
    engine.passScheduled = true;
    for (int round = 0; round < kMaximumPassRounds; ++round) {
        // Update constraints bottom up.
        std::function<void(View&)> update = [&](View& view) {
            auto subviews = view.subviews();
            for (const auto& subview : subviews)
                update(*subview);
            if (view.needsUpdateConstraints())
                view.updateConstraints();
        };
        update(root);

        auto frames = engine.solve(root);
        for (const auto& [view, frame] : frames)
            view->applyLayoutFrame(frame);

        // Lay out top down.
        engine.changedDuringPass = false;
        std::function<void(View&)> layout = [&](View& view) {
            if (view.m_needsLayout) {
                view.m_needsLayout = false;
                // The controller whose root view this is hears of the layout around it.
                auto controller = view.viewController();
                if (controller)
                    controller->viewWillLayoutSubviews();
                view.layoutSubviews();
                if (controller)
                    controller->viewDidLayoutSubviews();
            }
            auto subviews = view.subviews();
            for (const auto& subview : subviews)
                layout(*subview);
        };
        layout(root);

        std::function<bool(const View&)> dirty = [&](const View& view) {
            if (view.m_needsLayout || view.m_needsUpdateConstraints)
                return true;
            for (const auto& subview : view.subviews()) {
                if (dirty(*subview))
                    return true;
            }
            return false;
        };
        if (!engine.changedDuringPass && !dirty(root))
            break;
    }
    engine.passScheduled = false;
}

} // namespace morvix::platform
