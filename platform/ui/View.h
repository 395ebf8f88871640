#pragma once
// A rectangle of the user interface: the node of the view tree.

#include "platform/foundation/Clock.h"
#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Rect.h"
#include "platform/graphics/Transform3D.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Responder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace morvix::platform {

/// How a view follows changes of its superview's size when it is not laid out by constraints.
/// The numbers are the platform's.
enum AutoresizingMask : unsigned {
    AutoresizingNone = 0,
    AutoresizingFlexibleLeftMargin = 1,
    AutoresizingFlexibleWidth = 2,
    AutoresizingFlexibleRightMargin = 4,
    AutoresizingFlexibleTopMargin = 8,
    AutoresizingFlexibleHeight = 16,
    AutoresizingFlexibleBottomMargin = 32,
};

enum class LayoutAxis { Horizontal = 0, Vertical = 1 };

/// A motion effect recorded on a view (the parallax tilt); nothing evaluates it.
struct MotionEffect {
    std::string keyPath;
    bool horizontal = true;
    double minimum = 0;
    double maximum = 0;
};

/// A node of the view tree. Geometry: `center` (in the superview), `bounds` (size, and an origin
/// that is the scroll offset of the contents), `transform` around the layer's anchor point;
/// `frame()` is derived from them. A centre, bounds or transform that is not finite (NaN or an
/// infinity) is ignored, so that every frame stays finite. Appearance: alpha, hidden, background
/// colour or pattern image, clipping and the layer's properties, read by the renderer. Layout:
/// autoresizing masks, layout constraints solved by the window's layout pass, intrinsic size and
/// `layoutSubviews`.
///
/// Ownership: a view holds its subviews, gesture recognisers and installed constraints strongly;
/// its superview and view controller weakly. Views are made by `create()` (or a subclass's
/// factory); constructors never call virtual hooks.
///
/// Main thread only (checked in debug builds).
class View : public Responder {
public:
    static std::shared_ptr<View> create(const Rect& frame = {});
    ~View() override;

    /// The class name shown in tree dumps; subclasses override it.
    virtual const char* className() const { return "View"; }
    /// A number for this view, stable for its life and never given to another view of the
    /// process (animation records are keyed by it, so a new view at a dead one's address
    /// inherits nothing).
    std::uint64_t serial() const { return m_serial; }

    // ---- Geometry ----
    /// The box around the bounds as the transform places them in the superview.
    Rect frame() const;
    /// Sets the bounds size and the centre from `frame` taken as the rectangle before the
    /// transform (the platform leaves that case undefined): with a non-identity transform,
    /// `frame()` then reads the transformed box around it, and a view turned before it is
    /// given its frame ends as one turned after.
    void setFrame(const Rect& frame);
    /// The rectangle of the bounds size around the centre, in the superview, the transform left
    /// out: what the layout pass and `setFrame` work with.
    Rect untransformedFrame() const;
    Rect bounds() const { return m_bounds; }
    void setBounds(const Rect& bounds);
    Point center() const { return m_center; }
    void setCenter(Point center);
    /// The flat part of the layer's transform.
    AffineTransform transform() const { return m_transform.affine(); }
    /// Sets the layer's transform to the flat transform `transform`.
    void setTransform(const AffineTransform& transform);
    /// The layer's transform, perspective included; `Layer::transform` reads the same.
    Transform3D transform3D() const { return m_transform; }
    /// Animated like `setTransform`: between two flat transforms the animation records affine
    /// values, otherwise 3-D ones.
    void setTransform3D(const Transform3D& transform);

