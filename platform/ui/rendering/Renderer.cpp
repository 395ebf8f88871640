#include "platform/ui/rendering/Renderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Layer.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/screens/PrintController.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace morvix::platform {

namespace {

constexpr double kFilmStripGap = 4;

// The look of the parts the layer draws itself (bars, alert cards): the platform's light style.
const Color kTint = Color::fromHex(0x007aff);
const Color kBarBackground = Color::fromRGBA(0.97f, 0.97f, 0.97f);
const Color kHairline = Color::fromRGBA(0, 0, 0, 0.3f);
const Color kShade = Color::fromRGBA(0, 0, 0, 0.4f);
const Color kCard = Color::fromRGBA(0.98f, 0.98f, 0.98f);
const Color kDestructive = Color::fromHex(0xff3b30);
const Color kSecondaryText = Color::fromRGBA(0.43f, 0.43f, 0.45f);

Font boldFont(double size)
{
    return Font::system(size, { .bold = true });
}

enum class Wrap { No, Yes };

// The most lines of `font` that fit `height`, at least one: a card never grows past the screen
// for its texts, and they are laid out only as far as they show.
int linesThatFit(double height, const Font& font)
{
    constexpr double kMostLines = 10000;
    double lines = std::floor(height / font.lineHeight());
    if (!(lines >= 1))
        return 1;
    return static_cast<int>(std::min(lines, kMostLines));
}

TextLayout::Options wrappedIn(double width, int lines, TextAlignment alignment)
{
    return { .wrapWidth = width, .lineLimit = lines, .alignment = alignment, .truncation = TextTruncation::Tail };
}

// One block of text in `rect`, centred vertically and aligned horizontally; wrapped at the
// rectangle's width in at most `lines` lines, the last shortened with "…" when more would follow,
// or on one line that may run past it (bar items are often narrower than their titles). Returns
// the height the text takes.
double drawTextIn(GraphicsContext& context, const std::string& text, const Font& font, const Color& color,
    const Rect& rect, TextAlignment alignment = TextAlignment::Center, Wrap wrap = Wrap::Yes, int lines = 1)
{
    if (text.empty())
        return 0;
    AttributedString string(text, { .font = font, .foregroundColor = color });
    TextLayout::Options options = wrappedIn(rect.width(), lines, alignment);
    if (wrap == Wrap::No)
        options = { .wrapWidth = std::nullopt, .lineLimit = 1, .alignment = TextAlignment::Left };
    TextLayout layout(string, options);
    double top = rect.y() + (rect.height() - layout.size().height) / 2;
    double left = rect.x();
    if (wrap == Wrap::No && alignment == TextAlignment::Center)
        left = rect.midX() - layout.size().width / 2;
    else if (wrap == Wrap::No && alignment == TextAlignment::Right)
        left = rect.maxX() - layout.size().width;
    context.drawText(string, options, { left, std::max(rect.y(), top) });
    return layout.size().height;
}

double measuredHeight(const std::string& text, const Font& font, double width, int lines)
{
    if (text.empty())
        return 0;
    return TextLayout(AttributedString(text, { .font = font }), wrappedIn(width, lines, TextAlignment::Center)).size().height;
}

// A bar item's title or image inside its view's frame (in the bar's bounds coordinates).
// Custom views draw themselves as subviews.
void drawBarItem(GraphicsContext& context, BarButtonItem& item, std::optional<Color> barTint)
{
    if (item.customView())
        return;
    Rect frame = item.view()->frame();
    if (auto background = item.backgroundImage(item.isEnabled() ? ControlState::Normal : ControlState::Disabled))
        context.drawImage(*background, item.backgroundFrame());
    // A disabled item with a title colour of its own for that state shows it as it is.
    auto disabledColor = item.isEnabled() ? std::nullopt : item.titleColor(ControlState::Disabled);
    Color color = disabledColor.value_or(item.titleColor(ControlState::Normal).value_or(item.tintColor().value_or(barTint.value_or(kTint))));
    if (!item.isEnabled() && !disabledColor)
        color = color.withAlpha(color.alpha * 0.35f);
    if (auto image = item.image()) {
        Size size = image->size();
        context.drawImage(*image, { frame.midX() - size.width / 2, frame.midY() - size.height / 2, size.width, size.height });
        return;
    }
    drawTextIn(context, item.shownTitle(), item.hasBoldTitle() ? boldFont(17) : Font::system(17), color, frame,
        TextAlignment::Center, Wrap::No);
}

void drawBarBackground(GraphicsContext& context, const Rect& bounds, std::optional<Color> barTint, bool hairlineAtBottom)
{
    context.setFillColor(barTint.value_or(kBarBackground));
    context.fillRect(bounds);
    context.setFillColor(kHairline);
    double y = hairlineAtBottom ? bounds.maxY() - 0.5 : bounds.minY();
    context.fillRect({ bounds.x(), y, bounds.width(), 0.5 });
}

void drawNavigationBar(NavigationBar& bar, GraphicsContext& context, const Rect& bounds)
{
    drawBarBackground(context, bounds, bar.barTintColor(), true);
    // A background image covers the tint, stretched over the bar by its caps.
    if (auto background = bar.backgroundImage())
        context.drawImage(*background, bounds);
    auto top = bar.topItem();
    if (!top)
        return;
    // The bar places the title between its items; one too wide for that room ends in "…".
    if (Rect title = bar.titleFrame(); !top->titleView() && title.width() > 0)
        drawTextIn(context, top->title(), NavigationBar::titleFont(), bar.titleColor().value_or(Color::black()), title);
    std::optional<Color> tint = bar.tintColor();
    if (auto back = bar.backButton()) {
        if (!back->customView()) {
            Rect frame = back->view()->frame();
            std::string title = "\u2039 " + (back->title().empty() ? std::string("Back") : back->title());
            drawTextIn(context, title, Font::system(17), tint.value_or(kTint), frame, TextAlignment::Left, Wrap::No);
        }
    }
    for (const auto& item : top->leftBarButtonItems())
        drawBarItem(context, *item, tint);
    for (const auto& item : top->rightBarButtonItems())
        drawBarItem(context, *item, tint);
}

void drawToolbar(Toolbar& toolbar, GraphicsContext& context, const Rect& bounds)
{
    drawBarBackground(context, bounds, toolbar.barTintColor(), false);
    for (const auto& item : toolbar.items())
        drawBarItem(context, *item, toolbar.tintColor());
}

// What a class of the layer shows beyond the generic view properties, in bounds coordinates.
void drawClassContents(View& view, GraphicsContext& context, const Rect& bounds)
{
    if (auto* bar = dynamic_cast<NavigationBar*>(&view))
        return drawNavigationBar(*bar, context, bounds);
    if (auto* toolbar = dynamic_cast<Toolbar*>(&view))
        return drawToolbar(*toolbar, context, bounds);
}

// ---- Alerts and action sheets, drawn as simple cards over the window ----

struct CardButton {
    std::string title;
    bool bold = false;
    bool destructive = false;
};

void drawCardButtons(GraphicsContext& context, const std::vector<CardButton>& buttons, const Rect& area, bool sideBySide)
{
    constexpr double kRowHeight = 44;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        Rect cell = sideBySide
            ? Rect(area.x() + area.width() * double(i) / double(buttons.size()), area.y(), area.width() / double(buttons.size()), kRowHeight)
            : Rect(area.x(), area.y() + kRowHeight * double(i), area.width(), kRowHeight);
        context.setFillColor(kHairline);
        context.fillRect({ cell.x(), cell.y(), cell.width(), 0.5 });
        if (sideBySide && i > 0)
            context.fillRect({ cell.x(), cell.y(), 0.5, cell.height() });
        const CardButton& button = buttons[i];
        Font font = button.bold ? boldFont(17) : Font::system(17);
        drawTextIn(context, button.title, font, button.destructive ? kDestructive : kTint, cell.insetBy(8, 0),
            TextAlignment::Center, Wrap::Yes, linesThatFit(cell.height(), font));
    }
}

