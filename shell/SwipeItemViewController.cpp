#include "shell/SwipeItemViewController.h"

#include "platform/ui/View.h"
#include "widgets/foundation/BasicWidget.h"

namespace morvix {

std::shared_ptr<SwipeItemViewController> SwipeItemViewController::create(std::shared_ptr<BasicWidget> widget, long long index)
{
    auto controller = std::shared_ptr<SwipeItemViewController>(new SwipeItemViewController(std::move(widget), index));
    auto view = controller->view();
    view->setBackgroundColor(platform::Color::clear());
    if (controller->m_widget) {
        if (auto widgetView = controller->m_widget->view()) {
            widgetView->removeFromSuperview();
            view->addSubview(widgetView);
        }
    }
    return controller;
}

SwipeItemViewController::SwipeItemViewController(std::shared_ptr<BasicWidget> widget, long long index)
    : m_widget(std::move(widget))
    , m_index(index)
{
}

SwipeItemViewController::~SwipeItemViewController() = default;

} // namespace morvix
