#pragma once
// "morvix.ImageView": one image shown in a chosen scale mode.

#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingImageView;

namespace platform {
class Image;
class ImageView;
}

/// Shows one image value [path, width, height, scale?] in a `DelegatingImageView`, placed by
/// "scaleMode":
///
/// | "scaleMode" | content mode |
/// |---|---|
/// | "fit" | scale to fit, keeping the aspect ratio |
/// | "fill" | scale to fill, keeping the aspect ratio |
/// | "stretch" | scale to fill |
/// | "none" | centred, unscaled |
/// | anything else | stored as "auto" |
///
/// In "auto" (the default) an image whose rectangle (0, 0, width, height) lies within the
/// bounds, edges included, is centred unscaled, and a larger one is fitted. The choice is made
/// again when the mode is set, when an image has loaded and on every size change of the view
/// (before `Control` reports it).
///
/// Images load through a holder view that never enters the tree, so the image shown stays
/// until the new one has loaded; a failed load keeps it, and a load that ends after the widget
/// has gone changes nothing. Null clears the image at once.
///
/// "foreground" is the image view's tint colour and nothing else. The view takes touches exactly
/// while a raw touch event ("touchstart", "touchmove", "touchend", "touchcancel") is listened,
/// and until the first "listen". Main thread only.
class ImageView : public RemoteClass<ImageView, Control> {
public:
    static constexpr std::string_view kRemoteType = "morvix.ImageView";

    static const PropertyTable& properties();
    /// `Control`'s names, then "image", "scaleMode".
    static const PropertyNames& remoteObjectProperties();
    /// Its base's events and the raw touches, which its view hands it.
    static const WireTable& wire();

    ImageView(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~ImageView() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingImageView>& imageView() const { return m_imageView; }

    const std::optional<platform::Value>& image() const { return m_image; }
    void setImage(std::optional<platform::Value> image);
    const std::optional<std::string>& scaleMode() const { return m_scaleMode; }
    void setScaleMode(std::optional<std::string> mode);
    /// Sets the tint colour only.
    void setForeground(std::optional<platform::Color> color) override;
    std::optional<platform::Color> tint() const;

    /// The automatic choice first, then `Control`'s report.
    void sizeChanged(platform::Size size) override;
    /// Centres or fits the image by its size, while the mode is "auto".
    void updateForAutoScaleMode();

protected:
    void didConstruct() override;

private:
    void setTouchListener(bool Control::*flag, bool listen);
    void showImage(const std::shared_ptr<platform::Image>& image);

    std::shared_ptr<DelegatingImageView> m_imageView;
    std::shared_ptr<platform::ImageView> m_loader;
    std::optional<platform::Value> m_image;
    std::optional<std::string> m_scaleMode = std::string("auto");
};

} // namespace morvix
