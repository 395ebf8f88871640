#include "shell/DisplayRootViewController.h"

#include "core/session/ApplicationFrameClient.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "shell/FrameAction.h"
#include "widgets/foundation/Display.h"

#include <algorithm>

namespace morvix {

using platform::Animated;
using platform::Keyboard;
using platform::Rect;
using platform::ViewController;

namespace {

double numberIn(const platform::Value& info, const char* key, double fallback)
{
    if (!info.is_object() || !info.contains(key))
        return fallback;
    return platform::numberValue(info[key]).value_or(fallback);
}

std::optional<Rect> rectIn(const platform::Value& info, const char* key)
{
    if (!info.is_object() || !info.contains(key) || !info[key].is_array() || info[key].size() != 4)
        return std::nullopt;
    double parts[4];
    for (std::size_t index = 0; index < 4; ++index) {
        auto number = platform::numberValue(info[key][index]);
        if (!number)
            return std::nullopt;
        parts[index] = *number;
    }
    return Rect(parts[0], parts[1], parts[2], parts[3]);
}

} // namespace

std::shared_ptr<DisplayRootViewController> DisplayRootViewController::create(std::weak_ptr<ApplicationFrameClient> client,
    const std::shared_ptr<ViewController>& root)
{
    std::shared_ptr<DisplayRootViewController> controller(new DisplayRootViewController);
    controller->setUp(root);
    controller->m_client = std::move(client);
    controller->setDefinesPresentationContext(false);
    controller->setHidesBottomBarWhenPushed(false);
    controller->setModalPresentationStyle(platform::ModalPresentationStyle::FullScreen);
    controller->setModalTransitionStyle(platform::ModalTransitionStyle::CoverVertical);
    controller->setNavigationBarHidden(true);
    controller->setToolbarHidden(true);
    controller->setEdgesForExtendedLayout(0);
    controller->setAutomaticallyAdjustsScrollViewInsets(false);
    controller->setNeedsStatusBarAppearanceUpdate();
    return controller;
}

void DisplayRootViewController::setActions(ActionList actions)
{
    if (actions != m_items)
        m_items = std::move(actions);
}

// ---- Platform hooks ----

void DisplayRootViewController::viewDidLoad()
{
    SequentialNavigationController::viewDidLoad();
    setEdgesForExtendedLayout(0);
    navigationBar()->setTranslucent(false);
    toolbar()->setTranslucent(false);
}

void DisplayRootViewController::viewDidAppear(bool animated)
{
    SequentialNavigationController::viewDidAppear(animated);
    becomeFirstResponder();
}

bool DisplayRootViewController::prefersStatusBarHidden() const
{
    auto client = this->client();
    return client && client->statusBarHidden();
}

void DisplayRootViewController::didReceiveMemoryWarning()
{
    SequentialNavigationController::didReceiveMemoryWarning();
    platform::NotificationCenter::defaultCenter()->post(kMemoryWarningNotification);
}

void DisplayRootViewController::didRotateFromInterfaceOrientation(int orientation)
{
    SequentialNavigationController::didRotateFromInterfaceOrientation(orientation);
    platform::NotificationCenter::defaultCenter()->post(kOrientationNotification);
}

void DisplayRootViewController::willShowViewController(platform::NavigationController& navigation, ViewController& controller, bool animated)
{
    m_fullscreen = false;
    SequentialNavigationController::willShowViewController(navigation, controller, animated);
}

void DisplayRootViewController::didShowViewController(platform::NavigationController& navigation, ViewController& controller, bool animated)
{
    SequentialNavigationController::didShowViewController(navigation, controller, animated);
    enqueue([this] { update(); });
}

void DisplayRootViewController::reset()
{
    m_items.clear();
    m_fullscreen = false;
    m_activeTextField.reset();
    view()->endEditing(true);
    m_morvixUIActive = false;
    if (viewControllers().size() >= 2)
        popToRootViewController(Animated::No);
    setNavigationBarHidden(true);
    setToolbarHidden(true);
    view()->layoutIfNeeded();
}

void DisplayRootViewController::toggleTopLevelMenu()
{
    if (auto client = this->client())
        client->toggleTopLevelMenu();
}

// ---- The stack ----

std::shared_ptr<ViewController> DisplayRootViewController::backViewController() const
{
    const auto& stack = viewControllers();
    return stack.size() < 2 ? nullptr : stack[stack.size() - 2];
}

bool DisplayRootViewController::isBackViewControllerSameAsRoot() const
{
    auto back = backViewController();
    return !back || back == viewControllers().front();
}

bool DisplayRootViewController::isViewControllerOnTop(const ViewController& controller) const
{
    return topViewController().get() == &controller;
}

bool DisplayRootViewController::hasCustomDrawer() const
{
    auto client = this->client();
    return client && client->hasDrawer();
}

// ---- Bars ----

void DisplayRootViewController::update()
{
    updateNavigationBar();
    auto stack = viewControllers();
    for (const auto& controller : stack) {
        updateToolbar(*controller);
        updateBackButton(*controller);
        updateDrawerAction(*controller);
    }
    navigationBar()->setNeedsLayout();
    enqueue([this] {
        updateToolbarVisibility();
        notifyDisplayChanged();
    });
}

void DisplayRootViewController::updateNavigationBar()
{
    if (!m_morvixUIActive) {
        setNavigationBarHidden(true, Animated::No);
        return;
    }
    enqueue([this] { setNavigationBarHidden(m_fullscreen, Animated::Yes); });
}

void DisplayRootViewController::updateToolbar(ViewController& controller)
{
    if (!m_morvixUIActive) {
        setToolbarHidden(true, Animated::No);
        return;
    }
    std::vector<std::shared_ptr<platform::BarButtonItem>> navigationItems;
    ActionList toolbarActions;
    for (const auto& action : m_items) {
        auto item = action ? action->barButtonItem() : nullptr;
        if (!item)
            continue;
        if (action->placementPriority() == ActionPlacementPriority::High)
            navigationItems.push_back(item);
        else
            toolbarActions.push_back(action);
    }
    controller.navigationItem()->setRightBarButtonItems(std::move(navigationItems));
    controller.setToolbarItems(toItemsWithSeparator(toolbarActions), Animated::No);
}

std::vector<std::shared_ptr<platform::BarButtonItem>> DisplayRootViewController::toItemsWithSeparator(const ActionList& actions) const
{
    std::vector<std::shared_ptr<platform::BarButtonItem>> items;
    bool separated = false;
    for (auto action = actions.rbegin(); action != actions.rend(); ++action) {
        if (!separated && (*action)->placementPriority() == ActionPlacementPriority::Low) {
            items.insert(items.begin(), platform::BarButtonItem::createSystem(platform::BarButtonSystemItem::FlexibleSpace));
            separated = true;
        }
        items.insert(items.begin(), (*action)->barButtonItem());
    }
    return items;
}

void DisplayRootViewController::updateToolbarVisibility()
{
    bool shown = std::any_of(m_items.begin(), m_items.end(), [](const auto& action) {
        return action && action->isVisible() && action->placementPriority() != ActionPlacementPriority::High;
    });
    setToolbarHidden(!shown, Animated::Yes);
}

void DisplayRootViewController::updateBackButton(ViewController& controller)
{
    if (isViewControllerOnTop(controller))
        controller.navigationItem()->setHidesBackButton(isBackViewControllerSameAsRoot());
}

void DisplayRootViewController::updateDrawerAction(ViewController& controller)
{
    auto client = this->client();
    bool show = false;
    if (client && client->supportsCustomDrawer())
        show = client->hasDrawer() && isBackViewControllerSameAsRoot();
    else
        show = isBackViewControllerSameAsRoot() && client && client->topLevelMenuHasChoices();
    if (show)
        showTopLevelMenuButton(controller);
    else
        hideTopLevelMenuButton(controller);
}

void DisplayRootViewController::showTopLevelMenuButton(ViewController& controller)
{
    auto button = platform::BarButtonItem::createWithImage(m_imageRenderer.image(), platform::BarButtonStyle::Bordered);
    std::weak_ptr<DisplayRootViewController> weak = std::static_pointer_cast<DisplayRootViewController>(shared_from_this());
    button->setTarget(weak, [weak](platform::BarButtonItem&) {
        if (auto self = weak.lock())
            self->toggleTopLevelMenu();
    });
    auto item = controller.navigationItem();
    item->setLeftBarButtonItem(button);
    item->setLeftItemsSupplementBackButton(true);
    if (auto client = this->client())
        client->enableDrawerGesture(true);
}

void DisplayRootViewController::hideTopLevelMenuButton(ViewController& controller)
{
    auto item = controller.navigationItem();
    item->setLeftItemsSupplementBackButton(true);
    item->setLeftBarButtonItem(nullptr);
    item->setLeftItemsSupplementBackButton(false);
    if (auto client = this->client())
        client->enableDrawerGesture(false);
}

void DisplayRootViewController::notifyDisplayChanged()
{
    platform::MainLoop::main().post([] { platform::NotificationCenter::defaultCenter()->post(kOrientationNotification); });
}

// ---- Keyboard ----

void DisplayRootViewController::keyboardWillBeShown(const platform::Notification& notification, platform::ScrollView& scrollView)
{
    resetScrollView(scrollView);
    Rect area = setupVisibleScrollArea(notification, scrollView);
    reveal(scrollView, area, numberIn(notification.userInfo, Keyboard::kAnimationDurationKey, 0));
}

Rect DisplayRootViewController::setupVisibleScrollArea(const platform::Notification& notification, platform::ScrollView& scrollView)
{
    double keyboardHeight = 0;
    if (auto end = rectIn(notification.userInfo, Keyboard::kFrameEndKey)) {
        auto window = platform::Application::shared().keyWindow();
        keyboardHeight = scrollView.convertRectFrom(*end, window.get()).height();
    }
    auto insets = scrollView.contentInset();
    insets.bottom = keyboardHeight;
    scrollView.setContentInset(insets);
    Rect area = scrollView.bounds();
    return Rect(area.x(), area.y(), area.width(), area.height() - keyboardHeight);
}

void DisplayRootViewController::reveal(platform::ScrollView& scrollView, const Rect& area, double duration)
{
    // Only a field inside this scroll view is scrolled to: the drawer's fields are not the page's.
    auto field = m_activeTextField;
    if (!field || !field->superview() || !field->isDescendantOf(scrollView))
        return;
    Rect frame = scrollView.convertRectFrom(field->frame(), field->superview().get());
    platform::Point topLeft { frame.minX(), frame.minY() };
    platform::Point bottomLeft { frame.minX(), frame.maxY() };
    if (area.contains(topLeft) && area.contains(bottomLeft))
        return;
    double offset = frame.height() > area.height() ? frame.minY() : frame.maxY() - area.height();
    offset = std::max(0.0, offset);
    platform::Animator::shared().animate(duration, [&scrollView, offset] { scrollView.setContentOffset({ 0, offset }); });
}

void DisplayRootViewController::keyboardWillBeHidden(const platform::Notification& notification, platform::ScrollView& scrollView)
{
    auto& animator = platform::Animator::shared();
    animator.begin("hideKeyboard");
    animator.setDuration(numberIn(notification.userInfo, Keyboard::kAnimationDurationKey, 0));
    auto curve = numberIn(notification.userInfo, Keyboard::kAnimationCurveKey, 0);
    animator.setCurve(static_cast<platform::AnimationCurve>(std::clamp(static_cast<int>(curve), 0, 3)));
    resetScrollView(scrollView);
    dismissFocus();
    animator.commit();
}

void DisplayRootViewController::resetScrollView(platform::ScrollView& scrollView)
{
    auto insets = scrollView.contentInset();
    insets.bottom = 0;
    scrollView.setContentInset(insets);
    scrollView.setContentOffset({ 0, 0 }, Animated::Yes);
}

void DisplayRootViewController::dismissFocus()
{
    // Forgotten before it resigns: resigning hides the keyboard, which comes back here.
    if (auto field = std::exchange(m_activeTextField, nullptr)) {
        field->resignFirstResponder();
        if (auto client = this->client()) {
            if (auto display = std::dynamic_pointer_cast<Display>(client->rootObject()))
                display->setFocusControl(std::nullopt);
        }
    }
    view()->endEditing(true);
}

} // namespace morvix
