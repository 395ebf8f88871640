#include "platform/ui/MenuController.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Application.h"
#include "platform/ui/Responder.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace morvix::platform {

namespace {

constexpr double kTitleSize = 14;

} // namespace

MenuController& MenuController::shared()
{
    static MenuController menu;
    return menu;
}

void MenuController::setTargetRect(const Rect& rect, const std::shared_ptr<View>& view)
{
    assertOnMainThread();
    m_targetRect = rect;
    m_targetView = view;
}

std::shared_ptr<Responder> MenuController::firstResponder() const
{
    auto view = m_targetView.lock();
    auto window = view ? view->window() : nullptr;
    return window ? window->firstResponder() : nullptr;
}

std::vector<MenuItem> MenuController::performableItems() const
{
    std::vector<MenuItem> performable;
    auto responder = firstResponder();
    if (!responder)
        return performable;
    // A copy: a responder may change the items while it answers.
    auto items = m_items;
    for (const auto& item : items) {
        if (responder->canPerformAction(item.action, this))
            performable.push_back(item);
    }
    return performable;
}

void MenuController::setMenuVisible(bool visible, Animated animated)
{
    assertOnMainThread();
    (void)animated;
    if (visible) {
        m_entries = performableItems();
        m_visible = !m_entries.empty();
        return;
    }
    if (!m_visible)
        return;
    m_visible = false;
    m_entries.clear();
    NotificationCenter::defaultCenter()->post(kDidHideMenuNotification);
}

void MenuController::update()
{
    assertOnMainThread();
    if (!m_visible)
        return;
    m_entries = performableItems();
    if (m_entries.empty())
        setMenuVisible(false);
}

double MenuController::entryWidth(const std::string& title) const
{
    AttributedString text(title, { .font = Font::system(kTitleSize) });
    return TextLayout(text, { .wrapWidth = std::nullopt, .lineLimit = 1 }).size().width + 2 * kEntryPadding;
}

Rect MenuController::barFrame() const
{
    auto view = m_targetView.lock();
    auto window = view ? view->window() : nullptr;
    if (!m_visible || !window)
        return {};
    double width = 0;
    for (const auto& entry : m_entries)
        width += entryWidth(entry.title);
    Rect target = view->convertRectTo(m_targetRect, window.get());
    Rect screen = window->bounds();
    width = std::min(width, screen.width());
    double x = std::clamp(target.midX() - width / 2, screen.x(), screen.maxX() - width);
    double y = target.y() - kGap - kBarHeight;
    if (y < screen.y())
        y = target.maxY() + kGap;
    return { x, y, width, kBarHeight };
}

std::vector<MenuController::EntryFrame> MenuController::entryFrames() const
{
    std::vector<EntryFrame> frames;
    Rect bar = barFrame();
    double x = bar.x();
    for (const auto& entry : m_entries) {
        double width = std::min(entryWidth(entry.title), bar.maxX() - x);
        frames.push_back({ entry.title, { x, bar.y(), width, bar.height() } });
        x += width;
    }
    return frames;
}

bool MenuController::chooseItem(const std::string& title)
{
    assertOnMainThread();
    if (!m_visible)
        return false;
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const MenuItem& entry) { return entry.title == title; });
    if (found == m_entries.end())
        return false;
    MenuItem chosen = *found;
    auto responder = firstResponder();
    setMenuVisible(false);
    if (responder)
        responder->performAction(chosen.action);
    return true;
}

void MenuController::resetForTesting()
{
    m_items.clear();
    m_entries.clear();
    m_targetRect = {};
    m_targetView.reset();
    m_visible = false;
}

} // namespace morvix::platform
