#include "platform/graphics/GraphicsContext.h"

#include "platform/graphics/Image.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

namespace morvix::platform {

namespace {

// cairo's path is not part of its saved state, so drawing calls that must leave the caller's
// path alone copy it out and put it back.
class PathKeeper {
public:
    explicit PathKeeper(cairo_t* cr) : m_cairo(cr), m_path(cairo_copy_path(cr)) { cairo_new_path(cr); }
    ~PathKeeper()
    {
        cairo_new_path(m_cairo);
        if (m_path->status == CAIRO_STATUS_SUCCESS)
            cairo_append_path(m_cairo, m_path);
        cairo_path_destroy(m_path);
    }
    PathKeeper(const PathKeeper&) = delete;
    PathKeeper& operator=(const PathKeeper&) = delete;

private:
    cairo_t* m_cairo;
    cairo_path_t* m_path;
};

cairo_filter_t cairoFilter(Interpolation interpolation)
{
    switch (interpolation) {
    case Interpolation::None:
        return CAIRO_FILTER_NEAREST;
    case Interpolation::Low:
        return CAIRO_FILTER_FAST;
    case Interpolation::Medium:
        return CAIRO_FILTER_GOOD;
    case Interpolation::High:
        return CAIRO_FILTER_BEST;
    }
    return CAIRO_FILTER_GOOD;
}

cairo_fill_rule_t cairoFillRule(FillRule rule)
{
    return rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
}

cairo_matrix_t cairoMatrix(const AffineTransform& t)
{
    return { t.a, t.b, t.c, t.d, t.tx, t.ty };
}

// Whether cairo takes the matrix and inverts it into finite numbers: within the bounds of
// rule 6. NaN fails every comparison, so it is refused with the rest.
bool isUsable(const cairo_matrix_t& m)
{
    for (double factor : { m.xx, m.yx, m.xy, m.yy }) {
        if (!(std::abs(factor) <= GraphicsContext::kLargestFactor))
            return false;
    }
    if (!(std::abs(m.x0) <= GraphicsContext::kLargestOffset) || !(std::abs(m.y0) <= GraphicsContext::kLargestOffset))
        return false;
    return std::abs(m.xx * m.yy - m.yx * m.xy) >= GraphicsContext::kSmallestArea;
}

// Applies `change` before the current transform, as cairo_transform does, when the outcome is
// usable; otherwise leaves the transform as it was and answers false.
[[nodiscard]] bool transformIfUsable(cairo_t* cr, const cairo_matrix_t& change)
{
    cairo_matrix_t current;
    cairo_get_matrix(cr, &current);
    cairo_matrix_t result;
    cairo_matrix_multiply(&result, &change, &current);
    if (!isUsable(result))
        return false;
    cairo_set_matrix(cr, &result);
    return true;
}

// Sets up user space so that the image's stored pixel grid maps onto `rect` upright; false,
// with the transform half set, when that mapping leaves the usable range. Inside a save.
[[nodiscard]] bool transformToImage(cairo_t* cr, const Image& image, const Rect& rect)
{
    double uprightWidth = image.isTilted() ? image.pixelHeight() : image.pixelWidth();
    double uprightHeight = image.isTilted() ? image.pixelWidth() : image.pixelHeight();
    cairo_matrix_t place;
    cairo_matrix_init_translate(&place, rect.x(), rect.y());
    cairo_matrix_t stretch;
    cairo_matrix_init_scale(&stretch, rect.width() / uprightWidth, rect.height() / uprightHeight);
    cairo_matrix_t orientation = cairoMatrix(orientationTransform(image.orientation(), image.pixelWidth(), image.pixelHeight()));
    return transformIfUsable(cr, place) && transformIfUsable(cr, stretch) && transformIfUsable(cr, orientation);
}

// Splits [0, length] into a start cap, a middle and an end cap; caps that do not fit shrink in
// proportion. Returns the four boundaries from `origin`.
std::array<double, 4> capBoundaries(double origin, double length, double startCap, double endCap)
{
    double caps = startCap + endCap;
    if (caps > length && caps > 0) {
        startCap *= length / caps;
        endCap *= length / caps;
    }
    return { origin, origin + startCap, origin + length - endCap, origin + length };
}

// The largest point size among the runs of `text`; a run without a font takes the size the
// text layout gives it.
double largestPointSize(const AttributedString& text)
{
    constexpr double kLayoutPointSize = 12;
    double largest = 0;
    for (const auto& run : text.runs())
        largest = std::max(largest, run.attributes.font ? run.attributes.font->pointSize() : kLayoutPointSize);
    return largest;
}

// Paints (or outlines with the current source) the lines of `text` that start above the bottom
// of the clip, with the layout box's top-left corner at `origin`. Lines further down cannot
// show, and are not laid out.
void showLines(cairo_t* cr, const AttributedString& text, TextLayout::Options options, Point origin, TextDrawingMode mode)
{
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    cairo_clip_extents(cr, &left, &top, &right, &bottom);
    double room = bottom - origin.y;
    if (!(room > 0))
        return;
    if (!(options.heightLimit && *options.heightLimit <= room))
        options.heightLimit = room;
    TextLayout::forEachLine(text, options, [&](const TextLayout::Line& line, PangoLayoutLine* pangoLine) {
        cairo_move_to(cr, origin.x + line.x, origin.y + line.baseline);
        if (mode == TextDrawingMode::Fill) {
            pango_cairo_show_layout_line(cr, pangoLine);
        } else {
            pango_cairo_layout_line_path(cr, pangoLine);
            cairo_stroke(cr);
        }
        return true;
    });
}

} // namespace

GraphicsContext::GraphicsContext(cairo_t* cr)
    : m_cairo(cairo_reference(cr))
{
    cairo_save(m_cairo);
    m_baseTransform = ctm();
}

GraphicsContext::~GraphicsContext()
{
    while (!m_layerDepths.empty())
        endTransparencyLayer();
    while (!m_saved.empty())
        restore();
    cairo_restore(m_cairo);
    cairo_destroy(m_cairo);
}

void GraphicsContext::save()
{
    cairo_save(m_cairo);
    m_saved.push_back(m_state);
}

void GraphicsContext::restore()
{
    if (m_saved.empty())
        return;
    // Restoring past a layer's own save would end the layer's cairo group halfway and put
    // cairo into an error state that silently stops every later drawing call.
    if (!m_layerDepths.empty() && m_saved.size() <= m_layerDepths.back())
        return;
    cairo_restore(m_cairo);
    m_state = m_saved.back();
    m_saved.pop_back();
}

void GraphicsContext::translate(double x, double y)
{
    transformBy(AffineTransform::translation(x, y));
}

void GraphicsContext::scale(double sx, double sy)
{
    transformBy(AffineTransform::scale(sx, sy));
}

void GraphicsContext::rotate(double radians)
{
    cairo_matrix_t rotation;
    cairo_matrix_init_rotate(&rotation, radians);
    transformBy({ rotation.xx, rotation.yx, rotation.xy, rotation.yy, rotation.x0, rotation.y0 });
}

void GraphicsContext::concat(const AffineTransform& transform)
{
    transformBy(transform);
}

// cairo refuses a matrix it cannot invert and puts the context into an error state for good,
// so the outcome is checked first; a degenerate transform draws nothing instead.
void GraphicsContext::transformBy(const AffineTransform& change)
{
    if (m_state.collapsed)
        return;
    if (!transformIfUsable(m_cairo, cairoMatrix(change)))
        collapse();
}

void GraphicsContext::collapse()
{
    m_state.collapsed = true;
    // An empty clip stops every drawing, this class's and that of callers drawing through
    // cairo() themselves, until the restore that brings the state back.
    PathKeeper keeper(m_cairo);
    cairo_rectangle(m_cairo, 0, 0, 0, 0);
    cairo_clip(m_cairo);
}

AffineTransform GraphicsContext::ctm() const
{
    cairo_matrix_t m;
    cairo_get_matrix(m_cairo, &m);
    return { m.xx, m.yx, m.xy, m.yy, m.x0, m.y0 };
}

double GraphicsContext::stretch() const
{
    AffineTransform transform = ctm();
    return std::max(std::hypot(transform.a, transform.b), std::hypot(transform.c, transform.d));
}

void GraphicsContext::setLineWidth(double width)
{
    cairo_set_line_width(m_cairo, std::max(0.0, width));
}

double GraphicsContext::lineWidth() const
{
    return cairo_get_line_width(m_cairo);
}

void GraphicsContext::setLineCap(LineCap cap)
{
    switch (cap) {
    case LineCap::Butt:
        return cairo_set_line_cap(m_cairo, CAIRO_LINE_CAP_BUTT);
    case LineCap::Round:
        return cairo_set_line_cap(m_cairo, CAIRO_LINE_CAP_ROUND);
    case LineCap::Square:
        return cairo_set_line_cap(m_cairo, CAIRO_LINE_CAP_SQUARE);
    }
}

void GraphicsContext::setLineJoin(LineJoin join)
{
    switch (join) {
    case LineJoin::Miter:
        return cairo_set_line_join(m_cairo, CAIRO_LINE_JOIN_MITER);
    case LineJoin::Round:
        return cairo_set_line_join(m_cairo, CAIRO_LINE_JOIN_ROUND);
    case LineJoin::Bevel:
        return cairo_set_line_join(m_cairo, CAIRO_LINE_JOIN_BEVEL);
    }
}

void GraphicsContext::setMiterLimit(double limit)
{
    cairo_set_miter_limit(m_cairo, limit);
}

void GraphicsContext::setLineDash(double phase, const std::vector<double>& lengths)
{
    // cairo fails on negative lengths and on lists that are all zero; such lists draw solid.
    bool usable = std::all_of(lengths.begin(), lengths.end(), [](double length) { return length >= 0; })
        && std::any_of(lengths.begin(), lengths.end(), [](double length) { return length > 0; });
    if (!usable)
        return cairo_set_dash(m_cairo, nullptr, 0, 0);
    cairo_set_dash(m_cairo, lengths.data(), int(lengths.size()), phase);
}

void GraphicsContext::setAlpha(double alpha)
{
    m_state.alpha = std::isnan(alpha) ? 1 : std::clamp(alpha, 0.0, 1.0);
}

void GraphicsContext::beginPath()
{
    cairo_new_path(m_cairo);
}

void GraphicsContext::moveTo(Point point)
{
    if (m_state.collapsed)
        return;
    cairo_move_to(m_cairo, point.x, point.y);
}

void GraphicsContext::lineTo(Point point)
{
    if (m_state.collapsed)
        return;
    if (!hasCurrentPoint())
        return moveTo(point);
    cairo_line_to(m_cairo, point.x, point.y);
}

void GraphicsContext::curveTo(Point control1, Point control2, Point end)
{
    if (m_state.collapsed)
        return;
    if (!hasCurrentPoint())
        moveTo(control1);
    cairo_curve_to(m_cairo, control1.x, control1.y, control2.x, control2.y, end.x, end.y);
}

void GraphicsContext::quadCurveTo(Point control, Point end)
{
    if (m_state.collapsed)
        return;
    if (!hasCurrentPoint())
        moveTo(control);
    Path path;
    path.moveTo(currentPoint());
    path.quadCurveTo(control, end);
    const auto& curve = path.elements().back();
    cairo_curve_to(m_cairo, curve.points[0].x, curve.points[0].y, curve.points[1].x, curve.points[1].y, end.x, end.y);
}

void GraphicsContext::arc(Point center, double radius, double startAngle, double endAngle, ArcDirection direction)
{
    // cairo never returns from an arc of infinite radius.
    if (m_state.collapsed || !(radius >= 0) || !std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle))
        return;
    if (direction == ArcDirection::IncreasingAngle)
        cairo_arc(m_cairo, center.x, center.y, radius, startAngle, endAngle);
    else
        cairo_arc_negative(m_cairo, center.x, center.y, radius, startAngle, endAngle);
}

