#include "shell/progress/POProgressHUD.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/ThreadPool.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Animator.h"
#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/Label.h"
#include "shell/progress/POBarProgressView.h"
#include "shell/progress/PORoundProgressView.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace morvix {

using namespace platform;

namespace {

Duration seconds(double value)
{
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(value));
}

AttributedString styled(const std::string& text, const Font& font)
{
    AttributedString string(text);
    string.setFont(font, 0, string.length());
    return string;
}

// The size of `text` on one line, rounded up to whole points.
Size oneLineSize(const std::optional<std::string>& text, const Font& font)
{
    if (!text || text->empty())
        return {};
    Size size = TextLayout(styled(*text, font), {}).size();
    return { std::ceil(size.width), std::ceil(size.height) };
}

// The size of `text` wrapped at `width`, keeping only the whole lines that fit in `height`,
// rounded up to whole points.
Size wrappedSize(const std::optional<std::string>& text, const Font& font, double width, double height)
{
    if (!text || text->empty())
        return {};
    TextLayout::Options options;
    if (width > 0)
        options.wrapWidth = width;
    TextLayout layout(styled(*text, font), options);
    Size size;
    for (const auto& line : layout.lines()) {
        if (std::ceil(size.height + line.height) > height)
            break;
        size.width = std::max(size.width, line.width);
        size.height += line.height;
    }
    return { std::ceil(size.width), std::ceil(size.height) };
}

} // namespace

std::shared_ptr<POProgressHUD> POProgressHUD::create(const Rect& frame)
{
    auto hud = std::shared_ptr<POProgressHUD>(new POProgressHUD(frame));
    hud->setUp();
    return hud;
}

std::shared_ptr<POProgressHUD> POProgressHUD::createWithView(const View& view)
{
    return create(view.bounds());
}

POProgressHUD::POProgressHUD(const Rect& frame)
    : View(frame)
{
    setOpaque(false);
    setBackgroundColor(std::nullopt);
    setAlpha(0);
    setAutoresizingMask(AutoresizingFlexibleTopMargin | AutoresizingFlexibleBottomMargin
        | AutoresizingFlexibleLeftMargin | AutoresizingFlexibleRightMargin);
}

POProgressHUD::~POProgressHUD() = default;

void POProgressHUD::setUp()
{
    setupLabels();
    updateIndicators();
    std::weak_ptr<POProgressHUD> weak = std::static_pointer_cast<POProgressHUD>(self());
    m_orientationObserver = NotificationCenter::defaultCenter()->addObserver(kDidChangeStatusBarOrientationNotification,
        nullptr, [weak](const Notification&) {
            // Without waiting on another thread: its poster may hold what the main thread needs.
            if (!MainLoop::main().isMainThread()) {
                MainLoop::main().post([weak] {
                    if (auto hud = weak.lock())
                        hud->deviceOrientationDidChange();
                });
                return;
            }
            if (auto hud = weak.lock())
                hud->deviceOrientationDidChange();
        });
}

void POProgressHUD::setupLabels()
{
    auto makeLabel = [this](const Font& font, const Color& color, const std::optional<std::string>& text) {
        auto label = Label::create(bounds());
        label->setTextAlignment(TextAlignment::Center);
        label->setOpaque(false);
        label->setBackgroundColor(std::nullopt);
        label->setFont(font);
        label->setTextColor(color);
        label->setText(text.value_or(""));
        addSubview(label);
        return label;
    };
    m_label = makeLabel(m_labelFont, m_labelColor, m_labelText);
    m_detailsLabel = makeLabel(m_detailsLabelFont, m_detailsLabelColor, m_detailsLabelText);
    m_detailsLabel->setNumberOfLines(0);
}

