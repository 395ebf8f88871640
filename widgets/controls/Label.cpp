#include "widgets/controls/Label.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/WireNumber.h"
#include "platform/graphics/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "widgets/containers/UIZoomImageView.h"
#include "widgets/controls/TextView.h"
#include "widgets/delegating/DelegatingView.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>
#include <cmath>

namespace morvix {

using platform::LayoutAttribute;
using platform::LayoutConstraint;
using platform::LayoutRelation;
using platform::Value;

namespace {

constexpr double kRequiredPriority = 1000;
constexpr StyleDeclaration kWrapStyle {
    .word = "WRAP",
    .effect = "the text wraps between words at the label's width, without a line limit unless \"maxLines\" gives one",
};
// The most lines "maxLines" may ask for; more are clamped to it.
constexpr std::int64_t kMostLines = 1000000;

// The inner views keep to their constraints and show nothing outside themselves.
void prepareInnerView(platform::View& view)
{
    view.setBackgroundColor(platform::Color::clear());
    view.setClipsToBounds(true);
    view.setAutoresizingMask(platform::AutoresizingNone);
    view.setTranslatesAutoresizingMaskIntoConstraints(false);
    view.setHidden(true);
}

bool isShownImageValue(const std::optional<Value>& image)
{
    return image && image->is_array() && image->size() >= 3;
}

} // namespace

const WireTable& Label::wire()
{
    static const WireTable table = WireTable::extend(Control::wire()).events(Control::touchEvents()).style(kWrapStyle);
    return table;
}

bool Label::wraps() const
{
    return hasStyle(kWrapStyle);
}

const PropertyTable& Label::properties()
{
    static const PropertyTable table = PropertyTable::extend<Label>(Control::properties())
                                           .string("text", &Label::setText, &Label::text)
                                           .string("alignment", &Label::setAlignment, &Label::alignment)
                                           .array("image", &Label::setImage, &Label::image)
                                           .boolean("markupEnabled", &Label::setMarkupEnabled, &Label::markupEnabled)
                                           .number("maxLines", &Label::setMaxLines, &Label::maxLines)
                                           .font("font", &Label::setFont, &Label::currentFont);
    return table;
}

const PropertyNames& Label::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "text", "alignment", "image", "markupEnabled", "maxLines" });
    return names;
}

Label::Label(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_container(DelegatingView::create())
    , m_textView(platform::Label::create())
    , m_imageView(platform::ImageView::create())
{
}

Label::~Label() = default;

void Label::didConstruct()
{
    RemoteClass::didConstruct();
    m_container->setDelegate(std::static_pointer_cast<Label>(shared_from_this()));
    m_container->setBackgroundColor(platform::Color::clear());
    m_container->setUserInteractionEnabled(true);
    m_container->setClipsToBounds(true);
    m_container->setAutoresizingMask(platform::AutoresizingNone);

    // The image view goes in first, so that the text lies above it.
    prepareInnerView(*m_imageView);
    m_imageView->setContentMode(platform::ContentMode::ScaleAspectFit);
    m_container->addSubview(m_imageView);
    prepareInnerView(*m_textView);
    m_container->addSubview(m_textView);

    setFont(std::nullopt);
    setForeground(std::nullopt);
}

std::shared_ptr<platform::View> Label::view() const
{
    return m_container;
}

// MARK: Text

void Label::setText(std::optional<std::string> text)
{
    m_text = std::move(text);
    // Once zoomed, the label shows only the zoom view.
    if (!m_textView)
        return;
    if (m_text && !m_text->empty()) {
        setImage(std::nullopt);
        m_textView->setHidden(false);
        if (wraps()) {
            updateNumberOfLines(0);
        } else {
            int pieces = static_cast<int>(std::count(m_text->begin(), m_text->end(), '\n')) + 1;
            updateNumberOfLines(pieces);
        }
    } else {
        updateNumberOfLines(m_textView->numberOfLines());
        m_textView->setHidden(true);
    }
    updateTextContent();
}

void Label::updateNumberOfLines(int natural)
{
    if (!m_textView)
        return;
    int lines = natural;
    if (m_maxLines) {
        // Below 1 means no limit; NaN too. A boolean reads as a number.
        auto limit = platform::WireNumber::clampedCount(*m_maxLines, 0, kMostLines);
        auto asked = platform::numberValue(*m_maxLines);
        if (asked && *asked > double(kMostLines)) {
            if (auto client = this->client())
                client->log(LogEntry(platform::format("label %@: maxLines %@ clamped to %@", objectId(), *m_maxLines, Value(kMostLines)),
                    LogEntry::Type::Warning));
        }
        lines = static_cast<int>(limit.value_or(0));
    }
    m_textView->setNumberOfLines(lines);
    // A text cut after a number of lines ends its last line with an ellipsis, a wrapping one
    // too; only a wrapping text without a limit breaks between words to the end.
    bool unlimitedWrap = wraps() && lines == 0;
    m_textView->setLineBreakMode(unlimitedWrap ? platform::LineBreakMode::WordWrap : platform::LineBreakMode::TruncateTail);
}

void Label::setMaxLines(std::optional<Value> lines)
{
    if (lines && !platform::numberValue(*lines))
        lines.reset();
    m_maxLines = std::move(lines);
    setText(m_text);
}

void Label::setMarkupEnabled(bool enabled)
{
    m_markupEnabled = enabled;
    updateTextContent();
}

void Label::updateTextContent()
{
    if (m_textView)
        TextView::showTextContent(*m_textView, m_text, m_markupEnabled, *currentFont(), foreground().value_or(FontHelper::labelColor()));
    contentChanged();
}

void Label::contentChanged()
{
    m_container->invalidateIntrinsicContentSize();
    m_container->setNeedsLayout();
}

void Label::setFont(std::optional<platform::Font> font)
{
    RemoteClass::setFont(std::move(font));
    updateTextContent();
}

std::optional<platform::Font> Label::currentFont() const
{
    return font().value_or(FontHelper::labelFont());
}

void Label::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color.value_or(FontHelper::labelColor()));
    updateTextContent();
}

