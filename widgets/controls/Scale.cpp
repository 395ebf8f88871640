#include "widgets/controls/Scale.h"

#include "core/outgoing/Notification.h"
#include "widgets/delegating/DelegatingSlider.h"

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection, DefaultSelection",
    .name = "Selection",
    .attributes = R"({"selection": number})",
    .note = "after \"selection\", as the user drags the slider, with the new value",
};
constexpr ReportDeclaration kSelectionReport {
    .name = "selection",
    .kind = "number",
    .note = "the value the user dragged to (a whole number from \"minimum\" to \"maximum\"): with \"Selection\", "
            "scheduled when neither key is listened",
};

} // namespace

const WireTable& Scale::wire()
{
    static const WireTable table = WireTable::extend(Control::wire()).event(kSelectionEvent).report(kSelectionReport);
    return table;
}

float rangeFraction(std::int64_t current, std::int64_t minimum, std::int64_t maximum)
{
    if (maximum == minimum)
        return 0;
    // The differences in double first: in 64-bit integers they may overflow.
    auto offset = static_cast<float>(static_cast<double>(current) - static_cast<double>(minimum));
    auto span = static_cast<float>(static_cast<double>(maximum) - static_cast<double>(minimum));
    return offset / span;
}

const PropertyTable& Scale::properties()
{
    static const PropertyTable table = PropertyTable::extend<Scale>(Control::properties())
                                           .number("selection", &Scale::setSelection,
                                               [](const Scale& self) { return std::optional<Value>(self.selection()); })
                                           .number("maximum", &Scale::setMaximum,
                                               [](const Scale& self) { return std::optional<Value>(self.maximum()); })
                                           .number("minimum", &Scale::setMinimum,
                                               [](const Scale& self) { return std::optional<Value>(self.minimum()); })
                                           .boolean("enabled", &Scale::setEnabled, &Scale::sliderEnabled)
                                           .color("foreground", &Scale::setForeground, &Scale::foreground);
    return table;
}

const PropertyNames& Scale::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "selection", "maximum", "minimum", "enabled" });
    return names;
}

Scale::Scale(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_slider(DelegatingSlider::create())
{
    m_slider->setContinuous(true);
    m_defaultForeground = m_slider->minimumTrackTintColor();
}

Scale::~Scale() = default;

void Scale::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Scale>(shared_from_this());
    m_slider->setLayoutDelegate(self);
    std::weak_ptr<Scale> weak = self;
    m_slider->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto scale = weak.lock())
            scale->valueChanged();
    }, platform::ControlEventValueChanged);
}

std::shared_ptr<platform::View> Scale::view() const
{
    return m_slider;
}

void Scale::setSelection(std::optional<Value> selection)
{
    m_current = saturatedInteger<std::int64_t>(selection);
    updateBar();
}

void Scale::setMaximum(std::optional<Value> maximum)
{
    m_maximum = saturatedInteger<std::int64_t>(maximum);
    updateBar();
}

void Scale::setMinimum(std::optional<Value> minimum)
{
    m_minimum = saturatedInteger<std::int64_t>(minimum);
    updateBar();
}

void Scale::updateBar()
{
    m_slider->setValue(rangeFraction(m_current, m_minimum, m_maximum), platform::Animated::Yes);
}

void Scale::valueChanged()
{
    auto value = static_cast<float>(m_slider->value());
    auto span = static_cast<float>(static_cast<double>(m_maximum) - static_cast<double>(m_minimum));
    float mapped = span * value + static_cast<float>(m_minimum);
    m_current = saturatedInteger<std::int64_t>(Value(static_cast<double>(mapped)));
    auto message = notificationForObject();
    if (!message)
        return;
    message->report(kSelectionReport, m_current);
    if (!m_selectionListener && !m_defaultSelectionListener) {
        message->schedule();
        return;
    }
    Value attributes = Value::object();
    attributes["selection"] = m_current;
    message->fire(kSelectionEvent, std::move(attributes));
}

void Scale::setEnabled(bool enabled)
{
    m_slider->setEnabled(enabled);
}

bool Scale::sliderEnabled() const
{
    return m_slider->isEnabled();
}

void Scale::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color);
    m_slider->setMinimumTrackTintColor(color ? color : m_defaultForeground);
}

void Scale::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    RemoteClass::setBackgroundImage(image);
    if (!image) {
        m_slider->setBackgroundColor(background());
        return;
    }
    applyBackgroundImage(image, m_slider);
}

} // namespace morvix
