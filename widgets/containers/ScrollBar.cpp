#include "widgets/containers/ScrollBar.h"

#include "widgets/containers/ScrollBarParent.h"
#include "widgets/foundation/StyleWords.h"

namespace morvix {

namespace {

constexpr StyleDeclaration kHorizontalStyle {
    .word = "HORIZONTAL",
    .effect = "the horizontal bar of its scrolled composite; without it, the vertical one (read when the bar joins its parent)",
};

} // namespace

const EventDeclaration ScrollBar::kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .note = "on each movement of the scrolled composite the bar belongs to; the position goes with the composite's "
            "scheduled \"horizontalBar.selection\" or \"verticalBar.selection\"",
};

ScrollBar::~ScrollBar() = default;

const WireTable& ScrollBar::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).style(kHorizontalStyle).event(kSelectionEvent);
    return table;
}

const PropertyTable& ScrollBar::properties()
{
    static const PropertyTable table = PropertyTable::extend<ScrollBar>(BasicObject::properties())
                                           .array("style", &ScrollBar::setStyle, &ScrollBar::style)
                                           .boolean("visibility", &ScrollBar::setVisibility, &ScrollBar::visibility)
                                           .boolean("selectionListener", &ScrollBar::setSelectionListener,
                                               &ScrollBar::selectionListener);
    return table;
}

bool ScrollBar::selectionListener() const
{
    std::lock_guard lock(m_mutex);
    return m_selectionListener;
}

void ScrollBar::setSelectionListener(bool listen)
{
    std::lock_guard lock(m_mutex);
    m_selectionListener = listen;
}

std::optional<platform::Value> ScrollBar::style() const
{
    std::lock_guard lock(m_mutex);
    return m_style;
}

void ScrollBar::setStyle(std::optional<platform::Value> style)
{
    {
        std::lock_guard lock(m_mutex);
        m_style = std::move(style);
    }
    m_horizontal = styleHasWord(this->style(), kHorizontalStyle);
}

void ScrollBar::detachFrom(const std::shared_ptr<RemoteObject>& parent)
{
    auto* slots = dynamic_cast<ScrollBarParent*>(parent.get());
    if (!slots)
        return;
    // Both slots, by identity: the style may have changed since the bar attached, and a later
    // bar of the same direction may have taken the slot.
    if (slots->horizontalScrollBar().get() == this)
        slots->setHorizontalScrollBar(nullptr);
    if (slots->verticalScrollBar().get() == this)
        slots->setVerticalScrollBar(nullptr);
}

void ScrollBar::setParent(std::shared_ptr<RemoteObject> parent)
{
    auto old = this->parent();
    RemoteClass::setParent(parent);
    if (old == parent)
        return;
    detachFrom(old);
    auto* slots = dynamic_cast<ScrollBarParent*>(parent.get());
    if (!slots)
        return;
    auto self = std::static_pointer_cast<ScrollBar>(shared_from_this());
    if (m_horizontal)
        slots->setHorizontalScrollBar(self);
    else
        slots->setVerticalScrollBar(self);
}

void ScrollBar::destroy()
{
    if (isDisposed())
        return;
    detachFrom(parent());
    RemoteClass::destroy();
}

} // namespace morvix
