#include "platform/ui/View.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Animator.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutEngine.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>

namespace morvix::platform {

namespace {

std::uint64_t nextSerial()
{
    static std::uint64_t s_serial = 0;
    return ++s_serial;
}

double shareOf(double part, bool flexible, double flexibleTotal, int count)
{
    if (!flexible)
        return 0;
    return flexibleTotal == 0 ? 1.0 / count : part / flexibleTotal;
}

// Resizes one axis: returns the new (origin, length).
std::pair<double, double> resizeAxis(double origin, double length, double oldContainer, double newContainer, bool flexLeading,
    bool flexSize, bool flexTrailing)
{
    double trailing = oldContainer - origin - length;
    int count = flexLeading + flexSize + flexTrailing;
    if (count == 0)
        return { origin, length };
    double total = (flexLeading ? origin : 0) + (flexSize ? length : 0) + (flexTrailing ? trailing : 0);
    double delta = newContainer - oldContainer;
    return { origin + delta * shareOf(origin, flexLeading, total, count), length + delta * shareOf(length, flexSize, total, count) };
}

// A geometry value that is not finite would spread to every frame computed from it (a
// superview's autoresizing, constraints that mention the view, the renderer), so the geometry
// setters keep what they had instead.
bool isFinite(const Rect& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) && std::isfinite(rect.height());
}

bool isFinite(const Transform3D& t)
{
    for (double entry :
        { t.m11, t.m12, t.m13, t.m14, t.m21, t.m22, t.m23, t.m24, t.m31, t.m32, t.m33, t.m34, t.m41, t.m42, t.m43, t.m44 }) {
        if (!std::isfinite(entry))
            return false;
    }
    return true;
}

} // namespace

std::shared_ptr<View> View::create(const Rect& frame)
{
    return std::shared_ptr<View>(new View(frame));
}

View::View(const Rect& frame)
    : m_serial(nextSerial())
    , m_layer(Layer::create())
{
    m_layer->m_view = this;
    m_bounds = Rect(0, 0, frame.width(), frame.height());
    m_center = { frame.x() + frame.width() / 2, frame.y() + frame.height() / 2 };
}

View::~View()
{
    m_layer->m_view = nullptr;
    for (const auto& subview : m_subviews)
        subview->m_superview.reset();
}

// ---- Geometry ----

Rect View::frame() const
{
    Point anchor = m_layer->anchorPoint();
    if (m_transform.isIdentity())
        return { Point { m_center.x - m_bounds.width() * anchor.x, m_center.y - m_bounds.height() * anchor.y }, m_bounds.size };
    AffineTransform toSuperview = AffineTransform::translation(-m_bounds.width() * anchor.x, -m_bounds.height() * anchor.y)
                                      .concatenated(m_transform.affine())
                                      .concatenated(AffineTransform::translation(m_center.x, m_center.y));
    return toSuperview.apply(Rect(0, 0, m_bounds.width(), m_bounds.height()));
}

void View::setFrame(const Rect& frame)
{
    assertOnMainThread();
    // With a transform the frame asked for is the rectangle before it: bounds and centre come
    // from it and the transform turns that rectangle in place, as the layout pass does with the
    // frames it solves. A view given its transform before its frame thus ends as one given them
    // the other way round; moving only the centre left a view turned before it was ever sized
    // at 0 by 0 for good.
    Point anchor = m_layer->anchorPoint();
    setBounds(Rect(m_bounds.origin, frame.size));
    setCenter({ frame.x() + frame.width() * anchor.x, frame.y() + frame.height() * anchor.y });
}

Rect View::untransformedFrame() const
{
    Point anchor = m_layer->anchorPoint();
    return { Point { m_center.x - m_bounds.width() * anchor.x, m_center.y - m_bounds.height() * anchor.y }, m_bounds.size };
}

void View::setBounds(const Rect& bounds)
{
    assertOnMainThread();
    if (bounds == m_bounds || !isFinite(bounds))
        return;
    Animator::shared().recordChange(*this, AnimatableProperty::Bounds, m_bounds, bounds);
    Size oldSize = m_bounds.size;
    m_bounds = bounds;
    if (oldSize != bounds.size)
        sizeChanged(oldSize);
    else
        scheduleLayoutPass();
}

void View::setCenter(Point center)
{
    assertOnMainThread();
    if (center == m_center || !std::isfinite(center.x) || !std::isfinite(center.y))
        return;
    Animator::shared().recordChange(*this, AnimatableProperty::Center, m_center, center);
    m_center = center;
    scheduleLayoutPass();
}

