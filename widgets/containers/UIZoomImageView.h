#pragma once
// A scroll view that shows an image zoomable, fitted whole at first.

#include "platform/foundation/Value.h"
#include "platform/graphics/Size.h"
#include "platform/ui/ScrollView.h"

#include <memory>
#include <optional>

namespace morvix {

class ClientContext;

namespace platform {
class GestureRecognizer;
class Image;
class ImageView;
class TapGestureRecognizer;
}

/// Shows one image in a scroll view (`view()`) that zooms it. The image view lies at the
/// content's top left corner (pinned there by constraints) at the image's size; the zoom
/// starts at the one that shows the whole image, min(W / w, H / h) for a scroll view of W x H
/// and an image of w x h, which is also the smallest zoom. It is computed only when all four
/// are greater than 0; otherwise the minimum zoom and the zoom stay 1. A double tap on the
/// image zooms in by half again (up to the scroll view's maximum zoom) around the tapped point.
///
/// A plain helper, not a remote object: the label that owns it drops it after `destroy`. The
/// scroll view holds it weakly as its delegate, and the tap reaches it weakly too. Main thread
/// only.
class UIZoomImageView final : public platform::ScrollViewDelegate,
                              public std::enable_shared_from_this<UIZoomImageView> {
public:
    /// The image value is not used: the image arrives with `setImage`. The client is kept,
    /// weakly, for its owner's loads.
    static std::shared_ptr<UIZoomImageView> create(const std::optional<platform::Value>& image,
        std::weak_ptr<ClientContext> client);
    UIZoomImageView(const UIZoomImageView&) = delete;
    UIZoomImageView& operator=(const UIZoomImageView&) = delete;

    /// The scroll view; null after `destroy`.
    const std::shared_ptr<platform::ScrollView>& view() const { return m_imageScrollView; }
    /// The image view inside the scroll view; null after `destroy`.
    const std::shared_ptr<platform::ImageView>& imageView() const { return m_imageView; }
    std::shared_ptr<ClientContext> client() const { return m_client.lock(); }
    const std::shared_ptr<platform::TapGestureRecognizer>& doubleTapRecognizer() const { return m_doubleTap; }

    /// Resets the scroll view's settings (zoom 1), shows `image` (null clears it) at its size,
    /// asks the scroll view for layout and computes the zoom. Nothing after `destroy`.
    void setImage(std::shared_ptr<platform::Image> image);
    /// The scroll view's frame becomes (0, 0, width, height); then the zoom is computed.
    void setSize(platform::Size size);
    /// Clears the image and takes the image view and the scroll view out of the tree for good.
    void destroy();

    /// A blank, transparent image of `size` at scale 1 (the image loader's placeholders).
    static std::shared_ptr<platform::Image> createPlaceholder(platform::Size size);

    // platform::ScrollViewDelegate
    /// The image view.
    std::shared_ptr<platform::View> viewForZooming(platform::ScrollView& scrollView) override;

private:
    explicit UIZoomImageView(std::weak_ptr<ClientContext> client);
    void setUp();
    void applyScrollViewSettings();
    void computeZoom();
    void handleDoubleTap(platform::GestureRecognizer& recognizer);

    std::shared_ptr<platform::ScrollView> m_imageScrollView;
    std::shared_ptr<platform::ImageView> m_imageView;
    std::shared_ptr<platform::TapGestureRecognizer> m_doubleTap;
    std::weak_ptr<ClientContext> m_client;
};

} // namespace morvix
