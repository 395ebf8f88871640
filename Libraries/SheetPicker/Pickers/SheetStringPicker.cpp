#include "Libraries/SheetPicker/Pickers/SheetStringPicker.h"

#include "platform/foundation/Value.h"

#include <limits>

namespace morvix {

using namespace platform;

SheetStringPicker::SheetStringPicker(std::optional<std::string> title, Value data, long initialSelection, SheetPickerTarget target,
    SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin)
    : AbstractSheetPicker(std::move(target), std::move(cancelAction), std::move(origin))
    , m_data(std::move(data))
    , m_selectedIndex(initialSelection)
    , m_successAction(std::move(successAction))
{
    setTitle(std::move(title));
}

std::shared_ptr<SheetStringPicker> SheetStringPicker::create(std::optional<std::string> title, Value data, long initialSelection,
    SheetPickerTarget target, SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin)
{
    auto picker = std::shared_ptr<SheetStringPicker>(new SheetStringPicker(std::move(title), std::move(data), initialSelection,
        std::move(target), std::move(successAction), std::move(cancelAction), std::move(origin)));
    picker->finishCreation();
    return picker;
}

std::shared_ptr<SheetStringPicker> SheetStringPicker::create(std::optional<std::string> title, Value data, long initialSelection,
    DoneBlock doneBlock, CancelBlock cancelBlock, SheetPickerOrigin origin)
{
    auto picker = create(std::move(title), std::move(data), initialSelection, {}, {}, {}, std::move(origin));
    picker->m_doneBlock = std::move(doneBlock);
    picker->m_cancelBlock = std::move(cancelBlock);
    return picker;
}

std::shared_ptr<SheetStringPicker> SheetStringPicker::show(std::optional<std::string> title, Value data, long initialSelection,
    SheetPickerTarget target, SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin)
{
    auto picker = create(std::move(title), std::move(data), initialSelection, std::move(target), std::move(successAction),
        std::move(cancelAction), std::move(origin));
    picker->showSheetPicker();
    return picker;
}

std::shared_ptr<SheetStringPicker> SheetStringPicker::show(std::optional<std::string> title, Value data, long initialSelection,
    DoneBlock doneBlock, CancelBlock cancelBlock, SheetPickerOrigin origin)
{
    auto picker = create(std::move(title), std::move(data), initialSelection, std::move(doneBlock), std::move(cancelBlock), std::move(origin));
    picker->showSheetPicker();
    return picker;
}

int SheetStringPicker::rowCount() const
{
    if (!m_data.is_array())
        return 0;
    return static_cast<int>(std::min<std::size_t>(m_data.size(), std::numeric_limits<int>::max()));
}

void SheetStringPicker::followWheel()
{
    auto wheel = std::dynamic_pointer_cast<PickerView>(pickerView());
    if (wheel && wheel->selectedRow(0) >= 0)
        m_selectedIndex = wheel->selectedRow(0);
}

void SheetStringPicker::setData(Value data)
{
    // Every update from the wire is a new array, so the rows are always taken and reloaded.
    m_data = std::move(data);
    if (auto wheel = std::dynamic_pointer_cast<PickerView>(pickerView())) {
        wheel->reloadAllComponents();
        followWheel();
    }
}

std::shared_ptr<View> SheetStringPicker::configuredPickerView()
{
    if (m_data.is_null())
        return nullptr;
    auto wheel = PickerView::create({ 0, kPickerY, viewSize().width, kPickerHeight });
    auto self = std::static_pointer_cast<SheetStringPicker>(shared_from_this());
    wheel->setDelegate(std::static_pointer_cast<PickerViewDelegate>(self));
    wheel->setDataSource(std::static_pointer_cast<PickerViewDataSource>(self));
    if (m_selectedIndex >= 0 && m_selectedIndex <= std::numeric_limits<int>::max())
        wheel->selectRow(static_cast<int>(m_selectedIndex), 0, Animated::No);
    bool hasRows = rowCount() > 0;
    wheel->setShowsSelectionIndicator(hasRows);
    wheel->setUserInteractionEnabled(hasRows);
    setPickerView(wheel);
    followWheel();
    return wheel;
}

int SheetStringPicker::numberOfComponents(PickerView&)
{
    return 1;
}

int SheetStringPicker::numberOfRows(PickerView&, int)
{
    return rowCount();
}

std::optional<std::string> SheetStringPicker::titleForRow(PickerView&, int row, int)
{
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    const Value& value = m_data[static_cast<std::size_t>(row)];
    if (value.is_string())
        return value.get<std::string>();
    if (isNumber(value))
        return numberText(value);
    return std::nullopt;
}

std::optional<double> SheetStringPicker::widthForComponent(PickerView& picker, int)
{
    return picker.bounds().width() - 30;
}

void SheetStringPicker::didSelectRow(PickerView&, int row, int)
{
    m_selectedIndex = row;
}

void SheetStringPicker::notifyTargetDidSucceed(const SheetPickerOrigin& origin)
{
    if (m_doneBlock) {
        bool inData = m_selectedIndex >= 0 && m_selectedIndex < rowCount();
        Value value = inData ? m_data[static_cast<std::size_t>(m_selectedIndex)] : Value();
        m_doneBlock(*this, m_selectedIndex, value);
        return;
    }
    if (target().responds(m_successAction)) {
        m_successAction.function(m_selectedIndex, origin);
        return;
    }
    logInvalidTarget(m_successAction.name);
}

void SheetStringPicker::notifyTargetDidCancel(const SheetPickerOrigin& origin)
{
    if (m_cancelBlock) {
        m_cancelBlock(*this);
        return;
    }
    AbstractSheetPicker::notifyTargetDidCancel(origin);
}

} // namespace morvix
