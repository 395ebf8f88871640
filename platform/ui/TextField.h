#pragma once
// A one-line text input.

#include "platform/graphics/Font.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Control.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

/// A one-line text input: a key-input responder that the user focuses with a tap and types into.
/// The headless platform has no keyboard; a test or the embedding application types with
/// `insertText` and `deleteBackward`, which edit at the end of the text while the field is the
/// first responder and send `EditingChanged`. Becoming the first responder sends
/// `EditingDidBegin`, giving it up `EditingDidEnd`; a tap (a touch lifted inside) on an enabled
/// field makes it the first responder. Text set from code sends nothing. The text is drawn
/// vertically centred, the placeholder in grey while the text is empty. Main thread only.
class TextField : public Control {
public:
    static constexpr double kDefaultFontSize = 17;

    static std::shared_ptr<TextField> create(const Rect& frame = {});
    const char* className() const override { return "TextField"; }

    const std::string& text() const { return m_text; }
    void setText(std::string text);
    const std::string& placeholder() const { return m_placeholder; }
    void setPlaceholder(std::string placeholder);
    const Font& font() const { return m_font; }
    void setFont(Font font);
    const Color& textColor() const { return m_textColor; }
    void setTextColor(Color color);
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment);
    bool isSecureTextEntry() const { return m_secure; }
    /// Drawn as bullets; the text itself is kept as typed.
    void setSecureTextEntry(bool secure);
    bool isEditing() const { return isFirstResponder(); }

    /// Appends `text` as typed; no-op unless the field is the first responder.
    void insertText(const std::string& text);
    /// Deletes the last character (a whole UTF-8 sequence); no-op unless the field is the first
    /// responder or when the text is empty.
    void deleteBackward();

    bool isKeyInput() const override { return true; }
    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    /// The height of one line of the font; no natural width.
    Size intrinsicContentSize() const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit TextField(const Rect& frame);
    void endedTracking(const Touch& touch, bool inside) override;

private:
    std::string m_text;
    std::string m_placeholder;
    Font m_font;
    Color m_textColor = Color::black();
    TextAlignment m_alignment = TextAlignment::Left;
    bool m_secure = false;
};

} // namespace morvix::platform
