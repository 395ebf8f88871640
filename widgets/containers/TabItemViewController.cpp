#include "widgets/containers/TabItemViewController.h"

#include "widgets/containers/TabItemViewControllerDelegate.h"

namespace morvix {

std::shared_ptr<TabItemViewController> TabItemViewController::create(std::string title)
{
    std::shared_ptr<TabItemViewController> controller(new TabItemViewController());
    controller->setTitle(std::move(title));
    return controller;
}

void TabItemViewController::viewWillLayoutSubviews()
{
    if (auto delegate = m_delegate.lock())
        delegate->controllerWillLayoutSubviews();
}

} // namespace morvix