void Label::setStyle(std::optional<Value> style)
{
    RemoteClass::setStyle(std::move(style));
    if (!wraps() || !m_textView)
        return;
    updateNumberOfLines(0);
}

// MARK: Constraints

void Label::setAlignment(std::optional<std::string> alignment)
{
    m_alignment = std::move(alignment);
    applyTextAlignment();
    applyImageAlignment();
}

void Label::placeInContainer(const std::shared_ptr<platform::View>& view, bool withWidth)
{
    std::vector<std::shared_ptr<LayoutConstraint>> stale;
    for (const auto& constraint : m_container->constraints()) {
        if (constraint->firstItem() == view && constraint->secondItem() == m_container)
            stale.push_back(constraint);
    }
    m_container->removeConstraints(stale);
    m_container->addConstraint(LayoutConstraint::create(view, LayoutAttribute::Top, LayoutRelation::Equal, m_container,
        LayoutAttribute::Top));
    if (withWidth) {
        // As wide as the container, a text too long for it too: wider, the container would cut
        // its last letters through instead of the text view ending the line with "…".
        m_container->addConstraint(LayoutConstraint::create(view, LayoutAttribute::Width, LayoutRelation::Equal, m_container,
            LayoutAttribute::Width));
    }
    auto edge = LayoutAttribute::Left;
    if (m_alignment == "center")
        edge = LayoutAttribute::CenterX;
    else if (m_alignment == "right")
        edge = LayoutAttribute::Right;
    m_container->addConstraint(LayoutConstraint::create(view, edge, LayoutRelation::Equal, m_container, edge));
}

void Label::applyTextAlignment()
{
    if (!m_textView || m_textView->superview() != m_container)
        return;
    placeInContainer(m_textView, true);
    if (wraps()) {
        m_textView->setContentHuggingPriority(kRequiredPriority, platform::LayoutAxis::Vertical);
        m_textView->setContentCompressionResistancePriority(kRequiredPriority, platform::LayoutAxis::Vertical);
    }
    auto alignment = platform::TextAlignment::Left;
    if (m_alignment == "center")
        alignment = platform::TextAlignment::Center;
    else if (m_alignment == "right")
        alignment = platform::TextAlignment::Right;
    m_textView->setTextAlignment(alignment);
}

void Label::applyImageAlignment()
{
    if (!m_imageView || m_imageView->superview() != m_container)
        return;
    placeInContainer(m_imageView, false);
}

void Label::applySize(platform::Size size, const std::shared_ptr<platform::View>& view)
{
    if (!view || !view->superview())
        return;
    std::vector<std::shared_ptr<LayoutConstraint>> stale;
    for (const auto& constraint : m_container->constraints()) {
        bool sized = constraint->firstAttribute() == LayoutAttribute::Width || constraint->firstAttribute() == LayoutAttribute::Height;
        if (constraint->firstItem() == view && !constraint->secondItem() && sized)
            stale.push_back(constraint);
    }
    m_container->removeConstraints(stale);
    m_container->addConstraint(LayoutConstraint::create(view, LayoutAttribute::Width, LayoutRelation::Equal, nullptr,
        LayoutAttribute::NotAnAttribute, 1, size.width));
    m_container->addConstraint(LayoutConstraint::create(view, LayoutAttribute::Height, LayoutRelation::Equal, nullptr,
        LayoutAttribute::NotAnAttribute, 1, size.height));
}

// MARK: Images