void View::setTransform(const AffineTransform& transform)
{
    setTransform3D(Transform3D::fromAffine(transform));
}

void View::setTransform3D(const Transform3D& transform)
{
    assertOnMainThread();
    if (transform == m_transform || !isFinite(transform))
        return;
    // Flat transforms keep animating as affine values, which is what tests and dumps read.
    if (transform.isFlat() && m_transform.isFlat() && transform.m33 == 1 && m_transform.m33 == 1)
        Animator::shared().recordChange(*this, AnimatableProperty::Transform, m_transform.affine(), transform.affine());
    else
        Animator::shared().recordChange(*this, AnimatableProperty::Transform, m_transform, transform);
    m_transform = transform;
}

void View::sizeChanged(Size oldSize)
{
    setNeedsLayout();
    if (!m_autoresizesSubviews)
        return;
    for (const auto& subview : m_subviews) {
        if (subview->m_autoresizingMask == AutoresizingNone)
            continue;
        Point anchor = subview->m_layer->anchorPoint();
        Size size = subview->m_bounds.size;
        Rect frame({ subview->m_center.x - size.width * anchor.x, subview->m_center.y - size.height * anchor.y }, size);
        Rect resized = autoresizedFrame(frame, subview->m_autoresizingMask, oldSize, m_bounds.size);
        subview->setBounds(Rect(subview->m_bounds.origin, resized.size));
        subview->setCenter({ resized.x() + resized.width() * anchor.x, resized.y() + resized.height() * anchor.y });
    }
}

Rect View::autoresizedFrame(const Rect& frame, unsigned mask, Size oldSize, Size newSize)
{
    auto [x, width] = resizeAxis(frame.x(), frame.width(), oldSize.width, newSize.width, mask & AutoresizingFlexibleLeftMargin,
        mask & AutoresizingFlexibleWidth, mask & AutoresizingFlexibleRightMargin);
    auto [y, height] = resizeAxis(frame.y(), frame.height(), oldSize.height, newSize.height, mask & AutoresizingFlexibleTopMargin,
        mask & AutoresizingFlexibleHeight, mask & AutoresizingFlexibleBottomMargin);
    return { x, y, width, height };
}

void View::applyLayoutFrame(const Rect& frame)
{
    if (untransformedFrame() == frame)
        return;
    Point anchor = m_layer->anchorPoint();
    setBounds(Rect(m_bounds.origin, frame.size));
    setCenter({ frame.x() + frame.width() * anchor.x, frame.y() + frame.height() * anchor.y });
}

// ---- Appearance ----

void View::setAlpha(double alpha)
{
    assertOnMainThread();
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    Animator::shared().recordChange(*this, AnimatableProperty::Alpha, m_alpha, alpha);
    m_alpha = alpha;
}

void View::setHidden(bool hidden)
{
    assertOnMainThread();
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden)
        endEditing(true);
}

static AnimationValue colorValue(const std::optional<Color>& color)
{
    if (color)
        return *color;
    return std::monostate {};
}

void View::setBackgroundColor(std::optional<Color> color)
{
    assertOnMainThread();
    m_backgroundPattern.reset();
    if (color == m_backgroundColor)
        return;
    Animator::shared().recordChange(*this, AnimatableProperty::BackgroundColor, colorValue(m_backgroundColor), colorValue(color));
    m_backgroundColor = color;
    setNeedsDisplay();
}

void View::setBackgroundPatternImage(std::shared_ptr<Image> image)
{
    assertOnMainThread();
    m_backgroundPattern = std::move(image);
    if (m_backgroundPattern)
        m_backgroundColor.reset();
    setNeedsDisplay();
}

// ---- Presentation ----

double View::presentationAlpha(TimePoint time) const
{
    auto value = Animator::shared().presentationValue(*this, AnimatableProperty::Alpha, time, m_alpha);
    auto number = std::get_if<double>(&value);
    return number ? std::clamp(*number, 0.0, 1.0) : m_alpha;
}

Point View::presentationCenter(TimePoint time) const
{
    auto value = Animator::shared().presentationValue(*this, AnimatableProperty::Center, time, m_center);
    auto point = std::get_if<Point>(&value);
    Point center = point ? *point : m_center;
    // A layer animation of the position shows over the model, as on the platform.
    if (auto x = m_layer->presentationValue("position.x", time))
        center.x = *x;
    if (auto y = m_layer->presentationValue("position.y", time))
        center.y = *y;
    return center;
}