void GraphicsContext::addRect(const Rect& rect)
{
    if (m_state.collapsed)
        return;
    cairo_rectangle(m_cairo, rect.x(), rect.y(), rect.width(), rect.height());
}

void GraphicsContext::addEllipse(const Rect& rect)
{
    if (m_state.collapsed)
        return;
    addPath(Path::ellipse(rect));
}

void GraphicsContext::addPath(const Path& path)
{
    for (const auto& element : path.elements()) {
        const Point* p = element.points;
        switch (element.type) {
        case Path::ElementType::MoveTo:
            cairo_move_to(m_cairo, p[0].x, p[0].y);
            break;
        case Path::ElementType::LineTo:
            cairo_line_to(m_cairo, p[0].x, p[0].y);
            break;
        case Path::ElementType::CurveTo:
            cairo_curve_to(m_cairo, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
            break;
        case Path::ElementType::Close:
            cairo_close_path(m_cairo);
            break;
        }
    }
}

void GraphicsContext::closePath()
{
    cairo_close_path(m_cairo);
}

bool GraphicsContext::hasCurrentPoint() const
{
    return cairo_has_current_point(m_cairo);
}

Point GraphicsContext::currentPoint() const
{
    double x = 0, y = 0;
    cairo_get_current_point(m_cairo, &x, &y);
    return { x, y };
}

Path GraphicsContext::path() const
{
    Path result;
    cairo_path_t* path = cairo_copy_path(m_cairo);
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t* data = &path->data[i];
        switch (data->header.type) {
        case CAIRO_PATH_MOVE_TO:
            result.moveTo({ data[1].point.x, data[1].point.y });
            break;
        case CAIRO_PATH_LINE_TO:
            result.lineTo({ data[1].point.x, data[1].point.y });
            break;
        case CAIRO_PATH_CURVE_TO:
            result.curveTo({ data[1].point.x, data[1].point.y }, { data[2].point.x, data[2].point.y },
                { data[3].point.x, data[3].point.y });
            break;
        case CAIRO_PATH_CLOSE_PATH:
            result.close();
            break;
        }
    }
    cairo_path_destroy(path);
    return result;
}