void fillCard(GraphicsContext& context, const Rect& card)
{
    context.beginPath();
    context.addPath(Path::roundedRect(card, 12));
    context.setFillColor(kCard);
    context.fillPath();
}

void drawAlertCard(GraphicsContext& context, const Alert& alert, Size screen)
{
    constexpr double kRowHeight = 44;
    double width = std::min(270.0, screen.width - 40);
    double textWidth = width - 32;
    std::vector<CardButton> buttons;
    for (int i = 0; i < int(alert.buttonTitles().size()); ++i)
        buttons.push_back({ alert.buttonTitle(i), i == alert.cancelButtonIndex(), false });
    bool sideBySide = buttons.size() == 2;
    double buttonsHeight = buttons.empty() ? 0 : kRowHeight * (sideBySide ? 1 : double(buttons.size()));
    // The texts take what the screen leaves beside the buttons and the card's margins, the
    // title leaving a line to the message.
    double room = screen.height - (20 + 4 + 20) - buttonsHeight;
    double messageLine = alert.message().empty() ? 0 : Font::system(13).lineHeight();
    int titleLines = linesThatFit(room - messageLine, boldFont(17));
    double titleHeight = measuredHeight(alert.title(), boldFont(17), textWidth, titleLines);
    int messageLines = linesThatFit(room - titleHeight, Font::system(13));
    double messageHeight = measuredHeight(alert.message(), Font::system(13), textWidth, messageLines);
    double textHeight = 20 + titleHeight + (messageHeight > 0 ? 4 + messageHeight : 0) + 20;
    Rect card((screen.width - width) / 2, (screen.height - textHeight - buttonsHeight) / 2, width, textHeight + buttonsHeight);
    fillCard(context, card);
    double y = card.y() + 20;
    drawTextIn(context, alert.title(), boldFont(17), Color::black(), { card.x() + 16, y, textWidth, titleHeight },
        TextAlignment::Center, Wrap::Yes, titleLines);
    y += titleHeight + 4;
    drawTextIn(context, alert.message(), Font::system(13), Color::black(), { card.x() + 16, y, textWidth, messageHeight },
        TextAlignment::Center, Wrap::Yes, messageLines);
    drawCardButtons(context, buttons, { card.x(), card.y() + textHeight, card.width(), buttonsHeight }, sideBySide);
}

