#include "widgets/controls/ProgressBar.h"

#include "platform/graphics/AffineTransform.h"
#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/ProgressView.h"
#include "widgets/controls/Scale.h"
#include "widgets/delegating/DelegatingView.h"
#include "widgets/foundation/StyleWords.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

using platform::Value;

namespace {

constexpr StyleDeclaration kIndeterminateStyle {
    .word = "INDETERMINATE",
    .effect = "a spinning activity indicator instead of the bar (at creation)",
};
constexpr StyleDeclaration kVerticalStyle { .word = "VERTICAL", .effect = "the bar fills from bottom to top (at creation)" };

} // namespace

const WireTable& ProgressBar::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .events(Control::touchEvents())
                                       .style(kIndeterminateStyle)
                                       .style(kVerticalStyle);
    return table;
}

std::shared_ptr<BasicObject> ProgressBar::create(const std::string& id, const Value* properties,
    std::shared_ptr<ClientContext> client)
{
    auto bar = construct<ProgressBar>(id, std::move(client));
    bar->m_vertical = creationStyleHasWord(properties, kVerticalStyle);
    if (creationStyleHasWord(properties, kIndeterminateStyle))
        bar->setupIndeterminate();
    else
        bar->setupProgress();
    bar->setForeground(std::nullopt);
    return bar;
}

const PropertyTable& ProgressBar::properties()
{
    static const PropertyTable table = PropertyTable::extend<ProgressBar>(Control::properties())
                                           .number("selection", &ProgressBar::setSelection,
                                               [](const ProgressBar& self) { return std::optional<Value>(self.selection()); })
                                           .number("maximum", &ProgressBar::setMaximum,
                                               [](const ProgressBar& self) { return std::optional<Value>(self.maximum()); })
                                           .number("minimum", &ProgressBar::setMinimum,
                                               [](const ProgressBar& self) { return std::optional<Value>(self.minimum()); })
                                           .string("state", &ProgressBar::setState,
                                               [](const ProgressBar& self) { return std::optional<std::string>(self.state()); })
                                           .color("foreground", &ProgressBar::setForeground, &ProgressBar::foreground)
                                           .color("background", &ProgressBar::setBackground, &ProgressBar::trackColor);
    return table;
}

const PropertyNames& ProgressBar::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "selection", "maximum", "minimum" });
    return names;
}

ProgressBar::ProgressBar(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_area(DelegatingView::create())
{
    m_area->setAutoresizesSubviews(true);
}

ProgressBar::~ProgressBar() = default;

void ProgressBar::didConstruct()
{
    RemoteClass::didConstruct();
    m_area->setDelegate(std::static_pointer_cast<ProgressBar>(shared_from_this()));
}

std::shared_ptr<platform::View> ProgressBar::view() const
{
    return m_area;
}

void ProgressBar::setupProgress()
{
    double height = platform::ProgressView::kHeight;
    if (m_vertical) {
        // The bar turns inside the area, which stays upright: frames and constraints given to
        // the widget then size the area as they do any other, and the bar runs along its height.
        m_progress = platform::ProgressView::create({ 0, 0, 0, height });
        m_progress->setTransform(platform::AffineTransform { 0, -1, 1, 0, 0, 0 });
        m_area->addSubview(m_progress);
        placeVerticalBar();
        return;
    }
    // Centred on the area's origin, so that the flexible margins keep it centred as the area
    // grows from nothing.
    m_progress = platform::ProgressView::create({ 0, -height / 2, 0, height });
    m_progress->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleTopMargin
        | platform::AutoresizingFlexibleBottomMargin);
    m_area->addSubview(m_progress);
}

void ProgressBar::placeVerticalBar()
{
    if (!m_vertical || !m_progress)
        return;
    platform::Size area = m_area->bounds().size;
    m_progress->setBounds({ 0, 0, area.height, platform::ProgressView::kHeight });
    m_progress->setCenter({ area.width / 2, area.height / 2 });
}

void ProgressBar::sizeChanged(platform::Size size)
{
    placeVerticalBar();
    RemoteClass::sizeChanged(size);
}

void ProgressBar::setupIndeterminate()
{
    double side = platform::ActivityIndicatorView::kSize;
    m_spinner = platform::ActivityIndicatorView::create({ -side / 2, -side / 2, side, side },
        platform::ActivityIndicatorStyle::White);
    m_spinner->setAutoresizingMask(platform::AutoresizingFlexibleLeftMargin | platform::AutoresizingFlexibleRightMargin
        | platform::AutoresizingFlexibleTopMargin | platform::AutoresizingFlexibleBottomMargin);
    m_spinner->setHidesWhenStopped(false);
    m_spinner->startAnimating();
    m_area->addSubview(m_spinner);
}

void ProgressBar::setSelection(std::optional<Value> selection)
{
    m_current = saturatedInteger<std::int32_t>(selection);
    updateBar();
}

void ProgressBar::setMaximum(std::optional<Value> maximum)
{
    m_maximum = saturatedInteger<std::int32_t>(maximum);
    updateBar();
}

void ProgressBar::setMinimum(std::optional<Value> minimum)
{
    m_minimum = saturatedInteger<std::int32_t>(minimum);
    updateBar();
}

void ProgressBar::updateBar()
{
    if (!m_progress)
        return;
    float fraction = rangeFraction(m_current, m_minimum, m_maximum);
    m_progress->setProgress(fraction, fraction == 0 ? platform::Animated::No : platform::Animated::Yes);
}

void ProgressBar::setState(std::optional<std::string> state)
{
    m_state = state.value_or("");
    if (!m_spinner)
        return;
    if (m_state == "error") {
        m_spinner->stopAnimating();
        m_spinner->setAlpha(0.5);
        return;
    }
    if (m_state == "paused")
        m_spinner->stopAnimating();
    else if (isEnabled())
        m_spinner->startAnimating();
    m_spinner->setAlpha(1.0);
}

void ProgressBar::setEnabled(bool enabled)
{
    RemoteClass::setEnabled(enabled);
    if (!m_spinner)
        return;
    if (enabled && isNormalState())
        m_spinner->startAnimating();
    else
        m_spinner->stopAnimating();
}

void ProgressBar::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color);
    if (m_progress)
        m_progress->setProgressTintColor(color ? color : m_defaultForeground);
    if (m_spinner)
        m_spinner->setColor(color.value_or(FontHelper::labelColor()));
}

void ProgressBar::setBackground(std::optional<platform::Color> color)
{
    if (m_progress)
        m_progress->setTrackTintColor(color ? color : m_defaultBackground);
}

std::optional<platform::Color> ProgressBar::trackColor() const
{
    return m_progress ? m_progress->trackTintColor() : std::nullopt;
}

platform::Size ProgressBar::intrinsicContentSize()
{
    if (m_spinner)
        return m_spinner->intrinsicContentSize();
    if (m_progress && m_vertical)
        return { platform::ProgressView::kHeight, platform::View::kNoIntrinsicMetric };
    if (m_progress)
        return m_progress->intrinsicContentSize();
    return { platform::View::kNoIntrinsicMetric, platform::View::kNoIntrinsicMetric };
}

} // namespace morvix
