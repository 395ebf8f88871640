#include "widgets/controls/Switch.h"

#include "core/objects/TypeConverter.h"
#include "core/outgoing/Notification.h"
#include "widgets/delegating/DelegatingSwitch.h"

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kToggleEvent {
    .name = "toggle",
    .attributes = R"({"checked": boolean})",
    .sentWithoutListen = true,
    .note = "when the user flips the switch, with its new state; \"checked\" is not sent as a property, and "
            "setting it sends nothing",
};

} // namespace

const WireTable& Switch::wire()
{
    static const WireTable table = WireTable::extend(Control::wire()).event(kToggleEvent);
    return table;
}

std::shared_ptr<BasicObject> Switch::create(const std::string& id, const Value* properties,
    std::shared_ptr<ClientContext> client)
{
    auto widget = construct<Switch>(id, std::move(client));
    if (!properties || !properties->is_object())
        return widget;
    auto color = [properties](const char* key) -> std::optional<std::optional<platform::Color>> {
        auto found = properties->find(key);
        if (found == properties->end())
            return std::nullopt;
        return TypeConverter::toUIColor(*found);
    };
    if (auto thumbOn = color("thumbOnColor"))
        widget->setThumbOnColor(*thumbOn);
    if (auto thumbOff = color("thumbOffColor"))
        widget->setThumbOffColor(*thumbOff);
    if (auto trackOn = color("trackOnColor"))
        widget->setTrackOnColor(*trackOn);
    if (auto trackOff = color("trackOffColor"))
        widget->setTrackOffColor(*trackOff);
    auto checked = properties->find("checked");
    if (checked != properties->end() && (checked->is_boolean() || checked->is_number()))
        widget->setChecked(checked->is_boolean() ? checked->get<bool>() : checked->get<double>() != 0);
    return widget;
}

const PropertyTable& Switch::properties()
{
    static const PropertyTable table = PropertyTable::extend<Switch>(Control::properties())
                                           .boolean("checked", &Switch::setChecked, &Switch::checked)
                                           .color("thumbOnColor", &Switch::setThumbOnColor, &Switch::thumbOnColor)
                                           .color("thumbOffColor", &Switch::setThumbOffColor, &Switch::thumbOffColor)
                                           .color("trackOnColor", &Switch::setTrackOnColor, &Switch::trackOnColor)
                                           .color("trackOffColor", &Switch::setTrackOffColor, &Switch::trackOffColor);
    return table;
}

const PropertyNames& Switch::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "checked", "thumbOnColor", "thumbOffColor", "trackOnColor", "trackOffColor" });
    return names;
}

Switch::Switch(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_switch(DelegatingSwitch::create())
{
    m_switch->setOn(false);
    m_thumbOnColor = m_switch->thumbTintColor();
    m_thumbOffColor = m_switch->thumbTintColor();
}

Switch::~Switch() = default;

void Switch::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Switch>(shared_from_this());
    m_switch->setDelegate(self);
    std::weak_ptr<Switch> weak = self;
    m_switch->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto widget = weak.lock())
            widget->valueChanged();
    }, platform::ControlEventValueChanged);
}

std::shared_ptr<platform::View> Switch::view() const
{
    return m_switch;
}

bool Switch::checked() const
{
    return m_switch->isOn();
}

void Switch::setChecked(bool checked)
{
    m_checked = checked;
    m_switch->setOn(checked, platform::Animated::Yes);
    adjustThumbColor();
}

void Switch::setThumbOnColor(std::optional<platform::Color> color)
{
    m_thumbOnColor = color;
    adjustThumbColor();
}

void Switch::setThumbOffColor(std::optional<platform::Color> color)
{
    m_thumbOffColor = color;
    adjustThumbColor();
}

std::optional<platform::Color> Switch::trackOnColor() const
{
    return m_switch->onTintColor();
}

void Switch::setTrackOnColor(std::optional<platform::Color> color)
{
    m_switch->setOnTintColor(color);
}

std::optional<platform::Color> Switch::trackOffColor() const
{
    return m_switch->tintColor();
}

void Switch::setTrackOffColor(std::optional<platform::Color> color)
{
    m_switch->setTintColor(color);
    m_switch->setNeedsDisplay();
}

void Switch::adjustThumbColor()
{
    m_switch->setThumbTintColor(m_switch->isOn() ? m_thumbOnColor : m_thumbOffColor);
}

void Switch::valueChanged()
{
    m_checked = m_switch->isOn();
    if (auto message = notificationForObject()) {
        Value attributes = Value::object();
        attributes["checked"] = m_checked;
        message->fire(kToggleEvent, std::move(attributes));
    }
    adjustThumbColor();
}

} // namespace morvix