Rect View::presentationBounds(TimePoint time) const
{
    auto value = Animator::shared().presentationValue(*this, AnimatableProperty::Bounds, time, m_bounds);
    auto rect = std::get_if<Rect>(&value);
    return rect ? *rect : m_bounds;
}

Transform3D View::presentationTransform3D(TimePoint time) const
{
    auto value = Animator::shared().presentationValue(*this, AnimatableProperty::Transform, time, m_transform);
    if (auto affine = std::get_if<AffineTransform>(&value))
        return Transform3D::fromAffine(*affine);
    if (auto transform = std::get_if<Transform3D>(&value))
        return *transform;
    return m_transform;
}

std::optional<Color> View::presentationBackgroundColor(TimePoint time) const
{
    auto value = Animator::shared().presentationValue(*this, AnimatableProperty::BackgroundColor, time, colorValue(m_backgroundColor));
    if (auto color = std::get_if<Color>(&value))
        return *color;
    return std::nullopt;
}

Rect View::presentationFrame(TimePoint time) const
{
    Rect bounds = presentationBounds(time);
    Point center = presentationCenter(time);
    Point anchor = m_layer->anchorPoint();
    AffineTransform toSuperview = AffineTransform::translation(-bounds.width() * anchor.x, -bounds.height() * anchor.y)
                                      .concatenated(presentationTransform(time))
                                      .concatenated(AffineTransform::translation(center.x, center.y));
    return toSuperview.apply(Rect(0, 0, bounds.width(), bounds.height()));
}

// ---- Tree ----

const View& View::topView() const
{
    const View* view = this;
    while (auto superview = view->m_superview.lock())
        view = superview.get();
    return *view;
}

std::shared_ptr<View> View::rootView() const
{
    // A view under construction has no owner yet, hence no weak reference to hand out.
    auto root = std::const_pointer_cast<Responder>(topView().weak_from_this().lock());
    return std::static_pointer_cast<View>(root);
}

std::shared_ptr<Window> View::window() const
{
    return std::dynamic_pointer_cast<Window>(rootView());
}

bool View::isDescendantOf(const View& ancestor) const
{
    for (const View* view = this; view; view = view->m_superview.lock().get()) {
        if (view == &ancestor)
            return true;
    }
    return false;
}

void View::addSubview(const std::shared_ptr<View>& view)
{
    insertAt(view, m_subviews.size());
}

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index)
{
    insertAt(view, index);
}

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling)
{
    auto found = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    if (found == m_subviews.end() || view == sibling) {
        insertAt(view, m_subviews.size());
        return;
    }
    std::size_t index = static_cast<std::size_t>(found - m_subviews.begin()) + 1;
    insertAt(view, index);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling)
{
    auto found = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    if (found == m_subviews.end() || view == sibling) {
        insertAt(view, 0);
        return;
    }
    insertAt(view, static_cast<std::size_t>(found - m_subviews.begin()));
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view)
{
    if (view && view->superview().get() == this)
        insertAt(view, m_subviews.size());
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view)
{
    if (view && view->superview().get() == this)
        insertAt(view, 0);
}

void View::exchangeSubviews(std::size_t first, std::size_t second)
{
    assertOnMainThread();
    if (first >= m_subviews.size() || second >= m_subviews.size())
        return;
    std::swap(m_subviews[first], m_subviews[second]);
}

