#pragma once
// What the text field and the text view share: text, selection, input traits and typing.

#include "platform/foundation/Utf16.h"
#include "platform/graphics/Rect.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Forward.h"

#include <memory>
#include <string>
#include <string_view>

namespace morvix::platform {

/// Keyboard layouts by the platform's numbers.
enum class KeyboardType {
    Default = 0,
    ASCIICapable = 1,
    NumbersAndPunctuation = 2,
    URL = 3,
    NumberPad = 4,
    PhonePad = 5,
    NamePhonePad = 6,
    EmailAddress = 7,
    DecimalPad = 8,
};
/// The return key's title, by the platform's numbers.
enum class ReturnKeyType { Default = 0, Go = 1, Google = 2, Join = 3, Next = 4, Route = 5, Search = 6, Send = 7, Yahoo = 8, Done = 9, EmergencyCall = 10 };
enum class AutocapitalizationType { None = 0, Words = 1, Sentences = 2, AllCharacters = 3 };
/// `Default` leaves the choice to the user's settings.
enum class AutocorrectionType { Default = 0, No = 1, Yes = 2 };
enum class KeyboardAppearance { Default = 0, Dark = 1, Light = 2 };

/// The text-editing half of the text field and the text view: the text with its selected range
/// (UTF-16 code units, see `utf16`), the input traits the keyboard reads (stored and readable;
/// the headless keyboard shows none of them), the view shown above the keyboard, and the typing
/// calls the keyboard stand-in (`KeyboardTyping`) sends to the first responder.
///
/// Changes from code (`setText`, `setSelectedRange`) ask and tell no delegate and post nothing.
/// Typing replaces a range through the owner's should-change question and, when allowed, puts
/// the caret after the replacement and tells the owner (`editedText`); typing does nothing while
/// the input does not accept it (not the first responder, or not editable). Main thread only.
class KeyInput {
public:
    virtual ~KeyInput() = default;
    KeyInput(const KeyInput&) = delete;
    KeyInput& operator=(const KeyInput&) = delete;

    const std::string& text() const { return m_text; }
    /// Replaces the text and puts the caret at its end.
    void setText(std::string text);
    /// The selection; a length of 0 is the caret.
    TextRange selectedRange() const { return m_selectedRange; }
    /// Clamped to the text, and moved off the middle of a surrogate pair.
    void setSelectedRange(TextRange range);

    // Traits.
    KeyboardType keyboardType() const { return m_keyboardType; }
    void setKeyboardType(KeyboardType type) { m_keyboardType = type; }
    ReturnKeyType returnKeyType() const { return m_returnKeyType; }
    void setReturnKeyType(ReturnKeyType type) { m_returnKeyType = type; }
    AutocapitalizationType autocapitalizationType() const { return m_autocapitalization; }
    void setAutocapitalizationType(AutocapitalizationType type) { m_autocapitalization = type; }
    AutocorrectionType autocorrectionType() const { return m_autocorrection; }
    void setAutocorrectionType(AutocorrectionType type) { m_autocorrection = type; }
    KeyboardAppearance keyboardAppearance() const { return m_keyboardAppearance; }
    void setKeyboardAppearance(KeyboardAppearance appearance) { m_keyboardAppearance = appearance; }
    bool enablesReturnKeyAutomatically() const { return m_enablesReturnKeyAutomatically; }
    void setEnablesReturnKeyAutomatically(bool enables) { m_enablesReturnKeyAutomatically = enables; }
    bool isSecureTextEntry() const { return m_secure; }
    /// Drawn as bullets; the text itself is kept as typed, and it cannot be copied or cut.
    void setSecureTextEntry(bool secure);
    /// Shown above the keyboard while the input is the first responder; held strongly.
    const std::shared_ptr<View>& inputAccessoryView() const { return m_inputAccessoryView; }
    void setInputAccessoryView(std::shared_ptr<View> view) { m_inputAccessoryView = std::move(view); }

    // Typing, as the keyboard sends it.
    /// Replaces the selection with `text` (one key or one dictated word): one should-change.
    void insertText(const std::string& text);
    /// Replaces the selection with `text` in one step, as a paste does.
    void paste(const std::string& text) { insertText(text); }
    /// Deletes the selection, or the character before the caret (a surrogate pair as one);
    /// nothing at the start of the text.
    void deleteBackward();
    /// The return key: the field asks its delegate, the view types "\n".
    virtual void pressReturn() = 0;
    /// The user moves the selection (clamped and rounded as `setSelectedRange`).
    virtual void selectByUser(TextRange range);
    /// Whether the input accepts typing now.
    virtual bool acceptsTyping() const = 0;

    /// Where the caret before `offset` (UTF-16 units, rounded as `setSelectedRange` rounds) is
    /// drawn, in the input's bounds: 2 points wide and one line high. What an edit menu points at.
    virtual Rect caretRect(std::size_t offset) const = 0;

    /// The edit menu's answer for "cut", "copy", "paste", "select", "selectAll" and "delete";
    /// false for every other action.
    bool canPerformEditAction(std::string_view action) const;

protected:
    KeyInput() = default;
    /// Asks the delegate whether `range` may become `replacement`.
    virtual bool shouldChangeText(TextRange range, const std::string& replacement) = 0;
    /// After a typed change, with the caret already moved: tells the delegate and observers.
    virtual void editedText() = 0;
    /// The text or its look changed: redraw.
    virtual void textStateChanged() = 0;
    /// Replaces `range` from typing (see the class comment); false when refused.
    bool replaceByUser(TextRange range, const std::string& replacement);
    /// The caret before `offset` in the text as drawn with `font` and `options` at `origin`
    /// (secure text as its bullets).
    Rect caretRectInLayout(std::size_t offset, const Font& font, const TextLayout::Options& options, Point origin) const;
    /// Texts longer than this are not given to pango whole to place a caret.
    static constexpr std::size_t kWholeLayoutBytes = 4096;

private:
    /// The caret before byte `index` of `shown`, from one pango layout of it.
    static Rect caretRectInText(const std::string& shown, std::size_t index, const Font& font, const TextLayout::Options& options, Point origin);
    /// The same for a text longer than `kWholeLayoutBytes`, in work that grows with the text.
    static Rect caretRectInLongText(const std::string& shown, std::size_t index, const Font& font, const TextLayout::Options& options, Point origin);

    std::string m_text;
    TextRange m_selectedRange;
    KeyboardType m_keyboardType = KeyboardType::Default;
    ReturnKeyType m_returnKeyType = ReturnKeyType::Default;
    AutocapitalizationType m_autocapitalization = AutocapitalizationType::Sentences;
    AutocorrectionType m_autocorrection = AutocorrectionType::Default;
    KeyboardAppearance m_keyboardAppearance = KeyboardAppearance::Default;
    bool m_enablesReturnKeyAutomatically = false;
    bool m_secure = false;
    std::shared_ptr<View> m_inputAccessoryView;
};

} // namespace morvix::platform
