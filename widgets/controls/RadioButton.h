#pragma once
// The radio button.

#include "widgets/controls/CheckableButton.h"

namespace morvix {

/// A radio button: a tap selects it and unselects its selected siblings; tapping a selected one
/// does nothing at all.
///
/// Siblings are the other radio buttons among the children of the same remote parent, in the
/// parent's order (a check box or a radio button of another parent is none). Each sibling that
/// a selection unselects reports "Selection" {"selection": false} in a message of its own, sent
/// at once whether or not it listens, before the tapped button reports. A "selection" of true
/// set by the peer unselects the siblings the same way, reporting after the set. Main thread
/// only.
class RadioButton final : public CheckableButton {
public:
    /// Its base's table with its "Selection" and the report of an unselected sibling.
    static const WireTable& wire();
    const WireTable& wireTable() const override { return wire(); }
    RadioButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);

    platform::Font defaultFont() const override;
    void setSelection(bool selection) override;
    void buttonUp() override;

protected:
    platform::Color defaultForeground() const override;

private:
    void updateSiblings();
};

} // namespace morvix