void Label::setImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    m_image = std::move(image);
    if (isShownImageValue(m_image)) {
        if (m_zoomView)
            showOnZoomView(*m_image);
        else
            showOnImageView(*m_image);
        return;
    }
    if (m_imageView) {
        ImageViewMorvix::cancelImageRequestOperation(*m_imageView);
        m_imageView->setImage(nullptr);
        m_imageView->setHidden(true);
    }
    if (m_zoomView && m_zoomView->imageView()) {
        ImageViewMorvix::cancelImageRequestOperation(*m_zoomView->imageView());
        m_zoomView->setImage(nullptr);
    }
    contentChanged();
}

void Label::showOnImageView(const Value& image)
{
    setText(std::nullopt);
    m_imageView->setHidden(false);
    std::weak_ptr<Label> weak = std::static_pointer_cast<Label>(shared_from_this());
    ImageViewMorvix::setImageWithProperties(m_imageView, image, client(),
        [weak](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) {
            if (auto self = weak.lock())
                self->applyImage(loaded);
        },
        [weak](const auto&, const auto&, const platform::Error&) {
            if (auto self = weak.lock())
                self->applyImage(nullptr);
        });
}

void Label::applyImage(const std::shared_ptr<platform::Image>& image)
{
    if (!m_imageView)
        return;
    m_imageView->setImage(image);
    if (image)
        applySize(image->size(), m_imageView);
    m_imageView->sizeToFit();
    contentChanged();
}

void Label::showOnZoomView(const Value& image)
{
    auto target = m_zoomView->imageView();
    if (!target)
        return;
    std::weak_ptr<UIZoomImageView> weak = m_zoomView;
    ImageViewMorvix::setImageWithProperties(target, image, client(),
        [weak](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) {
            if (auto zoom = weak.lock())
                zoom->setImage(loaded);
        },
        [weak](const auto&, const auto&, const platform::Error&) {
            if (auto zoom = weak.lock())
                zoom->setImage(nullptr);
        });
}

void Label::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    RemoteClass::setBackgroundImage(image);
    if (!image) {
        m_container->setBackgroundColor(background());
        return;
    }
    applyBackgroundImage(image, m_container);
}

// MARK: Zoom

void Label::setData(std::optional<Value> data)
{
    RemoteClass::setData(std::move(data));
    if (dataForKey("zoom", true))
        enableZoom();
}

void Label::enableZoom()
{
    if (m_zoomView)
        return;
    if (m_imageView)
        ImageViewMorvix::cancelImageRequestOperation(*m_imageView);
    if (m_imageView)
        m_imageView->removeFromSuperview();
    if (m_textView)
        m_textView->removeFromSuperview();
    m_imageView.reset();
    m_textView.reset();

    m_zoomView = UIZoomImageView::create(m_image, client());
    auto scroll = m_zoomView->view();
    m_container->addSubview(scroll);
    m_zoomView->setSize(m_container->bounds().size);
    for (auto edge : { LayoutAttribute::Right, LayoutAttribute::Left, LayoutAttribute::Top, LayoutAttribute::Bottom })
        m_container->addConstraint(LayoutConstraint::create(scroll, edge, LayoutRelation::Equal, m_container, edge));
    // A zoom that arrives after the image would otherwise stay blank.
    if (isShownImageValue(m_image))
        showOnZoomView(*m_image);
    contentChanged();
}

// MARK: Life cycle and layout

void Label::didMoveToSuperview(const std::shared_ptr<platform::View>& superview)
{
    setAlignment(m_alignment);
    setText(m_text);
    setImage(m_image);
    RemoteClass::didMoveToSuperview(superview);
}

void Label::destroy()
{
    if (m_imageView) {
        ImageViewMorvix::cancelImageRequestOperation(*m_imageView);
        m_imageView->removeFromSuperview();
        m_imageView.reset();
    }
    if (m_textView) {
        m_textView->removeFromSuperview();
        m_textView.reset();
    }
    if (m_zoomView) {
        m_zoomView->destroy();
        m_zoomView.reset();
    }
    RemoteClass::destroy();
}

void Label::sizeChanged(platform::Size size)
{
    if (m_zoomView)
        m_zoomView->setSize(m_container->bounds().size);
    if (wraps() && m_textView) {
        m_textView->setPreferredMaxLayoutWidth(size.width);
        m_container->invalidateIntrinsicContentSize();
    }
    RemoteClass::sizeChanged(size);
}

platform::Size Label::intrinsicContentSize()
{
    if (m_textView && !m_textView->isHidden())
        return m_textView->intrinsicContentSize();
    if (m_imageView && !m_imageView->isHidden())
        return m_imageView->intrinsicContentSize();
    return { platform::View::kNoIntrinsicMetric, platform::View::kNoIntrinsicMetric };
}

std::shared_ptr<platform::View> Label::viewForBaselineLayout()
{
    if (m_textView && !m_textView->isHidden())
        return m_textView;
    if (m_imageView && !m_imageView->isHidden())
        return m_imageView;
    return nullptr;
}

} // namespace morvix