void drawActionSheetCard(GraphicsContext& context, const ActionSheet& sheet, Size screen)
{
    constexpr double kRowHeight = 44;
    constexpr double kMargin = 8;
    double width = screen.width - 2 * kMargin;
    std::vector<CardButton> buttons;
    std::optional<CardButton> cancel;
    for (int i = 0; i < int(sheet.buttonTitles().size()); ++i) {
        CardButton button { sheet.buttonTitle(i), false, i == sheet.destructiveButtonIndex() };
        if (i == sheet.cancelButtonIndex())
            cancel = CardButton { button.title, true, false };
        else
            buttons.push_back(button);
    }
    double rowsHeight = kRowHeight * double(buttons.size()) + (cancel ? kRowHeight + kMargin : 0);
    int titleLines = linesThatFit(screen.height - 2 * kMargin - 28 - rowsHeight, Font::system(13));
    double titleHeight = sheet.title().empty() ? 0 : measuredHeight(sheet.title(), Font::system(13), width - 32, titleLines) + 28;
    double mainHeight = titleHeight + kRowHeight * double(buttons.size());
    double bottom = screen.height - kMargin;
    if (cancel) {
        Rect cancelCard(kMargin, bottom - kRowHeight, width, kRowHeight);
        fillCard(context, cancelCard);
        drawTextIn(context, cancel->title, boldFont(17), kTint, cancelCard, TextAlignment::Center, Wrap::Yes,
            linesThatFit(kRowHeight, boldFont(17)));
        bottom = cancelCard.y() - kMargin;
    }
    if (mainHeight <= 0)
        return;
    Rect card(kMargin, bottom - mainHeight, width, mainHeight);
    fillCard(context, card);
    drawTextIn(context, sheet.title(), Font::system(13), kSecondaryText, { card.x() + 16, card.y(), width - 32, titleHeight },
        TextAlignment::Center, Wrap::Yes, titleLines);
    auto rows = buttons;
    // The first row has no separator above it when there is no title.
    drawCardButtons(context, rows, { card.x(), card.y() + titleHeight, width, kRowHeight * double(rows.size()) }, false);
}

