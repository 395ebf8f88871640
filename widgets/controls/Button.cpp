#include "widgets/controls/Button.h"

#include "core/base/Strings.h"
#include "core/outgoing/Notification.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "widgets/controls/CheckBox.h"
#include "widgets/controls/FlatButton.h"
#include "widgets/controls/PushButton.h"
#include "widgets/controls/RadioButton.h"
#include "widgets/controls/ToggleButton.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/foundation/StyleWords.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/text/Colors.h"
#include "widgets/text/Mnemonics.h"

namespace morvix {

using platform::ControlState;
using platform::Value;

namespace {

constexpr double kDisabledAlpha = 0.5;

constexpr CreationVariant kPushVariant { .property = "style", .value = "", .kind = "a push button" };
constexpr CreationVariant kCheckVariant { .property = "style", .value = "CHECK", .kind = "a check box" };
constexpr CreationVariant kRadioVariant { .property = "style", .value = "RADIO", .kind = "a radio button" };
constexpr CreationVariant kFlatVariant { .property = "style", .value = "FLAT", .kind = "a flat button" };
constexpr CreationVariant kToggleVariant { .property = "style", .value = "TOGGLE", .kind = "a toggle button" };
constexpr StyleDeclaration kCheckStyle { .word = "CHECK", .effect = "makes a check box (at creation; over the other kind words)" };
constexpr StyleDeclaration kRadioStyle {
    .word = "RADIO",
    .effect = "makes a radio button (at creation): selecting one unselects the others of its parent",
};
constexpr StyleDeclaration kFlatStyle { .word = "FLAT", .effect = "makes a flat button, a title without a background (at creation)" };
constexpr StyleDeclaration kToggleStyle {
    .word = "TOGGLE",
    .effect = "makes a toggle button, which stays pressed until tapped again (at creation)",
};
constexpr StyleDeclaration kWrapStyle {
    .word = "WRAP",
    .effect = "the title shows on as many lines as it needs, wrapped between words; without it, on one line with "
              "line breaks removed",
};

constexpr EventDeclaration kDefaultSelectionEvent {
    .listen = "DefaultSelection",
    .name = "DefaultSelection",
    .note = "after \"selection\", on each tap, when \"Selection\" is not listened",
};
constexpr ReportDeclaration kSelectionReport {
    .name = "selection",
    .kind = "boolean",
    .note = "on each tap: the new state of a check box, radio or toggle button; always true for a push or flat "
            "button, where it means only that the button was tapped. With the event when \"Selection\" or "
            "\"DefaultSelection\" is listened, else scheduled",
};

} // namespace

const EventDeclaration Button::kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .note = "after \"selection\" (true), on each tap",
};

const EventDeclaration Button::kToggledSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .attributes = R"({"selection": boolean})",
    .note = "after \"selection\", on each tap, with the new state; tapping a selected radio button sends nothing",
};

const WireTable& Button::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .variant(kPushVariant)
                                       .variant(kCheckVariant)
                                       .variant(kRadioVariant)
                                       .variant(kFlatVariant)
                                       .variant(kToggleVariant)
                                       .style(kCheckStyle)
                                       .style(kRadioStyle)
                                       .style(kFlatStyle)
                                       .style(kToggleStyle)
                                       .style(kWrapStyle)
                                       .event(kDefaultSelectionEvent)
                                       .report(kSelectionReport);
    return table;
}

std::shared_ptr<BasicObject> Button::create(const std::string& id, const Value* properties,
    std::shared_ptr<ClientContext> client)
{
    if (creationStyleHasWord(properties, kCheckStyle))
        return construct<CheckBox>(id, std::move(client));
    if (creationStyleHasWord(properties, kRadioStyle))
        return construct<RadioButton>(id, std::move(client));
    if (creationStyleHasWord(properties, kFlatStyle))
        return construct<FlatButton>(id, std::move(client));
    if (creationStyleHasWord(properties, kToggleStyle))
        return construct<ToggleButton>(id, std::move(client));
    return construct<PushButton>(id, std::move(client));
}