void POProgressHUD::updateIndicators()
{
    auto replace = [this](std::shared_ptr<View> indicator) {
        if (m_indicator)
            m_indicator->removeFromSuperview();
        m_indicator = std::move(indicator);
        if (m_indicator)
            addSubview(m_indicator);
    };
    switch (mode()) {
    case POProgressHUDMode::Indeterminate: {
        if (!std::dynamic_pointer_cast<ActivityIndicatorView>(m_indicator)) {
            auto spinner = ActivityIndicatorView::create({ 0, 0, ActivityIndicatorView::kLargeSize, ActivityIndicatorView::kLargeSize },
                ActivityIndicatorStyle::WhiteLarge);
            spinner->startAnimating();
            replace(spinner);
        }
        std::static_pointer_cast<ActivityIndicatorView>(m_indicator)->setColor(activityIndicatorColor());
        return;
    }
    case POProgressHUDMode::Determinate:
    case POProgressHUDMode::AnnularDeterminate: {
        if (!std::dynamic_pointer_cast<PORoundProgressView>(m_indicator))
            replace(PORoundProgressView::create());
        if (mode() == POProgressHUDMode::AnnularDeterminate)
            std::static_pointer_cast<PORoundProgressView>(m_indicator)->setAnnular(true);
        return;
    }
    case POProgressHUDMode::DeterminateHorizontalBar:
        replace(POBarProgressView::create());
        return;
    case POProgressHUDMode::CustomView: {
        auto custom = customView();
        if (custom != m_indicator)
            replace(custom);
        return;
    }
    case POProgressHUDMode::Text:
        replace(nullptr);
        return;
    }
}

// ---- Observed properties ----

#define PO_OBSERVED_PROPERTY(Type, getter, setter, member, key)   \
    Type POProgressHUD::getter() const                            \
    {                                                             \
        std::lock_guard lock(m_mutex);                            \
        return member;                                            \
    }                                                             \
    void POProgressHUD::setter(Type value)                        \
    {                                                             \
        {                                                         \
            std::lock_guard lock(m_mutex);                        \
            member = std::move(value);                            \
        }                                                         \
        changed(Key::key);                                        \
    }

PO_OBSERVED_PROPERTY(POProgressHUDMode, mode, setMode, m_mode, Mode)
PO_OBSERVED_PROPERTY(std::shared_ptr<View>, customView, setCustomView, m_customView, CustomView)
PO_OBSERVED_PROPERTY(std::optional<std::string>, labelText, setLabelText, m_labelText, LabelText)
PO_OBSERVED_PROPERTY(Font, labelFont, setLabelFont, m_labelFont, LabelFont)
PO_OBSERVED_PROPERTY(Color, labelColor, setLabelColor, m_labelColor, LabelColor)
PO_OBSERVED_PROPERTY(std::optional<std::string>, detailsLabelText, setDetailsLabelText, m_detailsLabelText, DetailsLabelText)
PO_OBSERVED_PROPERTY(Font, detailsLabelFont, setDetailsLabelFont, m_detailsLabelFont, DetailsLabelFont)
PO_OBSERVED_PROPERTY(Color, detailsLabelColor, setDetailsLabelColor, m_detailsLabelColor, DetailsLabelColor)
PO_OBSERVED_PROPERTY(float, progress, setProgress, m_progress, Progress)
PO_OBSERVED_PROPERTY(Color, activityIndicatorColor, setActivityIndicatorColor, m_activityIndicatorColor, ActivityIndicatorColor)

#undef PO_OBSERVED_PROPERTY

void POProgressHUD::changed(Key key)
{
    if (MainLoop::main().isMainThread()) {
        updateUIForKey(key);
        return;
    }
    std::weak_ptr<POProgressHUD> weak = std::static_pointer_cast<POProgressHUD>(self());
    MainLoop::main().post([weak, key] {
        if (auto hud = weak.lock())
            hud->updateUIForKey(key);
    });
}

void POProgressHUD::updateUIForKey(Key key)
{
    switch (key) {
    case Key::Mode:
    case Key::CustomView:
    case Key::ActivityIndicatorColor:
        updateIndicators();
        break;
    case Key::LabelText:
        m_label->setText(labelText().value_or(""));
        break;
    case Key::LabelFont:
        m_label->setFont(labelFont());
        break;
    case Key::LabelColor:
        m_label->setTextColor(labelColor());
        break;
    case Key::DetailsLabelText:
        m_detailsLabel->setText(detailsLabelText().value_or(""));
        break;
    case Key::DetailsLabelFont:
        m_detailsLabel->setFont(detailsLabelFont());
        break;
    case Key::DetailsLabelColor:
        m_detailsLabel->setTextColor(detailsLabelColor());
        break;
    case Key::Progress:
        if (auto round = std::dynamic_pointer_cast<PORoundProgressView>(m_indicator))
            round->setProgress(progress());
        else if (auto bar = std::dynamic_pointer_cast<POBarProgressView>(m_indicator))
            bar->setProgress(progress());
        return;
    }
    setNeedsLayout();
    setNeedsDisplay();
}