void GraphicsContext::setSourceColor(const Color& color)
{
    cairo_set_source_rgba(m_cairo, color.red, color.green, color.blue, color.alpha * m_state.alpha);
}

// The normal mode keeps cairo's current operator, so that code drawing through cairo() with an
// operator of its own (inside a save) can still use the fills of this class.
void GraphicsContext::applyBlendMode()
{
    switch (m_state.blendMode) {
    case BlendMode::Normal:
        return;
    case BlendMode::SourceIn:
        return cairo_set_operator(m_cairo, CAIRO_OPERATOR_IN);
    }
}

void GraphicsContext::fillPath(FillRule rule)
{
    cairo_set_fill_rule(m_cairo, cairoFillRule(rule));
    if (m_state.blendMode == BlendMode::SourceIn) {
        // cairo's "in" also clears everything outside the shape it fills; painted through the
        // shape as a clip it leaves the outside alone.
        cairo_save(m_cairo);
        cairo_clip(m_cairo);
        setSourceColor(m_state.fillColor);
        applyBlendMode();
        cairo_paint(m_cairo);
        cairo_restore(m_cairo);
        return;
    }
    drawWithShadow([this] {
        setSourceColor(m_state.fillColor);
        cairo_fill(m_cairo);
    });
}

void GraphicsContext::strokePath()
{
    drawWithShadow([this] {
        setSourceColor(m_state.strokeColor);
        cairo_stroke(m_cairo);
    });
}

