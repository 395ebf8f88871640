#pragma once
// The multi-line kind of "zub.widgets.Text" (style "MULTI").

#include "platform/foundation/Timer.h"
#include "platform/ui/controls/TextView.h"
#include "widgets/controls/Text.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

class MorvixTextView;

/// "zub.widgets.Text" with "MULTI": the base's logic on a `MorvixTextView`, whose delegate and
/// layout delegate it is. Styles, applied again on every set after the base's: "H_SCROLL" and
/// "V_SCROLL" (that axis's indicator, always-bounce flag and scrolling on), "BORDER"
/// (`applyBorder`), then "LEFT", "RIGHT", "CENTER" in that order. The return key types a new
/// line; the Done item above the keyboard gives the default selection and ends editing.
///
/// Orders:
///  1. Begin of editing: asked first, it hands the view to the `Display` as the active text
///     field (enabled or not), then answers `enabled` (and, enabled, puts the Done toolbar
///     above the keyboard); once begun, `focusedIn`, then the selection timer starts.
///  2. Selection: 0.1 s after the begin the stored selection is applied to the view once; from
///     then on each selection the user makes is stored through `Text::setSelection` (not applied
///     to the view again) when an end differs. Selections reported before the timer fired, or
///     after editing ended, are ignored. End of editing and `destroy` stop the timer.
///
/// Main thread only.
class MultiText final : public RemoteClass<MultiText, Text>, public platform::TextViewDelegate {
public:
    MultiText(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~MultiText() override;
    /// Constructs it, makes it the view's parent, layout delegate and delegate, then applies the
    /// session's correction and capitalisation defaults.
    static std::shared_ptr<MultiText> make(const std::string& id, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// The style words of the multi-line kind.
    static const WireTable& wire();

    std::shared_ptr<platform::View> view() const override;
    std::shared_ptr<platform::View> getTextInput() const override;
    platform::TextRange currentSelection() const override;
    const std::shared_ptr<MorvixTextView>& textView() const { return m_textView; }

    std::optional<std::string> text() const override;
    void setText(std::optional<std::string> text) override;
    bool editable() const { return m_editable; }
    /// Stores the flag and sets the view's.
    void setEditable(bool editable);
    void setStyle(std::optional<platform::Value> style) override;
    /// The base's, then the selection is applied to the view at once.
    void setSelection(std::optional<platform::Value> selection) override;
    void destroy() override;

    // platform::TextViewDelegate
    bool textViewShouldBeginEditing(platform::TextView& view) override;
    void textViewDidBeginEditing(platform::TextView& view) override;
    void textViewDidEndEditing(platform::TextView& view) override;
    bool textViewShouldChangeText(platform::TextView& view, platform::TextRange range, const std::string& replacement) override;
    void textViewDidChangeSelection(platform::TextView& view) override;

protected:
    void didConstruct() override;

private:
    enum class SelectionTimer { None, Armed, Fired };

    void startSelectionTimer();
    void stopSelectionTimer();

    std::shared_ptr<MorvixTextView> m_textView;
    bool m_editable = true;
    platform::Timer m_timer;
    SelectionTimer m_timerState = SelectionTimer::None;
};

} // namespace morvix