// ---- Plain properties ----

void POProgressHUD::setColor(std::optional<Color> color)
{
    m_color = color;
    setNeedsDisplay();
}

void POProgressHUD::setOpacity(float opacity)
{
    m_opacity = opacity;
    setNeedsDisplay();
}

void POProgressHUD::setCornerRadius(float radius)
{
    m_cornerRadius = radius;
    setNeedsDisplay();
}

void POProgressHUD::setMargin(float margin)
{
    m_margin = margin;
    setNeedsLayout();
    setNeedsDisplay();
}

void POProgressHUD::setXOffset(float offset)
{
    m_xOffset = offset;
    setNeedsLayout();
    setNeedsDisplay();
}

void POProgressHUD::setYOffset(float offset)
{
    m_yOffset = offset;
    setNeedsLayout();
    setNeedsDisplay();
}

void POProgressHUD::setMinSize(Size size)
{
    m_minSize = size;
    setNeedsLayout();
    setNeedsDisplay();
}

void POProgressHUD::setSquare(bool square)
{
    m_square = square;
    setNeedsLayout();
    setNeedsDisplay();
}

void POProgressHUD::setDimBackground(bool dim)
{
    m_dimBackground = dim;
    setNeedsDisplay();
}

// ---- Class helpers ----

std::shared_ptr<POProgressHUD> POProgressHUD::showHUDAddedTo(const std::shared_ptr<View>& view, Animated animated)
{
    auto hud = createWithView(*view);
    hud->setRemoveFromSuperViewOnHide(true);
    view->addSubview(hud);
    hud->show(animated);
    return hud;
}

bool POProgressHUD::hideHUDForView(const View& view, Animated animated)
{
    auto hud = HUDForView(view);
    if (!hud)
        return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hide(animated);
    return true;
}

std::size_t POProgressHUD::hideAllHUDsForView(const View& view, Animated animated)
{
    auto huds = allHUDsForView(view);
    for (const auto& hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hide(animated);
    }
    return huds.size();
}

std::shared_ptr<POProgressHUD> POProgressHUD::HUDForView(const View& view)
{
    const auto& subviews = view.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (auto hud = std::dynamic_pointer_cast<POProgressHUD>(*it))
            return hud;
    }
    return nullptr;
}

std::vector<std::shared_ptr<POProgressHUD>> POProgressHUD::allHUDsForView(const View& view)
{
    std::vector<std::shared_ptr<POProgressHUD>> huds;
    for (const auto& subview : view.subviews()) {
        if (auto hud = std::dynamic_pointer_cast<POProgressHUD>(subview))
            huds.push_back(std::move(hud));
    }
    return huds;
}

// ---- Showing and hiding ----

void POProgressHUD::show(Animated animated)
{
    assertOnMainThread();
    m_useAnimation = animated == Animated::Yes;
    if (m_graceTime > 0) {
        m_graceTimer.start(seconds(m_graceTime), Repeat::No, [this] { handleGraceTimer(); });
        return;
    }
    setNeedsDisplay();
    showUsingAnimation(m_useAnimation);
}

void POProgressHUD::handleGraceTimer()
{
    if (!m_taskInProgress)
        return;
    setNeedsDisplay();
    showUsingAnimation(m_useAnimation);
}

void POProgressHUD::showUsingAnimation(bool animated)
{
    ++m_showGeneration;
    if (animated && m_animationType == POProgressHUDAnimation::Zoom)
        setTransform(m_rotationTransform.concatenated(AffineTransform::scale(1.5, 1.5)));
    else if (animated && m_animationType == POProgressHUDAnimation::ZoomIn)
        setTransform(m_rotationTransform.concatenated(AffineTransform::scale(0.5, 0.5)));
    m_showStarted = Clock::current()->now();
    if (!animated) {
        setAlpha(1);
        return;
    }
    Animator::shared().animate(kAnimationDuration, [this] {
        setAlpha(1);
        if (m_animationType != POProgressHUDAnimation::Fade)
            setTransform(m_rotationTransform);
    });
}

