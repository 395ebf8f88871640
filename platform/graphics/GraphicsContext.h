#pragma once
// The drawing context: paths, fills, strokes, clips, images and gradients over cairo.

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Gradient.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/Rect.h"
#include "platform/graphics/TextLayout.h"

#include <functional>
#include <optional>
#include <vector>

typedef struct _cairo cairo_t;

namespace morvix::platform {

class Image;

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class FillRule { Winding, EvenOdd };
/// How images are resampled when drawn at another size.
enum class Interpolation { None, Low, Medium, High };
/// Whether a gradient continues with its end colours beyond its start and end.
enum class GradientExtent { None, BeforeStart, AfterEnd, Both };
/// Whether text is painted or outlined.
enum class TextDrawingMode { Fill, Stroke };
/// How what is drawn combines with what is already there.
enum class BlendMode {
    /// Drawn over it.
    Normal,
    /// Drawn only where something is already, with its alpha: the drawing's colour in the shape
    /// of what was there. Nothing changes outside the shape or picture being drawn.
    SourceIn,
};
/// A shadow cast by what is drawn: its offset in the context's base user space (points for an
/// ImageContext, whatever the transform is meanwhile), its blur radius and its colour.
struct Shadow {
    Size offset;
    double blur = 0;
    Color color = Color::fromRGBA(0, 0, 0, 1.0f / 3);
    bool operator==(const Shadow&) const = default;
};
/// The way an arc runs: through increasing angles (clockwise on screen, y pointing down) or
/// through decreasing ones.
enum class ArcDirection { IncreasingAngle, DecreasingAngle };

/// Draws into a cairo context with the platform's drawing model: a graphics state (transform,
/// clip, fill and stroke colours, line style, alpha, interpolation, blend mode, shadow) saved
/// and restored as a stack, one current path built in user space and consumed by fill, stroke
/// and clip, and images drawn upright (honouring their orientation) with their top-left corner
/// at the rectangle's origin. User space has its origin at the top left and y growing downward.
///
/// Rules:
/// 1. fillPath, strokePath and clip consume the current path; fillRect, strokeRect, clearRect,
///    drawImage and the gradient draws leave it as it was.
/// 2. The alpha multiplies everything drawn: colours, images and gradients.
/// 3. restore() without a matching save() does nothing; inside a transparency layer that means
///    a save made inside the layer. Ending a layer first closes the saves left open inside it.
/// 4. The blend mode applies to fills, images and gradients; strokes and text are always drawn
///    in the normal mode.
/// 5. A shadow is cast by fills, strokes, drawImage and text, each drawing casting its own. No
///    shadow is cast while the blend mode is SourceIn.
/// 6. A transform that would leave the usable range (a length stretched or shrunk by more than
///    kLargestFactor, an area shrunk below kSmallestArea, the origin moved beyond kLargestOffset
///    pixels, or anything not finite) collapses the context instead: until the restore of the
///    state it was set in, nothing is drawn, no path is built and further transforms are
///    ignored, as a degenerate transform draws nothing. cairo itself is never handed such a
///    matrix, since it would refuse it and stop drawing for good. Images, masks and gradients
///    whose own mapping would leave the range draw nothing.
/// 7. Text whose largest font, stretched by the transform, would be drawn larger than
///    kLargestGlyphPixels draws nothing: the font engine refuses such sizes, and its refusal
///    would stop cairo for good and spoil the next text drawn anywhere in the process.
///
/// Not copyable. Used on one thread at a time (the thread that owns the target surface).
class GraphicsContext final {
public:
    /// The bounds of a usable transform (rule 6), in device pixels per unit of user space.
    static constexpr double kLargestFactor = 1e12;
    static constexpr double kSmallestArea = 1e-24;
    static constexpr double kLargestOffset = 1e15;
    /// The largest size, in device pixels, at which glyphs are drawn (rule 7).
    static constexpr double kLargestGlyphPixels = 32768;

    /// Draws through `cr`, taking a reference of its own. The context's current state at this
    /// moment is the base state; restore() never goes below it.
    explicit GraphicsContext(cairo_t* cr);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    /// The cairo context, for drawing this class does not cover (text through pango). Borrowed.
    cairo_t* cairo() const { return m_cairo; }

    void save();
    void restore();
    /// The number of saves not yet restored.
    std::size_t saveDepth() const { return m_saved.size(); }

    void translate(double x, double y);
    void scale(double sx, double sy);
    void rotate(double radians);
    /// Applies `transform` before the current transform (the usual "concatenate").
    void concat(const AffineTransform& transform);
    /// The current transform from user space to device pixels; while collapsed, the last usable
    /// one.
    AffineTransform ctm() const;
    /// True from a transform that left the usable range until the restore of its state.
    bool isCollapsed() const { return m_state.collapsed; }
    /// The largest factor by which the current transform stretches a length: the longer of the
    /// images of the two unit axes.
    double stretch() const;

