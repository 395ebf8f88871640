#pragma once
// What the text widgets ("zub.widgets.Text" and "morvix.TextInput") do alike to their native
// field or view.

#include "platform/foundation/Utf16.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/controls/KeyInput.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

class ClientContext;

namespace platform {
class View;
}

/// Helpers shared by the text widgets for their native text input (a `platform::TextField` or
/// `platform::TextView`). Main thread only.
namespace textediting {

/// The keyboard named by "keyboard": "ascii", "numbersAndPunctuation", "url", "number",
/// "phone", "email", "decimal" (numbers and punctuation on a pad, the decimal pad elsewhere);
/// any other name gives the default keyboard.
platform::KeyboardType keyboardNamed(const std::string& name);

/// The session's default (`MorvixClient::defaultAutoCapitalization`): true gives sentences,
/// false or none (also without a session) no capitalisation.
void applyCapitalizationDefault(platform::KeyInput& input, const ClientContext* client);
/// The session's default (`MorvixClient::defaultAutoCorrection`): true gives the platform's
/// default correction (the user's setting), false or none correction off.
void applyCorrectionDefault(platform::KeyInput& input, const ClientContext* client);

/// Whether `value` is a selection: an array of two numbers.
bool isSelectionValue(const platform::Value& value);
/// Selects `selection` ([start, end] in UTF-16 units) in `input` unless it is selected already.
/// Each end is clamped to 0 .. the text's length and moved to the start of a surrogate pair it
/// falls inside; a start after the end is swapped with it. Nothing for none, null or anything
/// that is not a selection.
void applySelection(platform::KeyInput& input, const std::optional<platform::Value>& selection);
/// Whether the stored selection's start or end differs from `current`'s (always for none or
/// anything that is not a selection).
bool selectionDiffers(const std::optional<platform::Value>& stored, platform::TextRange current);

/// A toolbar sized to fit with a flexible space and a system Done item that calls `done`.
std::shared_ptr<platform::View> doneToolbar(std::weak_ptr<void> owner, std::function<void()> done);

/// The text colour, font and alignment of a field or a text view; nothing for other views.
void setTextColor(platform::View& input, const platform::Color& color);
void setFont(platform::View& input, const platform::Font& font);
void setTextAlignment(platform::View& input, platform::TextAlignment alignment);

} // namespace textediting

} // namespace morvix
