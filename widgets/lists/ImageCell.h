#pragma once
// An image placed in a row template.

#include "widgets/lists/Cell.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

namespace platform {
class ImageView;
}

/// A template cell showing an image: its own "image" without a binding, else the bound column of
/// each row's item's "images", in an image view (tag `kTag`) inside a clipping container. With a
/// "scaleMode" other than "NONE" the image view fills the container ("FIT" aspect-fit, "FILL"
/// aspect-fill, "STRETCH" scale-to-fill); otherwise it is aligned inside the container at the
/// loaded image's own size, replaced on every load. Image cells take the row-wide background.
/// Main thread only.
class ImageCell final : public Cell {
public:
    static constexpr int kTag = 20002;

    explicit ImageCell(std::weak_ptr<ClientContext> client) : Cell("image"), m_client(std::move(client)) { }
    void apply(const platform::Value& description) override;
    void updateWith(const std::shared_ptr<TreeItem>& item, std::size_t column, platform::View& cellView) override;
    int viewTag() const override { return kTag; }

    const std::optional<platform::Value>& image() const { return m_image; }
    const std::string& scaleMode() const { return m_scaleMode; }
    /// A scaling mode other than "NONE" is set: the image fills the container.
    bool scales() const;

protected:
    std::shared_ptr<platform::View> internalCreateView() override;

private:
    void applyImage(const std::optional<platform::Value>& image, const std::shared_ptr<platform::ImageView>& view) const;
    void applyAlignment(const std::shared_ptr<platform::ImageView>& view, const std::shared_ptr<platform::View>& container) const;

    std::weak_ptr<ClientContext> m_client;
    std::optional<platform::Value> m_image;
    std::string m_scaleMode;
};

} // namespace morvix
