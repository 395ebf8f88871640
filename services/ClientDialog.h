#pragma once
// Alerts the peer opens.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "platform/ui/AlertView.h"

#include <map>
#include <string_view>

namespace morvix {

/// "morvix.ClientDialog": an alert with a title, a message and up to three buttons (neutral,
/// cancel, ok, in that order; the cancel button, or the ok button when there is none, is the
/// alert's cancel button). "open" shows it, "close" takes it down as if no button was chosen.
/// When it goes, "Selection" {"buttonType": "buttonOk" | "buttonCancel" | "buttonNeutral"} (for
/// a button, while listened) and then "ClientDialogClose" (while listened) are sent, each at once.
/// Each "open" builds a new alert from the current properties; one still shown is taken down
/// first, without events. Main thread.
class ClientDialog final : public RemoteClass<ClientDialog>, public platform::AlertViewDelegate {
public:
    static constexpr std::string_view kRemoteType = "morvix.ClientDialog";

    ClientDialog(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);
    ~ClientDialog() override;

    static const PropertyTable& properties();
    /// "Selection" and "ClientDialogClose".
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void open(const platform::Value* properties);
    void close(const platform::Value* properties);
    void destroy() override;

    void setTitle(std::optional<std::string> title);
    std::optional<std::string> title() const { return m_title; }
    void setMessage(std::optional<std::string> message);
    std::optional<std::string> message() const { return m_message; }

    /// The alert on show, or null.
    std::shared_ptr<platform::AlertView> alertView() const { return m_alert; }

    // AlertViewDelegate
    void didDismissWithButtonIndex(platform::AlertView& alert, int index) override;

private:
    void takeDownSilently();

    std::optional<std::string> m_title;
    std::optional<std::string> m_message;
    std::optional<std::string> m_severity;
    std::optional<std::string> m_buttonOk;
    std::optional<std::string> m_buttonCancel;
    std::optional<std::string> m_buttonNeutral;
    bool m_selectionListener = false;
    bool m_clientDialogCloseListener = false;
    std::shared_ptr<platform::AlertView> m_alert;
    std::map<int, std::string> m_buttonMapping;
};

} // namespace morvix
