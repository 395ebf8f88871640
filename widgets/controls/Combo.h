#pragma once
// "zub.widgets.Combo": a read-only choice among a list of strings, picked on a wheel.

#include "platform/foundation/NotificationCenter.h"
#include "widgets/controls/ComboImageRenderer.h"
#include "widgets/foundation/Control.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class DelegatingButton;
class SheetStringPicker;

/// A rounded, bordered button titled with the selected item, with three dots at its right edge
/// (`ComboImageRenderer`). A tap opens a `SheetStringPicker` over the items; with nothing
/// selected (or an index past the items) the wheel starts on an extra blank first row. Done
/// selects the row under the wheel and reports, in one message: "listVisible" false,
/// "selection" [0, n] (n the item's length in UTF-16 code units, 0 for none) and
/// "selectionIndex"; then "Selection" {"selectionIndex"} when listened, else "DefaultSelection"
/// when listened, else the message is scheduled. Done always reports, also without a spin.
/// Cancel, `close` (on every device-orientation change and on `destroy`) and a tap outside a
/// pad's popover close the picker silently.
///
/// Setting "items" clamps the index to the last item (-1 for none) and re-applies its title;
/// "selectionIndex" past the items leaves the title alone, below 0 blanks it; "text" sets the
/// title without touching the index. "enabled" shows at alpha 1 or 0.5 at once.
///
/// The date field builds the same button with the static helpers below.
///
/// Thread: main thread only; `m_mutex` guards the items and the index, and every effect of a
/// change (titles, the picker's rows) runs after it is released.
class Combo : public RemoteClass<Combo, Control> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Combo";

    static const PropertyTable& properties();
    /// The events of a pick and the properties it reports.
    static const WireTable& wire();
    /// `Control`'s names, then "text", "toolTip", "enabled", "selectionIndex", "items", "font".
    static const PropertyNames& remoteObjectProperties();

    Combo(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Combo() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingButton>& button() const { return m_button; }
    /// The picker opened last; kept after it closes until the next one replaces it.
    const std::shared_ptr<SheetStringPicker>& actionSheetPicker() const { return m_picker; }

    std::vector<std::string> items() const;
    void setItems(std::optional<platform::Value> items);
    long selectionIndex() const;
    void setSelectionIndex(std::optional<platform::Value> index);
    /// The title shown.
    std::string text() const;
    void setText(std::optional<std::string> text);
    const std::optional<std::string>& toolTip() const { return m_toolTip; }
    void setToolTip(std::optional<std::string> toolTip) { m_toolTip = std::move(toolTip); }

    void setEnabled(bool enabled) override;
    bool buttonEnabled() const;
    void setForeground(std::optional<platform::Color> color) override;
    /// White for null; `internalBackground` still reads null then.
    void setBackground(std::optional<platform::Color> color) override;
    /// The background last given by the peer, what "background" reads.
    const std::optional<platform::Color>& internalBackground() const { return m_internalBackground; }
    void setFont(std::optional<platform::Font> font) override;
    /// The stored font, else the combo font.
    platform::Font currentFont() const;

    /// Opens a picker over the items (see the class comment).
    void buttonUp();
    /// Dismisses an open picker without reporting.
    void close();
    void destroy() override;

    // The picker button the combo box and the date field share.
    /// Custom-type look: clips, clear title background, empty title, light grey border with
    /// radius 8 and width 0.6 at screen scale exactly 1 (else 5 and 0.4), content insets 6, 6,
    /// 6, 20, content left-aligned and vertically centred.
    static void initializeButton(DelegatingButton& button);
    /// The title colour (black for null) and the dots' colour (the active colour for null),
    /// then the images again.
    static void applyForeground(DelegatingButton& button, ComboImageRenderer& renderer, const std::optional<platform::Color>& color);
    /// The renderer's three images, resizable with caps 6, 6, 6, 20 (stretched), as the
    /// normal, highlighted and disabled backgrounds.
    static void updateButtonImages(DelegatingButton& button, const ComboImageRenderer& renderer);
    /// The enabled flag, with alpha 1 or 0.5 at once.
    static void applyEnabled(DelegatingButton& button, bool enabled);

protected:
    void didConstruct() override;

private:
    /// The picker's rows: the items, after a blank row when opened with nothing selected.
    platform::Value pickerRows() const;
    void pickerViewDidSelectRow(long row);
    void didSelectRow(long index);
    void sendSelection();
    /// Re-applies the index after the items changed, clamped to the last item.
    void updateSelectionIndex();
    void applySelectionTitle(long index, const std::vector<std::string>& items);

    std::shared_ptr<DelegatingButton> m_button;
    ComboImageRenderer m_imageRenderer;
    mutable std::mutex m_mutex; // guards m_items and m_selectionIndex
    std::vector<std::string> m_items;
    long m_selectionIndex = -1;
    std::optional<std::string> m_toolTip;
    std::optional<platform::Color> m_internalBackground;
    bool m_openedWithEmptySelection = false;
    std::shared_ptr<SheetStringPicker> m_picker;
    platform::ObserverToken m_rotationObserver;
};

} // namespace morvix