void GraphicsContext::drawWithShadow(const std::function<void()>& draw)
{
    const auto& shadow = m_state.shadow;
    if (!shadow || shadow->color.alpha <= 0 || m_state.blendMode != BlendMode::Normal)
        return draw();
    // The drawing goes into a group first: its alpha is the shape of the shadow.
    cairo_push_group(m_cairo);
    draw();
    cairo_pattern_t* shape = cairo_pop_group(m_cairo);
    paintShadow(shape, *shadow);
    cairo_set_source(m_cairo, shape);
    cairo_paint(m_cairo);
    cairo_pattern_destroy(shape);
}

void GraphicsContext::paintShadow(void* shapePattern, const Shadow& shadow)
{
    auto* shape = static_cast<cairo_pattern_t*>(shapePattern);
    cairo_matrix_t userToShape;
    cairo_pattern_get_matrix(shape, &userToShape);
    cairo_matrix_t deviceToUser;
    cairo_get_matrix(m_cairo, &deviceToUser);
    if (cairo_matrix_invert(&deviceToUser) != CAIRO_STATUS_SUCCESS)
        return;
    Size offset = m_baseTransform.apply(shadow.offset);
    double blur = std::max(0.0, shadow.blur) * std::hypot(m_baseTransform.a, m_baseTransform.b);
    // A shadow thrown that far falls nowhere, and its pattern matrix could not be inverted.
    auto isWithinReach = [](double distance) { return std::abs(distance) <= kLargestOffset; };
    if (!isWithinReach(offset.width) || !isWithinReach(offset.height) || !isWithinReach(blur))
        return;
    cairo_save(m_cairo);
    cairo_identity_matrix(m_cairo);
    cairo_push_group(m_cairo);
    cairo_set_operator(m_cairo, CAIRO_OPERATOR_ADD);
    const Color& c = shadow.color;
    // No blur in cairo: the shape's alpha added up from a 3 x 3 grid of copies spread over the
    // blur radius reads as a soft edge; without blur, one copy.
    int side = blur > 0 ? 3 : 1;
    cairo_set_source_rgba(m_cairo, c.red, c.green, c.blue, c.alpha * m_state.alpha / (side * side));
    for (int i = 0; i < side * side; ++i) {
        double dx = offset.width + (side > 1 ? (i % side - 1) * blur / 2 : 0);
        double dy = offset.height + (side > 1 ? (i / side - 1) * blur / 2 : 0);
        cairo_matrix_t shift;
        cairo_matrix_init_translate(&shift, -dx, -dy);
        cairo_matrix_t deviceToShape;
        cairo_matrix_multiply(&deviceToShape, &deviceToUser, &userToShape);
        cairo_matrix_multiply(&deviceToShape, &shift, &deviceToShape);
        cairo_pattern_set_matrix(shape, &deviceToShape);
        cairo_mask(m_cairo, shape);
    }
    cairo_pop_group_to_source(m_cairo);
    cairo_paint(m_cairo);
    cairo_restore(m_cairo);
    cairo_pattern_set_matrix(shape, &userToShape);
}

