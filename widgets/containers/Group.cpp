#include "widgets/containers/Group.h"

#include "platform/ui/controls/Label.h"
#include "widgets/delegating/DelegatingView.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>

namespace morvix {

Group::Group(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_group(DelegatingView::create())
{
    m_group->setBackgroundColor(platform::Color::clear());
    m_group->setUserInteractionEnabled(true);
    m_area = platform::View::create({ kTitleInset, 14, 300, 100 });
    m_area->setUserInteractionEnabled(false);
    m_group->addSubview(m_area);
    m_group->sendSubviewToBack(m_area);
    m_label = platform::Label::create();
    m_label->setOpaque(false);
    m_label->setClipsToBounds(false);
    m_label->setUserInteractionEnabled(false);
    m_label->setNumberOfLines(1);
    m_label->setLineBreakMode(platform::LineBreakMode::Clip);
}

Group::~Group() = default;

void Group::didConstruct()
{
    RemoteClass::didConstruct();
    m_group->setDelegate(std::static_pointer_cast<Group>(shared_from_this()));
    setFont(std::nullopt);
    m_label->setTextColor(FontHelper::groupColor());
    m_label->setBackgroundColor(platform::Color::clear());
    m_group->addSubview(m_label);
    m_label->setFrame({ kTitleInset, 18, 300, 100 });
}

const WireTable& Group::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire()).events(Control::touchEvents());
    return table;
}

const PropertyTable& Group::properties()
{
    static const PropertyTable table = PropertyTable::extend<Group>(AbstractComposite::properties())
                                           .string("text", &Group::setText,
                                               [](const Group& self) { return std::optional<std::string>(self.text()); });
    return table;
}

const PropertyNames& Group::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(AbstractComposite::remoteObjectProperties(), { "text" });
    return names;
}

std::shared_ptr<platform::View> Group::view() const
{
    return m_group;
}

std::string Group::text() const
{
    return m_label->text();
}

void Group::setText(std::optional<std::string> text)
{
    m_label->setText(text.value_or(std::string()));
}

void Group::setBackground(std::optional<platform::Color> color)
{
    RemoteClass::setBackground(color);
    m_group->setBackgroundColor(platform::Color::clear());
    m_area->setBackgroundColor(color);
}

void Group::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color);
    if (!color)
        return;
    m_label->setTextColor(*color);
    m_area->layer().setBorderColor(*color);
}

void Group::setFont(std::optional<TypeConverter::NativeFont> font)
{
    RemoteClass::setFont(font);
    m_label->setFont(font.value_or(FontHelper::groupFont()));
    // Before the first size the construction frames stay.
    if (m_group->frame().size.width > 0 || m_group->frame().size.height > 0)
        layoutTitle(m_group->frame().size);
}

void Group::setBackgroundImage(std::optional<platform::Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool hasImage = image.has_value();
    RemoteClass::setBackgroundImage(image);
    if (hasImage)
        applyBackgroundImage(image, m_group);
    else
        m_group->setBackgroundColor(background());
}

void Group::sizeChanged(platform::Size size)
{
    layoutTitle(size);
    RemoteClass::sizeChanged(size);
}

void Group::layoutTitle(platform::Size size)
{
    double title = m_label->font().pointSize() + 2;
    m_label->setFrame({ kTitleInset, 0, std::max(0.0, size.width - 2 * kTitleInset), title });
    m_area->setFrame({ 0, title, size.width, std::max(0.0, size.height - title) });
}

void Group::addWidgetView(BasicWidget& child)
{
    auto childView = child.view();
    if (!childView)
        return;
    m_group->insertSubviewAbove(childView, m_area);
    childrenChanged(&child);
}

bool Group::consistsOfView(const platform::View* view) const
{
    return view != m_group.get() && view != m_area.get() && view != m_label.get();
}

} // namespace morvix
