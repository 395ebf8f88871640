#include "platform/ui/PopoverController.h"

#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace morvix::platform {

namespace {

// The room left between the box and what it points at (the arrow's length).
constexpr double kArrowLength = 13;

} // namespace

std::shared_ptr<PopoverController> PopoverController::create(std::shared_ptr<ViewController> content)
{
    return std::shared_ptr<PopoverController>(new PopoverController(std::move(content)));
}

PopoverController::~PopoverController()
{
    if (m_window)
        Application::shared().removeWindow(*m_window);
}

Size PopoverController::popoverContentSize() const
{
    Size preferred = m_content ? m_content->preferredContentSize() : Size();
    return preferred.width > 0 && preferred.height > 0 ? preferred : kDefaultContentSize;
}

Rect PopoverController::frameFor(const Rect& anchor) const
{
    Size size = popoverContentSize();
    Rect screen = Screen::main().bounds();
    // Below the anchor when it fits, else above it, centred on it and kept on the screen.
    double below = anchor.y() + anchor.height() + kArrowLength;
    double y = below + size.height <= screen.height() ? below : anchor.y() - kArrowLength - size.height;
    double x = anchor.x() + anchor.width() / 2 - size.width / 2;
    x = std::clamp(x, 0.0, std::max(0.0, screen.width() - size.width));
    y = std::clamp(y, 0.0, std::max(0.0, screen.height() - size.height));
    return { x, y, size.width, size.height };
}

bool PopoverController::presentFromRect(const Rect& rect, const std::shared_ptr<View>& view, unsigned, Animated)
{
    auto host = view ? view->window() : nullptr;
    if (!host || !m_content)
        return false;
    auto keep = shared_from_this();
    Rect inWindow = view->convertRectTo(rect, nullptr);
    m_anchor = inWindow.offsetBy(host->frame().x(), host->frame().y());
    Rect frame = frameFor(m_anchor);
    if (!m_window) {
        m_window = Window::create(frame);
        m_window->setBackgroundColor(Color::white());
        m_window->layer().setCornerRadius(8);
        m_window->setClipsToBounds(true);
    }
    m_window->setFrame(frame);
    m_window->setLevel(host->level());
    m_window->setRootViewController(m_content);
    m_window->makeVisible();
    Application::shared().addPopover(keep);
    return true;
}

bool PopoverController::presentFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, unsigned arrowDirections, Animated animated)
{
    if (!item)
        return false;
    auto view = item->view();
    return presentFromRect(view->bounds(), view, arrowDirections, animated);
}

void PopoverController::dismiss(Animated)
{
    if (!m_window)
        return;
    auto keep = shared_from_this();
    auto window = std::move(m_window);
    window->setHidden(true);
    window->setRootViewController(nullptr);
    Application::shared().removeWindow(*window);
    m_anchor = {};
    Application::shared().removePopover(*this);
}

void PopoverController::tapOutside()
{
    if (!m_window)
        return;
    auto keep = shared_from_this();
    dismiss(Animated::Yes);
    if (auto delegate = m_delegate.lock())
        delegate->popoverControllerDidDismissPopover(*this);
}

} // namespace morvix::platform
