#pragma once
// The flat button: a title (and image) without a background of its own.

#include "widgets/controls/Button.h"

namespace morvix {

/// A system button: no fill, no border, no rounded corners; "background" is its tint colour.
/// Main thread only.
class FlatButton final : public Button {
public:
    /// Its base's table with its "Selection".
    static const WireTable& wire();
    const WireTable& wireTable() const override { return wire(); }
    FlatButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);

    platform::Font defaultFont() const override;
    /// Null means the active colour; the title takes it, darker while highlighted.
    void setForeground(std::optional<platform::Color> color) override;
    /// The tint colour only; null gives the platform's.
    void setBackground(std::optional<platform::Color> color) override;
    std::optional<platform::Color> backgroundColor() const override;

protected:
    void didConstruct() override;
};

} // namespace morvix