void View::insertAt(const std::shared_ptr<View>& view, std::size_t index)
{
    assertOnMainThread();
    if (!view || view.get() == this || isDescendantOf(*view)) {
        assert(false && "a view cannot be added to itself or to one of its descendants");
        return;
    }
    if (view->superview().get() == this) {
        // Reordering only: no hooks, no constraint changes.
        auto found = std::find(m_subviews.begin(), m_subviews.end(), view);
        std::size_t current = static_cast<std::size_t>(found - m_subviews.begin());
        m_subviews.erase(found);
        if (index > current)
            --index;
        index = std::min(index, m_subviews.size());
        m_subviews.insert(m_subviews.begin() + static_cast<std::ptrdiff_t>(index), view);
        return;
    }
    auto oldWindow = view->window();
    view->willMoveToSuperview(this);
    if (view->superview())
        view->detachFromSuperview();
    index = std::min(index, m_subviews.size());
    m_subviews.insert(m_subviews.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->m_superview = self();
    view->didMoveToSuperview();
    didAddSubview(*view);
    if (view->window() != oldWindow)
        view->notifyMovedToWindow();
    view->setNeedsLayout();
    setNeedsLayout();
}

void View::detachFromSuperview()
{
    auto superview = this->superview();
    if (!superview)
        return;
    if (auto window = this->window()) {
        auto responder = std::dynamic_pointer_cast<View>(window->firstResponder());
        if (responder && responder->isDescendantOf(*this))
            window->setFirstResponder(nullptr);
    }
    superview->willRemoveSubview(*this);
    for (auto ancestor = superview; ancestor; ancestor = ancestor->superview())
        ancestor->removeConstraintsMentioningSubtreeOf(*this);
    auto self = this->self();
    std::erase(superview->m_subviews, self);
    m_superview.reset();
    superview->setNeedsLayout();
}

void View::removeFromSuperview()
{
    assertOnMainThread();
    if (!superview())
        return;
    auto keepAlive = self();
    bool hadWindow = window() != nullptr;
    willMoveToSuperview(nullptr);
    detachFromSuperview();
    didMoveToSuperview();
    if (hadWindow)
        notifyMovedToWindow();
}

void View::notifyMovedToWindow()
{
    didMoveToWindow();
    auto subviews = m_subviews;
    for (const auto& subview : subviews)
        subview->notifyMovedToWindow();
}

void View::removeConstraintsMentioningSubtreeOf(const View& subtree)
{
    // A leaf's subtree is itself: the index names its constraints, and a view that holds
    // thousands of them is not walked for each leaf that leaves.
    if (subtree.m_subviews.empty() && !m_constraintsByItem.contains(&subtree))
        return;
    if (subtree.m_subviews.empty()) {
        for (const auto& constraint : constraintsMentioning(subtree))
            takeOutConstraint(constraint);
        return;
    }
    auto inSubtree = [&](const std::shared_ptr<View>& item) { return item && item->isDescendantOf(subtree); };
    auto installed = constraints();
    for (const auto& constraint : installed) {
        if (inSubtree(constraint->firstItem()) || inSubtree(constraint->secondItem()))
            takeOutConstraint(constraint);
    }
}

const std::vector<std::shared_ptr<LayoutConstraint>>& View::constraints() const
{
    closeUpConstraints();
    return m_constraints;
}

// Leaves the constraint's slot empty; `closeUpConstraints` closes the gaps when the list is
// asked for.
void View::takeOutConstraint(const std::shared_ptr<LayoutConstraint>& constraint)
{
    auto kept = constraint; // the argument may be the slot itself
    auto& slot = m_constraints.at(kept->m_slot);
    assert(slot == kept && "a constraint's slot names another constraint");
    slot.reset();
    ++m_removedConstraints;
    unindexConstraint(*kept);
    kept->m_installedOn.reset();
}

void View::closeUpConstraints() const
{
    if (!m_removedConstraints)
        return;
    std::erase(m_constraints, nullptr);
    for (std::size_t slot = 0; slot < m_constraints.size(); ++slot)
        m_constraints[slot]->m_slot = slot;
    m_removedConstraints = 0;
}

std::vector<std::shared_ptr<LayoutConstraint>> View::constraintsMentioning(const View& item) const
{
    std::vector<std::shared_ptr<LayoutConstraint>> found;
    auto [begin, end] = m_constraintsByItem.equal_range(&item);
    for (auto entry = begin; entry != end; ++entry)
        found.push_back(const_cast<LayoutConstraint*>(entry->second)->shared_from_this());
    return found;
}

// This view itself is no key: it is named by the constraints of all its subviews (their spans)
// and never asked for, since what leaves or is looked up is always below it.
void View::indexConstraint(const LayoutConstraint& constraint)
{
    if (constraint.m_firstAddress && constraint.m_firstAddress != this)
        m_constraintsByItem.emplace(constraint.m_firstAddress, &constraint);
    if (constraint.m_secondAddress && constraint.m_secondAddress != constraint.m_firstAddress && constraint.m_secondAddress != this)
        m_constraintsByItem.emplace(constraint.m_secondAddress, &constraint);
}

void View::unindexConstraint(const LayoutConstraint& constraint)
{
    for (const View* item : { constraint.m_firstAddress, constraint.m_secondAddress }) {
        if (!item || item == this)
            continue;
        auto [begin, end] = m_constraintsByItem.equal_range(item);
        for (auto entry = begin; entry != end; ++entry) {
            if (entry->second == &constraint) {
                m_constraintsByItem.erase(entry);
                break;
            }
        }
    }
}

std::shared_ptr<View> View::viewWithTag(int tag)
{
    if (m_tag == tag)
        return self();
    for (const auto& subview : m_subviews) {
        if (auto found = subview->viewWithTag(tag))
            return found;
    }
    return nullptr;
}

// ---- Hit-testing and conversion ----

std::shared_ptr<View> View::hitTest(Point point, const Event* event)
{
    if (m_hidden || !m_userInteractionEnabled || m_alpha < 0.01)
        return nullptr;
    if (!pointInside(point, event))
        return nullptr;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        auto subview = *it;
        if (auto hit = subview->hitTest(convertPointTo(point, subview.get()), event))
            return hit;
    }
    return self();
}

