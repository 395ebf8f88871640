#include "platform/ui/Renderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

namespace {

constexpr double kFilmStripGap = 4;

bool isInvisible(const View& view, TimePoint time)
{
    return view.isHidden() || view.presentationAlpha(time) < 0.01;
}

bool isFinite(const Rect& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) && std::isfinite(rect.height());
}

Path outline(const Rect& rect, double cornerRadius)
{
    return cornerRadius > 0 ? Path::roundedRect(rect, cornerRadius) : Path::rect(rect);
}

// There is no blur in cairo; a few widening, fading copies of the outline give a soft edge
// that reads as a shadow in a picture.
void drawShadow(const Layer& layer, GraphicsContext& context, const Rect& local)
{
    auto color = layer.shadowColor();
    double opacity = std::clamp(layer.shadowOpacity(), 0.0, 1.0);
    if (!color || opacity <= 0 || color->alpha <= 0)
        return;
    Rect shape = layer.shadowPath().value_or(local).offsetBy(layer.shadowOffset().width, layer.shadowOffset().height);
    double radius = std::max(0.0, layer.shadowRadius());
    int steps = radius > 0 ? 4 : 1;
    for (int step = steps; step >= 1; --step) {
        double spread = radius * (step - 1) / steps;
        context.beginPath();
        context.addPath(outline(shape.insetBy(-spread, -spread), layer.cornerRadius() + spread));
        context.setFillColor(color->withAlpha(float(color->alpha * opacity / steps)));
        context.fillPath();
    }
}

void drawBackground(const View& view, GraphicsContext& context, const Rect& local, TimePoint time)
{
    const Layer& layer = view.layer();
    if (auto pattern = view.backgroundPatternImage()) {
        context.save();
        context.beginPath();
        context.addPath(outline(local, layer.cornerRadius()));
        context.clip();
        context.drawTiledImage(*pattern, local);
        context.restore();
        return;
    }
    auto color = view.presentationBackgroundColor(time);
    if (!color || color->isClear())
        return;
    context.beginPath();
    context.addPath(outline(local, layer.cornerRadius()));
    context.setFillColor(*color);
    context.fillPath();
}

// The border lies inside the bounds, over the subviews.
void drawBorder(const Layer& layer, GraphicsContext& context, const Rect& local)
{
    double width = layer.borderWidth();
    if (width <= 0 || layer.borderColor().isClear())
        return;
    double inset = std::min({ width, local.width(), local.height() }) / 2;
    context.beginPath();
    context.addPath(outline(local.insetBy(inset, inset), std::max(0.0, layer.cornerRadius() - inset)));
    context.setStrokeColor(layer.borderColor());
    context.setLineWidth(width);
    context.strokePath();
}

// Everything of the view but its own placement: drawn with the bounds' top-left corner at the
// user-space origin.
void drawContents(View& view, GraphicsContext& context, TimePoint time)
{
    const Layer& layer = view.layer();
    Rect bounds = view.presentationBounds(time);
    Rect local(0, 0, bounds.width(), bounds.height());
    drawShadow(layer, context, local);
    context.save();
    if (layer.masksToBounds()) {
        context.beginPath();
        context.addPath(outline(local, layer.cornerRadius()));
        context.clip();
    }
    drawBackground(view, context, local, time);
    if (auto contents = layer.contents())
        context.drawImage(*contents, local);
    context.translate(-bounds.x(), -bounds.y());
    if (view.hasCustomDrawing()) {
        context.save();
        view.draw(context, bounds);
        context.restore();
    }
    // A copy: custom drawing must not change the tree, but a copy costs little and keeps the
    // walk safe if it does.
    auto subviews = view.subviews();
    for (const auto& subview : subviews)
        Renderer::drawView(*subview, context, time);
    context.restore();
    drawBorder(layer, context, local);
}

// Draws the contents with the view's alpha and mask applied to the whole subtree.
void drawComposited(View& view, GraphicsContext& context, TimePoint time)
{
    double alpha = view.presentationAlpha(time);
    auto mask = view.layer().mask();
    if (mask && !mask->contents())
        return;
    if (!mask && alpha >= 1)
        return drawContents(view, context, time);
    context.save();
    context.setAlpha(context.alpha() * alpha);
    context.beginTransparencyLayer();
    drawContents(view, context, time);
    if (mask) {
        Rect bounds = view.presentationBounds(time);
        context.endTransparencyLayerWithMask(*mask->contents(), mask->frame().offsetBy(-bounds.x(), -bounds.y()));
    } else {
        context.endTransparencyLayer();
    }
    context.restore();
}

} // namespace

void Renderer::drawView(View& view, GraphicsContext& context, TimePoint time)
{
    if (isInvisible(view, time))
        return;
    Rect bounds = view.presentationBounds(time);
    Point center = view.presentationCenter(time);
    if (!isFinite(bounds) || !std::isfinite(center.x) || !std::isfinite(center.y))
        return;
    Point anchor = view.layer().anchorPoint();
    context.save();
    context.translate(center.x, center.y);
    context.concat(view.presentationTransform(time));
    context.translate(-anchor.x * bounds.width(), -anchor.y * bounds.height());
    drawComposited(view, context, time);
    context.restore();
}

std::shared_ptr<Image> Renderer::render(View& view, const Options& options)
{
    TimePoint time = options.time.value_or(Clock::current()->now());
    Rect bounds = view.presentationBounds(time);
    if (!isFinite(bounds))
        return nullptr;
    ImageContext image(bounds.size, Opaque::No, options.scale);
    if (!image.isValid())
        return nullptr;
    GraphicsContext& context = image.context();
    if (options.backdrop) {
        context.setFillColor(*options.backdrop);
        context.fillRect({ { 0, 0 }, bounds.size });
    }
    if (!isInvisible(view, time))
        drawComposited(view, context, time);
    return image.image();
}

bool Renderer::renderPNG(View& view, const std::string& path, const Options& options)
{
    auto image = render(view, options);
    return image && image->writePNG(path);
}

std::shared_ptr<Image> Renderer::renderFilmStrip(View& view, const std::vector<TimePoint>& times, const Options& options)
{
    if (times.empty())
        return nullptr;
    std::vector<std::shared_ptr<Image>> frames;
    Size strip { -kFilmStripGap, 0 };
    for (TimePoint time : times) {
        Options frameOptions = options;
        frameOptions.time = time;
        auto frame = render(view, frameOptions);
        if (!frame)
            return nullptr;
        strip.width += frame->size().width + kFilmStripGap;
        strip.height = std::max(strip.height, frame->size().height);
        frames.push_back(std::move(frame));
    }
    ImageContext image(strip, Opaque::No, options.scale);
    if (!image.isValid())
        return nullptr;
    GraphicsContext& context = image.context();
    if (options.backdrop) {
        context.setFillColor(*options.backdrop);
        context.fillRect({ { 0, 0 }, strip });
    }
    double x = 0;
    for (const auto& frame : frames) {
        context.setInterpolation(Interpolation::None);
        context.drawImage(*frame, { { x, 0 }, frame->size() });
        x += frame->size().width + kFilmStripGap;
    }
    return image.image();
}

} // namespace morvix::platform
