#pragma once
// A scrolling multi-line text input.

#include "platform/graphics/Font.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/controls/KeyInput.h"

#include <memory>
#include <string>

namespace morvix::platform {

class TextView;

/// Hears of and steers a text view's editing. Every operation is optional (the defaults allow
/// everything). Held weakly by the view. Main thread.
class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(TextView& view) { (void)view; return true; }
    virtual void textViewDidBeginEditing(TextView& view) { (void)view; }
    virtual void textViewDidEndEditing(TextView& view) { (void)view; }
    virtual bool textViewShouldChangeText(TextView& view, TextRange range, const std::string& replacement)
    {
        (void)view, (void)range, (void)replacement;
        return true;
    }
    virtual void textViewDidChange(TextView& view) { (void)view; }
    virtual void textViewDidChangeSelection(TextView& view) { (void)view; }
};

/// A multi-line text input on a scroll view: wrapped text the user focuses with a tap and types
/// into while it is editable (see `KeyInput` for the text, the selection, the traits and the
/// typing calls, which the keyboard stand-in `KeyboardTyping` sends while the view is the first
/// responder). A tap (a touch lifted inside without a drag) on an editable view that takes user
/// interaction makes it the first responder.
///
/// Order of callbacks:
///  1. Becoming the first responder (a tap or code): the delegate's should-begin (false: nothing
///     happens); the view becomes the first responder; the delegate's did-begin.
///  2. Giving it up: the delegate's did-end.
///  3. A typed change: the delegate's should-change with the range and the replacement (false:
///     nothing changes); the text changes and the caret follows the replacement; the delegate's
///     did-change; `kTextDidChangeNotification` with the view as object.
///  4. The return key types "\n" as 3 describes.
///  5. A selection the user makes: the selection changes, then the delegate's did-change-
///     selection. A typed change reports no selection change of its own.
/// Text and selection set from code call no delegate and post nothing. Main thread only.
class TextView : public ScrollView, public KeyInput {
public:
    static constexpr double kDefaultFontSize = 12;
    /// Posted after each typed change; the notification's object is the view
    /// (`std::shared_ptr<TextView>`).
    static constexpr const char* kTextDidChangeNotification = "UITextViewTextDidChangeNotification";

    static std::shared_ptr<TextView> create(const Rect& frame = {});
    const char* className() const override { return "TextView"; }

    std::shared_ptr<TextViewDelegate> textDelegate() const { return m_delegate.lock(); }
    void setTextDelegate(std::weak_ptr<TextViewDelegate> delegate) { m_delegate = std::move(delegate); }

    const Font& font() const { return m_font; }
    void setFont(Font font);
    const Color& textColor() const { return m_textColor; }
    void setTextColor(Color color);
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment);
    bool isEditable() const { return m_editable; }
    /// A view that is not editable gives up the first-responder status and takes no typing.
    void setEditable(bool editable);
    bool isEditing() const { return isFirstResponder(); }
    /// The room between the content inset and the text's container: 8 points above and below
    /// by default, none at the sides.
    EdgeInsets textContainerInset() const { return m_textContainerInset; }
    void setTextContainerInset(EdgeInsets inset);
    /// The blank at either end of every line inside the container, 5 points by default.
    double lineFragmentPadding() const { return m_lineFragmentPadding; }
    void setLineFragmentPadding(double padding);

    // KeyInput
    void pressReturn() override { insertText("\n"); }
    void selectByUser(TextRange range) override;
    bool acceptsTyping() const override { return m_editable && isFirstResponder(); }
    /// In the wrapped text as drawn (see `textOrigin`).
    Rect caretRect(std::size_t offset) const override;

    bool isKeyInput() const override { return true; }
    bool canBecomeFirstResponder() const override { return m_editable && isUserInteractionEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    /// The edit menu's actions (see `KeyInput::canPerformEditAction`).
    bool canPerformAction(const std::string& action, const void* sender) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;

    /// The wrapped text from the top of the bounds (see `textOrigin`); only the lines that can
    /// show there are laid out.
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit TextView(const Rect& frame);
    bool shouldChangeText(TextRange range, const std::string& replacement) override;
    void editedText() override;
    void textStateChanged() override { setNeedsDisplay(); }

    /// Where the first line starts, in bounds coordinates: inside the content inset, the text
    /// container inset and the line fragment padding. Lines wrap at the width left inside them.
    Point textOrigin() const;

private:
    TextLayout::Options textOptions() const;

    std::weak_ptr<TextViewDelegate> m_delegate;
    Font m_font;
    Color m_textColor = Color::black();
    TextAlignment m_alignment = TextAlignment::Left;
    bool m_editable = true;
    EdgeInsets m_textContainerInset { 8, 0, 8, 0 };
    double m_lineFragmentPadding = 5;
};

} // namespace morvix::platform
