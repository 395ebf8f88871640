#pragma once
// One entry of a pop-up menu.

#include "core/objects/RemoteClass.h"
#include "platform/graphics/Rect.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// "zub.widgets.MenuItem": a child of a "zub.widgets.Menu". Items whose style holds "PUSH" or
/// "CASCADE" and that are enabled and visible are the menu's entries, in "index" order. Picked,
/// an item sends "Selection" while listened; a cascade then opens the menu its "menu" names at
/// the same place. A change of "index", "text", "enabled" or "visible" tells a parent menu, which
/// refreshes itself while it is open. Main thread only.
class MenuItem : public RemoteClass<MenuItem, BasicObject> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.MenuItem";

    using RemoteClass::RemoteClass;
    ~MenuItem() override;

    static const PropertyTable& properties();
    /// "PUSH", "CASCADE" and "Selection".
    static const WireTable& wire();
    /// "index", "text", "menu", "style", "enabled" and "visible".
    static const PropertyNames& remoteObjectProperties();

    const platform::Value& index() const { return m_index; }
    void setIndex(std::optional<platform::Value> index);
    const std::string& text() const { return m_text; }
    void setText(std::optional<std::string> text);
    const std::string& menu() const { return m_menu; }
    void setMenu(std::optional<std::string> menu) { m_menu = menu.value_or(""); }
    const std::optional<platform::Value>& style() const { return m_style; }
    void setStyle(std::optional<platform::Value> style) { m_style = std::move(style); }
    bool hasStyle(const StyleDeclaration& word) const;
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    bool selectionListener() const { return m_selectionListener; }

    /// Whether the item is one of its menu's entries now.
    bool isMenuEntry() const;
    /// The user picked the item in a menu anchored at `anchor`.
    void itemSelected(const platform::Rect& anchor);

private:
    void changed();

    platform::Value m_index = 0;
    std::string m_text;
    std::string m_menu;
    std::optional<platform::Value> m_style;
    bool m_enabled = true;
    bool m_visible = true;
    bool m_selectionListener = false;
};

} // namespace morvix
