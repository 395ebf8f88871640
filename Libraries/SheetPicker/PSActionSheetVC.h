#pragma once
// The root controller of the sheets' shared window.

#include "platform/ui/ViewController.h"

#include <memory>

namespace morvix {

class PSActionSheet;

/// Hosts the sheet on show in the shared sheet window: a new sheet dismisses a presented one
/// and slides in over the controller's whole view. Main thread only.
class PSActionSheetVC final : public platform::ViewController {
public:
    static std::shared_ptr<PSActionSheetVC> create();
    const char* className() const override { return "PSActionSheetVC"; }

    std::shared_ptr<PSActionSheet> actionSheet() const { return m_actionSheet; }
    /// A different sheet: the current one, when presented, slides out; the new one is kept and
    /// slides in. Null forgets the current sheet without moving it.
    void setActionSheet(std::shared_ptr<PSActionSheet> sheet);
    void viewWillAppear(bool animated) override;
    /// Slides the sheet in, when there is one, the view is loaded and the sheet is not
    /// presented yet.
    void presentActionSheetAnimated(platform::Animated animated);

private:
    PSActionSheetVC() = default;
    std::shared_ptr<PSActionSheet> m_actionSheet;
};

} // namespace morvix
