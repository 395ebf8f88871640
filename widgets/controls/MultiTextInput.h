#pragma once
// The multi-line kind of "morvix.TextInput" (type "multiline").

#include "platform/ui/controls/TextView.h"
#include "widgets/controls/TextInput.h"

#include <memory>
#include <optional>

namespace morvix {

class MorvixTextView;

/// The light grey border of the multi-line text inputs: corner radius 8.0 and width 0.6 when
/// the main screen's scale is 1, else radius 5.0 and width 0.4. Main thread only.
void applyBorder(platform::View& view);

/// "morvix.TextInput" of type "multiline": a scrolling `MorvixTextView` with both indicators and
/// the border of `applyBorder`, whose delegate it is. Return types a new line; the Done item
/// above the keyboard sends "accept" (when listened) and ends editing. "message" is stored but
/// not shown. Asked to begin editing, it first hands its view to the `Display` as the active text
/// field, enabled or not. Main thread only.
class MultiTextInput final : public TextInput, public platform::TextViewDelegate {
public:
    MultiTextInput(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~MultiTextInput() override;
    /// Constructs it and binds it to its view (parent, layout delegate, delegate, observer).
    static std::shared_ptr<MultiTextInput> make(const std::string& id, std::shared_ptr<ClientContext> client);

    std::shared_ptr<platform::View> getTextInput() const override;
    const std::shared_ptr<MorvixTextView>& textView() const { return m_textView; }
    /// Stores the flag and sets the view's.
    void setEditable(bool editable) override;

    // platform::TextViewDelegate
    bool textViewShouldBeginEditing(platform::TextView& view) override;
    void textViewDidBeginEditing(platform::TextView&) override { focusedIn(); }
    void textViewDidEndEditing(platform::TextView&) override { focusedOut(); }
    bool textViewShouldChangeText(platform::TextView&, platform::TextRange, const std::string&) override { return editable(); }

private:
    std::shared_ptr<MorvixTextView> m_textView;
};

} // namespace morvix
