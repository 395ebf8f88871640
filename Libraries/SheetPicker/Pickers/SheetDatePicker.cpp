#include "Libraries/SheetPicker/Pickers/SheetDatePicker.h"

#include "platform/foundation/Value.h"

namespace morvix {

using namespace platform;

SheetDatePicker::SheetDatePicker(std::optional<std::string> title, DatePickerMode mode, Date selectedDate, SheetPickerTarget target,
    SuccessAction action, CancelAction cancelAction, SheetPickerOrigin origin)
    : AbstractSheetPicker(std::move(target), std::move(cancelAction), std::move(origin))
    , m_selectedDate(selectedDate)
    , m_mode(mode)
    , m_successAction(std::move(action))
{
    setTitle(std::move(title));
}

std::shared_ptr<SheetDatePicker> SheetDatePicker::create(std::optional<std::string> title, DatePickerMode mode, Date selectedDate,
    SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin, CancelAction cancelAction)
{
    auto picker = std::shared_ptr<SheetDatePicker>(new SheetDatePicker(std::move(title), mode, selectedDate, std::move(target),
        std::move(action), std::move(cancelAction), std::move(origin)));
    picker->finishCreation();
    return picker;
}

std::shared_ptr<SheetDatePicker> SheetDatePicker::show(std::optional<std::string> title, DatePickerMode mode, Date selectedDate,
    SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin)
{
    auto picker = create(std::move(title), mode, selectedDate, std::move(target), std::move(action), std::move(origin));
    picker->showSheetPicker();
    return picker;
}

std::shared_ptr<View> SheetDatePicker::configuredPickerView()
{
    auto wheels = DatePicker::create({ 0, kPickerY, viewSize().width, kPickerHeight });
    wheels->setMode(m_mode);
    wheels->setMaximumDate(m_maximumDate);
    wheels->setMinimumDate(m_minimumDate);
    wheels->setMinuteInterval(m_minuteInterval);
    wheels->setCalendar(m_calendar);
    wheels->setTimeZone(m_timeZone);
    wheels->setLocale(m_locale);
    wheels->setDate(m_selectedDate, Animated::No);
    std::weak_ptr<SheetDatePicker> weak = std::static_pointer_cast<SheetDatePicker>(shared_from_this());
    wheels->addAction(
        [weak](Control& sender, const Event*) {
            if (auto picker = weak.lock())
                picker->eventForDatePicker(sender);
        },
        ControlEventValueChanged);
    setPickerView(wheels);
    return wheels;
}

void SheetDatePicker::eventForDatePicker(Control& sender)
{
    if (auto* wheels = dynamic_cast<DatePicker*>(&sender))
        m_selectedDate = wheels->date();
}

void SheetDatePicker::notifyTargetDidSucceed(const SheetPickerOrigin& origin)
{
    if (target().responds(m_successAction))
        m_successAction.function(m_selectedDate, origin);
}

void SheetDatePicker::customButtonPressed(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= customButtons().size())
        return;
    auto milliseconds = numberValue(customButtons()[static_cast<std::size_t>(index)].value);
    auto wheels = std::dynamic_pointer_cast<DatePicker>(pickerView());
    if (!milliseconds || !wheels)
        return;
    wheels->setDate(Date(*milliseconds), Animated::Yes);
    eventForDatePicker(*wheels);
}

} // namespace morvix
