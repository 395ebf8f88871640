#pragma once
// A one-line text input.

#include "platform/graphics/Font.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Control.h"
#include "platform/ui/controls/KeyInput.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

class TextField;

/// Hears of and steers a text field's editing. Every operation is optional (the defaults allow
/// everything). Held weakly by the field. Main thread.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField& field) { (void)field; return true; }
    virtual void textFieldDidBeginEditing(TextField& field) { (void)field; }
    virtual void textFieldDidEndEditing(TextField& field) { (void)field; }
    /// The return key was pressed; the answer is the field's to act on (the headless field does
    /// nothing further).
    virtual bool textFieldShouldReturn(TextField& field) { (void)field; return true; }
    virtual bool textFieldShouldChangeCharacters(TextField& field, TextRange range, const std::string& replacement)
    {
        (void)field, (void)range, (void)replacement;
        return true;
    }
};

/// Borders by the platform's numbers.
enum class TextBorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };
/// When the clear button shows, by the platform's numbers.
enum class TextFieldViewMode { Never = 0, WhileEditing = 1, UnlessEditing = 2, Always = 3 };

/// A one-line text input: a key-input responder that the user focuses with a tap and types into
/// (see `KeyInput` for the text, the selection, the traits and the typing calls, which the
/// keyboard stand-in `KeyboardTyping` sends while the field is the first responder). A tap (a
/// touch lifted inside) on an enabled field makes it the first responder. The text is drawn on
/// one line, vertically centred (a text wider than the field is cut at its edge), the
/// placeholder in grey while the text is empty, secure text as bullets, with the border style's
/// border.
///
/// Order of callbacks:
///  1. Becoming the first responder (a tap or code): the delegate's should-begin (false: nothing
///     happens); the field becomes the first responder; the text is cleared when
///     `clearsOnBeginEditing`; the `EditingDidBegin` actions; the delegate's did-begin.
///  2. Giving it up: the `EditingDidEnd` actions, then the delegate's did-end.
///  3. A typed change: the delegate's should-change with the range and the replacement (false:
///     nothing changes); the text changes and the caret follows the replacement; the
///     `EditingChanged` actions; `kTextDidChangeNotification` with the field as object.
///  4. The return key: the delegate's should-return, nothing more.
/// Text and selection set from code call no delegate, run no action and post nothing.
/// Main thread only.
class TextField : public Control, public KeyInput {
public:
    static constexpr double kDefaultFontSize = 17;
    /// Posted after each typed change; the notification's object is the field
    /// (`std::shared_ptr<TextField>`).
    static constexpr const char* kTextDidChangeNotification = "UITextFieldTextDidChangeNotification";

    static std::shared_ptr<TextField> create(const Rect& frame = {});
    const char* className() const override { return "TextField"; }

    std::shared_ptr<TextFieldDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) { m_delegate = std::move(delegate); }

    const std::string& placeholder() const { return m_placeholder; }
    void setPlaceholder(std::string placeholder);
    const Font& font() const { return m_font; }
    void setFont(Font font);
    const Color& textColor() const { return m_textColor; }
    void setTextColor(Color color);
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment);
    TextBorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(TextBorderStyle style);
    TextFieldViewMode clearButtonMode() const { return m_clearButtonMode; }
    void setClearButtonMode(TextFieldViewMode mode) { m_clearButtonMode = mode; }
    bool clearsOnBeginEditing() const { return m_clearsOnBeginEditing; }
    void setClearsOnBeginEditing(bool clears) { m_clearsOnBeginEditing = clears; }
    bool isEditing() const { return isFirstResponder(); }

    // KeyInput
    void pressReturn() override;
    bool acceptsTyping() const override { return isFirstResponder(); }
    /// In the text as drawn (one line, inside the border's padding, centred down the height).
    Rect caretRect(std::size_t offset) const override;

    bool isKeyInput() const override { return true; }
    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    /// The edit menu's actions (see `KeyInput::canPerformEditAction`).
    bool canPerformAction(const std::string& action, const void* sender) override;

    /// The height of one line of the font; no natural width.
    Size intrinsicContentSize() const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit TextField(const Rect& frame);
    void endedTracking(const Touch& touch, bool inside) override;
    bool shouldChangeText(TextRange range, const std::string& replacement) override;
    void editedText() override;
    void textStateChanged() override { setNeedsDisplay(); }

private:
    void drawBorder(GraphicsContext& context) const;
    /// Where the text is drawn: the bounds, less the padding inside a border.
    Rect textBox() const;
    /// How `shown` is laid out in `box`: on one line.
    TextLayout::Options textOptions(const Rect& box, const std::string& shown) const;

    std::weak_ptr<TextFieldDelegate> m_delegate;
    std::string m_placeholder;
    Font m_font;
    Color m_textColor = Color::black();
    TextAlignment m_alignment = TextAlignment::Left;
    TextBorderStyle m_borderStyle = TextBorderStyle::None;
    TextFieldViewMode m_clearButtonMode = TextFieldViewMode::Never;
    bool m_clearsOnBeginEditing = false;
};

/// The text as the user sees it: `text` itself, or one bullet per character when `secure`.
std::string displayedText(const std::string& text, bool secure);

} // namespace morvix::platform