void POProgressHUD::hide(Animated animated)
{
    assertOnMainThread();
    m_useAnimation = animated == Animated::Yes;
    if (m_minShowTime > 0 && m_showStarted) {
        Duration shown = Clock::current()->now() - *m_showStarted;
        Duration minimum = seconds(m_minShowTime);
        if (shown < minimum) {
            m_minShowTimer.start(minimum - shown, Repeat::No, [this] { hideUsingAnimation(m_useAnimation); });
            return;
        }
    }
    hideUsingAnimation(m_useAnimation);
}

void POProgressHUD::hide(Animated animated, double delay)
{
    assertOnMainThread();
    m_delayedHideTimer.start(seconds(delay), Repeat::No, [this, animated] { hide(animated); });
}

void POProgressHUD::hideUsingAnimation(bool animated)
{
    if (animated && m_showStarted) {
        std::weak_ptr<POProgressHUD> weak = std::static_pointer_cast<POProgressHUD>(self());
        std::uint64_t generation = m_showGeneration;
        Animator::shared().animate(kAnimationDuration, [this] {
            if (m_animationType == POProgressHUDAnimation::Zoom)
                setTransform(m_rotationTransform.concatenated(AffineTransform::scale(0.5, 0.5)));
            else if (m_animationType == POProgressHUDAnimation::ZoomIn)
                setTransform(m_rotationTransform.concatenated(AffineTransform::scale(1.5, 1.5)));
            setAlpha(0.02);
        }, [weak, generation](bool) {
            // A show that began meanwhile has taken the overlay back: this hide is over.
            if (auto hud = weak.lock(); hud && hud->m_showGeneration == generation)
                hud->done();
        });
    } else {
        setAlpha(0);
        done();
    }
    m_showStarted.reset();
}

void POProgressHUD::done()
{
    auto keepAlive = self();
    m_delayedHideTimer.stop();
    m_finished = true;
    setAlpha(0);
    if (m_removeFromSuperViewOnHide)
        removeFromSuperview();
    if (m_completionBlock) {
        Block completion = std::move(m_completionBlock);
        m_completionBlock = nullptr;
        completion();
    }
    if (auto delegate = m_delegate.lock()) {
        if (auto* wasHidden = dynamic_cast<POProgressHUDWasHidden*>(delegate.get()))
            wasHidden->hudWasHidden(*this);
    }
}

// ---- Tasks ----

void POProgressHUD::showWhileExecuting(Block method, Animated animated)
{
    assertOnMainThread();
    m_taskInProgress = true;
    auto hud = std::static_pointer_cast<POProgressHUD>(self());
    std::thread([hud = std::move(hud), method = std::move(method)]() mutable {
        method();
        // The main loop takes the last reference along, so the overlay never dies on this thread.
        MainLoop::main().post([hud = std::move(hud)] { hud->cleanUp(); });
    }).detach();
    show(animated);
}

void POProgressHUD::showAnimatedWhileExecutingBlock(Block block, ThreadPool* queue, Block completion)
{
    assertOnMainThread();
    m_taskInProgress = true;
    m_completionBlock = std::move(completion);
    auto hud = std::static_pointer_cast<POProgressHUD>(self());
    ThreadPool& pool = queue ? *queue : ThreadPool::global();
    pool.async([hud = std::move(hud), block = std::move(block)]() mutable {
        block();
        MainLoop::main().post([hud = std::move(hud)] { hud->cleanUp(); });
    });
    show(Animated::Yes);
}

void POProgressHUD::cleanUp()
{
    m_taskInProgress = false;
    hide(m_useAnimation ? Animated::Yes : Animated::No);
}

// ---- Layout and drawing ----

void POProgressHUD::deviceOrientationDidChange()
{
    auto parent = superview();
    if (!parent)
        return;
    setFrame(parent->bounds());
    setNeedsDisplay();
}

