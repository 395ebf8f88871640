#include "platform/ui/BarButtonItem.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

namespace {

// The view of an item without a custom view: it takes the touches that land on it, and a
// touch lifted inside it taps the item, as a person's finger would.
class BarButtonItemView final : public View {
public:
    static std::shared_ptr<BarButtonItemView> create(const Rect& frame, std::weak_ptr<BarButtonItem> item)
    {
        std::shared_ptr<BarButtonItemView> view(new BarButtonItemView(frame));
        view->m_item = std::move(item);
        return view;
    }
    const char* className() const override { return "BarButtonItemView"; }
    void touchesBegan(const TouchSet&, const Event&) override { }
    void touchesMoved(const TouchSet&, const Event&) override { }
    void touchesCancelled(const TouchSet&, const Event&) override { }
    void touchesEnded(const TouchSet& touches, const Event&) override
    {
        auto item = m_item.lock();
        if (!item || touches.empty() || !bounds().contains(touches.front()->locationIn(this)))
            return;
        item->tap();
    }

private:
    explicit BarButtonItemView(const Rect& frame) : View(frame) { }
    std::weak_ptr<BarButtonItem> m_item;
};

} // namespace

std::shared_ptr<BarButtonItem> BarButtonItem::create(std::string title, BarButtonStyle style)
{
    std::shared_ptr<BarButtonItem> item(new BarButtonItem);
    item->m_title = std::move(title);
    item->m_style = style;
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::createWithImage(std::shared_ptr<Image> image, BarButtonStyle style)
{
    std::shared_ptr<BarButtonItem> item(new BarButtonItem);
    item->m_image = std::move(image);
    item->m_style = style;
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::createSystem(BarButtonSystemItem systemItem)
{
    std::shared_ptr<BarButtonItem> item(new BarButtonItem);
    item->m_systemItem = systemItem;
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::createWithCustomView(std::shared_ptr<View> view)
{
    std::shared_ptr<BarButtonItem> item(new BarButtonItem);
    item->m_customView = std::move(view);
    return item;
}

void BarButtonItem::setCustomView(std::shared_ptr<View> view)
{
    m_customView = std::move(view);
    m_view.reset();
}

std::optional<Color> BarButtonItem::titleColor(ControlState state) const
{
    auto found = m_titleColors.find(state);
    if (found == m_titleColors.end())
        return std::nullopt;
    return found->second;
}

void BarButtonItem::setTitleColor(std::optional<Color> color, ControlState state)
{
    if (color)
        m_titleColors[state] = *color;
    else
        m_titleColors.erase(state);
}

std::shared_ptr<Image> BarButtonItem::backgroundImage(ControlState state) const
{
    auto found = m_backgroundImages.find(state);
    if (found == m_backgroundImages.end() && state != ControlState::Normal)
        found = m_backgroundImages.find(ControlState::Normal);
    return found == m_backgroundImages.end() ? nullptr : found->second;
}

void BarButtonItem::setBackgroundImage(std::shared_ptr<Image> image, ControlState state)
{
    if (image)
        m_backgroundImages[state] = std::move(image);
    else
        m_backgroundImages.erase(state);
}

Rect BarButtonItem::backgroundFrame()
{
    Rect frame = view()->frame();
    double height = std::min(kBackgroundHeight, frame.height());
    return { frame.x(), frame.y() + (frame.height() - height) / 2, frame.width(), height };
}

void BarButtonItem::setTarget(std::weak_ptr<void> owner, Action action)
{
    m_ownedAction = false;
    m_owner = std::move(owner);
    m_action = std::move(action);
}

void BarButtonItem::setAction(Action action)
{
    m_ownedAction = true;
    m_owner.reset();
    m_action = std::move(action);
}

namespace {

const char* systemItemWord(BarButtonSystemItem item)
{
    switch (item) {
    case BarButtonSystemItem::Done: return "Done";
    case BarButtonSystemItem::Cancel: return "Cancel";
    case BarButtonSystemItem::Edit: return "Edit";
    case BarButtonSystemItem::Save: return "Save";
    case BarButtonSystemItem::Add: return "+";
    case BarButtonSystemItem::FlexibleSpace: return "";
    case BarButtonSystemItem::FixedSpace: return "";
    case BarButtonSystemItem::Compose: return "Compose";
    case BarButtonSystemItem::Reply: return "Reply";
    case BarButtonSystemItem::Action: return "Share";
    case BarButtonSystemItem::Organize: return "Organize";
    case BarButtonSystemItem::Bookmarks: return "Bookmarks";
    case BarButtonSystemItem::Search: return "Search";
    case BarButtonSystemItem::Refresh: return "Refresh";
    case BarButtonSystemItem::Stop: return "Stop";
    case BarButtonSystemItem::Camera: return "Camera";
    case BarButtonSystemItem::Trash: return "Trash";
    case BarButtonSystemItem::Play: return "Play";
    case BarButtonSystemItem::Pause: return "Pause";
    case BarButtonSystemItem::Rewind: return "Rewind";
    case BarButtonSystemItem::FastForward: return "Forward";
    }
    return "";
}

} // namespace

std::string BarButtonItem::shownTitle() const
{
    if (!m_title.empty() || !m_systemItem)
        return m_title;
    return systemItemWord(*m_systemItem);
}

bool BarButtonItem::hasBoldTitle() const
{
    return m_style == BarButtonStyle::Done || m_systemItem == BarButtonSystemItem::Done;
}

double BarButtonItem::layoutWidth() const
{
    if (isFlexibleSpace())
        return 0;
    if (m_width > 0)
        return m_width;
    if (m_customView)
        return m_customView->frame().width();
    std::string shown = shownTitle();
    if (shown.empty())
        return kDefaultWidth;
    Font font = Font::system(kTitleFontSize, { .bold = hasBoldTitle() });
    auto measure = [&](const std::string& text) { return TextLayout(AttributedString(text, { .font = font }), {}).size().width; };
    double title = measure(shown);
    for (const auto& possible : m_possibleTitles)
        title = std::max(title, measure(possible));
    double width = std::ceil(title) + 2 * kTitleMargin;
    // A system item's word may be short ("+"): it keeps the width of a touch.
    return m_title.empty() ? std::max(width, kDefaultWidth) : width;
}

std::shared_ptr<View> BarButtonItem::view()
{
    if (m_customView)
        return m_customView;
    if (!m_view) {
        m_view = BarButtonItemView::create(Rect(0, 0, layoutWidth(), 44), weak_from_this());
        m_view->setDebugName(m_title);
    }
    return m_view;
}

bool BarButtonItem::tap()
{
    assertOnMainThread();
    if (!m_enabled || !m_action)
        return false;
    if (!m_ownedAction && !m_owner.lock())
        return false;
    auto keep = shared_from_this();
    auto action = m_action;
    action(*this);
    return true;
}

} // namespace morvix::platform
