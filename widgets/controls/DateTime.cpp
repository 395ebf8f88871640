#include "widgets/controls/DateTime.h"

#include "Libraries/SheetPicker/Pickers/SheetDatePicker.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/controls/Label.h"
#include "widgets/controls/Combo.h"
#include "widgets/controls/Scale.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>
#include <vector>

namespace morvix {

using platform::CalendarField;
using platform::Value;

namespace {

using Field = DateTime::Field;

// The year counts on through year 0, so that a year before the first reads back as given.
constexpr CalendarField kCalendarFields[] = { CalendarField::ExtendedYear, CalendarField::Month, CalendarField::Day,
    CalendarField::Hour, CalendarField::Minute, CalendarField::Second };

std::size_t slot(Field field)
{
    return static_cast<std::size_t>(field);
}

constexpr StyleDeclaration kDateStyle {
    .word = "DATE",
    .effect = "a date only, titled by \"datePattern\" and \"dateSeparator\"; a pick reports \"day\", \"month\", \"year\"",
};
constexpr StyleDeclaration kTimeStyle {
    .word = "TIME",
    .effect = "a time only, titled as hours:minutes; a pick reports \"hours\", \"minutes\", \"seconds\" (\"DATE\" wins "
              "over it). Without either word the date and time are picked but a pick is not reported",
};
constexpr StyleDeclaration kMediumStyle {
    .word = "MEDIUM",
    .effect = "the medium date and time format in the title, without \"DATE\" or \"TIME\"",
};
constexpr StyleDeclaration kLongStyle {
    .word = "LONG",
    .effect = "the long date and time format in the title, without \"DATE\", \"TIME\" or \"MEDIUM\"",
};

constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .note = "after the picked fields, when the user picks a date or time",
};
constexpr EventDeclaration kDefaultSelectionEvent {
    .listen = "DefaultSelection",
    .name = "DefaultSelection",
    .note = "after the picked fields, when the user picks a date or time and \"Selection\" is not listened",
};
constexpr ReportDeclaration kYearReport { .name = "year", .kind = "number", .note = "the picked year (\"DATE\"): with the event, else scheduled" };
constexpr ReportDeclaration kMonthReport {
    .name = "month",
    .kind = "number",
    .note = "the picked month, 0 for January (\"DATE\"), with \"year\"",
};
constexpr ReportDeclaration kDayReport { .name = "day", .kind = "number", .note = "the picked day of the month (\"DATE\"), with \"year\"" };
constexpr ReportDeclaration kHoursReport {
    .name = "hours",
    .kind = "number",
    .note = "the picked hour, 0 to 23 (\"TIME\"): with the event, else scheduled",
};
constexpr ReportDeclaration kMinutesReport { .name = "minutes", .kind = "number", .note = "the picked minute (\"TIME\"), with \"hours\"" };
constexpr ReportDeclaration kSecondsReport { .name = "seconds", .kind = "number", .note = "the picked second (\"TIME\"), with \"hours\"" };
// By field, in the order of `Field`.
constexpr const ReportDeclaration* kFieldReports[]
    = { &kYearReport, &kMonthReport, &kDayReport, &kHoursReport, &kMinutesReport, &kSecondsReport };

// The text between a date's parts as a pattern literal, so that letters and quotes in it show
// as given instead of being read as fields: quoted, with quotes inside doubled. Leading quotes
// are written as a doubled quote before the quoted part: a quoted part opening with a quote
// would begin with three quotes, which the pattern reads as a quote and then an opening quote.
std::string literal(const std::string& separator)
{
    std::size_t leading = std::min(separator.find_first_not_of('\''), separator.size());
    std::string pattern;
    for (std::size_t quote = 0; quote < leading; ++quote)
        pattern += "''";
    if (leading == separator.size())
        return pattern;
    pattern += '\'';
    for (char c : separator.substr(leading)) {
        pattern += c;
        if (c == '\'')
            pattern += '\'';
    }
    return pattern + '\'';
}

} // namespace

const WireTable& DateTime::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .style(kDateStyle)
                                       .style(kTimeStyle)
                                       .style(kMediumStyle)
                                       .style(kLongStyle)
                                       .event(kSelectionEvent)
                                       .event(kDefaultSelectionEvent)
                                       .report(kYearReport)
                                       .report(kMonthReport)
                                       .report(kDayReport)
                                       .report(kHoursReport)
                                       .report(kMinutesReport)
                                       .report(kSecondsReport);
    return table;
}

