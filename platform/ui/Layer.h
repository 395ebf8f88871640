#pragma once
// The drawing properties of a view that the renderer reads, and the animations added by key.

#include "platform/foundation/Clock.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Point.h"
#include "platform/graphics/Rect.h"
#include "platform/graphics/Size.h"
#include "platform/graphics/Transform3D.h"
#include "platform/ui/AnimationValue.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

/// One animation added to a layer under a key: a basic animation (from, to) or a keyframe
/// animation (values at key times). The layer keeps it for `beginOffset + duration *
/// (repeatCount + 1)` (twice that with `autoreverses`) on the clock and then removes it and
/// calls `didStop(true)`; removing it earlier calls `didStop(false)` on the next turn. A total
/// beyond `kLongestInterval` (an infinite `repeatCount`, a huge duration) keeps the animation
/// until it is removed.
struct LayerAnimation {
    std::string keyPath;
    AnimationValue from;
    AnimationValue to;
    std::vector<AnimationValue> values;
    std::vector<double> keyTimes;
    double duration = 0.25;
    double beginOffset = 0;
    double repeatCount = 0;
    bool autoreverses = false;
    bool removedOnCompletion = true;
    AnimationCurve curve = AnimationCurve::Linear;
    std::function<void(bool finished)> didStop;

    /// The total time the animation is kept, in seconds.
    double activeDuration() const;
};

/// The layer properties of a view: a property bag the renderer reads (corner radius, border,
/// shadow, mask, contents image, anchor point, rasterisation) plus the animations added by key.
/// A view owns its layer; a mask layer stands alone with its own frame. Main thread only.
class Layer final : public std::enable_shared_from_this<Layer> {
public:
    /// A stand-alone layer (masks, contents holders).
    static std::shared_ptr<Layer> create();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;
    ~Layer();

    /// The view whose layer this is; null for a stand-alone layer.
    View* view() const { return m_view; }

    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius; }
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width) { m_borderWidth = width; }
    Color borderColor() const { return m_borderColor; }
    void setBorderColor(Color color) { m_borderColor = color; }
    /// The same flag as the owning view's `clipsToBounds`.
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks) { m_masksToBounds = masks; }

    std::optional<Color> shadowColor() const { return m_shadowColor; }
    void setShadowColor(std::optional<Color> color) { m_shadowColor = color; }
    double shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(double opacity) { m_shadowOpacity = opacity; }
    Size shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(Size offset) { m_shadowOffset = offset; }
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double radius) { m_shadowRadius = radius; }
    /// The shadow's outline as a rectangle in the layer's bounds; none follows the bounds.
    std::optional<Rect> shadowPath() const { return m_shadowPath; }
    void setShadowPath(std::optional<Rect> path) { m_shadowPath = path; }

    /// The point of the bounds, in unit coordinates, that the view's centre (the layer's position)
    /// names and that transforms turn around; (0.5, 0.5) by default.
    Point anchorPoint() const { return m_anchorPoint; }
    void setAnchorPoint(Point anchor);

    /// The transform, perspective included; a view's layer shares it with the view, whose
    /// `transform()` is its flat part.
    Transform3D transform() const;
    void setTransform(const Transform3D& transform);
    /// The value a running animation of `keyPath` ("position.x", "position.y") shows at `time`:
    /// a basic animation between its values along its curve, a keyframe animation between the
    /// values at its key times (evenly spread without them). None when no such animation runs
    /// then. The newest animation added wins.
    std::optional<double> presentationValue(const std::string& keyPath, TimePoint time) const;

    bool shouldRasterize() const { return m_shouldRasterize; }
    void setShouldRasterize(bool rasterize) { m_shouldRasterize = rasterize; }
    double rasterizationScale() const { return m_rasterizationScale; }
    void setRasterizationScale(double scale) { m_rasterizationScale = scale; }

    /// An image drawn to fill the layer's bounds, before the subviews.
    std::shared_ptr<Image> contents() const { return m_contents; }
    void setContents(std::shared_ptr<Image> image) { m_contents = std::move(image); }

    /// A layer whose contents' alpha masks this layer; its `frame` is in this layer's bounds.
    std::shared_ptr<Layer> mask() const { return m_mask; }
    void setMask(std::shared_ptr<Layer> mask) { m_mask = std::move(mask); }
    /// The frame of a stand-alone layer; a view's layer reports its view's frame.
    Rect frame() const;
    void setFrame(const Rect& frame);

    /// Adds `animation` under `key`, replacing (and stopping, unfinished) one already there.
    void addAnimation(LayerAnimation animation, const std::string& key);
    /// The animation under `key`; null when there is none.
    const LayerAnimation* animation(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    /// Removes the animation under `key`; its `didStop(false)` runs on the next turn.
    void removeAnimation(const std::string& key);
    /// Removes every layer animation, and ends the running view animations of the owning view
    /// unfinished (their completions get `finished = false` on the next turn).
    void removeAllAnimations();

private:
    friend class View;
    struct Running {
        LayerAnimation animation;
        std::uint64_t timer = 0;
        TimePoint start {};
        std::uint64_t token = 0;
    };
    Layer() = default;
    void finish(const std::string& key, std::uint64_t token);
    void stopLater(Running running);

    View* m_view = nullptr; // owner; cleared by the view's destructor
    double m_cornerRadius = 0;
    double m_borderWidth = 0;
    Color m_borderColor = Color::black();
    bool m_masksToBounds = false;
    std::optional<Color> m_shadowColor;
    double m_shadowOpacity = 0;
    Size m_shadowOffset { 0, -3 };
    double m_shadowRadius = 3;
    std::optional<Rect> m_shadowPath;
    Point m_anchorPoint { 0.5, 0.5 };
    bool m_shouldRasterize = false;
    double m_rasterizationScale = 1;
    std::shared_ptr<Image> m_contents;
    std::shared_ptr<Layer> m_mask;
    Rect m_frame;
    Transform3D m_transform; // of a stand-alone layer
    std::map<std::string, Running> m_animations;
    std::map<std::string, std::uint64_t> m_tokens; // the run each key's timer belongs to
};

} // namespace morvix::platform
