#include "widgets/foundation/AbstractComposite.h"

#include "core/objects/ClientContext.h"
#include "platform/ui/View.h"
#include "widgets/foundation/ViewPlacement.h"

namespace morvix {

using platform::Value;

AbstractComposite::~AbstractComposite() = default;

const PropertyTable& AbstractComposite::properties()
{
    static const PropertyTable table = PropertyTable::extend<AbstractComposite>(Control::properties())
                                           .array("children", &AbstractComposite::setChildren,
                                               [](const AbstractComposite& self) { return std::optional<Value>(self.children()); })
                                           .rect("clientArea", &AbstractComposite::setClientArea, &AbstractComposite::clientArea);
    return table;
}

const PropertyNames& AbstractComposite::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(), { "clientArea", "children" });
    return names;
}

void AbstractComposite::addWidgetView(BasicWidget& child)
{
    auto own = view();
    auto childView = child.view();
    if (!own || !childView)
        return;
    own->addSubview(childView);
    childrenChanged(&child);
}

void AbstractComposite::removeWidgetView(const Widget& child)
{
    ViewPlacement::takeOut(child.view(), client().get());
}

void AbstractComposite::removeObject(const RemoteObject& child)
{
    if (auto* widget = dynamic_cast<const Widget*>(&child))
        removeWidgetView(*widget);
    RemoteClass::removeObject(child);
}

void AbstractComposite::setChildren(std::optional<Value> children)
{
    m_children = children ? std::move(*children) : Value::array();
    childrenChanged(nullptr);
}

void AbstractComposite::childrenChanged(BasicWidget* added)
{
    auto own = view();
    if (!own)
        return;
    auto client = this->client();
    std::shared_ptr<platform::View> previous;
    for (const auto& id : m_children) {
        if (!id.is_string())
            continue;
        const auto& text = id.get_ref<const std::string&>();
        BasicWidget* child = nullptr;
        std::shared_ptr<RemoteObject> found;
        if (added && text == added->objectId()) {
            child = added;
        } else {
            found = client ? client->objectById(text) : nullptr;
            child = dynamic_cast<BasicWidget*>(found.get());
        }
        auto childView = child ? child->view() : nullptr;
        if (!childView || childView->superview() != own)
            continue;
        if (previous)
            own->insertSubviewAbove(childView, previous);
        previous = std::move(childView);
    }
}

} // namespace morvix