const PropertyTable& DateTime::properties()
{
    static const PropertyTable table = [] {
        auto builder = PropertyTable::extend<DateTime>(Control::properties());
        const std::pair<const char*, Field> fields[] = { { "year", Field::Year }, { "month", Field::Month },
            { "day", Field::Day }, { "hours", Field::Hours }, { "minutes", Field::Minutes }, { "seconds", Field::Seconds } };
        for (const auto& entry : fields) {
            Field field = entry.second;
            builder.number(entry.first, [field](DateTime& self, std::optional<Value> value) { self.setField(field, std::move(value)); },
                [field](const DateTime& self) {
                    auto stored = self.field(field);
                    return stored ? std::optional<Value>(*stored) : std::nullopt;
                });
        }
        builder.string("datePattern", &DateTime::setDatePattern,
                   [](const DateTime& self) { return std::optional<std::string>(self.datePattern()); })
            .string("dateSeparator", &DateTime::setDateSeparator,
                [](const DateTime& self) { return std::optional<std::string>(self.dateSeparator()); })
            .string("toolTip", &DateTime::setToolTip, &DateTime::toolTip)
            .boolean("enabled", &DateTime::setEnabled, &DateTime::buttonEnabled)
            .font("font", &DateTime::setFont, &DateTime::currentFont)
            .color("foreground", &DateTime::setForeground, &DateTime::foreground)
            .color("background", &DateTime::setBackground, &DateTime::internalBackground);
        return PropertyTable(builder);
    }();
    return table;
}

const PropertyNames& DateTime::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "enabled", "toolTip", "font", "year", "month", "day", "hours", "minutes", "seconds", "dateSeparator", "datePattern" });
    return names;
}

DateTime::DateTime(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_button(DelegatingButton::create(platform::ButtonType::Custom))
{
    Combo::initializeButton(*m_button);
    // A date cut in its middle reads as another date ("31.1… 024"): a title too long for the
    // field keeps its start and gives up its end for the ellipsis.
    m_button->titleLabel()->setLineBreakMode(platform::LineBreakMode::TruncateTail);
}

DateTime::~DateTime() = default;

void DateTime::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<DateTime>(shared_from_this());
    m_button->setDelegate(self);
    std::weak_ptr<DateTime> weak = self;
    m_button->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto widget = weak.lock())
            widget->buttonUp();
    }, platform::ControlEventTouchUpInside);
    setFont(std::nullopt);
    setDatePattern("MDY");
    setDateSeparator("/");
    setForeground(std::nullopt);
    setBackground(std::nullopt);
    m_rotationObserver = platform::NotificationCenter::defaultCenter()->addObserver(
        platform::DeviceInfo::kOrientationDidChangeNotification, nullptr, [weak](const platform::Notification&) {
            if (auto widget = weak.lock())
                widget->close();
        });
}

std::shared_ptr<platform::View> DateTime::view() const
{
    return m_button;
}

// MARK: Fields and title

std::optional<int> DateTime::field(Field field) const
{
    std::lock_guard lock(m_mutex);
    return m_fields[slot(field)];
}

void DateTime::setField(Field field, std::optional<Value> value)
{
    {
        std::lock_guard lock(m_mutex);
        if (!value || value->is_null())
            m_fields[slot(field)].reset();
        else
            m_fields[slot(field)] = saturatedInteger<int>(value);
    }
    configureDateCombo(currentDate());
}

std::string DateTime::datePattern() const
{
    std::lock_guard lock(m_mutex);
    return m_datePattern;
}

void DateTime::setDatePattern(std::optional<std::string> pattern)
{
    {
        std::lock_guard lock(m_mutex);
        m_datePattern = pattern.value_or("");
    }
    configureDateCombo(currentDate());
}

std::string DateTime::dateSeparator() const
{
    std::lock_guard lock(m_mutex);
    return m_dateSeparator;
}

void DateTime::setDateSeparator(std::optional<std::string> separator)
{
    {
        std::lock_guard lock(m_mutex);
        m_dateSeparator = separator.value_or("");
    }
    configureDateCombo(currentDate());
}

void DateTime::setStyle(std::optional<Value> style)
{
    RemoteClass::setStyle(std::move(style));
    configureDateCombo(currentDate());
}

platform::Date DateTime::currentDate() const
{
    auto calendar = platform::Calendar::current();
    calendar.clear();
    std::lock_guard lock(m_mutex);
    for (std::size_t index = 0; index < std::size(kCalendarFields); ++index) {
        if (m_fields[index])
            calendar.set(kCalendarFields[index], *m_fields[index]);
    }
    return calendar.date();
}

