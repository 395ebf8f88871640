#include "platform/foundation/Calendar.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace morvix::platform;
using namespace std::chrono_literals;

namespace {

// Installs a manual clock and pins the device's locale and zone for one test.
class DateTest : public ::testing::Test {
protected:
    DateTest()
    {
        Clock::install(clock);
        DeviceInfo device = DeviceInfo::current();
        device.localeIdentifier = "en_US";
        device.timeZone = "UTC";
        DeviceInfo::setCurrent(device);
    }
    ~DateTest() override
    {
        Clock::install(nullptr);
        DeviceInfo::resetForTesting();
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

Date utc(int year, int month0, int day, int hour = 0, int minute = 0, int second = 0)
{
    Calendar calendar(TimeZone(), Locale("en_US"));
    calendar.set(CalendarField::Year, year);
    calendar.set(CalendarField::Month, month0);
    calendar.set(CalendarField::Day, day);
    calendar.set(CalendarField::Hour, hour);
    calendar.set(CalendarField::Minute, minute);
    calendar.set(CalendarField::Second, second);
    return calendar.date();
}

} // namespace

TEST_F(DateTest, ManualClockDateIsSetByTestsAndMovesWithTheClock)
{
    EXPECT_EQ(Date::now(), Date::fromSeconds(978307200));
    clock->setDate(WallTime(std::chrono::seconds(1700000000)));
    clock->advance(1500ms);
    EXPECT_EQ(Date::now().millisecondsSince1970(), 1700000001500.0);
    Clock::install(nullptr);
    double system = std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(Date::now().millisecondsSince1970(), system, 60000) << "the steady clock gives the system's date";
}

TEST_F(DateTest, CalendarFieldsRoundTripAndRollOverLeniently)
{
    // 2024-12-31 23:59:58 UTC, the month 0-based as on the wire.
    EXPECT_EQ(utc(2024, 11, 31, 23, 59, 58), Date::fromSeconds(1735689598));
    EXPECT_EQ(utc(2024, 12, 1), utc(2025, 0, 1)) << "month 12 is January of the next year";
    EXPECT_EQ(utc(2025, 1, 31), utc(2025, 2, 3)) << "February 31st rolls into March";

    Calendar zurich(*TimeZone::withIdentifier("Europe/Zurich"), Locale("de_CH"));
    zurich.setDate(Date::fromSeconds(1735689598));
    EXPECT_EQ(zurich.get(CalendarField::Year), 2025);
    EXPECT_EQ(zurich.get(CalendarField::Month), 0);
    EXPECT_EQ(zurich.get(CalendarField::Hour), 0);

    // 02:30 does not exist in Zurich on 2024-03-31: the lenient calendar makes it 03:30 CEST.
    zurich.clear();
    zurich.set(CalendarField::Year, 2024);
    zurich.set(CalendarField::Month, 2);
    zurich.set(CalendarField::Day, 31);
    zurich.set(CalendarField::Hour, 2);
    zurich.set(CalendarField::Minute, 30);
    Calendar copy = zurich;
    EXPECT_EQ(copy.get(CalendarField::Hour), 3);
    EXPECT_EQ(copy.date(), utc(2024, 2, 31, 1, 30));
}

TEST_F(DateTest, FormattersTakeStylesOrPatternsInTheLocaleAndZoneTheyAreGiven)
{
    Date date = utc(2024, 11, 31, 9, 5, 7);
    Locale enUS("en_US");
    TimeZone zone;
    EXPECT_EQ(DateFormatter::withStyles(DateFormatStyle::Short, DateFormatStyle::None, enUS, zone).string(date), "12/31/24");
    EXPECT_EQ(DateFormatter::withStyles(DateFormatStyle::Medium, DateFormatStyle::None, enUS, zone).string(date), "Dec 31, 2024");
    EXPECT_EQ(DateFormatter::withStyles(DateFormatStyle::Long, DateFormatStyle::None, enUS, zone).string(date), "December 31, 2024");
    EXPECT_EQ(DateFormatter::withPattern("HH:mm", enUS, *TimeZone::withIdentifier("Asia/Tokyo")).string(date), "18:05");

    // Separators enter patterns as quoted literals, so letters and quotes show as given.
    for (std::string separator : { ".", " de ", "'", "h" }) {
        std::string literal = DateFormatter::quotedLiteral(separator);
        auto text = DateFormatter::withPattern("dd" + literal + "MM" + literal + "yyyy", enUS, zone).string(date);
        EXPECT_EQ(text, "31" + separator + "12" + separator + "2024") << separator;
    }
    EXPECT_EQ(DateFormatter::quotedLiteral("it's"), "'it''s'");
    EXPECT_EQ(DateFormatter::withPattern("yyyy" + DateFormatter::quotedLiteral("'a'") + "MM", enUS, zone).string(date), "2024'a'12");

    // Arabic digits in Egypt: the year is not ASCII.
    auto arabic = DateFormatter::withPattern("y", Locale("ar_EG"), zone).string(date);
    EXPECT_EQ(arabic, "\u0662\u0660\u0662\u0664");
}

TEST_F(DateTest, TimeZonesFromIcuWithOffsetsAbbreviationsAndTheDeviceZone)
{
    EXPECT_FALSE(TimeZone::withIdentifier("Mars/Olympus"));
    EXPECT_FALSE(TimeZone::withIdentifier(""));
    auto zurich = *TimeZone::withIdentifier("Europe/Zurich");
    EXPECT_EQ(zurich.secondsFromGMT(utc(2024, 6, 1)), 7200);
    EXPECT_EQ(zurich.secondsFromGMT(utc(2024, 0, 1)), 3600);
    EXPECT_EQ(TimeZone::withIdentifier("America/New_York")->abbreviation(utc(2024, 0, 1), Locale("en_US")), "EST");

    auto known = TimeZone::knownIdentifiers();
    auto has = [&](const char* id) { return std::find(known.begin(), known.end(), id) != known.end(); };
    EXPECT_TRUE(has("Europe/Zurich"));
    // ICU keeps the older canonical names of some places ("America/Buenos_Aires"), and has
    // three-part ones too ("America/Indiana/Knox").
    EXPECT_TRUE(has("America/Buenos_Aires") || has("America/Argentina/Buenos_Aires"));
    EXPECT_TRUE(std::any_of(known.begin(), known.end(), [](const std::string& id) { return std::count(id.begin(), id.end(), '/') == 2; }));
    EXPECT_FALSE(has("Etc/GMT+1")) << "offsets are not places";
    EXPECT_FALSE(has("US/Eastern")) << "aliases are not canonical";

    EXPECT_EQ(TimeZone::current().identifier(), "UTC");
    DeviceInfo device = DeviceInfo::current();
    device.timeZone = "Asia/Tokyo";
    device.localeIdentifier = "de_CH";
    DeviceInfo::setCurrent(device);
    EXPECT_EQ(TimeZone::current().identifier(), "Asia/Tokyo");
    EXPECT_EQ(Locale::current().languageCode(), "de");
    EXPECT_EQ(Locale::current().countryCode(), "CH");
    EXPECT_EQ(Calendar::current().timeZone().identifier(), "Asia/Tokyo");
}

TEST_F(DateTest, DeviceNamesTheHostMachineByDefault)
{
    DeviceInfo::resetForTesting();
    EXPECT_FALSE(DeviceInfo::current().machine.empty());
    EXPECT_EQ(DeviceInfo::current().machine, DeviceInfo::hostMachine());
    EXPECT_TRUE(DeviceInfo::current().timeZone.empty());
}
