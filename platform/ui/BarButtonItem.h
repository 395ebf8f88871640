#pragma once
// A button of a navigation bar or toolbar.

#include "platform/graphics/Color.h"
#include "platform/graphics/Rect.h"
#include "platform/ui/Control.h"
#include "platform/ui/Forward.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace morvix::platform {

enum class BarButtonStyle { Plain = 0, Bordered = 1, Done = 2 };
/// System items by the platform's numbers.
enum class BarButtonSystemItem {
    Done = 0, Cancel = 1, Edit = 2, Save = 3, Add = 4, FlexibleSpace = 5, FixedSpace = 6, Compose = 7, Reply = 8,
    Action = 9, Organize = 10, Bookmarks = 11, Search = 12, Refresh = 13, Stop = 14, Camera = 15, Trash = 16,
    Play = 17, Pause = 18, Rewind = 19, FastForward = 20,
};
/// An item a bar shows: a title, an image, a system item or a custom view, with an action. The
/// action's target is held weakly. `view()` is what the bar lays out. Subclasses make their
/// items through a factory of their own. Main thread only.
class BarButtonItem : public std::enable_shared_from_this<BarButtonItem> {
public:
    using Action = std::function<void(BarButtonItem&)>;
    /// Width given to items without an explicit width, custom view or title.
    static constexpr double kDefaultWidth = 44;
    /// Space between a titled item's title and each of its sides.
    static constexpr double kTitleMargin = 8;
    /// The size of a title's font; bold for the Done style.
    static constexpr double kTitleFontSize = 17;
    /// The height of the picture behind an item: shorter than the bar, so that neighbouring
    /// items and the bar's ends read as separate buttons on the bar, not as one strip.
    static constexpr double kBackgroundHeight = 30;

    static std::shared_ptr<BarButtonItem> create(std::string title, BarButtonStyle style = BarButtonStyle::Plain);
    static std::shared_ptr<BarButtonItem> createWithImage(std::shared_ptr<Image> image, BarButtonStyle style = BarButtonStyle::Plain);
    static std::shared_ptr<BarButtonItem> createSystem(BarButtonSystemItem item);
    static std::shared_ptr<BarButtonItem> createWithCustomView(std::shared_ptr<View> view);
    virtual ~BarButtonItem() = default;
    BarButtonItem(const BarButtonItem&) = delete;
    BarButtonItem& operator=(const BarButtonItem&) = delete;

    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    std::shared_ptr<Image> image() const { return m_image; }
    void setImage(std::shared_ptr<Image> image) { m_image = std::move(image); }
    BarButtonStyle style() const { return m_style; }
    void setStyle(BarButtonStyle style) { m_style = style; }
    std::optional<BarButtonSystemItem> systemItem() const { return m_systemItem; }
    /// The text the item shows: its title, or for a system item without one the item's word
    /// ("Done", "Refresh", "+"); empty for the spaces and for an item without a title.
    std::string shownTitle() const;
    /// Whether the shown title is bold: in the Done style and for the Done system item.
    bool hasBoldTitle() const;
    bool isFlexibleSpace() const { return m_systemItem == BarButtonSystemItem::FlexibleSpace; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    /// 0 means the default width.
    double width() const { return m_width; }
    void setWidth(double width) { m_width = width; }
    std::shared_ptr<View> customView() const { return m_customView; }
    void setCustomView(std::shared_ptr<View> view);
    std::optional<Color> tintColor() const { return m_tintColor; }
    void setTintColor(std::optional<Color> color) { m_tintColor = color; }
    /// The title colour for a state; none means the bar's tint. A disabled item with a colour of
    /// its own for the disabled state is drawn in that colour; otherwise it is drawn dimmed.
    std::optional<Color> titleColor(ControlState state) const;
    void setTitleColor(std::optional<Color> color, ControlState state);
    /// The titles the item may show; a titled item is as wide as the widest of them and its
    /// title. Empty by default.
    const std::set<std::string>& possibleTitles() const { return m_possibleTitles; }
    void setPossibleTitles(std::set<std::string> titles) { m_possibleTitles = std::move(titles); }
    /// The picture behind the item in a state (default bar metrics), drawn over
    /// `backgroundFrame()` (a resizable image keeps its caps); null for none. A state without one of its own
    /// shows the normal state's.
    std::shared_ptr<Image> backgroundImage(ControlState state) const;
    void setBackgroundImage(std::shared_ptr<Image> image, ControlState state);
    /// Where the background picture goes, in the bar's coordinates: the width of the item's
    /// view, `kBackgroundHeight` high (no higher than the view) and centred in it vertically.
    Rect backgroundFrame();

    /// The action runs while `owner` is alive.
    void setTarget(std::weak_ptr<void> owner, Action action);
    /// The action runs for as long as the item lives.
    void setAction(Action action);
    bool hasAction() const { return static_cast<bool>(m_action); }

    /// The view a bar lays out: the custom view, or a view as wide as the item that takes the
    /// touches landing on it; a touch lifted inside it runs `tap()`.
    std::shared_ptr<View> view();
    /// The width the bar gives the item: the explicit width, else the custom view's width, else
    /// for a titled item the title's width (rounded up to whole points) plus `kTitleMargin` on
    /// each side, for a system item that width and at least `kDefaultWidth`, else
    /// `kDefaultWidth`; 0 for a flexible space, which takes what is left. So a bar keeps the
    /// words it shows inside its bounds.
    double layoutWidth() const;
    /// Test driver: runs the action as a tap would, when the item is enabled. Returns whether it ran.
    bool tap();

protected:
    BarButtonItem() = default;

private:
    std::string m_title;
    std::shared_ptr<Image> m_image;
    BarButtonStyle m_style = BarButtonStyle::Plain;
    std::optional<BarButtonSystemItem> m_systemItem;
    bool m_enabled = true;
    double m_width = 0;
    std::shared_ptr<View> m_customView;
    std::shared_ptr<View> m_view;
    std::optional<Color> m_tintColor;
    std::map<ControlState, Color> m_titleColors;
    std::set<std::string> m_possibleTitles;
    std::map<ControlState, std::shared_ptr<Image>> m_backgroundImages;
    bool m_ownedAction = false;
    std::weak_ptr<void> m_owner;
    Action m_action;
};

} // namespace morvix::platform
