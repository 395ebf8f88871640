#include "widgets/controls/Combo.h"

#include "Libraries/SheetPicker/Pickers/SheetStringPicker.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Utf16.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/controls/Label.h"
#include "widgets/controls/Scale.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>

namespace morvix {

using platform::ControlState;
using platform::Value;

namespace {

constexpr platform::EdgeInsets kButtonInsets { 6, 6, 6, 20 };

constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .attributes = R"({"selectionIndex": number})",
    .note = "after the three properties, when the user picks an item, with its index",
};
constexpr EventDeclaration kDefaultSelectionEvent {
    .listen = "DefaultSelection",
    .name = "DefaultSelection",
    .note = "after the three properties, when the user picks an item and \"Selection\" is not listened",
};
constexpr ReportDeclaration kListVisibleReport {
    .name = "listVisible",
    .kind = "boolean",
    .note = "false, when the user picks an item: with the event, else scheduled",
};
constexpr ReportDeclaration kSelectionReport {
    .name = "selection",
    .kind = "[0, length]",
    .note = "the picked item's text as a text selection, 0 to its length in UTF-16 code units, with \"listVisible\"",
};
constexpr ReportDeclaration kSelectionIndexReport {
    .name = "selectionIndex",
    .kind = "number",
    .note = "the picked item's index, with \"listVisible\"",
};

} // namespace

const WireTable& Combo::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .event(kSelectionEvent)
                                       .event(kDefaultSelectionEvent)
                                       .report(kListVisibleReport)
                                       .report(kSelectionReport)
                                       .report(kSelectionIndexReport);
    return table;
}

const PropertyTable& Combo::properties()
{
    static const PropertyTable table = PropertyTable::extend<Combo>(Control::properties())
                                           .array("items", &Combo::setItems,
                                               [](const Combo& self) {
                                                   Value items = Value::array();
                                                   for (auto& item : self.items())
                                                       items.push_back(item);
                                                   return std::optional<Value>(std::move(items));
                                               })
                                           .number("selectionIndex", &Combo::setSelectionIndex,
                                               [](const Combo& self) { return std::optional<Value>(self.selectionIndex()); })
                                           .string("text", &Combo::setText,
                                               [](const Combo& self) { return std::optional<std::string>(self.text()); })
                                           .string("toolTip", &Combo::setToolTip, &Combo::toolTip)
                                           .boolean("enabled", &Combo::setEnabled, &Combo::buttonEnabled)
                                           .font("font", &Combo::setFont, &Combo::currentFont)
                                           .color("foreground", &Combo::setForeground, &Combo::foreground)
                                           .color("background", &Combo::setBackground, &Combo::internalBackground);
    return table;
}

const PropertyNames& Combo::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "text", "toolTip", "enabled", "selectionIndex", "items", "font" });
    return names;
}

Combo::Combo(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_button(DelegatingButton::create(platform::ButtonType::Custom))
{
    initializeButton(*m_button);
}

Combo::~Combo() = default;

void Combo::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Combo>(shared_from_this());
    m_button->setDelegate(self);
    std::weak_ptr<Combo> weak = self;
    m_button->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto combo = weak.lock())
            combo->buttonUp();
    }, platform::ControlEventTouchUpInside);
    setFont(std::nullopt);
    setForeground(std::nullopt);
    setBackground(std::nullopt);
    m_rotationObserver = platform::NotificationCenter::defaultCenter()->addObserver(
        platform::DeviceInfo::kOrientationDidChangeNotification, nullptr, [weak](const platform::Notification&) {
            if (auto combo = weak.lock())
                combo->close();
        });
}

std::shared_ptr<platform::View> Combo::view() const
{
    return m_button;
}

// MARK: The shared picker button

void Combo::initializeButton(DelegatingButton& button)
{
    button.setClipsToBounds(true);
    button.setContentVerticalAlignment(platform::ContentVerticalAlignment::Center);
    button.titleLabel()->setBackgroundColor(platform::Color::clear());
    button.setTitle("", ControlState::Normal);
    button.setUserInteractionEnabled(true);
    button.layer().setBorderColor(platform::Color::fromRGBA(2 / 3.0f, 2 / 3.0f, 2 / 3.0f));
    bool unitScale = platform::Screen::main().scale() == 1.0;
    button.layer().setCornerRadius(unitScale ? 8 : 5);
    button.layer().setBorderWidth(unitScale ? 0.6 : 0.4);
    button.setContentEdgeInsets(kButtonInsets);
    button.setContentHorizontalAlignment(platform::ContentHorizontalAlignment::Left);
}

void Combo::applyForeground(DelegatingButton& button, ComboImageRenderer& renderer, const std::optional<platform::Color>& color)
{
    button.setTitleColor(color.value_or(FontHelper::textColor()), ControlState::Normal);
    renderer.setForeground(color.value_or(FontHelper::activeColor()));
    updateButtonImages(button, renderer);
}

void Combo::updateButtonImages(DelegatingButton& button, const ComboImageRenderer& renderer)
{
    auto resizable = [](const std::shared_ptr<platform::Image>& image) {
        return image ? image->resizable(kButtonInsets, platform::ResizingMode::Stretch) : nullptr;
    };
    button.setBackgroundImage(resizable(renderer.enabledImage()), ControlState::Normal);
    button.setBackgroundImage(resizable(renderer.pressedImage()), ControlState::Highlighted);
    button.setBackgroundImage(resizable(renderer.disabledImage()), ControlState::Disabled);
}