void POProgressHUD::layoutSubviews()
{
    if (auto parent = superview())
        setFrame(parent->bounds());
    const double width = bounds().width();
    const double height = bounds().height();
    const double margin = m_margin;
    const double maxWidth = width - 4 * margin;

    Rect indicatorFrame = m_indicator ? m_indicator->bounds() : Rect();
    indicatorFrame.size.width = std::min(indicatorFrame.width(), maxWidth);
    double totalWidth = indicatorFrame.width();
    double totalHeight = indicatorFrame.height();

    Size labelSize = oneLineSize(labelText(), labelFont());
    labelSize.width = std::min(labelSize.width, maxWidth);
    totalWidth = std::max(totalWidth, labelSize.width);
    totalHeight += labelSize.height;
    const bool paddingAboveLabel = labelSize.height > 0 && indicatorFrame.height() > 0;
    if (paddingAboveLabel)
        totalHeight += kPadding;

    double remainingHeight = std::max(height - totalHeight - kPadding - 4 * margin, 0.0);
    Size detailsSize = wrappedSize(detailsLabelText(), detailsLabelFont(), maxWidth, remainingHeight);
    totalWidth = std::max(totalWidth, detailsSize.width);
    totalHeight += detailsSize.height;
    const bool paddingAboveDetails = detailsSize.height > 0 && (indicatorFrame.height() > 0 || labelSize.height > 0);
    if (paddingAboveDetails)
        totalHeight += kPadding;

    totalWidth += 2 * margin;
    totalHeight += 2 * margin;

    double y = std::round((height - totalHeight) / 2) + margin + m_yOffset;
    auto centred = [&](Size size) { return Rect(std::round((width - size.width) / 2) + m_xOffset, y, size.width, size.height); };
    indicatorFrame = centred(indicatorFrame.size);
    if (m_indicator)
        m_indicator->setFrame(indicatorFrame);
    y += indicatorFrame.height();
    if (paddingAboveLabel)
        y += kPadding;
    m_label->setFrame(centred(labelSize));
    y += labelSize.height;
    if (paddingAboveDetails)
        y += kPadding;
    m_detailsLabel->setFrame(centred(detailsSize));

    if (m_square) {
        double side = std::max(totalWidth, totalHeight);
        if (side <= width - 2 * margin)
            totalWidth = side;
        if (side <= height - 2 * margin)
            totalHeight = side;
    }
    m_size = { std::max(totalWidth, m_minSize.width), std::max(totalHeight, m_minSize.height) };
}

Rect POProgressHUD::boxRect() const
{
    return { std::round((bounds().width() - m_size.width) / 2) + m_xOffset,
        std::round((bounds().height() - m_size.height) / 2) + m_yOffset, m_size.width, m_size.height };
}

void POProgressHUD::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    context.save();
    if (m_dimBackground) {
        Gradient gradient { { { 0, Color::fromRGBA(0, 0, 0, 0) }, { 1, Color::fromRGBA(0, 0, 0, 0.75f) } } };
        Point center { bounds().width() / 2, bounds().height() / 2 };
        double radius = std::min(bounds().width(), bounds().height());
        context.drawRadialGradient(gradient, center, 0, center, radius, GradientExtent::AfterEnd);
    }
    context.setFillColor(m_color.value_or(Color::fromRGBA(0, 0, 0, m_opacity)));
    Rect box = boxRect();
    double radius = m_cornerRadius;
    constexpr double pi = std::numbers::pi;
    context.beginPath();
    context.moveTo({ box.minX() + radius, box.minY() });
    context.arc({ box.maxX() - radius, box.minY() + radius }, radius, 3 * pi / 2, 0, ArcDirection::IncreasingAngle);
    context.arc({ box.maxX() - radius, box.maxY() - radius }, radius, 0, pi / 2, ArcDirection::IncreasingAngle);
    context.arc({ box.minX() + radius, box.maxY() - radius }, radius, pi / 2, pi, ArcDirection::IncreasingAngle);
    context.arc({ box.minX() + radius, box.minY() + radius }, radius, pi, 3 * pi / 2, ArcDirection::IncreasingAngle);
    context.closePath();
    context.fillPath();
    context.restore();
}

} // namespace morvix