bool belongsTo(const Alert& alert, const Window& window)
{
    if (auto* sheet = dynamic_cast<const ActionSheet*>(&alert)) {
        auto view = sheet->shownInView();
        return view && view->window().get() == &window;
    }
    auto key = Application::shared().keyWindow();
    return !key || key.get() == &window;
}

// Alerts sit above everything in the window, each over a shade, oldest first.
void drawAlerts(const Window& window, GraphicsContext& context, Size size)
{
    for (const auto& alert : Application::shared().alerts()) {
        if (!alert->isVisible() || !belongsTo(*alert, window))
            continue;
        context.setFillColor(kShade);
        context.fillRect({ { 0, 0 }, size });
        if (auto* sheet = dynamic_cast<const ActionSheet*>(alert.get()))
            drawActionSheetCard(context, *sheet, size);
        else
            drawAlertCard(context, *alert, size);
    }
}

// The print dialog, while a job is shown: a card titled "Print" with the job's name, over a
// shade on the key window.
void drawPrintDialog(const Window& window, GraphicsContext& context, Size size)
{
    const auto& dialog = PrintController::shared();
    auto key = Application::shared().keyWindow();
    if (!dialog.isPresented() || dialog.jobs().empty() || (key && key.get() != &window))
        return;
    std::string name = dialog.jobs().back().printInfo.jobName.value_or("");
    double width = std::min(270.0, size.width - 40);
    double textWidth = width - 32;
    double titleHeight = measuredHeight("Print", boldFont(17), textWidth, 1);
    int nameLines = linesThatFit(size.height - (20 + 4 + 20) - titleHeight, Font::system(13));
    double nameHeight = measuredHeight(name, Font::system(13), textWidth, nameLines);
    double height = 20 + titleHeight + (nameHeight > 0 ? 4 + nameHeight : 0) + 20;
    context.setFillColor(kShade);
    context.fillRect({ { 0, 0 }, size });
    Rect card((size.width - width) / 2, (size.height - height) / 2, width, height);
    fillCard(context, card);
    drawTextIn(context, "Print", boldFont(17), Color::black(), { card.x() + 16, card.y() + 20, textWidth, titleHeight });
    drawTextIn(context, name, Font::system(13), Color::black(), { card.x() + 16, card.y() + 24 + titleHeight, textWidth, nameHeight },
        TextAlignment::Center, Wrap::Yes, nameLines);
}

// The shared edit menu, while it shows in this window: a dark rounded bar of its entries.
void drawEditMenu(const Window& window, GraphicsContext& context)
{
    const auto& menu = MenuController::shared();
    auto target = menu.targetView();
    if (!menu.isMenuVisible() || !target || target->window().get() != &window)
        return;
    Rect bar = menu.barFrame();
    context.save();
    context.setFillColor(Color::fromRGBA(0.1f, 0.1f, 0.1f, 0.92f));
    context.addPath(Path::roundedRect(bar, 8));
    context.fillPath();
    auto entries = menu.entryFrames();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        drawTextIn(context, entries[i].title, Font::system(14), Color::white(), entries[i].frame, TextAlignment::Center, Wrap::No);
        if (i + 1 == entries.size())
            continue;
        context.setFillColor(Color::fromRGBA(1, 1, 1, 0.3f));
        context.fillRect({ entries[i].frame.maxX() - 0.5, bar.y() + 8, 1, bar.height() - 16 });
    }
    context.restore();
}

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