void Combo::applyEnabled(DelegatingButton& button, bool enabled)
{
    button.setEnabled(enabled);
    button.setAlpha(enabled ? 1.0 : 0.5);
}

// MARK: Properties

std::vector<std::string> Combo::items() const
{
    std::lock_guard lock(m_mutex);
    return m_items;
}

long Combo::selectionIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_selectionIndex;
}

void Combo::setItems(std::optional<Value> items)
{
    std::vector<std::string> stored;
    if (items && items->is_array()) {
        for (const auto& item : *items)
            stored.push_back(item.is_string() ? item.get<std::string>() : item.dump());
    }
    {
        std::lock_guard lock(m_mutex);
        m_items = std::move(stored);
    }
    // Every wire update is a new array, so the picker's rows always follow.
    if (m_picker)
        m_picker->setData(pickerRows());
    updateSelectionIndex();
}

void Combo::updateSelectionIndex()
{
    long index;
    {
        std::lock_guard lock(m_mutex);
        long count = static_cast<long>(m_items.size());
        if (m_selectionIndex >= count)
            m_selectionIndex = count - 1;
        index = m_selectionIndex;
    }
    setSelectionIndex(Value(index));
}

void Combo::setSelectionIndex(std::optional<Value> index)
{
    long stored = saturatedInteger<long>(index);
    std::vector<std::string> items;
    {
        std::lock_guard lock(m_mutex);
        m_selectionIndex = stored;
        items = m_items;
    }
    applySelectionTitle(stored, items);
}

void Combo::applySelectionTitle(long index, const std::vector<std::string>& items)
{
    if (index < 0) {
        m_button->setTitle("", ControlState::Normal);
        return;
    }
    if (index < static_cast<long>(items.size()))
        m_button->setTitle(items[static_cast<std::size_t>(index)], ControlState::Normal);
}

std::string Combo::text() const
{
    return m_button->titleLabel()->text();
}

void Combo::setText(std::optional<std::string> text)
{
    m_button->setTitle(text.value_or(""), ControlState::Normal);
}

void Combo::setEnabled(bool enabled)
{
    applyEnabled(*m_button, enabled);
}

bool Combo::buttonEnabled() const
{
    return m_button->isEnabled();
}

void Combo::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color.value_or(FontHelper::textColor()));
    applyForeground(*m_button, m_imageRenderer, color);
}

void Combo::setBackground(std::optional<platform::Color> color)
{
    m_internalBackground = color;
    RemoteClass::setBackground(color.value_or(platform::Color::white()));
}

void Combo::setFont(std::optional<platform::Font> font)
{
    RemoteClass::setFont(font);
    m_button->titleLabel()->setFont(font.value_or(FontHelper::comboFont()));
}

platform::Font Combo::currentFont() const
{
    return font().value_or(FontHelper::comboFont());
}

// MARK: The picker

Value Combo::pickerRows() const
{
    Value rows = Value::array();
    if (m_openedWithEmptySelection)
        rows.push_back("");
    for (const auto& item : items())
        rows.push_back(item);
    return rows;
}

void Combo::buttonUp()
{
    long index;
    long count;
    {
        std::lock_guard lock(m_mutex);
        index = m_selectionIndex;
        count = static_cast<long>(m_items.size());
    }
    // An index past the items (set after them) opens like no selection: the blank row.
    m_openedWithEmptySelection = index < 0 || index >= count;
    long initialRow = m_openedWithEmptySelection ? 0 : index;
    auto self = std::static_pointer_cast<Combo>(shared_from_this());
    std::weak_ptr<Combo> weak = self;
    SheetStringPicker::SuccessAction action { "pickerViewDidSelectRow:", [weak](long row, const SheetPickerOrigin&) {
        if (auto combo = weak.lock())
            combo->pickerViewDidSelectRow(row);
    } };
    m_picker = SheetStringPicker::create(m_toolTip, pickerRows(), initialRow, SheetPickerTarget(self), std::move(action), {},
        SheetPickerOrigin(std::static_pointer_cast<platform::View>(m_button)));
    m_picker->showSheetPicker();
}

void Combo::pickerViewDidSelectRow(long row)
{
    didSelectRow(row - (m_openedWithEmptySelection ? 1 : 0));
}

void Combo::didSelectRow(long index)
{
    // The items may have changed under the open wheel: a row past them is the last item, and
    // with no items nothing is selected.
    long count = static_cast<long>(items().size());
    index = std::clamp(index, -1L, count - 1);
    setSelectionIndex(Value(index));
    sendSelection();
}

void Combo::sendSelection()
{
    auto message = notificationForObject();
    if (!message)
        return;
    long index;
    std::size_t length = 0;
    {
        std::lock_guard lock(m_mutex);
        index = m_selectionIndex;
        if (index >= 0 && index < static_cast<long>(m_items.size()))
            length = platform::utf16::length(m_items[static_cast<std::size_t>(index)]);
    }
    message->report(kListVisibleReport, false);
    message->report(kSelectionReport, Value::array({ 0, length }));
    message->report(kSelectionIndexReport, index);
    if (m_selectionListener) {
        Value attributes = Value::object();
        attributes["selectionIndex"] = index;
        message->fire(kSelectionEvent, std::move(attributes));
    } else if (m_defaultSelectionListener) {
        message->fire(kDefaultSelectionEvent);
    } else {
        message->schedule();
    }
}

void Combo::close()
{
    if (auto picker = m_picker)
        picker->dismissPicker();
}

void Combo::destroy()
{
    m_rotationObserver.reset();
    close();
    RemoteClass::destroy();
}

} // namespace morvix
