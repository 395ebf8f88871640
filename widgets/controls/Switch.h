#pragma once
// "morvix.Switch": an on/off switch with thumb and track colours.

#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string_view>

namespace morvix {

class DelegatingSwitch;

/// A switch whose thumb takes "thumbOnColor" while on and "thumbOffColor" while off (both the
/// switch's thumb tint at creation); "trackOnColor" is the switch's on tint and "trackOffColor"
/// its tint (the track while off). A flip by the user sends "toggle" {"checked"} at once, with
/// no listener test and no property change; "checked" from the peer sends nothing.
///
/// The factory applies the four colours and then "checked" from the create properties before
/// the generic set, so that a switch created on shows its on colour at once whatever the wire's
/// key order. Main thread only.
class Switch : public RemoteClass<Switch, Control> {
public:
    static constexpr std::string_view kRemoteType = "morvix.Switch";

    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    static const PropertyTable& properties();
    /// "toggle", sent whether or not it is listened.
    static const WireTable& wire();
    /// `Control`'s names, then "checked" and the four colours.
    static const PropertyNames& remoteObjectProperties();

    Switch(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Switch() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingSwitch>& delegatingSwitch() const { return m_switch; }

    /// The switch's on state.
    bool checked() const;
    /// Turns the switch, animated, and adjusts the thumb; sends nothing.
    void setChecked(bool checked);
    const std::optional<platform::Color>& thumbOnColor() const { return m_thumbOnColor; }
    void setThumbOnColor(std::optional<platform::Color> color);
    const std::optional<platform::Color>& thumbOffColor() const { return m_thumbOffColor; }
    void setThumbOffColor(std::optional<platform::Color> color);
    std::optional<platform::Color> trackOnColor() const;
    void setTrackOnColor(std::optional<platform::Color> color);
    std::optional<platform::Color> trackOffColor() const;
    void setTrackOffColor(std::optional<platform::Color> color);

    /// The switch's value-changed action: reports the flip, then adjusts the thumb.
    void valueChanged();

protected:
    void didConstruct() override;

private:
    void adjustThumbColor();

    std::shared_ptr<DelegatingSwitch> m_switch;
    bool m_checked = false;
    std::optional<platform::Color> m_thumbOnColor;
    std::optional<platform::Color> m_thumbOffColor;
};

} // namespace morvix
