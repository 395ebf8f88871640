#pragma once
// The page controller of one tab item.

#include "platform/ui/ViewController.h"

#include <memory>

namespace morvix {

class TabItemViewControllerDelegate;

/// The page a tab folder shows for one of its items. Before each layout of its subviews it asks
/// its delegate (the item, held weakly) to pin the page's widget; touches go on as the base
/// controller handles them. Main thread only.
class TabItemViewController final : public platform::ViewController {
public:
    static std::shared_ptr<TabItemViewController> create(std::string title);
    const char* className() const override { return "TabItemViewController"; }

    std::shared_ptr<TabItemViewControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<TabItemViewControllerDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Calls the delegate's `controllerWillLayoutSubviews`.
    void viewWillLayoutSubviews() override;

private:
    TabItemViewController() = default;
    std::weak_ptr<TabItemViewControllerDelegate> m_delegate;
};

} // namespace morvix
