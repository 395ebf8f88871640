#include "services/ClientDialog.h"

#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .attributes = R"({"buttonType": string})",
    .note = "when the user dismisses the dialog with a button: \"buttonOk\", \"buttonCancel\" or \"buttonNeutral\"",
};
constexpr EventDeclaration kCloseEvent {
    .listen = "ClientDialogClose",
    .name = "ClientDialogClose",
    .note = "when the dialog goes away in any way (\"close\" included), after \"Selection\"",
};

} // namespace

const WireTable& ClientDialog::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kSelectionEvent).event(kCloseEvent);
    return table;
}

ClientDialog::ClientDialog(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&ClientDialog::open, "open");
    registerSelector(&ClientDialog::close, "close");
}

ClientDialog::~ClientDialog()
{
    takeDownSilently();
}

const PropertyTable& ClientDialog::properties()
{
    static const PropertyTable table = PropertyTable::extend<ClientDialog>(BasicObject::properties())
                                           .string("title", &ClientDialog::setTitle, &ClientDialog::title)
                                           .string("message", &ClientDialog::setMessage, &ClientDialog::message)
                                           .string("severity", &ClientDialog::m_severity, &ClientDialog::m_severity)
                                           .string("buttonOk", &ClientDialog::m_buttonOk, &ClientDialog::m_buttonOk)
                                           .string("buttonCancel", &ClientDialog::m_buttonCancel, &ClientDialog::m_buttonCancel)
                                           .string("buttonNeutral", &ClientDialog::m_buttonNeutral, &ClientDialog::m_buttonNeutral)
                                           .flag("selectionListener", &ClientDialog::m_selectionListener)
                                           .flag("clientDialogCloseListener", &ClientDialog::m_clientDialogCloseListener);
    return table;
}

const PropertyNames& ClientDialog::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "title", "message", "severity", "buttonOk", "buttonCancel", "buttonNeutral" });
    return names;
}

void ClientDialog::setTitle(std::optional<std::string> title)
{
    m_title = std::move(title);
    if (m_alert)
        m_alert->setTitle(m_title.value_or(""));
}

void ClientDialog::setMessage(std::optional<std::string> message)
{
    m_message = std::move(message);
    if (m_alert)
        m_alert->setMessage(m_message.value_or(""));
}

void ClientDialog::open(const Value*)
{
    // A new alert from the current properties: opened twice, it shows its buttons once.
    takeDownSilently();
    auto self = std::static_pointer_cast<ClientDialog>(shared_from_this());
    m_alert = platform::AlertView::create(m_title.value_or(""), m_message.value_or(""), std::weak_ptr<platform::AlertViewDelegate>(self));
    m_buttonMapping.clear();
    if (m_buttonNeutral)
        m_buttonMapping[m_alert->addButton(*m_buttonNeutral)] = "buttonNeutral";
    if (m_buttonCancel) {
        int index = m_alert->addButton(*m_buttonCancel);
        m_buttonMapping[index] = "buttonCancel";
        m_alert->setCancelButtonIndex(index);
    }
    if (m_buttonOk) {
        int index = m_alert->addButton(*m_buttonOk);
        m_buttonMapping[index] = "buttonOk";
        if (!m_buttonCancel)
            m_alert->setCancelButtonIndex(index);
    }
    m_alert->show();
}

void ClientDialog::close(const Value*)
{
    if (m_alert && m_alert->isVisible())
        m_alert->dismissWithClickedButtonIndex(-1, false);
}

void ClientDialog::didDismissWithButtonIndex(platform::AlertView& alert, int index)
{
    if (&alert != m_alert.get())
        return;
    if (m_selectionListener) {
        auto found = m_buttonMapping.find(index);
        if (found != m_buttonMapping.end()) {
            Value attributes = Value::object();
            attributes["buttonType"] = found->second;
            Notifications::forObject(objectId())->fire(kSelectionEvent, std::move(attributes));
        }
    }
    if (m_clientDialogCloseListener)
        Notifications::forObject(objectId())->fire(kCloseEvent);
}

void ClientDialog::takeDownSilently()
{
    if (!m_alert)
        return;
    auto alert = std::move(m_alert);
    alert->setDelegate({});
    if (alert->isVisible())
        alert->dismissWithClickedButtonIndex(-1, false);
}

void ClientDialog::destroy()
{
    takeDownSilently();
    RemoteClass::destroy();
}

} // namespace morvix