// There is no blur in cairo. Copies of the outline from `radius` outside it to `radius` inside
// it, added up, give a linear ramp across the edge that reads as a soft shadow, and the full
// opacity inside, as a blurred shadow has.
void drawShadow(const Layer& layer, GraphicsContext& context, const Rect& local)
{
    auto color = layer.shadowColor();
    double opacity = std::clamp(layer.shadowOpacity(), 0.0, 1.0);
    if (!color || opacity <= 0 || color->alpha <= 0)
        return;
    Rect shape = layer.shadowPath().value_or(local).offsetBy(layer.shadowOffset().width, layer.shadowOffset().height);
    double radius = std::max(0.0, layer.shadowRadius());
    int steps = radius > 0 ? 6 : 1;
    context.beginTransparencyLayer();
    cairo_set_operator(context.cairo(), CAIRO_OPERATOR_ADD);
    context.setFillColor(color->withAlpha(float(color->alpha * opacity / steps)));
    for (int step = 0; step < steps; ++step) {
        double spread = steps == 1 ? 0 : radius - 2 * radius * step / (steps - 1);
        Rect band = shape.insetBy(-spread, -spread);
        if (band.width() <= 0 || band.height() <= 0)
            break;
        context.beginPath();
        context.addPath(outline(band, std::max(0.0, layer.cornerRadius() + spread)));
        context.fillPath();
    }
    context.endTransparencyLayer();
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

// An image view shows its picture as layer contents, which reach past the bounds (an
// aspect-filled picture, for example) unless the view clips; other views draw into a picture of
// their bounds.
bool drawsPastBounds(const View& view)
{
    return dynamic_cast<const ImageView*>(&view) != nullptr;
}

// A view's own drawing gets a context of its own, as on the platform: the default drawing
// state, clipped to the bounds (a view's drawing has no pixels beyond them), and isolated, so
// that saves, restores or line styles it leaves behind cannot disturb the rest of the tree.
void drawCustom(View& view, GraphicsContext& context, const Rect& bounds)
{
    GraphicsContext own(context.cairo());
    own.setAlpha(context.alpha());
    own.setLineWidth(1);
    own.setLineCap(LineCap::Butt);
    own.setLineJoin(LineJoin::Miter);
    own.setMiterLimit(10);
    own.setLineDash(0, {});
    if (!drawsPastBounds(view))
        own.clipToRect(bounds);
    own.beginPath();
    view.draw(own, bounds);
    own.beginPath();
}

// Everything of the view but its own placement: drawn with the bounds' top-left corner at the
// user-space origin.
void drawContents(View& view, GraphicsContext& context, TimePoint time)
{
    const Layer& layer = view.layer();
    Rect bounds = view.presentationBounds(time);
    Rect local(0, 0, bounds.width(), bounds.height());
    // A view that clips to its bounds clips its own shadow away too, as on the platform.
    if (!layer.masksToBounds())
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
    context.save();
    drawClassContents(view, context, bounds);
    context.restore();
    if (view.hasCustomDrawing())
        drawCustom(view, context, bounds);
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

// A transform with perspective has no affine map for the whole view. The view is drawn into a
// picture of its own and shown in narrow vertical strips, each through the affine map that
// matches the projection at the strip's middle: exact for a turn about the vertical axis,
// where every vertical line stays straight, and close for gentle tilts otherwise.
void drawProjected(View& view, GraphicsContext& context, TimePoint time, const Transform3D& transform, Point center)
{
    constexpr double kStripWidth = 2;
    constexpr double kPictureScale = 2;
    Rect bounds = view.presentationBounds(time);
    double width = bounds.width();
    double height = bounds.height();
    if (width <= 0 || height <= 0)
        return;
    ImageContext picture(bounds.size, Opaque::No, kPictureScale);
    if (!picture.isValid())
        return;
    drawComposited(view, picture.context(), time);
    auto image = picture.image();
    Point anchor = view.layer().anchorPoint();
    auto place = [&](double u, double v) {
        Point projected = transform.project({ u - anchor.x * width, v - anchor.y * height });
        return Point { projected.x + center.x, projected.y + center.y };
    };
    auto inFront = [&](double u, double v) {
        double w = (u - anchor.x * width) * transform.m14 + (v - anchor.y * height) * transform.m24 + transform.m44;
        return w > 0;
    };
    int strips = std::max(1, static_cast<int>(std::ceil(width / kStripWidth)));
    for (int strip = 0; strip < strips; ++strip) {
        double x0 = width * strip / strips;
        double x1 = width * (strip + 1) / strips;
        double xm = (x0 + x1) / 2;
        double ym = height / 2;
        if (!inFront(x0, 0) || !inFront(x1, 0) || !inFront(x0, height) || !inFront(x1, height))
            continue;
        Point left = place(x0, ym), right = place(x1, ym), top = place(xm, 0), bottom = place(xm, height), middle = place(xm, ym);
        AffineTransform map;
        map.a = (right.x - left.x) / (x1 - x0);
        map.b = (right.y - left.y) / (x1 - x0);
        map.c = (bottom.x - top.x) / height;
        map.d = (bottom.y - top.y) / height;
        map.tx = middle.x - xm * map.a - ym * map.c;
        map.ty = middle.y - xm * map.b - ym * map.d;
        context.save();
        context.concat(map);
        // Half a point of overlap hides the seams between strips.
        context.clipToRect(Rect(x0 - 0.25, 0, x1 - x0 + 0.5, height));
        context.drawImage(*image, Rect(0, 0, width, height));
        context.restore();
    }
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
    Transform3D transform = view.presentationTransform3D(time);
    if (!transform.isFlat())
        return drawProjected(view, context, time, transform, center);
    Point anchor = view.layer().anchorPoint();
    context.save();
    context.translate(center.x, center.y);
    context.concat(transform.affine());
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
    if (auto* window = dynamic_cast<Window*>(&view)) {
        drawEditMenu(*window, context);
        drawAlerts(*window, context, bounds.size);
        drawPrintDialog(*window, context, bounds.size);
    }
    return image.image();
}

bool Renderer::renderPNG(View& view, const std::string& path, const Options& options)
{
    auto image = render(view, options);
    return image && image->writePNG(path);
}

bool Renderer::renderKeyWindowPNG(const std::string& path, const Options& options)
{
    auto window = Application::shared().keyWindow();
    if (!window)
        return false;
    // Every visible window shows, from the bottom up, so that a sheet's window of the alert
    // level is drawn over the application's window (and the application's under the sheet).
    auto windows = Application::shared().visibleWindowsInLevelOrder();
    if (std::find(windows.begin(), windows.end(), window) == windows.end())
        windows.insert(windows.begin(), window);
    for (const auto& each : windows)
        each->layoutIfNeeded();
    if (windows.size() == 1)
        return renderPNG(*window, path, options);
    TimePoint time = options.time.value_or(Clock::current()->now());
    Rect canvas = window->frame();
    ImageContext image(canvas.size, Opaque::No, options.scale);
    if (!image.isValid())
        return false;
    GraphicsContext& context = image.context();
    if (options.backdrop) {
        context.setFillColor(*options.backdrop);
        context.fillRect({ { 0, 0 }, canvas.size });
    }
    for (const auto& each : windows) {
        context.save();
        context.translate(-canvas.x(), -canvas.y());
        drawView(*each, context, time);
        context.restore();
    }
    drawEditMenu(*window, context);
    drawAlerts(*window, context, canvas.size);
    drawPrintDialog(*window, context, canvas.size);
    auto picture = image.image();
    return picture && picture->writePNG(path);
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
