#pragma once
// "zub.widgets.Label": a static text, plain or markup, or an image, optionally zoomable.

#include "platform/graphics/Font.h"
#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingView;
class UIZoomImageView;

namespace platform {
class Image;
class ImageView;
class Label;
}

/// Shows a text or an image, never both: a non-empty text clears the image, and an image shown
/// clears the text (reading the cleared one back gives null). The view is a container
/// (`DelegatingView`) holding an image view and, above it, a text view (`platform::Label`),
/// each placed by constraints installed on the container:
///  - the text view: top = the container's top, width = the container's width (with "WRAP"
///    hugging and resisting compression vertically at 1000); then left, centre x or right =
///    the container's by "alignment" ("center", "right", anything else left). A text wider than
///    the container ends with "…" instead of being cut through a letter at its edge;
///  - the image view: top, then left, centre x or right as above, and width and height = the
///    loaded image's size.
/// Each alignment step first removes the container's constraints from the inner view to the
/// container; the size step removes the inner view's width and height constants.
///
/// Lines: "maxLines", when set, is the text view's number of lines (clamped to a million and
/// logged beyond; below 1 is no limit); otherwise 0 (unlimited) with "WRAP", else one line per
/// newline-separated piece ("a\n" has two). With "WRAP" the text wraps at the widget's width.
/// A text that needs more lines than its limit ends its last shown line with "…"; only a
/// wrapping text without a limit breaks between words to the end.
///
/// Data "zoom" true replaces both inner views, once and for good, by a `UIZoomImageView` that
/// fills the container and shows the image ("zoom" again does nothing); later images go there,
/// a null or short image clears it, and a later text is only stored.
///
/// Image loads hold the widget weakly. Main thread only.
class Label : public RemoteClass<Label, Control>,
              public ViewDelegate::IntrinsicSize,
              public ViewDelegate::BaselineView {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Label";

    static const PropertyTable& properties();
    /// "WRAP".
    static const WireTable& wire();
    /// `Control`'s names, then "text", "alignment", "image", "markupEnabled", "maxLines".
    static const PropertyNames& remoteObjectProperties();

    Label(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Label() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingView>& container() const { return m_container; }
    /// Null once zoom is on.
    const std::shared_ptr<platform::Label>& textView() const { return m_textView; }
    /// Null once zoom is on.
    const std::shared_ptr<platform::ImageView>& imageView() const { return m_imageView; }
    /// Null until zoom is on.
    const std::shared_ptr<UIZoomImageView>& zoomView() const { return m_zoomView; }

    const std::optional<std::string>& text() const { return m_text; }
    void setText(std::optional<std::string> text);
    const std::optional<std::string>& alignment() const { return m_alignment; }
    void setAlignment(std::optional<std::string> alignment);
    const std::optional<platform::Value>& image() const { return m_image; }
    void setImage(std::optional<platform::Value> image);
    bool markupEnabled() const { return m_markupEnabled; }
    void setMarkupEnabled(bool enabled);
    const std::optional<platform::Value>& maxLines() const { return m_maxLines; }
    /// Null (or a value that is not a number) clears the limit; then the text is applied again.
    void setMaxLines(std::optional<platform::Value> lines);

    /// Null means the label font.
    void setFont(std::optional<platform::Font> font) override;
    /// The stored font, else the label font.
    std::optional<platform::Font> currentFont() const;
    /// Null means the label colour.
    void setForeground(std::optional<platform::Color> color) override;
    void setStyle(std::optional<platform::Value> style) override;
    /// Null shows the background colour on the container.
    void setBackgroundImage(std::optional<platform::Value> image) override;
    /// `Control`'s, then zoom when data "zoom" is true.
    void setData(std::optional<platform::Value> data) override;
    /// Applies alignment, text and image again (which loads the image again), then the base's.
    void didMoveToSuperview(const std::shared_ptr<platform::View>& superview) override;
    void destroy() override;

    // ViewDelegate
    void sizeChanged(platform::Size size) override;
    /// The visible text view's, else the visible image view's, else none in either dimension.
    platform::Size intrinsicContentSize() override;
    std::shared_ptr<platform::View> viewForBaselineLayout() override;

protected:
    void didConstruct() override;

private:
    bool wraps() const;
    void updateNumberOfLines(int natural);
    void updateTextContent();
    void contentChanged();
    void applyTextAlignment();
    void applyImageAlignment();
    /// Removes the container's constraints from `view` to the container, pins `view`'s top
    /// and adds `width` when given, then aligns it horizontally.
    void placeInContainer(const std::shared_ptr<platform::View>& view, bool withWidth);
    void applySize(platform::Size size, const std::shared_ptr<platform::View>& view);
    void showOnImageView(const platform::Value& image);
    void showOnZoomView(const platform::Value& image);
    void applyImage(const std::shared_ptr<platform::Image>& image);
    void enableZoom();

    bool m_markupEnabled = false;
    std::shared_ptr<DelegatingView> m_container;
    std::shared_ptr<platform::Label> m_textView;
    std::shared_ptr<platform::ImageView> m_imageView;
    std::shared_ptr<UIZoomImageView> m_zoomView;
    std::optional<std::string> m_alignment;
    std::optional<platform::Value> m_image;
    std::optional<std::string> m_text;
    std::optional<platform::Value> m_maxLines;
};

} // namespace morvix
