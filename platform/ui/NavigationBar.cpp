#include "platform/ui/NavigationBar.h"

#include "platform/graphics/Image.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {


void NavigationBar::replaceItemViews(View& bar, std::vector<std::shared_ptr<View>>& current, std::vector<std::shared_ptr<View>> wanted)
{
    for (const auto& view : current) {
        if (view->superview().get() == &bar && std::find(wanted.begin(), wanted.end(), view) == wanted.end())
            view->removeFromSuperview();
    }
    for (const auto& view : wanted) {
        if (view->superview().get() != &bar)
            bar.addSubview(view);
    }
    current = std::move(wanted);
}

void NavigationBar::placeItem(const std::shared_ptr<BarButtonItem>& item, double x, double height)
{
    item->view()->setFrame(Rect(x, 0, item->layoutWidth(), height));
}

std::shared_ptr<NavigationBar> NavigationBar::create(const Rect& frame)
{
    return std::shared_ptr<NavigationBar>(new NavigationBar(frame));
}

void NavigationBar::setItems(std::vector<std::shared_ptr<NavigationItem>> items)
{
    m_items = std::move(items);
    setNeedsLayout();
}

void NavigationBar::setBackgroundImage(std::shared_ptr<Image> image)
{
    m_backgroundImage = std::move(image);
    setNeedsDisplay();
}

void NavigationBar::layoutSubviews()
{
    auto top = topItem();
    auto back = backItem();
    m_backButton.reset();
    std::vector<std::shared_ptr<BarButtonItem>> left;
    std::vector<std::shared_ptr<BarButtonItem>> right;
    if (top) {
        bool showBack = back && !top->hidesBackButton() && (top->leftBarButtonItems().empty() || top->leftItemsSupplementBackButton());
        if (showBack) {
            auto backTitle = back->backBarButtonItem() ? back->backBarButtonItem()->title() : back->title();
            m_backButton = BarButtonItem::create(backTitle.empty() ? "Back" : backTitle);
            // A title that would crowd the bar's own title gives way to the plain word.
            if (m_backButton->layoutWidth() > bounds().width() / 3)
                m_backButton->setTitle("Back");
            std::weak_ptr<View> weakSelf = std::static_pointer_cast<View>(shared_from_this());
            m_backButton->setAction([weakSelf](BarButtonItem&) {
                auto bar = std::static_pointer_cast<NavigationBar>(weakSelf.lock());
                if (bar && bar->onBack)
                    bar->onBack();
            });
            left.push_back(m_backButton);
        }
        for (const auto& item : top->leftBarButtonItems())
            left.push_back(item);
        right = top->rightBarButtonItems();
    }
    std::vector<std::shared_ptr<View>> views;
    double height = bounds().height();
    double x = kItemSpacing;
    for (const auto& item : left) {
        placeItem(item, x, height);
        x += item->layoutWidth() + kItemSpacing;
        views.push_back(item->view());
    }
    double rightEdge = bounds().width() - kItemSpacing;
    for (const auto& item : right) {
        rightEdge -= item->layoutWidth();
        placeItem(item, rightEdge, height);
        rightEdge -= kItemSpacing;
        views.push_back(item->view());
    }
    m_titleRoomLeft = x;
    m_titleRoomRight = rightEdge;
    if (top && top->titleView()) {
        auto title = top->titleView();
        Rect frame = title->frame();
        title->setFrame(Rect((bounds().width() - frame.width()) / 2, (height - frame.height()) / 2, frame.width(), frame.height()));
        views.push_back(title);
    }
    replaceItemViews(*this, m_itemViews, std::move(views));
}

double NavigationBar::titleWidth(const std::string& title) const
{
    if (title != m_measuredTitle) {
        // One line, laid out only as far as a line can show.
        TextLayout measured(AttributedString(title, { .font = titleFont() }), { .wrapWidth = std::nullopt, .lineLimit = 1 });
        m_measuredTitle = title;
        m_measuredTitleWidth = std::ceil(measured.size().width);
    }
    return m_measuredTitleWidth;
}

Rect NavigationBar::titleFrame() const
{
    auto top = topItem();
    double room = m_titleRoomRight - m_titleRoomLeft;
    if (!top || top->title().empty() || !(room > 0))
        return {};
    double height = bounds().height();
    double width = titleWidth(top->title());
    if (width >= room)
        return Rect(m_titleRoomLeft, 0, room, height);
    double x = std::clamp((bounds().width() - width) / 2, m_titleRoomLeft, m_titleRoomRight - width);
    return Rect(x, 0, width, height);
}

} // namespace morvix::platform
