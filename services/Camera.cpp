#include "services/Camera.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/device/PhotoAlbum.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/graphics/Image.h"
#include "platform/ui/View.h"
#include "services/Base64.h"
#include "widgets/foundation/Display.h"
#include "widgets/images/ImageHelper.h"

#include <cmath>

namespace morvix {

using platform::ImagePickerSourceType;
using platform::Value;

namespace {

constexpr EventDeclaration kImageSelectionEvent {
    .name = "ImageSelection",
    .attributes = R"({"image": string})",
    .sentWithoutListen = true,
    .note = "when the user has taken or chosen a picture after \"open\": the JPEG picture in Base64 text",
};
constexpr EventDeclaration kImageSelectionCancelEvent {
    .name = "ImageSelectionCancel",
    .sentWithoutListen = true,
    .note = "when the user cancels the picker (or taps beside it), or the picture cannot be encoded",
};

} // namespace

const WireTable& Camera::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kImageSelectionEvent).event(kImageSelectionCancelEvent);
    return table;
}

Camera::Camera(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&Camera::open, "open");
}

const PropertyTable& Camera::properties()
{
    static const PropertyTable table = PropertyTable::extend<Camera>(BasicObject::properties())
                                           .array("resolution", &Camera::setResolution, &Camera::resolution)
                                           .number("compressionQuality", &Camera::setCompressionQuality, &Camera::compressionQuality)
                                           .boolean("saveToAlbum", &Camera::setSaveToAlbum, &Camera::saveToAlbum);
    return table;
}

const PropertyNames& Camera::remoteObjectProperties()
{
    return BasicObject::remoteObjectProperties();
}

void Camera::setCompressionQuality(std::optional<Value> quality)
{
    // A missing or unreadable quality keeps the stored one: encoding at 0 because a peer left it
    // out would send the worst picture the encoder can make.
    auto number = quality ? platform::numberValue(*quality) : std::nullopt;
    if (number && !std::isnan(*number))
        m_compressionQuality = std::clamp(*number, 0.0, 1.0);
}

ImagePickerSourceType Camera::sourceTypeFor(const Value* properties)
{
    std::string name;
    if (properties && properties->is_object() && properties->contains("sourceType") && (*properties)["sourceType"].is_string())
        name = (*properties)["sourceType"].get<std::string>();
    auto source = ImagePickerSourceType::Camera;
    if (name == "photo_library")
        source = ImagePickerSourceType::PhotoLibrary;
    else if (name == "saved_photo_album")
        source = ImagePickerSourceType::SavedPhotosAlbum;
    if (!platform::ImagePickerController::isSourceTypeAvailable(source))
        source = ImagePickerSourceType::PhotoLibrary;
    return source;
}

void Camera::open(const Value* properties)
{
    bool hasOptions = properties && properties->is_object();
    auto option = [&](const char* key) -> std::optional<Value> {
        if (!hasOptions || !properties->contains(key))
            return std::nullopt;
        return (*properties)[key];
    };
    setResolution(option("resolution"));
    setCompressionQuality(option("compressionQuality"));
    auto save = option("saveToAlbum");
    setSaveToAlbum(save && platform::numberValue(*save).value_or(0) != 0);

    takeDown();
    auto picker = platform::ImagePickerController::create();
    picker->setSourceType(sourceTypeFor(properties));
    picker->setMediaTypes({ platform::ImagePickerController::kImageMediaType });
    picker->setAllowsEditing(false);
    picker->setDelegate(std::static_pointer_cast<Camera>(shared_from_this()));
    picker->setModalPresentationStyle(platform::ModalPresentationStyle::FullScreen);
    present(picker);
}

void Camera::present(const std::shared_ptr<platform::ImagePickerController>& picker)
{
    m_picker = picker;
    auto client = this->client();
    bool pad = platform::DeviceInfo::current().idiom() == platform::DeviceIdiom::Pad;
    auto rootView = client ? client->rootView() : nullptr;
    if (pad && rootView && picker->sourceType() != ImagePickerSourceType::Camera) {
        m_popover = platform::PopoverController::create(picker);
        m_popover->setDelegate(std::static_pointer_cast<Camera>(shared_from_this()));
        if (m_popover->presentFromRect({ rootView->bounds().width() / 2, 0, 1, 1 }, rootView, platform::PopoverArrowDirection::Up, platform::Animated::Yes))
            return;
        m_popover.reset();
    }
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->presentModalViewController(picker, true);
}

void Camera::takeDown()
{
    if (auto popover = std::exchange(m_popover, nullptr)) {
        popover->setDelegate({});
        popover->dismiss(platform::Animated::Yes);
    }
    if (auto picker = std::exchange(m_picker, nullptr)) {
        picker->setDelegate({});
        if (picker->presentingViewController())
            picker->dismissViewController(platform::Animated::Yes);
    }
}

std::optional<platform::Size> Camera::validResolution(const std::optional<Value>& value)
{
    if (!value || !value->is_array() || value->size() != 2)
        return std::nullopt;
    auto width = platform::numberValue((*value)[0]);
    auto height = platform::numberValue((*value)[1]);
    if (!width || !height || !(*width >= 1 && *height >= 1) || !std::isfinite(*width) || !std::isfinite(*height))
        return std::nullopt;
    return platform::Size { *width, *height };
}

std::vector<std::uint8_t> Camera::jpegFor(const std::shared_ptr<platform::Image>& picture, const std::optional<platform::Size>& resolution, double quality)
{
    auto upright = ImageHelper::fixOrientation(picture);
    if (upright && resolution)
        upright = ImageHelper::restrictImage(upright, *resolution, 1.0); // the resolution counts pixels
    return upright ? upright->encodeJPEG(quality) : std::vector<std::uint8_t> {};
}

void Camera::didFinishPickingImage(platform::ImagePickerController& picker, const std::shared_ptr<platform::Image>& original,
    const std::shared_ptr<platform::Image>& edited)
{
    if (&picker != m_picker.get())
        return;
    takeDown();
    auto jpeg = jpegFor(edited ? edited : original, validResolution(m_resolution), m_compressionQuality);
    if (jpeg.empty()) {
        if (auto client = this->client())
            client->log(LogEntry("camera could not encode the chosen picture as JPEG", LogEntry::Type::Warning));
        Notifications::forObject(objectId())->fire(kImageSelectionCancelEvent);
        return;
    }
    if (m_saveToAlbum)
        platform::PhotoAlbum::saveImage(platform::Image::decode(jpeg));
    Value attributes = Value::object();
    attributes["image"] = Base64::base64forData(jpeg);
    Notifications::forObject(objectId())->fire(kImageSelectionEvent, std::move(attributes));
}

void Camera::didCancel(platform::ImagePickerController& picker)
{
    if (&picker != m_picker.get())
        return;
    takeDown();
    Notifications::forObject(objectId())->fire(kImageSelectionCancelEvent);
}

void Camera::popoverControllerDidDismissPopover(platform::PopoverController& popover)
{
    if (&popover != m_popover.get())
        return;
    // A tap beside the popover ends the choice as a cancel does, so that the peer is not left
    // waiting for a picture.
    takeDown();
    Notifications::forObject(objectId())->fire(kImageSelectionCancelEvent);
}

void Camera::destroy()
{
    takeDown();
    RemoteClass::destroy();
}

} // namespace morvix
