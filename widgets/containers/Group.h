#pragma once
// The titled container.

#include "widgets/foundation/AbstractComposite.h"

#include <memory>
#include <string>
#include <string_view>

namespace morvix {

namespace platform {
class Label;
}
class DelegatingView;

/// "zub.widgets.Group": a one-line title at the top of the group view and, under it, an area
/// view that carries the group's background. Child widgets' views lie over the area in the
/// group's coordinates, above the area and below the title.
///
/// With t = the title font's point size + 2, a group of size w by h puts its title at
/// (9, 0, w - 18, t) and its area at (0, t, w, h - t), sizes never below 0. Until the first size
/// arrives they keep the frames they are made with. Main thread only.
class Group : public RemoteClass<Group, AbstractComposite> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Group";
    static constexpr double kTitleInset = 9;

    Group(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Group() override;

    static const PropertyTable& properties();
    static const PropertyNames& remoteObjectProperties();
    /// Its base's events and the raw touches, which its view hands it.
    static const WireTable& wire();

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<platform::Label>& label() const { return m_label; }
    const std::shared_ptr<platform::View>& area() const { return m_area; }

    std::string text() const;
    void setText(std::optional<std::string> text);

    /// Colours only the area; the group view stays clear.
    void setBackground(std::optional<platform::Color> color) override;
    /// Also the title's colour and the area's border colour (no border width is set).
    void setForeground(std::optional<platform::Color> color) override;
    /// The title takes the font (the group font for none), and the frames follow at once.
    void setFont(std::optional<TypeConverter::NativeFont> font) override;
    /// No image paints the group view in the area's colour.
    void setBackgroundImage(std::optional<platform::Value> image) override;
    void sizeChanged(platform::Size size) override;
    /// Puts the child's view directly above the area, then restacks.
    void addWidgetView(BasicWidget& child) override;
    /// False for the group view, the title and the area.
    bool consistsOfView(const platform::View* view) const override;

protected:
    void didConstruct() override;

private:
    void layoutTitle(platform::Size size);

    std::shared_ptr<DelegatingView> m_group;
    std::shared_ptr<platform::View> m_area;
    std::shared_ptr<platform::Label> m_label;
};

} // namespace morvix
