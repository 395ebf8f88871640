#include "Libraries/SheetPicker/Pickers/SheetCustomPicker.h"

namespace morvix {

using namespace platform;

SheetCustomPicker::SheetCustomPicker(std::optional<std::string> title, std::shared_ptr<SheetCustomPickerDelegate> delegate,
    SheetPickerOrigin origin, std::vector<int> initialSelections)
    : AbstractSheetPicker({}, {}, std::move(origin))
    , m_delegate(std::move(delegate))
    , m_initialSelections(std::move(initialSelections))
{
    setTitle(std::move(title));
}

std::shared_ptr<SheetCustomPicker> SheetCustomPicker::create(std::optional<std::string> title, std::shared_ptr<SheetCustomPickerDelegate> delegate,
    bool showCancelButton, SheetPickerOrigin origin, std::vector<int> initialSelections)
{
    auto picker = std::shared_ptr<SheetCustomPicker>(
        new SheetCustomPicker(std::move(title), std::move(delegate), std::move(origin), std::move(initialSelections)));
    picker->setHideCancel(!showCancelButton);
    picker->finishCreation();
    return picker;
}

std::shared_ptr<SheetCustomPicker> SheetCustomPicker::show(std::optional<std::string> title, std::shared_ptr<SheetCustomPickerDelegate> delegate,
    bool showCancelButton, SheetPickerOrigin origin, std::vector<int> initialSelections)
{
    auto picker = create(std::move(title), std::move(delegate), showCancelButton, std::move(origin), std::move(initialSelections));
    picker->showSheetPicker();
    return picker;
}

std::shared_ptr<View> SheetCustomPicker::configuredPickerView()
{
    auto wheel = PickerView::create({ 0, kPickerY, viewSize().width, kPickerHeight });
    wheel->setDelegate(m_delegate);
    wheel->setDataSource(m_delegate);
    wheel->setShowsSelectionIndicator(true);
    for (std::size_t component = 0; component < m_initialSelections.size(); ++component)
        wheel->selectRow(m_initialSelections[component], static_cast<int>(component), Animated::No);
    setPickerView(wheel);
    if (auto configures = std::dynamic_pointer_cast<SheetCustomPickerDelegate::ConfiguresPickerView>(m_delegate))
        configures->actionSheetPickerConfigurePickerView(*this, *wheel);
    return wheel;
}

void SheetCustomPicker::notifyTargetDidSucceed(const SheetPickerOrigin& origin)
{
    if (auto hears = std::dynamic_pointer_cast<SheetCustomPickerDelegate::HearsSuccess>(m_delegate))
        hears->actionSheetPickerDidSucceed(*this, origin);
}

void SheetCustomPicker::notifyTargetDidCancel(const SheetPickerOrigin& origin)
{
    if (auto hears = std::dynamic_pointer_cast<SheetCustomPickerDelegate::HearsCancel>(m_delegate))
        hears->actionSheetPickerDidCancel(*this, origin);
}

} // namespace morvix
