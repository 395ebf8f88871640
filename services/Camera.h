#pragma once
// Pictures from the device's camera and albums for the peer.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "platform/graphics/Size.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/screens/ImagePickerController.h"

#include <optional>
#include <string_view>

namespace morvix {

/// "morvix.Camera": "open" shows the image picker for the camera, the photo library or the
/// saved-photos album ("sourceType"; anything else means the camera; a source the device lacks
/// falls back to the photo library), on a pad in a popover under the top edge of the root view
/// for the albums, modally through the `Display` otherwise. A chosen picture is turned upright,
/// scaled down into "resolution" when one is set, encoded as JPEG at "compressionQuality",
/// written to the saved-photos album when "saveToAlbum" asks, and sent at once as "ImageSelection"
/// {"image": Base64 text}. A cancelled picker, or a pad's popover dismissed by a tap outside it,
/// sends "ImageSelectionCancel".
///
/// The options of "open" are stored: a missing "resolution" clears it, a missing
/// "compressionQuality" keeps the stored quality (1.0 at first), values outside 0..1 are clamped,
/// and a "resolution" that is not two numbers of at least 1 is ignored (no scaling). Main thread.
class Camera final : public RemoteClass<Camera>, public platform::ImagePickerControllerDelegate, public platform::PopoverControllerDelegate {
public:
    static constexpr std::string_view kRemoteType = "morvix.Camera";

    Camera(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// "ImageSelection" and "ImageSelectionCancel".
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void open(const platform::Value* properties);
    void destroy() override;

    std::optional<platform::Value> resolution() const { return m_resolution; }
    void setResolution(std::optional<platform::Value> resolution) { m_resolution = std::move(resolution); }
    std::optional<platform::Value> compressionQuality() const { return platform::Value(m_compressionQuality); }
    void setCompressionQuality(std::optional<platform::Value> quality);
    bool saveToAlbum() const { return m_saveToAlbum; }
    void setSaveToAlbum(bool save) { m_saveToAlbum = save; }

    /// The picker on show, or null.
    const std::shared_ptr<platform::ImagePickerController>& picker() const { return m_picker; }
    /// The pad's popover holding the picker, or null.
    const std::shared_ptr<platform::PopoverController>& popover() const { return m_popover; }

    /// The JPEG bytes the peer gets for `picture`: upright, fitted into `resolution` pixels (not
    /// points: the screen's scale plays no part) when that is a valid box, at `quality`. Empty
    /// when encoding fails.
    static std::vector<std::uint8_t> jpegFor(const std::shared_ptr<platform::Image>& picture,
        const std::optional<platform::Size>& resolution, double quality);
    /// Two finite numbers of at least 1 as a size; nothing for anything else.
    static std::optional<platform::Size> validResolution(const std::optional<platform::Value>& value);

    // ImagePickerControllerDelegate
    void didFinishPickingImage(platform::ImagePickerController& picker, const std::shared_ptr<platform::Image>& original,
        const std::shared_ptr<platform::Image>& edited) override;
    void didCancel(platform::ImagePickerController& picker) override;
    // PopoverControllerDelegate
    void popoverControllerDidDismissPopover(platform::PopoverController& popover) override;

private:
    static platform::ImagePickerSourceType sourceTypeFor(const platform::Value* properties);
    void present(const std::shared_ptr<platform::ImagePickerController>& picker);
    void takeDown();

    std::optional<platform::Value> m_resolution;
    double m_compressionQuality = 1.0;
    bool m_saveToAlbum = false;
    std::shared_ptr<platform::ImagePickerController> m_picker;
    std::shared_ptr<platform::PopoverController> m_popover;
};

} // namespace morvix