    // ---- Appearance ----
    double alpha() const { return m_alpha; }
    /// Clamped to [0, 1].
    void setAlpha(double alpha);
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }
    bool isMultipleTouchEnabled() const { return m_multipleTouchEnabled; }
    void setMultipleTouchEnabled(bool enabled) { m_multipleTouchEnabled = enabled; }
    /// None means clear (nothing is drawn).
    std::optional<Color> backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(std::optional<Color> color);
    /// An image tiled over the background instead of a solid colour (a pattern colour).
    std::shared_ptr<Image> backgroundPatternImage() const { return m_backgroundPattern; }
    void setBackgroundPatternImage(std::shared_ptr<Image> image);
    std::optional<Color> tintColor() const { return m_tintColor; }
    void setTintColor(std::optional<Color> color) { m_tintColor = color; }
    bool clipsToBounds() const { return m_layer->masksToBounds(); }
    void setClipsToBounds(bool clips) { m_layer->setMasksToBounds(clips); }
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque) { m_opaque = opaque; }
    Layer& layer() { return *m_layer; }
    const Layer& layer() const { return *m_layer; }
    std::shared_ptr<Layer> layerPointer() const { return m_layer; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    /// A name for tests and dumps; widgets set it to their widget id.
    const std::string& debugName() const { return m_debugName; }
    void setDebugName(std::string name) { m_debugName = std::move(name); }
    const std::vector<MotionEffect>& motionEffects() const { return m_motionEffects; }
    void addMotionEffect(MotionEffect effect) { m_motionEffects.push_back(std::move(effect)); }
    void removeAllMotionEffects() { m_motionEffects.clear(); }

    // ---- Presentation (what the renderer shows at a time, running animations included) ----
    double presentationAlpha(TimePoint time) const;
    /// Follows a running layer animation of "position.x" or "position.y" as well.
    Point presentationCenter(TimePoint time) const;
    Rect presentationBounds(TimePoint time) const;
    AffineTransform presentationTransform(TimePoint time) const { return presentationTransform3D(time).affine(); }
    Transform3D presentationTransform3D(TimePoint time) const;
    std::optional<Color> presentationBackgroundColor(TimePoint time) const;
    /// The frame from the presentation centre, bounds and transform.
    Rect presentationFrame(TimePoint time) const;

    // ---- Tree ----
    std::shared_ptr<View> superview() const { return m_superview.lock(); }
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    /// The window at the root of this view's tree; null when the root is not a window.
    std::shared_ptr<Window> window() const;
    /// The root of this view's tree (itself when it has no superview); null while that root is
    /// still being constructed (no shared pointer owns it yet), so setters called from a
    /// subclass's constructor find no tree to notify.
    std::shared_ptr<View> rootView() const;
    bool isDescendantOf(const View& ancestor) const;
    /// Adds `view` on top; a view that has another superview leaves it first (losing the
    /// constraints that mention it there). Adding a subview again moves it to the top.
    void addSubview(const std::shared_ptr<View>& view);
    /// Inserts at `index` of the subviews (clamped to the end).
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
    /// Inserts directly above or below `sibling`; on top or at the bottom when `sibling` is not
    /// a subview.
    void insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    void exchangeSubviews(std::size_t first, std::size_t second);
    /// Leaves the superview. Every constraint installed outside this view's subtree that mentions
    /// this view or one of its descendants is removed, as the platform does. No-op without a
    /// superview.
    void removeFromSuperview();
    /// The nearest view of the subtree (this one included) with this tag.
    std::shared_ptr<View> viewWithTag(int tag);

    // ---- Hit-testing and conversion ----
    /// The deepest visible, interactive descendant containing `point` (in this view's bounds
    /// coordinates), searching subviews front to back; null when none. Skips views that are
    /// hidden, have user interaction off or have an alpha below 0.01.
    virtual std::shared_ptr<View> hitTest(Point point, const Event* event = nullptr);
    /// Asked, for every recogniser that is about to leave the possible state, of the views its
    /// touches landed on (their own recognisers' and those of every view around them): no makes
    /// the recogniser fail. A view that handles its touches itself answers no to keep enclosing
    /// recognisers (a scroll view's pan, a tap) from taking them. Yes by default.
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
    virtual bool pointInside(Point point, const Event* event = nullptr) const;
    /// Conversions between this view's bounds coordinates and another view's, through transforms
    /// and bounds origins. A null view stands for the window (the root of the tree).
    Point convertPointTo(Point point, const View* view) const;
    Point convertPointFrom(Point point, const View* view) const;
    Rect convertRectTo(const Rect& rect, const View* view) const;
    Rect convertRectFrom(const Rect& rect, const View* view) const;
    /// The affine map from this view's bounds coordinates to its root view's.
    AffineTransform transformToRoot() const;

    // ---- Gesture recognisers ----
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return m_gestureRecognizers; }
    /// Attaches `recognizer`, detaching it from the view it was on.
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    /// Detaches `recognizer`; no-op when it is not attached here.
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);

    // ---- Autoresizing ----
    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool autoresizes) { m_autoresizesSubviews = autoresizes; }
    /// The frame a view with `mask` gets when its superview's size goes from `oldSize` to
    /// `newSize`: the size difference is shared among the flexible parts of each axis in
    /// proportion to their sizes (evenly when they are all zero).
    static Rect autoresizedFrame(const Rect& frame, unsigned mask, Size oldSize, Size newSize);

    // ---- Layout ----
    /// True by default: the layout pass keeps the view's frame (following its autoresizing mask)
    /// instead of solving for it.
    bool translatesAutoresizingMaskIntoConstraints() const { return m_translatesAutoresizingMask; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);
    /// The constraints installed on this view.
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const;
    /// Whether any constraint is installed on this view (cheaper than asking for them).
    bool hasConstraints() const { return m_constraints.size() > m_removedConstraints; }
    /// The constraints installed on this view whose first or second item is `item`, a view
    /// below this one, in no particular order; found without walking every constraint of the
    /// view. Nothing for this view itself.
    std::vector<std::shared_ptr<LayoutConstraint>> constraintsMentioning(const View& item) const;
    /// Installs `constraint` here. Refused and logged (false) when one of its items is neither this
    /// view nor one of its descendants. Installing one already installed elsewhere moves it.
    bool addConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    /// No-op when `constraint` is not installed here.
    void removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

    static constexpr double kNoIntrinsicMetric = -1;
    /// The natural size; `kNoIntrinsicMetric` in a dimension that has none (the default).
    virtual Size intrinsicContentSize() const { return { kNoIntrinsicMetric, kNoIntrinsicMetric }; }
    /// Asks the layout pass to read `intrinsicContentSize` again.
    void invalidateIntrinsicContentSize();
    /// The size the view would like within `size`; the current bounds size by default.
    virtual Size sizeThatFits(Size size) const;
    void sizeToFit();
    double contentHuggingPriority(LayoutAxis axis) const { return m_hugging[static_cast<int>(axis)]; }
    void setContentHuggingPriority(double priority, LayoutAxis axis);
    double contentCompressionResistancePriority(LayoutAxis axis) const { return m_compression[static_cast<int>(axis)]; }
    void setContentCompressionResistancePriority(double priority, LayoutAxis axis);
    /// The view whose baseline the baseline attribute means; this view by default.
    virtual std::shared_ptr<View> viewForBaselineLayout();
    /// The baseline's distance above the bottom edge; 0 for a plain view.
    virtual double baselineOffsetFromBottom() const { return 0; }
    /// Where the baseline lies for a height the layout pass has yet to solve: `heightFactor`
    /// times the height plus `offset` below the top edge.
    struct BaselinePlacement {
        double heightFactor = 1;
        double offset = 0;
    };
    /// By default the baseline keeps its current distance above the bottom edge; a view whose
    /// baseline moves otherwise with its height (a label centres its text) says how.
    virtual BaselinePlacement baselinePlacement() const { return { 1, -baselineOffsetFromBottom() }; }

    /// Marks the view for `layoutSubviews` in the next layout pass of its window.
    void setNeedsLayout();
    bool needsLayout() const { return m_needsLayout; }
    /// Runs the layout pass of this view's tree now, when anything in it needs one.
    void layoutIfNeeded();
    /// Marks the view for `updateConstraints` in the next layout pass.
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const { return m_needsUpdateConstraints; }
    void updateConstraintsIfNeeded();
    /// Marks the view for the renderer only.
    void setNeedsDisplay() { m_needsDisplay = true; }
    bool needsDisplay() const { return m_needsDisplay; }
    void clearNeedsDisplay() { m_needsDisplay = false; }

    /// Lays out the subviews; called by the layout pass after the constraints are solved, on
    /// views whose size changed or that asked. The default does nothing.
    virtual void layoutSubviews() { }
    /// Updates the constraints this view is responsible for; called by the layout pass, bottom
    /// up, on views that asked. Overrides must call the base, which clears the request.
    virtual void updateConstraints();
    /// Custom drawing for the renderer, in the bounds coordinates; the default draws nothing.
    virtual void draw(GraphicsContext& context, const Rect& rect);
    /// True when this class overrides `draw` (the renderer then calls it).
    virtual bool hasCustomDrawing() const { return false; }

    // ---- Responder ----
    std::shared_ptr<Responder> nextResponder() const override;
    /// Resigns the first responder when it is this view or one of its descendants; with `force`
    /// even when it refuses. Returns true when it resigned.
    bool endEditing(bool force);
    /// The controller whose root view this is; null for other views.
    std::shared_ptr<ViewController> viewController() const { return m_viewController.lock(); }

    // ---- Hooks ----
    virtual void willMoveToSuperview(View* newSuperview) { (void)newSuperview; }
    virtual void didMoveToSuperview() { }
    virtual void didMoveToWindow() { }
    virtual void didAddSubview(View& subview) { (void)subview; }
    virtual void willRemoveSubview(View& subview) { (void)subview; }

