#include "services/AppLauncher.h"

#include "core/base/LogEntry.h"
#include "core/base/Strings.h"
#include "core/objects/ClientContext.h"
#include "platform/device/Geocoder.h"
#include "platform/device/MapItem.h"
#include "platform/ui/Application.h"
#include "widgets/foundation/Display.h"

namespace morvix {

using platform::Value;

namespace {

// A text option: a string as it stands, a number as its JSON text; nothing for anything else.
std::optional<std::string> textOption(const Value& properties, const char* key)
{
    if (!properties.contains(key))
        return std::nullopt;
    const Value& value = properties[key];
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number())
        return value.dump();
    return std::nullopt;
}

bool openIfPossible(const std::string& url)
{
    auto& application = platform::Application::shared();
    if (!application.canOpenURL(url))
        return false;
    application.openURL(url);
    return true;
}

} // namespace

AppLauncher::AppLauncher(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&AppLauncher::open, "open");
    registerSelector(&AppLauncher::openUrl, "openUrl");
}

const PropertyTable& AppLauncher::properties()
{
    return BasicObject::properties();
}

const PropertyNames& AppLauncher::remoteObjectProperties()
{
    return BasicObject::remoteObjectProperties();
}

void AppLauncher::open(const Value* properties)
{
    if (!properties || !properties->is_object())
        return;
    auto app = textOption(*properties, "app").value_or("");
    if (app == "BROWSER")
        openBrowser(*properties);
    else if (app == "PHONE")
        openPhone(*properties);
    else if (app == "MAIL")
        openMail(*properties);
    else if (app == "SMS")
        openMessage(*properties);
    else if (app == "TWITTER")
        openSocial(platform::SocialService::Twitter, *properties);
    else if (app == "FACEBOOK")
        openSocial(platform::SocialService::Facebook, *properties);
    else if (app == "MAPS")
        openMaps(*properties);
}

void AppLauncher::openUrl(const Value* properties)
{
    if (properties && properties->is_object())
        openBrowser(*properties);
}

void AppLauncher::openBrowser(const Value& properties)
{
    auto url = textOption(properties, "url");
    if (url && !url->empty())
        openIfPossible(*url);
}

void AppLauncher::openPhone(const Value& properties)
{
    auto number = textOption(properties, "number");
    auto encoded = number && !number->empty() ? Strings::urlEncodeUsingEncoding(*number) : std::nullopt;
    if (!encoded)
        return;
    // The prompting form asks the user before dialling; the plain one is the fallback.
    if (!openIfPossible("telprompt://" + *encoded))
        openIfPossible("tel://" + *encoded);
}

void AppLauncher::openMail(const Value& properties)
{
    if (!platform::MailComposer::canSendMail())
        return;
    auto composer = platform::MailComposer::create();
    if (auto to = textOption(properties, "to"))
        composer->setToRecipients({ *to });
    if (auto cc = textOption(properties, "cc"))
        composer->setCcRecipients({ *cc });
    if (auto subject = textOption(properties, "subject"))
        composer->setSubject(*subject);
    bool html = properties.contains("html") && platform::numberValue(properties["html"]).value_or(0) != 0;
    composer->setMessageBody(textOption(properties, "body").value_or(""), html);
    composer->setDelegate(std::static_pointer_cast<AppLauncher>(shared_from_this()));
    present(std::move(composer));
}

void AppLauncher::openMessage(const Value& properties)
{
    if (!platform::MessageComposer::canSendText())
        return;
    auto composer = platform::MessageComposer::create();
    if (auto number = textOption(properties, "number"))
        composer->setRecipients({ *number });
    if (auto text = textOption(properties, "text"))
        composer->setBody(*text);
    composer->setDelegate(std::static_pointer_cast<AppLauncher>(shared_from_this()));
    present(std::move(composer));
}

void AppLauncher::openSocial(platform::SocialService service, const Value& properties)
{
    if (!platform::SocialComposer::isAvailableForService(service))
        return;
    auto composer = platform::SocialComposer::create(service);
    composer->setInitialText(textOption(properties, "text").value_or(""));
    if (auto url = textOption(properties, "url"))
        composer->addURL(*url);
    composer->setDelegate(std::static_pointer_cast<AppLauncher>(shared_from_this()));
    present(std::move(composer));
}

void AppLauncher::openMaps(const Value& properties)
{
    if (auto query = textOption(properties, "query")) {
        auto geocoder = platform::Geocoder::create();
        geocoder->geocodeAddressString(*query,
            [weak = weak_from_this(), query = *query](const std::vector<platform::Placemark>& places, const std::optional<platform::Error>&) {
                if (auto self = std::static_pointer_cast<AppLauncher>(weak.lock()))
                    self->openPlace(query, places);
            });
        return;
    }
    auto latitude = properties.contains("latitude") ? platform::numberValue(properties["latitude"]) : std::nullopt;
    auto longitude = properties.contains("longitude") ? platform::numberValue(properties["longitude"]) : std::nullopt;
    if (!latitude || !longitude)
        return;
    platform::MapItem item;
    item.coordinate = { *latitude, *longitude };
    item.openInMaps();
}

void AppLauncher::openPlace(const std::string& query, const std::vector<platform::Placemark>& places)
{
    if (places.empty()) {
        if (auto client = this->client())
            client->log(LogEntry("maps: no place found for \"" + query + "\"", LogEntry::Type::Warning));
        return;
    }
    const auto& place = places.front();
    platform::MapItem item;
    item.coordinate = place.coordinate;
    item.addressDictionary = place.addressDictionary;
    item.name = place.name;
    item.openInMaps();
}

void AppLauncher::present(std::shared_ptr<platform::ViewController> composer)
{
    m_composer = composer;
    auto client = this->client();
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->presentModalViewController(composer, true);
}

void AppLauncher::finished(platform::ViewController& composer)
{
    if (composer.presentingViewController())
        composer.dismissViewController(platform::Animated::Yes);
    if (m_composer.get() == &composer)
        m_composer.reset();
}

void AppLauncher::mailComposerDidFinish(platform::MailComposer& composer, platform::MailComposeResult)
{
    finished(composer);
}

void AppLauncher::messageComposerDidFinish(platform::MessageComposer& composer, platform::MessageComposeResult)
{
    finished(composer);
}

void AppLauncher::socialComposerDidFinish(platform::SocialComposer& composer, platform::SocialComposeResult)
{
    finished(composer);
}

void AppLauncher::destroy()
{
    m_composer.reset();
    RemoteClass::destroy();
}

} // namespace morvix