const PropertyTable& Button::properties()
{
    static const PropertyTable table = PropertyTable::extend<Button>(Control::properties())
                                           .string("text", &Button::setText,
                                               [](const Button& self) { return std::optional<std::string>(self.text()); })
                                           .string("alignment", &Button::setAlignment, &Button::alignment)
                                           .array("image", &Button::setImage, &Button::image)
                                           .font("font", &Button::setFont, &Button::currentFont)
                                           .boolean("enabled", &Button::setEnabled, &Button::buttonEnabled)
                                           .boolean("selection", &Button::setSelection, &Button::selection)
                                           .color("foreground", &Button::setForeground, &Button::foregroundColor)
                                           .color("background", &Button::setBackground, &Button::backgroundColor);
    return table;
}

const PropertyNames& Button::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "text", "alignment", "image", "font", "enabled", "selection" });
    return names;
}

Button::Button(CreationKey key, std::string id, std::shared_ptr<ClientContext> client, platform::ButtonType type)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_button(DelegatingButton::create(type))
    , m_imageHolder(platform::ImageView::create())
    , m_backgroundImageHolder(platform::ImageView::create())
{
}

Button::~Button() = default;

void Button::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Button>(shared_from_this());
    m_button->setDelegate(self);
    std::weak_ptr<Button> weak = self;
    m_button->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto button = weak.lock())
            button->buttonUp();
    }, platform::ControlEventTouchUpInside);
    m_button->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto button = weak.lock())
            button->buttonDown();
    }, platform::ControlEventTouchDown);
}

std::shared_ptr<platform::View> Button::view() const
{
    return m_button;
}

// MARK: The look every kind shares

void Button::applyLayout(platform::ContentHorizontalAlignment horizontal, platform::EdgeInsets image,
    platform::EdgeInsets title)
{
    m_button->setContentHorizontalAlignment(horizontal);
    m_button->setContentVerticalAlignment(platform::ContentVerticalAlignment::Center);
    m_button->setContentEdgeInsets({});
    m_button->setImageEdgeInsets(image);
    m_button->setTitleEdgeInsets(title);
}

void Button::centreTitle(bool opaque)
{
    auto& label = m_button->titleLabel();
    label->setTextAlignment(platform::TextAlignment::Center);
    label->setBackgroundColor(platform::Color::clear());
    label->setOpaque(opaque);
}

void Button::applyTitleColors(const platform::Color& color)
{
    m_button->setTitleColor(color, ControlState::Normal);
    m_button->setTitleColor(Colors::darkerColorFor(color), ControlState::Highlighted);
}

double Button::pushCornerRadius()
{
    return platform::Screen::main().scale() == 1.0 ? 8.0 : 5.0;
}

// MARK: Properties

void Button::setText(std::optional<std::string> text)
{
    m_text = text.value_or("");
    std::string title = Mnemonics::removeMnemonics(m_text);
    if (!hasStyle(kWrapStyle))
        title = Strings::toSingleLine(title);
    m_button->setTitle(title, ControlState::Normal);
}

void Button::setAlignment(std::optional<std::string> alignment)
{
    if (!alignment || alignment->empty())
        alignment = defaultAlignment();
    m_alignment = alignment;
    auto& label = *m_button->titleLabel();
    if (*alignment == "left") {
        m_button->setContentHorizontalAlignment(platform::ContentHorizontalAlignment::Left);
        label.setTextAlignment(platform::TextAlignment::Left);
    } else if (*alignment == "right") {
        m_button->setContentHorizontalAlignment(platform::ContentHorizontalAlignment::Right);
        label.setTextAlignment(platform::TextAlignment::Right);
    } else if (*alignment == "center") {
        m_button->setContentHorizontalAlignment(platform::ContentHorizontalAlignment::Center);
        label.setTextAlignment(platform::TextAlignment::Center);
    }
}

void Button::setStyle(std::optional<Value> style)
{
    RemoteClass::setStyle(std::move(style));
    auto& label = *m_button->titleLabel();
    if (hasStyle(kWrapStyle)) {
        label.setNumberOfLines(0);
        label.setLineBreakMode(platform::LineBreakMode::WordWrap);
    } else {
        label.setNumberOfLines(1);
    }
    m_button->invalidateIntrinsicContentSize();
    m_button->setNeedsLayout();
}