void GraphicsContext::clip(FillRule rule)
{
    cairo_set_fill_rule(m_cairo, cairoFillRule(rule));
    cairo_clip(m_cairo);
}

void GraphicsContext::clipToRect(const Rect& rect)
{
    PathKeeper keeper(m_cairo);
    addRect(rect);
    cairo_set_fill_rule(m_cairo, CAIRO_FILL_RULE_WINDING);
    cairo_clip(m_cairo);
}

void GraphicsContext::fillRect(const Rect& rect)
{
    PathKeeper keeper(m_cairo);
    addRect(rect);
    fillPath();
}

void GraphicsContext::strokeRect(const Rect& rect)
{
    PathKeeper keeper(m_cairo);
    addRect(rect);
    strokePath();
}

void GraphicsContext::clearRect(const Rect& rect)
{
    PathKeeper keeper(m_cairo);
    cairo_save(m_cairo);
    cairo_set_operator(m_cairo, CAIRO_OPERATOR_CLEAR);
    addRect(rect);
    cairo_fill(m_cairo);
    cairo_restore(m_cairo);
}

void GraphicsContext::drawImage(const Image& image, const Rect& rect)
{
    if (m_state.collapsed || rect.width() == 0 || rect.height() == 0)
        return;
    if (image.capInsets())
        return drawResizableImage(image, rect);
    PathKeeper keeper(m_cairo);
    drawWithShadow([&] {
        cairo_save(m_cairo);
        if (!transformToImage(m_cairo, image, rect)) {
            cairo_restore(m_cairo);
            return;
        }
        cairo_set_source_surface(m_cairo, image.surface(), 0, 0);
        // Padding keeps the edge pixels crisp when scaled; the rectangle bounds the picture.
        cairo_pattern_set_extend(cairo_get_source(m_cairo), CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(cairo_get_source(m_cairo), cairoFilter(m_state.interpolation));
        cairo_rectangle(m_cairo, 0, 0, image.pixelWidth(), image.pixelHeight());
        cairo_clip(m_cairo);
        applyBlendMode();
        cairo_paint_with_alpha(m_cairo, m_state.alpha);
        cairo_restore(m_cairo);
    });
}

void GraphicsContext::drawResizableImage(const Image& image, const Rect& target)
{
    auto upright = image.upright();
    if (!upright)
        return;
    const EdgeInsets& caps = *image.capInsets();
    Size size = upright->size();
    Rect rect = target.standardized();
    auto sourceX = capBoundaries(0, size.width, caps.left, caps.right);
    auto sourceY = capBoundaries(0, size.height, caps.top, caps.bottom);
    auto targetX = capBoundaries(rect.x(), rect.width(), sourceX[1], size.width - sourceX[2]);
    auto targetY = capBoundaries(rect.y(), rect.height(), sourceY[1], size.height - sourceY[2]);
    double scale = upright->scale();
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            Rect part(targetX[column], targetY[row], targetX[column + 1] - targetX[column], targetY[row + 1] - targetY[row]);
            Rect pixels(sourceX[column] * scale, sourceY[row] * scale, (sourceX[column + 1] - sourceX[column]) * scale,
                (sourceY[row + 1] - sourceY[row]) * scale);
            auto piece = part.width() > 0 && part.height() > 0 ? upright->cropped(pixels) : nullptr;
            if (!piece)
                continue;
            bool isCorner = row != 1 && column != 1;
            if (!isCorner && image.resizingMode() == ResizingMode::Tile)
                drawTiledImage(*piece, part);
            else
                drawImage(*piece, part);
        }
    }
}