protected:
    explicit View(const Rect& frame = {});
    std::shared_ptr<Window> responderWindow() const override { return window(); }
    std::shared_ptr<View> self() { return std::static_pointer_cast<View>(shared_from_this()); }

private:
    friend class ViewController;
    friend class LayoutEngine;
    friend class Window;

    void setViewController(const std::shared_ptr<ViewController>& controller) { m_viewController = controller; }
    /// The root of this view's tree, reached through the superviews; works in constructors.
    const View& topView() const;
    void insertAt(const std::shared_ptr<View>& view, std::size_t index);
    void detachFromSuperview();
    void removeConstraintsMentioningSubtreeOf(const View& subtree);
    void notifyMovedToWindow();
    void sizeChanged(Size oldSize);
    void scheduleLayoutPass();
    void indexConstraint(const LayoutConstraint& constraint);
    void unindexConstraint(const LayoutConstraint& constraint);
    void takeOutConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void closeUpConstraints() const;
    /// Sets centre and bounds size from the layout pass, without animation.
    void applyLayoutFrame(const Rect& frame);

    std::uint64_t m_serial;
    Point m_center;
    Rect m_bounds;
    Transform3D m_transform;
    double m_alpha = 1;
    bool m_hidden = false;
    bool m_userInteractionEnabled = true;
    bool m_multipleTouchEnabled = false;
    bool m_opaque = true;
    std::optional<Color> m_backgroundColor;
    std::shared_ptr<Image> m_backgroundPattern;
    std::optional<Color> m_tintColor;
    std::shared_ptr<Layer> m_layer;
    int m_tag = 0;
    std::string m_debugName;
    std::vector<MotionEffect> m_motionEffects;

    std::weak_ptr<View> m_superview;
    std::vector<std::shared_ptr<View>> m_subviews;
    std::weak_ptr<ViewController> m_viewController;
    std::vector<std::shared_ptr<GestureRecognizer>> m_gestureRecognizers;

    unsigned m_autoresizingMask = AutoresizingNone;
    bool m_autoresizesSubviews = true;
    bool m_translatesAutoresizingMask = true;
    // In the order installed. A removal leaves an empty slot, closed up when the list is next
    // asked for, so that removing one of thousands does not move all the others.
    mutable std::vector<std::shared_ptr<LayoutConstraint>> m_constraints;
    mutable std::size_t m_removedConstraints = 0;
    // m_constraints by the views they name (first and second item), so that a view holding the
    // constraints of thousands of subviews answers for one of them without walking them all.
    std::unordered_multimap<const View*, const LayoutConstraint*> m_constraintsByItem;
    double m_hugging[2] = { 250, 250 };
    double m_compression[2] = { 750, 750 };
    bool m_needsLayout = false;
    bool m_needsUpdateConstraints = false;
    bool m_needsDisplay = true;
    std::unique_ptr<LayoutEngine> m_layoutEngine; // only on the root of a tree
};

} // namespace morvix::platform
