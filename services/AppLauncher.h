#pragma once
// Hands work to other applications and the system's composers.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "platform/device/Geocoder.h"
#include "platform/ui/screens/MailComposer.h"
#include "platform/ui/screens/MessageComposer.h"
#include "platform/ui/screens/SocialComposer.h"

#include <string_view>

namespace morvix {

/// "morvix.AppLauncher": "open" {"app", ...} launches another application or shows a system
/// composer; "openUrl" {"url"} is "open" with "app" "BROWSER". Nothing is reported to the peer.
///  - "BROWSER" {"url"}: opened when some application opens it.
///  - "PHONE" {"number"}: "telprompt://<number>" when that can be opened, else "tel://<number>"
///    when that can, the number percent-encoded.
///  - "MAIL" {"to", "cc", "subject", "body" (default empty), "html"} and "SMS" {"number", "text"}:
///    a composer, only when the device can send; dismissed when it finishes.
///  - "TWITTER" and "FACEBOOK" {"text", "url"}: the service's composer, only when it is available.
///  - "MAPS": a "query" is geocoded and the first place opens in the maps application with its
///    address, named after it; otherwise "latitude" and "longitude" open a place without address.
/// An unknown "app", a missing number or URL, and a query no place answers do nothing (the last
/// logs a warning). Composers are presented through the `Display`. Main thread.
class AppLauncher final : public RemoteClass<AppLauncher>,
                          public platform::MailComposerDelegate,
                          public platform::MessageComposerDelegate,
                          public platform::SocialComposerDelegate {
public:
    static constexpr std::string_view kRemoteType = "morvix.AppLauncher";

    AppLauncher(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    static const PropertyNames& remoteObjectProperties();

    void open(const platform::Value* properties);
    void openUrl(const platform::Value* properties);
    void destroy() override;

    /// The composer shown last and not yet finished, or null.
    const std::shared_ptr<platform::ViewController>& composer() const { return m_composer; }

    // Composer delegates: each dismisses its composer.
    void mailComposerDidFinish(platform::MailComposer& composer, platform::MailComposeResult result) override;
    void messageComposerDidFinish(platform::MessageComposer& composer, platform::MessageComposeResult result) override;
    void socialComposerDidFinish(platform::SocialComposer& composer, platform::SocialComposeResult result) override;

private:
    void openBrowser(const platform::Value& properties);
    void openPhone(const platform::Value& properties);
    void openMail(const platform::Value& properties);
    void openMessage(const platform::Value& properties);
    void openSocial(platform::SocialService service, const platform::Value& properties);
    void openMaps(const platform::Value& properties);
    void openPlace(const std::string& query, const std::vector<platform::Placemark>& places);
    void present(std::shared_ptr<platform::ViewController> composer);
    void finished(platform::ViewController& composer);

    std::shared_ptr<platform::ViewController> m_composer;
};

} // namespace morvix
