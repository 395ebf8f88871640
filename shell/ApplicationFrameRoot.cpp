#include "shell/ApplicationFrameRoot.h"

#include "shell/DisplayRootViewController.h"
#include "shell/PageViewController.h"

namespace morvix {

std::shared_ptr<ApplicationFrameRoot> ApplicationFrameRoot::create(std::weak_ptr<ApplicationFrameClient> client)
{
    std::shared_ptr<ApplicationFrameRoot> frame(new ApplicationFrameRoot);
    frame->m_placeholder = PageViewController::create();
    frame->m_root = DisplayRootViewController::create(std::move(client), frame->m_placeholder);
    return frame;
}

void ApplicationFrameRoot::install()
{
    ApplicationFrameController::setFactory([](std::weak_ptr<ApplicationFrameClient> client) -> std::shared_ptr<ApplicationFrameController> {
        return create(std::move(client));
    });
}

std::shared_ptr<platform::ViewController> ApplicationFrameRoot::rootController() const
{
    return m_root;
}

std::shared_ptr<platform::View> ApplicationFrameRoot::topView() const
{
    auto top = m_root->topViewController();
    return top ? top->view() : nullptr;
}

void ApplicationFrameRoot::setMorvixUIActive(bool active)
{
    m_root->setMorvixUIActive(active);
}

void ApplicationFrameRoot::reset()
{
    m_root->reset();
}

std::shared_ptr<platform::View> ApplicationFrameRoot::activeTextField() const
{
    return m_root->activeTextField();
}

void ApplicationFrameRoot::setActiveTextField(std::shared_ptr<platform::View> field)
{
    m_root->setActiveTextField(std::move(field));
}

void ApplicationFrameRoot::dismissFocus()
{
    m_root->dismissFocus();
}

} // namespace morvix
