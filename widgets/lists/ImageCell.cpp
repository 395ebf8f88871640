#include "widgets/lists/ImageCell.h"

#include "platform/graphics/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/controls/ImageView.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/lists/TreeItem.h"

namespace morvix {

using platform::LayoutAttribute;
using platform::LayoutConstraint;
using platform::LayoutRelation;
using platform::Value;

namespace {

constexpr const char* kImageSizeIdentifier = "image size";

} // namespace

void ImageCell::apply(const Value& description)
{
    Cell::apply(description);
    auto image = description.is_object() ? description.find("image") : description.end();
    m_image = description.is_object() && image != description.end() && image->is_array() ? std::optional<Value>(*image) : std::nullopt;
    auto mode = description.is_object() ? description.find("scaleMode") : description.end();
    m_scaleMode = description.is_object() && mode != description.end() && mode->is_string() ? mode->get<std::string>() : "";
}

bool ImageCell::scales() const
{
    return !m_scaleMode.empty() && m_scaleMode != "NONE";
}

std::shared_ptr<platform::View> ImageCell::internalCreateView()
{
    auto container = makeContainer();
    auto view = platform::ImageView::create();
    view->setUserInteractionEnabled(isSelectable());
    view->setTag(kTag);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    container->addSubview(view);
    if (!bindingIndex())
        applyImage(m_image, view);
    view->setContentMode(m_scaleMode == "FIT" ? platform::ContentMode::ScaleAspectFit
            : m_scaleMode == "FILL"          ? platform::ContentMode::ScaleAspectFill
            : m_scaleMode == "STRETCH"       ? platform::ContentMode::ScaleToFill
                                             : platform::ContentMode::Center);
    applyAlignment(view, container);
    return container;
}

void ImageCell::updateWith(const std::shared_ptr<TreeItem>& item, std::size_t column, platform::View& cellView)
{
    cellView.setBackgroundColor((item ? item->rowBackground() : std::nullopt).value_or(background()));
    std::optional<Value> image;
    if (item && item->images().is_array() && column < item->images().size() && !item->images()[column].is_null())
        image = item->images()[column];
    if (auto view = std::dynamic_pointer_cast<platform::ImageView>(cellView.viewWithTag(kTag)))
        applyImage(image, view);
}

void ImageCell::applyImage(const std::optional<Value>& image, const std::shared_ptr<platform::ImageView>& view) const
{
    if (!image) {
        ImageViewMorvix::cancelImageRequestOperation(*view);
        view->setImage(nullptr);
        return;
    }
    std::weak_ptr<platform::ImageView> weak = view;
    bool sized = !scales();
    ImageViewMorvix::setImageWithProperties(view, *image, m_client.lock(),
        [weak, sized](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) {
            auto view = weak.lock();
            if (!view)
                return;
            view->setImage(loaded);
            auto container = view->superview();
            if (!sized || !container || !loaded)
                return;
            // Without a scaling mode the view takes the image's own size, replaced on each load.
            std::vector<std::shared_ptr<LayoutConstraint>> earlier;
            for (const auto& constraint : container->constraints()) {
                if (constraint->firstItem() == view && constraint->identifier() == kImageSizeIdentifier)
                    earlier.push_back(constraint);
            }
            container->removeConstraints(earlier);
            platform::Size size = loaded->size();
            for (auto [attribute, extent] : { std::pair { LayoutAttribute::Width, size.width }, std::pair { LayoutAttribute::Height, size.height } }) {
                auto constraint = LayoutConstraint::create(view, attribute, LayoutRelation::Equal, nullptr, LayoutAttribute::NotAnAttribute, 1, extent);
                constraint->setIdentifier(kImageSizeIdentifier);
                container->addConstraint(constraint);
            }
        });
}

void ImageCell::applyAlignment(const std::shared_ptr<platform::ImageView>& view, const std::shared_ptr<platform::View>& container) const
{
    auto equal = [&](LayoutAttribute attribute) {
        container->addConstraint(LayoutConstraint::create(view, attribute, LayoutRelation::Equal, container, attribute));
    };
    if (scales()) {
        for (auto attribute : { LayoutAttribute::Left, LayoutAttribute::Right, LayoutAttribute::Top, LayoutAttribute::Bottom })
            equal(attribute);
        return;
    }
    const auto& horizontal = horizontalAlignment();
    const auto& vertical = verticalAlignment();
    equal(horizontal == "LEFT" ? LayoutAttribute::Left : horizontal == "RIGHT" ? LayoutAttribute::Right : LayoutAttribute::CenterX);
    equal(vertical == "TOP" ? LayoutAttribute::Top : vertical == "BOTTOM" ? LayoutAttribute::Bottom : LayoutAttribute::CenterY);
}

} // namespace morvix