bool View::pointInside(Point point, const Event*) const
{
    return m_bounds.contains(point);
}

static AffineTransform toSuperviewTransform(const View& view)
{
    Rect bounds = view.bounds();
    Point anchor = view.layer().anchorPoint();
    return AffineTransform::translation(-bounds.x() - bounds.width() * anchor.x, -bounds.y() - bounds.height() * anchor.y)
        .concatenated(view.transform())
        .concatenated(AffineTransform::translation(view.center().x, view.center().y));
}

AffineTransform View::transformToRoot() const
{
    AffineTransform result;
    const View* view = this;
    while (auto superview = view->superview()) {
        result = result.concatenated(toSuperviewTransform(*view));
        view = superview.get();
    }
    return result;
}

// Maps into a space shared by every tree: the root's own placement is applied too, so views of
// different windows convert through screen coordinates.
static AffineTransform toScreen(const View& view, const View& root)
{
    return view.transformToRoot().concatenated(toSuperviewTransform(root));
}

Point View::convertPointTo(Point point, const View* view) const
{
    if (view == this)
        return point;
    if (!view)
        return transformToRoot().apply(point);
    if (&view->topView() == &topView())
        return view->transformToRoot().inverted().apply(transformToRoot().apply(point));
    return toScreen(*view, view->topView()).inverted().apply(toScreen(*this, topView()).apply(point));
}

Point View::convertPointFrom(Point point, const View* view) const
{
    if (view == this)
        return point;
    if (!view)
        return transformToRoot().inverted().apply(point);
    return view->convertPointTo(point, this);
}

Rect View::convertRectTo(const Rect& rect, const View* view) const
{
    if (view == this)
        return rect;
    if (!view)
        return transformToRoot().apply(rect);
    if (&view->topView() == &topView())
        return view->transformToRoot().inverted().concatenated(AffineTransform()).apply(transformToRoot().apply(rect));
    return toScreen(*view, view->topView()).inverted().apply(toScreen(*this, topView()).apply(rect));
}

Rect View::convertRectFrom(const Rect& rect, const View* view) const
{
    if (view == this)
        return rect;
    if (!view)
        return transformToRoot().inverted().apply(rect);
    return view->convertRectTo(rect, this);
}

// ---- Gesture recognisers ----

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer)
{
    assertOnMainThread();
    if (!recognizer)
        return;
    auto current = recognizer->view();
    if (current.get() == this)
        return;
    if (current)
        current->removeGestureRecognizer(recognizer);
    m_gestureRecognizers.push_back(recognizer);
    recognizer->attach(self());
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer)
{
    assertOnMainThread();
    auto found = std::find(m_gestureRecognizers.begin(), m_gestureRecognizers.end(), recognizer);
    if (found == m_gestureRecognizers.end())
        return;
    auto keep = *found;
    m_gestureRecognizers.erase(found);
    keep->attach(nullptr);
}

// ---- Layout ----

void View::setTranslatesAutoresizingMaskIntoConstraints(bool translates)
{
    if (translates == m_translatesAutoresizingMask)
        return;
    m_translatesAutoresizingMask = translates;
    setNeedsLayout();
}

bool View::addConstraint(const std::shared_ptr<LayoutConstraint>& constraint)
{
    assertOnMainThread();
    if (!constraint)
        return false;
    auto first = constraint->firstItem();
    auto second = constraint->secondItem();
    bool inside = first && first->isDescendantOf(*this) && (!second || second->isDescendantOf(*this));
    if (!inside) {
        auto name = [](const View* view) { return view ? std::string(view->className()) + "#" + std::to_string(view->serial()) : std::string("nil"); };
        std::fprintf(stderr, "layout: cannot install constraint %s on %s#%llu: an item is outside its subtree\n",
            constraint->describe(name).c_str(), className(), static_cast<unsigned long long>(m_serial));
        return false;
    }
    if (auto installed = constraint->installedOn()) {
        if (installed.get() == this)
            return true;
        installed->removeConstraint(constraint);
    }
    constraint->m_slot = m_constraints.size();
    m_constraints.push_back(constraint);
    indexConstraint(*constraint);
    constraint->m_installedOn = self();
    setNeedsLayout();
    return true;
}