    void setFillColor(const Color& color) { m_state.fillColor = color; }
    const Color& fillColor() const { return m_state.fillColor; }
    void setStrokeColor(const Color& color) { m_state.strokeColor = color; }
    const Color& strokeColor() const { return m_state.strokeColor; }
    void setLineWidth(double width);
    double lineWidth() const;
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    void setMiterLimit(double limit);
    /// Dash lengths alternate on and off; an empty list draws solid lines.
    void setLineDash(double phase, const std::vector<double>& lengths);
    /// Clamped to 0 to 1.
    void setAlpha(double alpha);
    double alpha() const { return m_state.alpha; }
    void setInterpolation(Interpolation interpolation) { m_state.interpolation = interpolation; }
    /// Part of the saved state, like the colours.
    void setBlendMode(BlendMode mode) { m_state.blendMode = mode; }
    BlendMode blendMode() const { return m_state.blendMode; }
    /// None (the default) casts no shadow. Part of the saved state.
    void setShadow(std::optional<Shadow> shadow) { m_state.shadow = shadow; }
    const std::optional<Shadow>& shadow() const { return m_state.shadow; }

    void beginPath();
    void moveTo(Point point);
    void lineTo(Point point);
    void curveTo(Point control1, Point control2, Point end);
    void quadCurveTo(Point control, Point end);
    /// Adds an arc; a line joins the current point, when there is one, to the arc's start. A
    /// negative or non-finite radius or angle adds nothing.
    void arc(Point center, double radius, double startAngle, double endAngle, ArcDirection direction);
    void addRect(const Rect& rect);
    void addEllipse(const Rect& rect);
    /// Adds a path given in user space. Unlike the other path calls it adds even while the
    /// context is collapsed (in the user space of the last usable transform), so that a caller
    /// can put back a path it copied out.
    void addPath(const Path& path);
    void closePath();
    bool hasCurrentPoint() const;
    /// The current point in user space; (0, 0) when there is none.
    Point currentPoint() const;
    /// The current path in user space.
    Path path() const;

    void fillPath(FillRule rule = FillRule::Winding);
    void strokePath();
    /// Intersects the clip with the current path.
    void clip(FillRule rule = FillRule::Winding);
    void clipToRect(const Rect& rect);

    void fillRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    /// Makes the rectangle fully transparent (through the transform and clip).
    void clearRect(const Rect& rect);

    /// Draws the image upright, scaled to fill `rect`; a resizable image (Image::resizable) keeps
    /// its caps and fills the rest by its resizing mode.
    void drawImage(const Image& image, const Rect& rect);
    /// Fills the rectangle with copies of the image at its point size, starting at the
    /// rectangle's origin (a pattern colour).
    void drawTiledImage(const Image& image, const Rect& rect);

    /// Paints the clip area with a gradient along the line from `start` to `end`.
    void drawLinearGradient(const Gradient& gradient, Point start, Point end, GradientExtent extent);
    /// Paints the clip area with a gradient between two circles.
    void drawRadialGradient(const Gradient& gradient, Point startCenter, double startRadius, Point endCenter,
        double endRadius, GradientExtent extent);

    /// Draws `text` broken into lines exactly as `TextLayout(text, options)` measures it, with
    /// the top-left corner of its layout box at `origin`; lines past the line or height limit
    /// are not drawn, and neither are those that start below the clip, which are not even laid
    /// out. Runs without a colour of their own take the fill colour; in Stroke mode every glyph
    /// is outlined with the stroke colour and line width. Empty text draws nothing.
    void drawText(const AttributedString& text, const TextLayout::Options& options, Point origin,
        TextDrawingMode mode = TextDrawingMode::Fill);

    /// Starts drawing into an offscreen layer; the matching end composites it. Layers nest and
    /// are part of the saved state: save() and restore() inside a layer stay inside it.
    void beginTransparencyLayer();
    /// Composites the layer with the given alpha (times the context's alpha).
    void endTransparencyLayer(double alpha = 1);
    /// Composites the layer through the alpha of `mask`, drawn upright into `maskRect`; nothing
    /// of the layer shows outside that rectangle.
    void endTransparencyLayerWithMask(const Image& mask, const Rect& maskRect);

private:
    struct State {
        Color fillColor = Color::black();
        Color strokeColor = Color::black();
        double alpha = 1;
        Interpolation interpolation = Interpolation::Medium;
        BlendMode blendMode = BlendMode::Normal;
        std::optional<Shadow> shadow;
        // The transform left the usable range: nothing draws until this state is restored.
        bool collapsed = false;
    };
    // Applies `change` before the current transform, or collapses the context when the outcome
    // would leave the usable range.
    void transformBy(const AffineTransform& change);
    void collapse();
    void setSourceColor(const Color& color);
    void paintGradient(void* pattern, const Gradient& gradient, GradientExtent extent);
    void leaveLayer();
    void drawResizableImage(const Image& image, const Rect& rect);
    void applyBlendMode();
    // Runs `draw`, which draws with the normal operator, casting the current shadow under it.
    void drawWithShadow(const std::function<void()>& draw);
    void paintShadow(void* shapePattern, const Shadow& shadow);

    cairo_t* m_cairo;
    AffineTransform m_baseTransform;  // user space to device at construction: shadow offsets
    State m_state;
    std::vector<State> m_saved;
    // For each open transparency layer, the save depth just inside it: restore() never goes
    // below the innermost one.
    std::vector<std::size_t> m_layerDepths;
};

} // namespace morvix::platform