void DateTime::configureDateCombo(platform::Date date)
{
    auto locale = platform::Locale::current();
    auto zone = platform::TimeZone::current();
    std::string pattern;
    if (hasStyle(kDateStyle)) {
        std::string separator = literal(dateSeparator());
        pattern = datePattern() == "MDY" ? "MM" + separator + "dd" + separator + "yyyy" : "dd" + separator + "MM" + separator + "yyyy";
    } else if (hasStyle(kTimeStyle)) {
        pattern = "HH:mm";
    }
    auto style = hasStyle(kMediumStyle) ? platform::DateFormatStyle::Medium
        : hasStyle(kLongStyle)          ? platform::DateFormatStyle::Long
                                    : platform::DateFormatStyle::Short;
    auto formatter = pattern.empty() ? platform::DateFormatter::withStyles(style, style, locale, zone)
                                     : platform::DateFormatter::withPattern(pattern, locale, zone);
    m_button->setTitle(formatter.string(date), platform::ControlState::Normal);
}

std::string DateTime::text() const
{
    return m_button->titleLabel()->text();
}

// MARK: The button's look, shared with the combo box

void DateTime::setEnabled(bool enabled)
{
    Combo::applyEnabled(*m_button, enabled);
}

bool DateTime::buttonEnabled() const
{
    return m_button->isEnabled();
}

void DateTime::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color.value_or(FontHelper::textColor()));
    Combo::applyForeground(*m_button, m_imageRenderer, color);
}

void DateTime::setBackground(std::optional<platform::Color> color)
{
    m_internalBackground = color;
    RemoteClass::setBackground(color.value_or(platform::Color::white()));
}

void DateTime::setFont(std::optional<platform::Font> font)
{
    RemoteClass::setFont(font);
    m_button->titleLabel()->setFont(font.value_or(FontHelper::comboFont()));
}

platform::Font DateTime::currentFont() const
{
    return font().value_or(FontHelper::comboFont());
}

// MARK: The picker

void DateTime::buttonUp()
{
    auto mode = hasStyle(kDateStyle) ? platform::DatePickerMode::Date
        : hasStyle(kTimeStyle)       ? platform::DatePickerMode::Time
                                 : platform::DatePickerMode::DateAndTime;
    auto self = std::static_pointer_cast<DateTime>(shared_from_this());
    std::weak_ptr<DateTime> weak = self;
    SheetDatePicker::SuccessAction action { "dateChanged:", [weak](platform::Date date, const SheetPickerOrigin&) {
        if (auto widget = weak.lock())
            widget->dateChanged(date);
    } };
    m_picker = SheetDatePicker::create(m_toolTip, mode, currentDate(), SheetPickerTarget(self), std::move(action),
        SheetPickerOrigin(std::static_pointer_cast<platform::View>(m_button)));
    m_picker->showSheetPicker();
}

void DateTime::dateChanged(platform::Date date)
{
    configureDateCombo(date);
    // The fields come from the calendar itself, not from formatted digits, which are not ASCII
    // in every locale.
    auto calendar = platform::Calendar::current();
    calendar.setDate(date);
    const Field order[] = { Field::Year, Field::Month, Field::Day, Field::Hours, Field::Minutes, Field::Seconds };
    for (auto each : order)
        setField(each, Value(calendar.get(kCalendarFields[slot(each)])));
    sendSelection();
}

void DateTime::sendSelection()
{
    std::vector<Field> reported;
    if (hasStyle(kDateStyle))
        reported = { Field::Day, Field::Month, Field::Year };
    else if (hasStyle(kTimeStyle))
        reported = { Field::Hours, Field::Minutes, Field::Seconds };
    else
        return;
    auto message = notificationForObject();
    if (!message)
        return;
    for (auto each : reported) {
        auto value = field(each);
        message->report(*kFieldReports[slot(each)], value ? Value(*value) : Value(nullptr));
    }
    if (m_selectionListener)
        message->fire(kSelectionEvent);
    else if (m_defaultSelectionListener)
        message->fire(kDefaultSelectionEvent);
    else
        message->schedule();
}

void DateTime::close()
{
    if (auto picker = m_picker)
        picker->dismissPicker();
}

void DateTime::destroy()
{
    m_rotationObserver.reset();
    close();
    RemoteClass::destroy();
}

} // namespace morvix
