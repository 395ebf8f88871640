#include "platform/ui/pickers/DatePicker.h"

#include "platform/foundation/DateFormatter.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/TextLayout.h"

namespace morvix::platform {

std::shared_ptr<DatePicker> DatePicker::create(const Rect& frame)
{
    Rect actual = frame.isEmpty() ? Rect(0, 0, 320, kDefaultHeight) : frame;
    return std::shared_ptr<DatePicker>(new DatePicker(actual));
}

DatePicker::DatePicker(const Rect& frame)
    : Control(frame)
    , m_date(Date::now())
{
}

void DatePicker::setMode(DatePickerMode mode)
{
    m_mode = mode;
    setNeedsDisplay();
}

void DatePicker::setDate(Date date, Animated)
{
    m_date = date;
    setNeedsDisplay();
}

void DatePicker::setMinuteInterval(int interval)
{
    bool valid = interval >= 1 && interval <= 30 && 60 % interval == 0;
    m_minuteInterval = valid ? interval : 1;
}

std::string DatePicker::displayText() const
{
    // Calendars here are all Gregorian: a calendar of its own only brings its zone and locale.
    Locale locale = m_locale ? *m_locale : m_calendar ? m_calendar->locale() : Locale::current();
    TimeZone zone = m_timeZone ? *m_timeZone : m_calendar ? m_calendar->timeZone() : TimeZone::current();
    DateFormatStyle dateStyle = m_mode == DatePickerMode::Time ? DateFormatStyle::None : DateFormatStyle::Medium;
    DateFormatStyle timeStyle = m_mode == DatePickerMode::Date ? DateFormatStyle::None : DateFormatStyle::Short;
    return DateFormatter::withStyles(dateStyle, timeStyle, locale, zone).string(m_date);
}

void DatePicker::turnTo(Date date)
{
    if (m_minimumDate && date < *m_minimumDate)
        date = *m_minimumDate;
    if (m_maximumDate && date > *m_maximumDate)
        date = *m_maximumDate;
    auto keep = self();
    setDate(date, Animated::Yes);
    sendActionsForControlEvents(ControlEventValueChanged);
}

void DatePicker::draw(GraphicsContext& context, const Rect&)
{
    TextAttributes attributes;
    attributes.font = Font::system(20);
    attributes.foregroundColor = isEnabled() ? Color::black() : Color::fromRGBA(0.6f, 0.6f, 0.6f);
    AttributedString text(displayText(), attributes);
    TextLayout::Options options;
    options.wrapWidth = bounds().width();
    options.lineLimit = 1;
    options.alignment = TextAlignment::Center;
    options.truncation = TextTruncation::Tail;
    double height = TextLayout(text, options).size().height;
    context.drawText(text, options, { 0, (bounds().height() - height) / 2 });
}

} // namespace morvix::platform
