#pragma once
// The check box.

#include "widgets/controls/CheckableButton.h"

namespace morvix {

/// A check box: a tap checks or unchecks it. Main thread only.
class CheckBox final : public CheckableButton {
public:
    /// Its base's table with its "Selection".
    static const WireTable& wire();
    const WireTable& wireTable() const override { return wire(); }
    CheckBox(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);

    platform::Font defaultFont() const override;

protected:
    platform::Color defaultForeground() const override;
};

} // namespace morvix
