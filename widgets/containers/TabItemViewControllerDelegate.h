#pragma once
// What a tab item's page controller tells the item.

namespace morvix {

/// The delegate of a `TabItemViewController`: its tab item. Main thread only.
class TabItemViewControllerDelegate {
public:
    virtual ~TabItemViewControllerDelegate() = default;
    /// The controller is about to lay out its view's subviews.
    virtual void controllerWillLayoutSubviews() = 0;

protected:
    TabItemViewControllerDelegate() = default;
};

} // namespace morvix