void GraphicsContext::drawTiledImage(const Image& image, const Rect& rect)
{
    auto tile = image.upright();
    if (!tile || rect.width() == 0 || rect.height() == 0)
        return;
    PathKeeper keeper(m_cairo);
    cairo_save(m_cairo);
    addRect(rect);
    cairo_clip(m_cairo);
    cairo_matrix_t place;
    cairo_matrix_init_translate(&place, rect.x(), rect.y());
    cairo_matrix_t pointSize;
    cairo_matrix_init_scale(&pointSize, 1 / tile->scale(), 1 / tile->scale());
    if (!transformIfUsable(m_cairo, place) || !transformIfUsable(m_cairo, pointSize)) {
        cairo_restore(m_cairo);
        return;
    }
    cairo_set_source_surface(m_cairo, tile->surface(), 0, 0);
    cairo_pattern_set_extend(cairo_get_source(m_cairo), CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(cairo_get_source(m_cairo), cairoFilter(m_state.interpolation));
    applyBlendMode();
    cairo_paint_with_alpha(m_cairo, m_state.alpha);
    cairo_restore(m_cairo);
}

void GraphicsContext::paintGradient(void* opaquePattern, const Gradient& gradient, GradientExtent extent)
{
    auto* pattern = static_cast<cairo_pattern_t*>(opaquePattern);
    for (const auto& stop : gradient.stops) {
        const Color& c = stop.color;
        double location = std::isnan(stop.location) ? 0 : std::clamp(stop.location, 0.0, 1.0);
        cairo_pattern_add_color_stop_rgba(pattern, location, c.red, c.green, c.blue, c.alpha * m_state.alpha);
    }
    cairo_pattern_set_extend(pattern, extent == GradientExtent::None ? CAIRO_EXTEND_NONE : CAIRO_EXTEND_PAD);
    cairo_set_source(m_cairo, pattern);
    applyBlendMode();
    cairo_paint(m_cairo);
    cairo_pattern_destroy(pattern);
}

void GraphicsContext::drawLinearGradient(const Gradient& gradient, Point start, Point end, GradientExtent extent)
{
    if (gradient.stops.empty())
        return;
    PathKeeper keeper(m_cairo);
    cairo_save(m_cairo);
    // cairo extends both ends or neither; one-sided extents clip away the other side: a band
    // across the axis from far before the start (or the start) to the end (or far beyond it).
    if (extent == GradientExtent::BeforeStart || extent == GradientExtent::AfterEnd) {
        constexpr double kFar = 1e6;
        double dx = end.x - start.x, dy = end.y - start.y;
        double length = std::hypot(dx, dy);
        if (length > 0) {
            double ux = dx / length, uy = dy / length;
            double t0 = extent == GradientExtent::BeforeStart ? -kFar : 0;
            double t1 = extent == GradientExtent::BeforeStart ? length : kFar;
            auto at = [&](double t, double side) { return Point { start.x + ux * t - uy * side, start.y + uy * t + ux * side }; };
            moveTo(at(t0, -kFar));
            lineTo(at(t1, -kFar));
            lineTo(at(t1, kFar));
            lineTo(at(t0, kFar));
            closePath();
            cairo_clip(m_cairo);
        }
    }
    paintGradient(cairo_pattern_create_linear(start.x, start.y, end.x, end.y), gradient, extent);
    cairo_restore(m_cairo);
}

void GraphicsContext::drawRadialGradient(const Gradient& gradient, Point startCenter, double startRadius,
    Point endCenter, double endRadius, GradientExtent extent)
{
    if (gradient.stops.empty() || !(startRadius >= 0) || !(endRadius >= 0))
        return;
    PathKeeper keeper(m_cairo);
    cairo_save(m_cairo);
    // FIXME: one-sided extents of radial gradients extend both sides, as cairo has no way to
    // pad only one end.
    paintGradient(cairo_pattern_create_radial(startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius),
        gradient, extent);
    cairo_restore(m_cairo);
}

void GraphicsContext::drawText(const AttributedString& text, const TextLayout::Options& options, Point origin, TextDrawingMode mode)
{
    if (text.empty() || m_state.collapsed)
        return;
    // Glyphs far beyond any surface would only make the font engine fail (rule 7).
    if (!(largestPointSize(text) * stretch() <= kLargestGlyphPixels))
        return;
    PathKeeper keeper(m_cairo);
    drawWithShadow([&] {
        cairo_save(m_cairo);
        // Runs with a colour of their own ignore the source, so the context's alpha is applied to
        // the whole text as a group.
        bool fade = m_state.alpha < 1;
        if (fade)
            cairo_push_group(m_cairo);
        const Color& color = mode == TextDrawingMode::Fill ? m_state.fillColor : m_state.strokeColor;
        cairo_set_source_rgba(m_cairo, color.red, color.green, color.blue, color.alpha);
        showLines(m_cairo, text, options, origin, mode);
        if (fade) {
            cairo_pop_group_to_source(m_cairo);
            cairo_paint_with_alpha(m_cairo, m_state.alpha);
        }
        cairo_restore(m_cairo);
    });
}

void GraphicsContext::beginTransparencyLayer()
{
    save();
    cairo_push_group(m_cairo);
    m_layerDepths.push_back(m_saved.size());
    // The layer is composited with the alpha once, so what is drawn inside starts opaque.
    m_state.alpha = 1;
}

void GraphicsContext::leaveLayer()
{
    // Saves left open inside the layer are closed first: cairo can only end a group whose own
    // state is the current one.
    while (m_saved.size() > m_layerDepths.back())
        restore();
    m_layerDepths.pop_back();
}

void GraphicsContext::endTransparencyLayer(double alpha)
{
    assert(!m_layerDepths.empty() && "endTransparencyLayer without a layer");
    if (m_layerDepths.empty())
        return;
    leaveLayer();
    cairo_pop_group_to_source(m_cairo);
    double layerAlpha = std::clamp(alpha, 0.0, 1.0) * m_saved.back().alpha;
    cairo_paint_with_alpha(m_cairo, layerAlpha);
    restore();
}

void GraphicsContext::endTransparencyLayerWithMask(const Image& mask, const Rect& maskRect)
{
    assert(!m_layerDepths.empty() && "endTransparencyLayerWithMask without a layer");
    if (m_layerDepths.empty())
        return;
    leaveLayer();
    PathKeeper keeper(m_cairo);
    cairo_pop_group_to_source(m_cairo);
    auto upright = mask.upright();
    cairo_matrix_t matrix;
    bool shows = upright && maskRect.width() != 0 && maskRect.height() != 0;
    if (shows) {
        cairo_matrix_init_scale(&matrix, upright->pixelWidth() / maskRect.width(), upright->pixelHeight() / maskRect.height());
        cairo_matrix_translate(&matrix, -maskRect.x(), -maskRect.y());
        // A mask rectangle too small, too large or too far for cairo shows nothing of the layer.
        shows = isUsable(matrix);
    }
    if (shows) {
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(upright->surface());
        cairo_pattern_set_matrix(pattern, &matrix);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
        // Pad inside the rectangle so that the mask's edge pixels do not fade into nothing
        // when scaled; the clip keeps everything outside the rectangle hidden.
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        addRect(maskRect);
        cairo_clip(m_cairo);
        double alpha = m_saved.back().alpha;
        if (alpha < 1) {
            // cairo_mask takes no alpha of its own: mask into a group, then paint that faded.
            cairo_pattern_t* layer = cairo_pattern_reference(cairo_get_source(m_cairo));
            cairo_push_group(m_cairo);
            cairo_set_source(m_cairo, layer);
            cairo_mask(m_cairo, pattern);
            cairo_pop_group_to_source(m_cairo);
            cairo_paint_with_alpha(m_cairo, alpha);
            cairo_pattern_destroy(layer);
        } else {
            cairo_mask(m_cairo, pattern);
        }
        cairo_pattern_destroy(pattern);
    }
    restore();
}

} // namespace morvix::platform
