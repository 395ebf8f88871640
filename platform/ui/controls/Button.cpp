#include "platform/ui/controls/Button.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"

#include <algorithm>

namespace morvix::platform {

namespace {

// The platform's default tint, used for the titles of system buttons.
const Color kSystemTint = Color::fromRGBA(0.0f, 0.478f, 1.0f);
// How far a highlighted system button's title fades.
constexpr float kHighlightedAlpha = 0.2f;

} // namespace

std::shared_ptr<Button> Button::create(ButtonType type, const Rect& frame)
{
    return std::shared_ptr<Button>(new Button(type, frame));
}

Button::Button(ButtonType type, const Rect& frame)
    : Control(frame)
    , m_type(type)
    , m_titleLabel(Label::create())
    , m_imageView(ImageView::create())
{
    setOpaque(false);
    m_titleLabel->setFont(Font::system(kDefaultFontSize));
    m_titleLabel->setTextAlignment(TextAlignment::Center);
    // A title too long for the button keeps its start and end, as on the platform.
    m_titleLabel->setLineBreakMode(LineBreakMode::TruncateMiddle);
    m_titleLabel->setHidden(true);
    m_imageView->setHidden(true);
}

void Button::installParts()
{
    if (m_partsInstalled || weak_from_this().expired())
        return;
    m_partsInstalled = true;
    addSubview(m_imageView);
    addSubview(m_titleLabel);
}

template<typename Value>
const Value* Button::lookup(const std::map<ControlState, Value>& values, ControlState state)
{
    if (auto found = values.find(state); found != values.end())
        return &found->second;
    // A highlighted selected button falls back to its selected look before the normal one.
    if (hasState(state, ControlState::Selected)) {
        if (auto found = values.find(ControlState::Selected); found != values.end())
            return &found->second;
    }
    if (auto found = values.find(ControlState::Normal); found != values.end())
        return &found->second;
    return nullptr;
}

template<typename Value>
void Button::assign(std::map<ControlState, Value>& values, ControlState state, std::optional<Value> given)
{
    if (given)
        values[state] = std::move(*given);
    else
        values.erase(state);
}

void Button::assign(std::map<ControlState, std::shared_ptr<Image>>& values, ControlState state, std::shared_ptr<Image> given)
{
    if (given)
        values[state] = std::move(given);
    else
        values.erase(state);
}

template<typename Value>
std::shared_ptr<Value> Button::lookupPointer(const std::map<ControlState, std::shared_ptr<Value>>& values, ControlState state)
{
    auto found = lookup(values, state);
    return found ? *found : nullptr;
}

void Button::setTitle(std::optional<std::string> title, ControlState state)
{
    assign(m_titles, state, std::move(title));
    contentChanged();
}

std::optional<std::string> Button::titleForState(ControlState state) const
{
    if (auto title = lookup(m_titles, state))
        return *title;
    return std::nullopt;
}

void Button::setTitleColor(std::optional<Color> color, ControlState state)
{
    assign(m_titleColors, state, color);
    refreshParts();
}

Color Button::titleColorForState(ControlState state) const
{
    if (auto color = lookup(m_titleColors, state))
        return *color;
    if (m_type == ButtonType::Custom)
        return Color::white();
    Color tint = tintColor().value_or(kSystemTint);
    if (hasState(state, ControlState::Disabled))
        return Color::fromRGBA(0.56f, 0.56f, 0.56f);
    if (hasState(state, ControlState::Highlighted))
        return tint.withAlpha(tint.alpha * kHighlightedAlpha);
    return tint;
}

void Button::setImage(std::shared_ptr<Image> image, ControlState state)
{
    assign(m_images, state, std::move(image));
    contentChanged();
}

std::shared_ptr<Image> Button::imageForState(ControlState state) const
{
    return lookupPointer(m_images, state);
}

void Button::setBackgroundImage(std::shared_ptr<Image> image, ControlState state)
{
    assign(m_backgroundImages, state, std::move(image));
    setNeedsDisplay();
}

std::shared_ptr<Image> Button::backgroundImageForState(ControlState state) const
{
    return lookupPointer(m_backgroundImages, state);
}

void Button::setContentEdgeInsets(EdgeInsets insets)
{
    m_contentInsets = insets;
    contentChanged();
}

void Button::setTitleEdgeInsets(EdgeInsets insets)
{
    m_titleInsets = insets;
    setNeedsLayout();
}

void Button::setImageEdgeInsets(EdgeInsets insets)
{
    m_imageInsets = insets;
    setNeedsLayout();
}

void Button::setEnabled(bool enabled)
{
    Control::setEnabled(enabled);
    contentChanged();
}

void Button::setHighlighted(bool highlighted)
{
    Control::setHighlighted(highlighted);
    contentChanged();
}

void Button::setSelected(bool selected)
{
    Control::setSelected(selected);
    contentChanged();
}

void Button::contentChanged()
{
    refreshParts();
    invalidateIntrinsicContentSize();
    setNeedsLayout();
    setNeedsDisplay();
}

void Button::refreshParts()
{
    installParts();
    ControlState current = state();
    auto title = titleForState(current);
    m_titleLabel->setText(title.value_or(""));
    m_titleLabel->setHidden(!title || title->empty());
    m_titleLabel->setTextColor(titleColorForState(current));
    auto image = imageForState(current);
    m_imageView->setImage(image);
    m_imageView->setHidden(!image);
}

Size Button::titleSize() const
{
    if (m_titleLabel->isHidden())
        return {};
    return m_titleLabel->intrinsicContentSize();
}

Size Button::imageSize() const
{
    auto image = m_imageView->image();
    return image ? image->size() : Size();
}

Size Button::intrinsicContentSize() const
{
    Size title = titleSize();
    Size image = imageSize();
    return { image.width + title.width + m_contentInsets.left + m_contentInsets.right,
        std::max(image.height, title.height) + m_contentInsets.top + m_contentInsets.bottom };
}

Size Button::sizeThatFits(Size size) const
{
    (void)size;
    return intrinsicContentSize();
}

namespace {

// Where a part of `length` goes along a room from `start` of `room` long, with `before` of the
// content ahead of it and `after` behind it.
double alongRoom(double start, double room, double length, double before, double after, int alignment)
{
    switch (alignment) {
    case 1: // left or top
        return start + before;
    case 2: // right or bottom
        return start + room - length - after;
    case 0: // centre
        return start + (room - before - length - after) / 2 + before;
    default: // fill
        return start + before;
    }
}

} // namespace

void Button::layoutSubviews()
{
    installParts();
    Rect content = bounds().inset(m_contentInsets);
    Rect imageRoom = content.inset(m_imageInsets);
    Rect titleRoom = content.inset(m_titleInsets);
    Size title = titleSize();
    Size image = imageSize();
    // An image larger than its room is shrunk into it, its aspect kept.
    bool fits = image.width <= imageRoom.width() && image.height <= imageRoom.height();
    if (!fits && image.width > 0 && image.height > 0) {
        double factor = std::max(0.0, std::min(imageRoom.width() / image.width, imageRoom.height() / image.height));
        image = { image.width * factor, image.height * factor };
    }
    // A title wider than the room beside the image takes the room, and wraps in it when its
    // label has lines to spare.
    double room = std::max(0.0, titleRoom.width() - image.width);
    if (title.width > room) {
        title.width = room;
        if (m_titleLabel->numberOfLines() != 1)
            title.height = m_titleLabel->sizeThatFits({ room, 0 }).height;
    }
    auto horizontal = static_cast<int>(contentHorizontalAlignment());
    auto vertical = static_cast<int>(contentVerticalAlignment());
    if (contentHorizontalAlignment() == ContentHorizontalAlignment::Fill)
        title.width = room;
    Rect imageFrame(alongRoom(imageRoom.x(), imageRoom.width(), image.width, 0, title.width, horizontal),
        alongRoom(imageRoom.y(), imageRoom.height(), image.height, 0, 0, vertical), image.width, image.height);
    Rect titleFrame(alongRoom(titleRoom.x(), titleRoom.width(), title.width, image.width, 0, horizontal),
        alongRoom(titleRoom.y(), titleRoom.height(), title.height, 0, 0, vertical), title.width, title.height);
    if (contentVerticalAlignment() == ContentVerticalAlignment::Fill) {
        imageFrame = Rect(imageFrame.x(), imageRoom.y(), imageFrame.width(), imageRoom.height());
        titleFrame = Rect(titleFrame.x(), titleRoom.y(), titleFrame.width(), titleRoom.height());
    }
    m_imageView->setFrame(imageFrame);
    m_titleLabel->setFrame(titleFrame);
}

void Button::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    if (auto background = backgroundImageForState(state()))
        context.drawImage(*background, bounds());
}

} // namespace morvix::platform
