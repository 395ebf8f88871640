#pragma once
// "zub.widgets.Button": push, flat, check, radio and toggle buttons.

#include "platform/graphics/EdgeInsets.h"
#include "platform/graphics/Font.h"
#include "platform/ui/controls/Button.h"
#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingButton;

namespace platform {
class Image;
class ImageView;
}

/// The base of the five button kinds; `create` picks the kind from the create properties'
/// "style", testing in this order: "CHECK" (`CheckBox`), "RADIO" (`RadioButton`), "FLAT"
/// (`FlatButton`), "TOGGLE" (`ToggleButton`), else `PushButton`. The kind is fixed for the
/// widget's life; a later "style" changes only the "WRAP" and "BORDER" effects.
///
/// The view is a `DelegatingButton`, whose touch-down and touch-up-inside reach `buttonDown` and
/// `buttonUp`. Two image views that never enter the view tree load "image" and
/// "backgroundImage"; a load that finishes after the widget has gone changes nothing.
///
/// A tap (`buttonUp`) reports in one message, in these steps:
///  1. a kind with a toggle state inverts it;
///  2. "selection" is recorded (always true for push and flat buttons);
///  3. without a "Selection" listener: with a "DefaultSelection" listener "DefaultSelection" is
///     sent at once, else the message is scheduled;
///  4. with a "Selection" listener: "Selection" is sent at once, carrying {"selection"} for the
///     kinds with a toggle state and nothing for the others.
///
/// "enabled" shows at once at alpha 1 or 0.5, not by the widgets' usual fade. Main thread only.
class Button : public RemoteClass<Button, Control> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Button";

    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    static const PropertyTable& properties();
    /// `Control`'s names, then "text", "alignment", "image", "font", "enabled", "selection".
    static const PropertyNames& remoteObjectProperties();
    /// The kinds, the words every kind reads, "DefaultSelection" and "selection"; each kind adds
    /// its "Selection".
    static const WireTable& wire();
    /// "Selection" of the kinds without a toggle state, and of those with one.
    static const EventDeclaration kSelectionEvent;
    static const EventDeclaration kToggledSelectionEvent;

    Button(CreationKey key, std::string id, std::shared_ptr<ClientContext> client, platform::ButtonType type);
    ~Button() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingButton>& button() const { return m_button; }

    const std::string& text() const { return m_text; }
    /// The normal-state title: the text without mnemonic markers and, unless "WRAP" is set, on
    /// one line.
    void setText(std::optional<std::string> text);
    const std::optional<std::string>& alignment() const { return m_alignment; }
    /// "left", "right" or "center" aligns the content and the title; null or empty means the
    /// kind's default; any other word is stored and changes nothing.
    void setAlignment(std::optional<std::string> alignment);
    const std::optional<platform::Value>& image() const { return m_image; }
    /// Loads the image value; the loaded image shows in the normal state and, tinted with the
    /// foreground, in the highlighted state. Null or a failed load clears both.
    virtual void setImage(std::optional<platform::Value> image);
    /// Loads the image value as the background image of the normal, disabled and selected
    /// states; null or a failed load clears them.
    void setBackgroundImage(std::optional<platform::Value> image) override;

    /// "WRAP": any number of lines, wrapped between words; otherwise one line.
    void setStyle(std::optional<platform::Value> style) override;
    /// The title's font is the font, or the kind's default for null.
    void setFont(std::optional<platform::Font> font) override;
    /// The stored font, else the kind's default.
    std::optional<platform::Font> currentFont() const;
    /// The button's enabled state, shown at once at alpha 1 or 0.5.
    void setEnabled(bool enabled) override;
    bool buttonEnabled() const;

    /// Kinds with a toggle state take the value as the button's selected state; others ignore it.
    virtual void setSelection(bool selection);
    /// The button's selected state.
    bool selection() const;
    /// True for kinds without a toggle state, else the selected state: what a tap reports.
    bool selected() const;

    /// What "foreground" and "background" read; each kind answers its own.
    virtual std::optional<platform::Color> foregroundColor() const { return foreground(); }
    virtual std::optional<platform::Color> backgroundColor() const { return background(); }

    virtual platform::Font defaultFont() const = 0;
    virtual bool hasToggleState() const { return false; }
    virtual std::string defaultAlignment() const { return "center"; }

    /// Touch-down: the kinds with insets move their image and title a little.
    virtual void buttonDown();
    /// Touch-up inside: the steps in the class comment.
    virtual void buttonUp();

    /// `image` drawn at its own scale and then filled with `color` where it is not transparent.
    static std::shared_ptr<platform::Image> highlightImage(const std::shared_ptr<platform::Image>& image,
        const platform::Color& color);
    /// The push and toggle buttons' corner radius: 8 at screen scale 1, else 5.
    static double pushCornerRadius();

protected:
    void didConstruct() override;
    /// Sets the content alignment, the edge insets (content insets are 0) and the alignment.
    void applyLayout(platform::ContentHorizontalAlignment horizontal, platform::EdgeInsets image,
        platform::EdgeInsets title);
    /// The title in `color`, darker while highlighted.
    void applyTitleColors(const platform::Color& color);
    /// A centred, clear title label, opaque or not.
    void centreTitle(bool opaque);
    /// Loads `image` into `holder`, giving the loaded image or null (cleared) to `apply` on the
    /// widget, unless the widget has gone.
    void loadImage(const std::shared_ptr<platform::ImageView>& holder, const std::optional<platform::Value>& image,
        void (Button::*apply)(const std::shared_ptr<platform::Image>&));
    /// Sets the loaded image of "image" (null: cleared).
    void showImage(const std::shared_ptr<platform::Image>& image);
    /// Sets the loaded image of "backgroundImage" (null: cleared).
    void showBackgroundImage(const std::shared_ptr<platform::Image>& image);

private:
    std::shared_ptr<DelegatingButton> m_button;
    std::optional<std::string> m_alignment;
    std::optional<platform::Value> m_image;
    std::string m_text;
    std::shared_ptr<platform::ImageView> m_imageHolder;
    std::shared_ptr<platform::ImageView> m_backgroundImageHolder;
};

} // namespace morvix
