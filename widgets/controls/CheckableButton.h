#pragma once
// The shared part of check boxes and radio buttons.

#include "widgets/controls/Button.h"
#include "widgets/controls/StateImageRenderer.h"

#include <memory>

namespace morvix {

/// A button with a toggle state whose image is its state: a renderer draws the unchecked image
/// (normal and disabled states) and the checked one (selected, and selected and disabled) in the
/// "background" colour, left of a wrapping title in the foreground colour. The view's own
/// background is left alone, and "image" is ignored. Main thread only.
class CheckableButton : public Button {
public:
    CheckableButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client,
        std::unique_ptr<StateImageRenderer> renderer);

    bool hasToggleState() const override { return true; }
    std::string defaultAlignment() const override { return "left"; }
    void setImage(std::optional<platform::Value> image) override;
    /// Nothing: the title and image stay where they are.
    void buttonDown() override;
    /// Null means the kind's default; the title of the normal and the selected state.
    void setForeground(std::optional<platform::Color> color) override;
    std::optional<platform::Color> foregroundColor() const override;
    /// Null means the active text colour; the images are drawn anew in it.
    void setBackground(std::optional<platform::Color> color) override;
    std::optional<platform::Color> backgroundColor() const override { return m_renderer->color(); }

    StateImageRenderer& renderer() const { return *m_renderer; }

protected:
    void didConstruct() override;
    virtual platform::Color defaultForeground() const = 0;

private:
    void updateButtonImages();

    std::unique_ptr<StateImageRenderer> m_renderer;
};

} // namespace morvix