void Button::setFont(std::optional<platform::Font> font)
{
    RemoteClass::setFont(font);
    m_button->titleLabel()->setFont(font.value_or(defaultFont()));
    m_button->invalidateIntrinsicContentSize();
    m_button->setNeedsLayout();
}

std::optional<platform::Font> Button::currentFont() const
{
    return font().value_or(defaultFont());
}

void Button::setEnabled(bool enabled)
{
    m_button->setEnabled(enabled);
    m_button->setAlpha(enabled ? 1.0 : kDisabledAlpha);
}

bool Button::buttonEnabled() const
{
    return m_button->isEnabled();
}

void Button::setSelection(bool selection)
{
    if (hasToggleState())
        m_button->setSelected(selection);
}

bool Button::selection() const
{
    return m_button->isSelected();
}

bool Button::selected() const
{
    return hasToggleState() ? m_button->isSelected() : true;
}

// MARK: Images

void Button::loadImage(const std::shared_ptr<platform::ImageView>& holder, const std::optional<Value>& image,
    void (Button::*apply)(const std::shared_ptr<platform::Image>&))
{
    if (!image || image->is_null()) {
        ImageViewMorvix::cancelImageRequestOperation(*holder);
        (this->*apply)(nullptr);
        return;
    }
    std::weak_ptr<Button> weak = std::static_pointer_cast<Button>(shared_from_this());
    ImageViewMorvix::setImageWithProperties(holder, *image, client(),
        [weak, apply](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) {
            if (auto self = weak.lock())
                ((*self).*apply)(loaded);
        },
        [weak, apply](const auto&, const auto&, const platform::Error&) {
            if (auto self = weak.lock())
                ((*self).*apply)(nullptr);
        });
}

void Button::setImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    m_image = image;
    loadImage(m_imageHolder, image, &Button::showImage);
}

void Button::showImage(const std::shared_ptr<platform::Image>& image)
{
    m_button->setImage(image, ControlState::Normal);
    auto tint = foregroundColor().value_or(platform::Color::black());
    m_button->setImage(image ? highlightImage(image, tint) : nullptr, ControlState::Highlighted);
}

void Button::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    RemoteClass::setBackgroundImage(image);
    loadImage(m_backgroundImageHolder, image, &Button::showBackgroundImage);
}

void Button::showBackgroundImage(const std::shared_ptr<platform::Image>& image)
{
    for (auto state : { ControlState::Normal, ControlState::Disabled, ControlState::Selected })
        m_button->setBackgroundImage(image, state);
}

std::shared_ptr<platform::Image> Button::highlightImage(const std::shared_ptr<platform::Image>& image,
    const platform::Color& color)
{
    if (!image)
        return nullptr;
    double scale = image->scale() > 0 ? image->scale() : 1.0;
    platform::Size size = image->size();
    platform::ImageContext canvas(size, platform::Opaque::No, scale);
    if (!canvas.isValid())
        return nullptr;
    auto& context = canvas.context();
    platform::Rect whole { 0, 0, size.width, size.height };
    context.drawImage(*image, whole);
    context.setBlendMode(platform::BlendMode::SourceIn);
    context.setFillColor(color);
    context.fillRect(whole);
    return canvas.image();
}

// MARK: Touches

void Button::buttonDown()
{
    m_button->setImageEdgeInsets({ 5, 2, 5, 16 });
    m_button->setTitleEdgeInsets({ 5, 2, 5, 2 });
}

void Button::buttonUp()
{
    if (hasToggleState())
        m_button->setSelected(!m_button->isSelected());
    auto message = notificationForObject();
    if (!message)
        return;
    bool reported = selected();
    message->report(kSelectionReport, reported);
    if (!m_selectionListener) {
        if (m_defaultSelectionListener)
            message->fire(kDefaultSelectionEvent);
        else
            message->schedule();
    } else if (hasToggleState()) {
        Value attributes = Value::object();
        attributes["selection"] = reported;
        message->fire(kToggledSelectionEvent, std::move(attributes));
    } else {
        message->fire(kSelectionEvent);
    }
}

} // namespace morvix
