#include "widgets/containers/ToolItem.h"

#include "core/outgoing/Notification.h"
#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/controls/ImageView.h"
#include "widgets/containers/SeparatorImageRenderer.h"
#include "widgets/containers/ToolBar.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/text/Mnemonics.h"

namespace morvix {

using platform::Value;

namespace {

constexpr StyleDeclaration kPushStyle { .word = "PUSH", .effect = "a bordered button" };
constexpr StyleDeclaration kSeparatorStyle {
    .word = "SEPARATOR",
    .effect = "a separator line instead of a button (without \"PUSH\"); it cannot be tapped",
};
constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .note = "when the user taps the item",
};

} // namespace

const WireTable& ToolItem::wire()
{
    static const WireTable table = WireTable::extend(BasicWidget::wire()).style(kPushStyle).style(kSeparatorStyle).event(kSelectionEvent);
    return table;
}

ToolItem::ToolItem(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_item(platform::BarButtonItem::create(std::string(), platform::BarButtonStyle::Bordered))
    , m_imageHolder(platform::ImageView::create())
{
}

ToolItem::~ToolItem()
{
    ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
}

void ToolItem::didConstruct()
{
    RemoteClass::didConstruct();
    // The button holds its target weakly: a tap after the item has gone reaches nothing.
    std::weak_ptr<BasicObject> weak = weak_from_this();
    m_item->setTarget(weak, [weak](platform::BarButtonItem&) {
        if (auto self = std::static_pointer_cast<ToolItem>(weak.lock()))
            self->buttonSelected();
    });
}

const PropertyTable& ToolItem::properties()
{
    static const PropertyTable table = PropertyTable::extend<ToolItem>(BasicWidget::properties())
                                           .string("text", &ToolItem::setText,
                                               [](const ToolItem& self) { return std::optional<std::string>(self.text()); })
                                           .value("image", &ToolItem::setImage, &ToolItem::m_image)
                                           .boolean("enabled", &ToolItem::setEnabled, &ToolItem::enabled)
                                           .boolean("visible", &ToolItem::setVisible, &ToolItem::visible)
                                           .number("index", &ToolItem::setIndex,
                                               [](const ToolItem& self) { return std::optional<Value>(self.index()); })
                                           .flag("selectionListener", &ToolItem::m_selectionListener);
    return table;
}

const PropertyNames& ToolItem::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicWidget::remoteObjectProperties(), { "text", "image", "enabled", "index" });
    return names;
}

std::string ToolItem::text() const
{
    std::lock_guard lock(m_mutex);
    return m_text;
}

void ToolItem::setText(std::optional<std::string> text)
{
    {
        std::lock_guard lock(m_mutex);
        m_text = text.value_or(std::string());
    }
    applyText();
    changed();
}

void ToolItem::applyText()
{
    auto clean = Mnemonics::removeMnemonics(text());
    m_item->setPossibleTitles({ clean });
    m_item->setTitle(clean);
}

void ToolItem::setImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    m_image = image;
    m_item->setStyle(platform::BarButtonStyle::Bordered);
    if (!image) {
        ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
        showImage(nullptr);
        return;
    }
    ImageViewMorvix::loadIcon(*this, m_imageHolder, *image, [](BasicObject& self, std::shared_ptr<platform::Image> loaded) {
        static_cast<ToolItem&>(self).showImage(loaded);
    });
}

void ToolItem::showImage(const std::shared_ptr<platform::Image>& image)
{
    m_item->setImage(image);
    if (image) {
        m_item->setTitle(std::string());
        m_item->setPossibleTitles({});
    } else {
        applyText();
    }
    // The button's width follows its picture or title.
    if (auto* bar = dynamic_cast<ToolBar*>(parent().get()))
        bar->view()->setNeedsLayout();
}

bool ToolItem::enabled() const
{
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

void ToolItem::setEnabled(bool enabled)
{
    {
        std::lock_guard lock(m_mutex);
        m_enabled = enabled;
    }
    m_item->setEnabled(enabled);
    changed();
}

bool ToolItem::visible() const
{
    std::lock_guard lock(m_mutex);
    return m_visible;
}

void ToolItem::setVisible(bool visible)
{
    {
        std::lock_guard lock(m_mutex);
        m_visible = visible;
    }
    changed();
}

double ToolItem::index() const
{
    std::lock_guard lock(m_mutex);
    return m_index;
}

void ToolItem::setIndex(std::optional<Value> index)
{
    {
        std::lock_guard lock(m_mutex);
        m_index = index ? platform::numberValue(*index).value_or(0) : 0;
    }
    changed();
}

void ToolItem::setStyle(std::optional<Value> style)
{
    RemoteClass::setStyle(std::move(style));
    if (hasStyle(kPushStyle)) {
        m_item->setStyle(platform::BarButtonStyle::Bordered);
        return;
    }
    if (!hasStyle(kSeparatorStyle))
        return;
    // The separator is a picture only: the new button has no action.
    SeparatorImageRenderer renderer;
    auto picture = platform::ImageView::create(renderer.image());
    picture->setFrame({ 0, 0, SeparatorImageRenderer::kWidth, SeparatorImageRenderer::kHeight });
    m_item = platform::BarButtonItem::createWithCustomView(std::move(picture));
    changed();
}

void ToolItem::setData(std::optional<Value> data)
{
    RemoteClass::setData(std::move(data));
    changed();
}

void ToolItem::changed()
{
    if (auto* bar = dynamic_cast<ToolBar*>(parent().get()))
        bar->updateItems();
}

void ToolItem::buttonSelected()
{
    if (isDisposed() || !m_selectionListener)
        return;
    if (auto notification = notificationForObject())
        notification->fire(kSelectionEvent);
}

void ToolItem::destroy()
{
    ImageViewMorvix::cancelImageRequestOperation(*m_imageHolder);
    RemoteClass::destroy();
}

} // namespace morvix
