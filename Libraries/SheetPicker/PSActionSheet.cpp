#include "Libraries/SheetPicker/PSActionSheet.h"

#include "Libraries/SheetPicker/PSActionSheetVC.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace morvix {

using namespace platform;

namespace {

std::shared_ptr<Window> s_window; // the sheets' shared window, main thread only

} // namespace

std::shared_ptr<PSActionSheet> PSActionSheet::create(std::shared_ptr<View> view)
{
    auto sheet = std::shared_ptr<PSActionSheet>(new PSActionSheet(std::move(view)));
    sheet->addSubview(sheet->m_bgView);
    if (sheet->m_view)
        sheet->addSubview(sheet->m_view);
    return sheet;
}

PSActionSheet::PSActionSheet(std::shared_ptr<View> view)
    : View(Rect())
    , m_view(std::move(view))
    , m_bgView(View::create())
{
    setBackgroundColor(Color::fromRGBA(0, 0, 0, 0));
    m_bgView->setBackgroundColor(Color::white());
}

void PSActionSheet::configureFrameForBounds(const Rect& bounds)
{
    double height = m_view ? m_view->frame().height() : 0;
    setFrame({ bounds.x(), bounds.y(), bounds.width(), bounds.height() + height });
    if (!m_view)
        return;
    m_view->setFrame({ m_view->bounds().x(), bounds.height(), m_view->frame().width(), height });
    m_view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleTopMargin);
    m_bgView->setFrame(m_view->frame());
    m_bgView->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
}

void PSActionSheet::showInContainerView()
{
    auto shared = window();
    if (!shared->isKeyWindow())
        shared->makeKeyAndVisible();
    shared->setHidden(false);
    actionSheetContainer()->setActionSheet(std::static_pointer_cast<PSActionSheet>(self()));
}

void PSActionSheet::showFromBarButtonItem(const std::shared_ptr<BarButtonItem>&, Animated)
{
    showInContainerView();
}

void PSActionSheet::showInContainerViewAnimated(Animated animated)
{
    double height = m_view ? m_view->frame().height() : 0;
    auto slide = [this, height] {
        setCenter({ center().x, center().y - height });
        setBackgroundColor(Color::fromRGBA(0, 0, 0, static_cast<float>(kDimmedAlpha)));
    };
    if (animated == Animated::Yes)
        Animator::shared().animate(kSlideDuration, 0, AnimationOption::CurveEaseIn, slide);
    else
        slide();
    m_presented = true;
}

void PSActionSheet::dismissWithClickedButtonIndex(int, Animated animated)
{
    auto keep = std::static_pointer_cast<PSActionSheet>(self());
    const auto& windows = Application::shared().windows();
    std::shared_ptr<Window> firstWindow = windows.empty() ? nullptr : windows.front();
    double height = m_view ? m_view->frame().height() : 0;
    double x = m_view ? m_view->center().x : center().x;
    auto slide = [this, height, x] {
        setCenter({ x, center().y + height });
        setBackgroundColor(Color::fromRGBA(0, 0, 0, 0));
    };
    m_presented = false;
    if (animated == Animated::No) {
        slide();
        finishDismissal(firstWindow);
        return;
    }
    std::weak_ptr<PSActionSheet> weak = keep;
    Animator::shared().animate(kSlideDuration, 0, AnimationOption::CurveEaseIn, slide, [weak, firstWindow](bool) {
        if (auto sheet = weak.lock())
            sheet->finishDismissal(firstWindow);
    });
}

void PSActionSheet::finishDismissal(const std::shared_ptr<Window>& firstWindow)
{
    auto keep = std::static_pointer_cast<PSActionSheet>(self());
    if (firstWindow && !firstWindow->isKeyWindow())
        firstWindow->makeKeyAndVisible();
    // A sheet shown while this one slid out owns the window now: leave it on screen.
    auto current = s_window ? actionSheetContainer()->actionSheet() : nullptr;
    if (!current || current == keep)
        destroyWindow();
    removeFromSuperview();
}

std::shared_ptr<Window> PSActionSheet::window()
{
    if (s_window)
        return s_window;
    s_window = Window::create(Screen::main().bounds());
    s_window->setLevel(Window::kLevelAlert);
    s_window->setBackgroundColor(std::nullopt);
    s_window->setRootViewController(PSActionSheetVC::create());
    return s_window;
}

std::shared_ptr<PSActionSheetVC> PSActionSheet::actionSheetContainer()
{
    return std::static_pointer_cast<PSActionSheetVC>(window()->rootViewController());
}

void PSActionSheet::destroyWindow()
{
    if (!s_window)
        return;
    auto window = std::move(s_window);
    if (auto container = std::dynamic_pointer_cast<PSActionSheetVC>(window->rootViewController()))
        container->setActionSheet(nullptr);
    window->setHidden(true);
    if (window->isKeyWindow()) {
        if (auto responder = window->firstResponder())
            responder->resignFirstResponder();
    }
    Application::shared().removeWindow(*window);
}

bool PSActionSheet::hasWindow()
{
    return s_window != nullptr;
}

} // namespace morvix
