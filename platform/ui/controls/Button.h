#pragma once
// A control that shows a title and an image and sends an action when tapped.

#include "platform/graphics/EdgeInsets.h"
#include "platform/ui/Control.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

class ImageView;
class Label;

/// The look a button starts with. A custom button draws its title in white; a system button in
/// its tint colour, dimmed while highlighted.
enum class ButtonType { Custom = 0, System = 1 };

/// A control with per-state title, title colour, image and background image. A value set for
/// the normal state stands in for every state that has none of its own; the state looked up is
/// the control's current one (highlighted, selected and disabled bits as set).
///
/// The title is a `Label` subview and the image an `ImageView` subview (put in on the first
/// change or layout, so that subclasses need no set-up of their own), placed side by side
/// (image first) by the control's content alignments: centred, at either edge, or stretched
/// (`Fill`: the title takes the width beside the image, and both the whole height). Each part
/// is placed in its own room, the content rectangle (the bounds less `contentEdgeInsets`) less
/// its own insets, with the other part's width beside it: so insets move a part, and cut it only
/// where its room is too small. An image larger than its room is shrunk into it (aspect kept); a
/// title wider than the room beside the image is narrowed to it, wrapping when its label allows
/// more than one line. The natural size is the image's and title's sizes side by side plus the
/// content insets; the title and image insets do not count, as on the platform. Main thread only.
class Button : public Control {
public:
    static constexpr double kDefaultFontSize = 15;

    static std::shared_ptr<Button> create(ButtonType type = ButtonType::Custom, const Rect& frame = {});
    const char* className() const override { return "Button"; }

    ButtonType buttonType() const { return m_type; }

    /// Null (nothing) clears the value of that state.
    void setTitle(std::optional<std::string> title, ControlState state = ControlState::Normal);
    std::optional<std::string> titleForState(ControlState state) const;
    void setTitleColor(std::optional<Color> color, ControlState state = ControlState::Normal);
    Color titleColorForState(ControlState state) const;
    void setImage(std::shared_ptr<Image> image, ControlState state = ControlState::Normal);
    std::shared_ptr<Image> imageForState(ControlState state) const;
    void setBackgroundImage(std::shared_ptr<Image> image, ControlState state = ControlState::Normal);
    std::shared_ptr<Image> backgroundImageForState(ControlState state) const;

    /// The values of the current state.
    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    std::shared_ptr<Image> currentImage() const { return imageForState(state()); }

    /// The title's label: set its font here. Always present; hidden without a title.
    const std::shared_ptr<Label>& titleLabel() const { return m_titleLabel; }
    /// The image's view. Always present; hidden without an image.
    const std::shared_ptr<ImageView>& imageView() const { return m_imageView; }

    EdgeInsets contentEdgeInsets() const { return m_contentInsets; }
    void setContentEdgeInsets(EdgeInsets insets);
    EdgeInsets titleEdgeInsets() const { return m_titleInsets; }
    void setTitleEdgeInsets(EdgeInsets insets);
    EdgeInsets imageEdgeInsets() const { return m_imageInsets; }
    void setImageEdgeInsets(EdgeInsets insets);

    void setEnabled(bool enabled) override;
    void setHighlighted(bool highlighted) override;
    void setSelected(bool selected) override;

    Size intrinsicContentSize() const override;
    Size sizeThatFits(Size size) const override;
    void layoutSubviews() override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    Button(ButtonType type, const Rect& frame);

private:
    template<typename Value>
    static const Value* lookup(const std::map<ControlState, Value>& values, ControlState state);
    template<typename Value>
    static std::shared_ptr<Value> lookupPointer(const std::map<ControlState, std::shared_ptr<Value>>& values, ControlState state);
    /// Stores the value for the state, or forgets the state's value when the value is empty.
    template<typename Value>
    static void assign(std::map<ControlState, Value>& values, ControlState state, std::optional<Value> given);
    static void assign(std::map<ControlState, std::shared_ptr<Image>>& values, ControlState state, std::shared_ptr<Image> given);
    Size titleSize() const;
    Size imageSize() const;
    void contentChanged();
    void refreshParts();
    /// Puts the title label and image view in as subviews, once the button is shared.
    void installParts();

    ButtonType m_type;
    std::map<ControlState, std::string> m_titles;
    std::map<ControlState, Color> m_titleColors;
    std::map<ControlState, std::shared_ptr<Image>> m_images;
    std::map<ControlState, std::shared_ptr<Image>> m_backgroundImages;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<ImageView> m_imageView;
    EdgeInsets m_contentInsets;
    EdgeInsets m_titleInsets;
    EdgeInsets m_imageInsets;
    bool m_partsInstalled = false;
};

} // namespace morvix::platform
