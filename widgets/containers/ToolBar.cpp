#include "widgets/containers/ToolBar.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"
#include "widgets/containers/ToolItem.h"
#include "widgets/delegating/DelegatingNavigationBar.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>
#include <vector>

namespace morvix {

using platform::Color;
using platform::Value;

namespace {

constexpr StyleDeclaration kFlatStyle {
    .word = "FLAT",
    .effect = "plain colour backgrounds: the bar in \"background\", each titled item in it with a border in \"foreground\"",
};

} // namespace

const WireTable& ToolBar::wire()
{
    static const WireTable table = WireTable::extend(Control::wire()).style(kFlatStyle);
    return table;
}

ToolBar::ToolBar(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_toolbar(DelegatingNavigationBar::create())
    , m_item(platform::NavigationItem::create())
{
    m_toolbar->setTranslatesAutoresizingMaskIntoConstraints(false);
    m_toolbar->setBarStyle(platform::BarStyle::Default);
    m_toolbar->setItems({ m_item });
}

ToolBar::~ToolBar() = default;

void ToolBar::didConstruct()
{
    RemoteClass::didConstruct();
    m_toolbar->setLayoutDelegate(std::static_pointer_cast<ToolBar>(shared_from_this()));
    setForeground(std::nullopt);
}

const PropertyTable& ToolBar::properties()
{
    static const PropertyTable table = PropertyTable::extend<ToolBar>(Control::properties())
                                           .color("background", &ToolBar::setBackground, &ToolBar::barBackground);
    return table;
}

std::shared_ptr<platform::View> ToolBar::view() const
{
    return m_toolbar;
}

std::optional<Color> ToolBar::barBackground() const
{
    return m_toolbar->barTintColor();
}

void ToolBar::setBackground(std::optional<Color> color)
{
    m_toolbar->setBarTintColor(color);
    if (hasStyle(kFlatStyle))
        applyFlatBackground();
    updateItems();
}

void ToolBar::setForeground(std::optional<Color> color)
{
    RemoteClass::setForeground(color);
    m_toolbar->setTitleColor(color);
    m_toolbar->setTintColor(color ? *color : FontHelper::activeColor());
    updateItems();
}

void ToolBar::setStyle(std::optional<Value> style)
{
    RemoteClass::setStyle(std::move(style));
    if (hasStyle(kFlatStyle))
        applyFlatBackground();
    updateItems();
}

void ToolBar::applyFlatBackground()
{
    m_toolbar->setBackgroundImage(imageWithColor(barBackground().value_or(Color::clear()), std::nullopt));
}

void ToolBar::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(std::move(child));
    updateItems();
}

void ToolBar::removeObject(const RemoteObject& child)
{
    RemoteClass::removeObject(child);
    updateItems();
}

void ToolBar::updateItems()
{
    m_item->setTitle(std::string());
    std::vector<std::shared_ptr<ToolItem>> tools;
    for (const auto& child : objects()) {
        if (auto tool = std::dynamic_pointer_cast<ToolItem>(child); tool && !tool->isDisposed())
            tools.push_back(std::move(tool));
    }
    std::stable_sort(tools.begin(), tools.end(), [](const auto& a, const auto& b) { return a->index() < b->index(); });
    std::vector<std::shared_ptr<platform::BarButtonItem>> left;
    std::vector<std::shared_ptr<platform::BarButtonItem>> right;
    bool pastTitle = false;
    for (const auto& tool : tools) {
        if (!tool->visible())
            continue;
        if (tool->dataForKey("title", Value(true))) {
            m_item->setTitle(tool->text());
            pastTitle = true;
            continue;
        }
        configure(*tool);
        (pastTitle ? right : left).push_back(tool->item());
    }
    m_item->setRightBarButtonItems(std::move(right));
    m_item->setLeftBarButtonItems(std::move(left));
    m_toolbar->setNeedsLayout();
    m_toolbar->setNeedsDisplay();
}

void ToolBar::configure(ToolItem& tool) const
{
    const auto& button = tool.item();
    auto background = barBackground();
    const auto& foreground = this->foreground();
    if (hasStyle(kFlatStyle)) {
        auto border = button->title().empty() ? std::nullopt : foreground;
        button->setBackgroundImage(imageWithColor(background.value_or(Color::clear()), border), platform::ControlState::Normal);
    } else {
        button->setTintColor(background);
    }
    std::optional<Color> disabled;
    if (foreground)
        disabled = foreground->withAlpha(kDisabledAlpha);
    button->setTitleColor(foreground, platform::ControlState::Normal);
    button->setTitleColor(disabled, platform::ControlState::Disabled);
}

std::shared_ptr<platform::Image> ToolBar::imageWithColor(Color color, std::optional<Color> border)
{
    platform::ImageContext canvas({ 3, 3 }, platform::Opaque::No, 1);
    auto& context = canvas.context();
    context.setFillColor(border.value_or(color));
    context.fillRect({ 0, 0, 3, 3 });
    if (!border)
        return canvas.image();
    context.clearRect({ 1, 1, 1, 1 });
    context.setFillColor(color);
    context.fillRect({ 1, 1, 1, 1 });
    auto image = canvas.image();
    return image ? image->resizable({ 1, 1, 1, 1 }, platform::ResizingMode::Stretch) : nullptr;
}

} // namespace morvix
