#pragma once
// The base class of every remote object with a view on screen.

#include "core/objects/RemoteClass.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Rect.h"
#include "widgets/delegating/ViewDelegate.h"
#include "widgets/foundation/Widget.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

class ClientLayout;

namespace platform {
class Image;
class ImageView;
}

/// The properties every widget shares on the wire ("style", "bounds", "layoutData",
/// "background", "backgroundImage", "foreground", "font", "opacity", "transform", "enabled",
/// "visibility", "data", "tabIndex"), and the plumbing between a widget's view and its parent's.
///
/// How a widget and its view come to be, in this order:
///  1. The class's factory constructs it; the constructor makes the view (`view()` is abstract).
///  2. `didConstruct` hides the view, names it with the widget id and enables it; the concrete
///     class then makes itself its view's delegate.
///  3. The create's properties are applied as a "set" ("data" first, "parent" last). "parent"
///     takes the view out of an old container's view, then puts it into the new container's
///     view (`WidgetContainer::addWidgetView`) after giving the widget an empty "layoutData"
///     when it has none, and runs the layout again there. A parent that is no container leaves
///     the view detached.
///  4. The first "ProcessingFinished" shows the view unless "visibility" said false; until then
///     "visibility" is only stored, afterwards it applies at once. A widget never shows
///     half-built.
///
/// "layoutData" and "bounds" are two spellings of one state: the last one set wins and replaces
/// the layout object (`ClientLayout`), disposing the old one first.
///
/// Main thread only, like every operation on a remote object.
class BasicWidget : public RemoteClass<BasicWidget>,
                    public virtual Widget,
                    public ViewDelegate,
                    public ViewDelegate::UpdateConstraints {
public:
    using RemoteClass::RemoteClass;
    ~BasicWidget() override;

    static const PropertyTable& properties();
    /// The base's names plus the twelve readable widget properties ("enabled" is not readable).
    static const PropertyNames& remoteObjectProperties();

    // Widget
    std::shared_ptr<platform::View> view() const override = 0;
    /// Runs the layout object again (against the new superview); without one, a widget that
    /// places itself (see `placeWithoutLayoutData`) does so when its layout data is empty.
    void didMoveToSuperview(const std::shared_ptr<platform::View>& superview) override;

    // RemoteObject
    /// Moves the view from the old parent's view to the new one's (see the class comment).
    /// Nothing when `parent` is the current one. A parent refused by the base (this widget or
    /// one of its descendants), or a container or display whose view would end up inside this
    /// widget's view (see `ViewPlacement`), raises "Incorrect Parameter" and leaves the view
    /// where it was.
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    /// Ends editing in the view, disposes of the layout object, then the base's destroy.
    void destroy() override;
    /// Applies the stored visibility after the message that created the widget.
    bool processingFinished() override;

    // ViewDelegate::UpdateConstraints
    /// The layout object's, then the platform's `updateConstraints` of each direct subview.
    void updateConstraints() override;

    // Properties.
    bool isEnabled() const { return m_enabled; }
    /// Sets the view's user interaction and fades its alpha to 1.0 (enabled) or 0.7 over 0.3 s,
    /// on every call, overriding "opacity".
    virtual void setEnabled(bool enabled);
    bool visibility() const { return m_visibility; }
    /// Stores the flag; applies it at once outside the creation phase.
    virtual void setVisibility(bool visible);
    /// Shows or hides the view now.
    void setInternalVisibility(bool visible);

    const std::optional<platform::Value>& style() const { return m_style; }
    virtual void setStyle(std::optional<platform::Value> style) { m_style = std::move(style); }
    /// True when "style" holds the declared word; false without a style. Taking the
    /// declaration, not the word, keeps every word a class reads in its wire table.
    bool hasStyle(const StyleDeclaration& word) const;
    const std::optional<platform::Value>& tabIndex() const { return m_tabIndex; }
    void setTabIndex(std::optional<platform::Value> index) { m_tabIndex = std::move(index); }

    const std::optional<platform::Value>& data() const { return m_data; }
    /// Stores the dictionary and refreshes the layout object's animated flag.
    virtual void setData(std::optional<platform::Value> data);
    /// True when "data" holds `value` under `key`, compared as the protocol compares values
    /// (true matches 1).
    bool dataForKey(const std::string& key, const platform::Value& value) const;
    /// Whether layout changes animate: "data" "animated" is true and the class is not
    /// `LayoutNotAnimatable`.
    bool animateLayout() const;

    const std::optional<platform::Color>& foreground() const { return m_foreground; }
    /// Stored only; widget classes apply it.
    virtual void setForeground(std::optional<platform::Color> color) { m_foreground = color; }
    const std::optional<platform::Color>& background() const { return m_background; }
    /// Stored and set as the view's background colour; null clears both.
    virtual void setBackground(std::optional<platform::Color> color);
    const std::optional<TypeConverter::NativeFont>& font() const { return m_font; }
    /// Stored only; widget classes apply it.
    virtual void setFont(std::optional<TypeConverter::NativeFont> font) { m_font = std::move(font); }
    const std::optional<platform::Value>& backgroundImage() const { return m_backgroundImage; }
    /// Stored only; widget classes apply it with `applyBackgroundImage`.
    /// Stores the image; taking it away (nothing or null) also cancels a load still on its way
    /// for an earlier one, so that the last value wins. Subclasses show it.
    virtual void setBackgroundImage(std::optional<platform::Value> image);

    /// The view's alpha as a 32-bit float number.
    std::optional<platform::Value> opacity() const;
    /// The view's alpha becomes the number as a 32-bit float (saturated); null gives 0.
    void setOpacity(std::optional<platform::Value> opacity);
    /// {"scaleX", "scaleY", "translationX", "translationY", "rotation"} decomposed from the
    /// view's transform in double, each then a 32-bit float saturated at the float range; never
    /// NaN or infinite (a zero scale takes the rotation from the other axis).
    std::optional<platform::Value> transform() const;
    /// Rotates, then translates by (translationX / scaleX, translationY / scaleY), then scales,
    /// in 32-bit floats, so that the view ends up moved by exactly the translation. Components
    /// and quotients beyond the float range saturate at its ends, so the transform is always
    /// finite. A zero scale takes the limit. A value that is not a number raises "Incorrect
    /// Parameter"; null gives the identity.
    void setTransform(std::optional<platform::Value> transform);

    const std::optional<platform::Value>& layoutData() const { return m_layoutData; }
    /// Stores the dictionary and replaces the layout object: absolute for exactly the four
    /// numbers "left", "top", "width", "height", relative otherwise; then lays out. Nothing or
    /// the empty dictionary makes no layout object for a widget that places itself (see
    /// `placeWithoutLayoutData`).
    void setLayoutData(std::optional<platform::Value> layoutData);
    /// The view's frame, each number saturated at the float range.
    platform::Rect bounds() const;
    /// Stores {"left", "top", "width", "height"} as 32-bit floats (saturated) as "layoutData"
    /// and lays out with an absolute layout.
    virtual void setBounds(platform::Rect bounds);
    const std::shared_ptr<ClientLayout>& clientLayout() const { return m_clientLayout; }

    /// Gives `object` an empty "layoutData" when it is a widget without one.
    static void ensureLayoutDataExistsOn(RemoteObject& object);

    /// Shows `image` (an image value [path, width, height, scale?]) as the pattern background
    /// of `target`; nothing clears `target`'s background colour. A failed load clears it too.
    void applyBackgroundImage(const std::optional<platform::Value>& image, const std::shared_ptr<platform::View>& target);
    /// The image view that loads background images; it never enters the view tree. Made on
    /// first use.
    const std::shared_ptr<platform::ImageView>& backgroundHolder();
    /// `image` ready to be tiled on the main screen: scaled up to the screen's scale when that
    /// is not 1 and the image's own scale is at most 1.
    static std::shared_ptr<platform::Image> prepareImageForPattern(const std::shared_ptr<platform::Image>& image);
    /// `image` redrawn at `scale` pixels per point, upright; null when it cannot be drawn.
    static std::shared_ptr<platform::Image> scaleImage(const platform::Image& image, double scale);
    /// The main screen's scale.
    static double systemScale();

protected:
    void didConstruct() override;
    /// Places the view by the widget's own rule while the layout data says nothing (none, or
    /// the empty dictionary a container gives every child) and answers true; the layout pass
    /// then leaves the view's frame alone. Called when the layout data becomes empty and when
    /// the view moves to a superview. The base answers false: its layout object places the view
    /// at its natural size at the top left.
    virtual bool placeWithoutLayoutData() { return false; }
    /// Takes the view out of an old container's view and tells `didMoveToSuperview(nullptr)`.
    virtual void disconnectFromParent(RemoteObject& parent);
    /// Puts the view into a container parent's view (see the class comment).
    virtual void connectToParent(RemoteObject& parent);

private:
    /// The view a parent puts its widgets' views in: a display's screen, a container's view;
    /// null for any other parent.
    static std::shared_ptr<platform::View> hostViewOf(RemoteObject& parent);
    void replaceLayout(bool absolute);
    /// Whether `layoutData` places the view: anything but nothing and the empty dictionary.
    static bool hasPlacement(const std::optional<platform::Value>& layoutData);
    /// Whether `object` is this widget or lies below it.
    bool isInSubtree(const RemoteObject& object) const;
    static void showPatternImage(const std::weak_ptr<platform::View>& target, const std::shared_ptr<platform::Image>& image);

    bool m_enabled = true;
    bool m_visibility = true;
    std::optional<platform::Value> m_style;
    std::optional<platform::Value> m_tabIndex;
    std::optional<platform::Value> m_data;
    std::optional<platform::Color> m_foreground;
    std::optional<platform::Color> m_background;
    std::optional<TypeConverter::NativeFont> m_font;
    std::optional<platform::Value> m_backgroundImage;
    std::optional<platform::Value> m_layoutData;
    std::shared_ptr<ClientLayout> m_clientLayout;
    std::shared_ptr<platform::ImageView> m_backgroundHolder;
};

} // namespace morvix
