#pragma once
// A view that shows an image.

#include "platform/ui/View.h"

#include <memory>

namespace morvix::platform {

/// How a view's content is placed in its bounds. Values are the platform's.
enum class ContentMode {
    ScaleToFill = 0,
    ScaleAspectFit = 1,
    ScaleAspectFill = 2,
    Redraw = 3,
    Center = 4,
    Top = 5,
    Bottom = 6,
    Left = 7,
    Right = 8,
    TopLeft = 9,
    TopRight = 10,
    BottomLeft = 11,
    BottomRight = 12,
};

/// Shows an image (the highlighted one while highlighted and it has one), placed in the bounds by
/// `contentMode`. Its natural size is the image's size in points; without an image it has none.
/// Touches are off by default, as for the platform's image view. Main thread only.
class ImageView : public View {
public:
    static std::shared_ptr<ImageView> create(const Rect& frame = {});
    /// An image view sized to the image (at the origin).
    static std::shared_ptr<ImageView> create(std::shared_ptr<Image> image);
    const char* className() const override { return "ImageView"; }

    const std::shared_ptr<Image>& image() const { return m_image; }
    /// Null clears the view.
    void setImage(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& highlightedImage() const { return m_highlightedImage; }
    void setHighlightedImage(std::shared_ptr<Image> image);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode);

    /// Where an image of `imageSize` goes in `bounds` for `mode`.
    static Rect placement(Size imageSize, const Rect& bounds, ContentMode mode);

    Size intrinsicContentSize() const override;
    /// The image's size; the current size without an image.
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit ImageView(const Rect& frame);

private:
    const std::shared_ptr<Image>& shownImage() const;

    std::shared_ptr<Image> m_image;
    std::shared_ptr<Image> m_highlightedImage;
    bool m_highlighted = false;
    ContentMode m_contentMode = ContentMode::ScaleToFill;
};

} // namespace morvix::platform