void View::addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints)
{
    for (const auto& constraint : constraints)
        addConstraint(constraint);
}

void View::removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint)
{
    assertOnMainThread();
    if (!constraint || constraint->m_installedOn.lock().get() != this)
        return;
    takeOutConstraint(constraint);
    setNeedsLayout();
}

void View::removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints)
{
    // A copy: the list given may be this view's own, which each removal changes.
    auto removing = constraints;
    for (const auto& constraint : removing)
        removeConstraint(constraint);
}

void View::invalidateIntrinsicContentSize()
{
    assertOnMainThread();
    if (auto superview = this->superview())
        superview->setNeedsLayout();
    scheduleLayoutPass();
}

Size View::sizeThatFits(Size) const
{
    return m_bounds.size;
}

void View::sizeToFit()
{
    // The untransformed origin: the transformed frame's would move a turned view.
    setFrame(Rect(untransformedFrame().origin, sizeThatFits(m_bounds.size)));
}

void View::setContentHuggingPriority(double priority, LayoutAxis axis)
{
    m_hugging[static_cast<int>(axis)] = priority;
    scheduleLayoutPass();
}

void View::setContentCompressionResistancePriority(double priority, LayoutAxis axis)
{
    m_compression[static_cast<int>(axis)] = priority;
    scheduleLayoutPass();
}

std::shared_ptr<View> View::viewForBaselineLayout()
{
    return self();
}

void View::setNeedsLayout()
{
    assertOnMainThread();
    m_needsLayout = true;
    scheduleLayoutPass();
}

void View::layoutIfNeeded()
{
    assertOnMainThread();
    LayoutEngine::runPass(const_cast<View&>(topView()));
}

void View::setNeedsUpdateConstraints()
{
    assertOnMainThread();
    m_needsUpdateConstraints = true;
    scheduleLayoutPass();
}

void View::updateConstraintsIfNeeded()
{
    for (const auto& subview : m_subviews)
        subview->updateConstraintsIfNeeded();
    if (m_needsUpdateConstraints)
        updateConstraints();
}

void View::updateConstraints()
{
    m_needsUpdateConstraints = false;
}

void View::draw(GraphicsContext&, const Rect&)
{
}

void View::scheduleLayoutPass()
{
    // Views outside a window are laid out by `layoutIfNeeded` only.
    auto root = rootView();
    if (!dynamic_cast<Window*>(root.get()))
        return;
    if (!root->m_layoutEngine)
        root->m_layoutEngine = std::make_unique<LayoutEngine>();
    LayoutEngine& engine = *root->m_layoutEngine;
    if (engine.passScheduled) {
        engine.changedDuringPass = true;
        return;
    }
    engine.passScheduled = true;
    // One pass after a burst of changes (a response's operations, a script's turn), not one
    // between every two of them: the pass waits for the loop to run out of other tasks. It is
    // kept over a quit of the loop: dropped, it would leave the window marked as waiting for a
    // pass, and the window would never be laid out again when the loop runs once more.
    std::weak_ptr<View> weakRoot = root;
    MainLoop::main().postKept(MainLoop::Turn::Idle, [weakRoot] {
        auto root = weakRoot.lock();
        if (root && !root->superview() && root->m_layoutEngine && root->m_layoutEngine->passScheduled)
            LayoutEngine::runPass(*root);
    });
}

// ---- Responder ----

std::shared_ptr<Responder> View::nextResponder() const
{
    if (auto controller = m_viewController.lock())
        return controller;
    return superview();
}

bool View::endEditing(bool force)
{
    auto window = this->window();
    if (!window)
        return false;
    auto responder = std::dynamic_pointer_cast<View>(window->firstResponder());
    if (!responder || !responder->isDescendantOf(*this))
        return false;
    if (force) {
        // The responder ends its editing (its delegate hears of it); one that refuses to resign
        // loses the focus all the same.
        responder->resignFirstResponder();
        if (window->firstResponder() == responder)
            window->setFirstResponder(nullptr);
        return true;
    }
    return responder->resignFirstResponder();
}

} // namespace morvix::platform
