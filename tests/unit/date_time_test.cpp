#include "support/date_time.h"

#include <gtest/gtest.h>

#include <ios>
#include <limits>

#include "platform/platform.h"
#include "support/errors.h"
#include "support/messages.h"
#include "unit/scoped_calls.h"

namespace tidemark {
namespace {

struct Date {
  std::uint16_t year, month, day;
};

Date SplitDate(DateTimeValue value) {
  Date date{};
  SplitCalendarDate(value, date.year, date.month, date.day);
  return date;
}

TEST(DateTime, ComposedDatesAndTheirRoundTrips) {
  struct Case {
    Date date;
    double value;
  };
  const Case cases[] = {
      {{1899, 12, 30}, 0},   {{2000, 2, 29}, 36585},    {{2026, 12, 6}, 46362},
      {{1, 1, 1}, -693593},  {{9999, 12, 31}, 2958465}, {{1900, 3, 1}, 61},
      {{2100, 3, 1}, 73110}, {{1600, 2, 29}, -109512},  {{1899, 12, 31}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComposeDate(c.date.year, c.date.month, c.date.day), c.value) << c.date.year;
    const Date back = SplitDate(c.value);
    EXPECT_EQ(back.year, c.date.year);
    EXPECT_EQ(back.month, c.date.month);
    EXPECT_EQ(back.day, c.date.day);
  }
}

TEST(DateTime, InvalidDatesAndTimesRaiseConvertErrors) {
  const Date badDates[] = {{1900, 2, 29}, {2026, 13, 1}, {2026, 0, 1}, {2026, 1, 0},
                           {2026, 4, 31}, {2023, 2, 29}, {0, 1, 1},    {10000, 1, 1}};
  for (const Date& d : badDates) {
    try {
      ComposeDate(d.year, d.month, d.day);
      ADD_FAILURE() << d.year << "-" << d.month << "-" << d.day << " was accepted";
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.Message(), LoadMessage(MessageId::InvalidDate));
      EXPECT_FALSE(error.Message().IsEmpty());
    }
  }
  struct Time {
    std::uint16_t hour, minute, second, millisecond;
  };
  const Time badTimes[] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}};
  for (const Time& t : badTimes) {
    try {
      ComposeTime(t.hour, t.minute, t.second, t.millisecond);
      ADD_FAILURE() << t.hour << ":" << t.minute << ":" << t.second << "." << t.millisecond;
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.Message(), LoadMessage(MessageId::InvalidTime));
      EXPECT_FALSE(error.Message().IsEmpty());
    }
  }
}

TEST(DateTime, SplitTimeOfDay) {
  struct Case {
    double value;
    std::uint16_t hour, minute, second, millisecond;
  };
  const Case cases[] = {
      {46362 + ComposeTime(14, 30, 0, 0), 14, 30, 0, 0},
      {46387 + ComposeTime(22, 59, 59, 999), 22, 59, 59, 999},
      {46387 + ComposeTime(23, 0, 0, 0), 23, 0, 0, 0},
      {-1.25, 6, 0, 0, 0},           // below 0 the fraction is read by its absolute value
      {0.5 / 86400000, 0, 0, 0, 0},  // ties go to the even millisecond
      {1.5 / 86400000, 0, 0, 0, 2},
      {2.5 / 86400000, 0, 0, 0, 2},
      {86399999.5 / 86400000, 0, 0, 0, 0},  // rounds up into the next day
  };
  for (const Case& c : cases) {
    std::uint16_t hour = 99, minute = 99, second = 99, millisecond = 9999;
    SplitTimeOfDay(c.value, hour, minute, second, millisecond);
    EXPECT_EQ(hour, c.hour) << c.value;
    EXPECT_EQ(minute, c.minute) << c.value;
    EXPECT_EQ(second, c.second) << c.value;
    EXPECT_EQ(millisecond, c.millisecond) << c.value;
  }
  const Date nextDay = SplitDate(86399999.5 / 86400000);
  EXPECT_EQ(nextDay.day, 31);
  const Date beforeEpoch = SplitDate(-1.25);
  EXPECT_EQ(beforeEpoch.day, 29);
}

// Day numbers of 0 or less split into zeros; values beyond 31 December 65535
// (the last day a 16-bit year can show) are held there, never wrapped.
TEST(DateTime, ValuesAtAndBeyondBothEndsOfTheRange) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  constexpr double kLastDay = 23936166.0 - 693594;  // 65535-12-31
  struct Case {
    double value;
    Date date;
    std::int32_t millisecond;
  };
  const Case cases[] = {
      {-693594.0, {0, 0, 0}, 0},  // day 0
      {-693593.0, {1, 1, 1}, 0},  // day 1
      {-700000.0, {0, 0, 0}, 0},
      {-1e12, {0, 0, 0}, 0},
      {-kInfinity, {0, 0, 0}, 0},
      {std::numeric_limits<double>::quiet_NaN(), {1899, 12, 30}, 0},
      {2958465.0, {9999, 12, 31}, 0},
      {kLastDay + 0.5, {65535, 12, 31}, 43200000},
      {kLastDay + 1, {65535, 12, 31}, 86399999},
      {2146000000.0, {65535, 12, 31}, 86399999},
      {2147483000.0, {65535, 12, 31}, 86399999},
      {1e12, {65535, 12, 31}, 86399999},
      {kInfinity, {65535, 12, 31}, 86399999},
  };
  for (const Case& c : cases) {
    const Date date = SplitDate(c.value);
    EXPECT_EQ(date.year, c.date.year) << c.value;
    EXPECT_EQ(date.month, c.date.month) << c.value;
    EXPECT_EQ(date.day, c.date.day) << c.value;
    EXPECT_EQ(ToDayStamp(c.value).MillisecondOfDay, c.millisecond) << c.value;
  }
  EXPECT_EQ(ToDayStamp(0).DayNumber, DaysToEpoch);
}

TEST(DateTime, LeapYears) {
  for (std::uint16_t year : {2000, 2024, 1600, 4, 2400}) EXPECT_TRUE(YearIsLeap(year)) << year;
  for (std::uint16_t year : {1900, 2100, 2023, 1, 2026}) EXPECT_FALSE(YearIsLeap(year)) << year;
}

TEST(DateTime, DayOfWeekCountsFromSunday) {
  EXPECT_EQ(DayOfWeek(46362), 0);    // 6 December 2026, a Sunday
  EXPECT_EQ(DayOfWeek(0), 6);        // 30 December 1899, a Saturday
  EXPECT_EQ(DayOfWeek(-693593), 1);  // 1 January of year 1, a Monday
}

TEST(DateTime, EveryDayFromYear1To9999ComposesAndSplitsBack) {
  double expected = -693593;
  for (std::uint16_t year = 1; year <= 9999; ++year) {
    for (std::uint16_t month = 1; month <= 12; ++month) {
      const std::uint16_t length = month == 2 ? (YearIsLeap(year) ? 29 : 28)
                                   : (month == 4 || month == 6 || month == 9 || month == 11) ? 30
                                                                                             : 31;
      for (std::uint16_t day = 1; day <= length; ++day) {
        const DateTimeValue value = ComposeDate(year, month, day);
        ASSERT_EQ(value, expected) << year << "-" << month << "-" << day;
        // 18:00 that day: below 0 the fraction counts away from zero.
        const Date back = SplitDate(value + (value < 0 ? -0.75 : 0.75));
        ASSERT_TRUE(back.year == year && back.month == month && back.day == day)
            << year << "-" << month << "-" << day;
        expected += 1;
      }
    }
  }
}

TEST(DateTime, EveryMillisecondOfADayComposesAndSplitsBack) {
  const double days[] = {46362, 46362 + 1.0};
  std::int32_t t = 0;
  for (std::uint16_t hour = 0; hour < 24; ++hour) {
    for (std::uint16_t minute = 0; minute < 60; ++minute) {
      for (std::uint16_t second = 0; second < 60; ++second) {
        for (std::uint16_t millisecond = 0; millisecond < 1000; ++millisecond, ++t) {
          const DateTimeValue time = ComposeTime(hour, minute, second, millisecond);
          for (double day : days) {
            const DayStamp stamp = ToDayStamp(day + time);
            ASSERT_EQ(stamp.MillisecondOfDay, t)
                << day << " + " << hour << ":" << minute << ":" << second << "." << millisecond;
            ASSERT_EQ(stamp.DayNumber, static_cast<std::int32_t>(day) + DaysToEpoch);
          }
        }
      }
    }
  }
}

// Times whose fraction of a day depends on the x87 unit's precision control:
// the extended product narrowed once gives these bits where the unit keeps
// 64-bit precision, and one unit less where a run-time library left it at
// 53 bits (as msvcrt's _fpreset does). Every build must give these.
TEST(DateTime, TimesOfDayAreTheExtendedProductNarrowedOnce) {
  struct Case {
    std::uint16_t hour, minute, second, millisecond;
    double fraction;
  };
  const Case cases[] = {
      {0, 0, 22, 371, 0x1.0f804711f56c6p-12}, {6, 0, 13, 178, 0x1.0027fba7bb936p-2},
      {12, 0, 0, 183, 0x1.00004711f56c6p-1},  {18, 0, 0, 183, 0x1.80004711f56c6p-1},
      {23, 59, 59, 451, 0x1.ffff2aca1fbbp-1},
  };
  for (const Case& c : cases) {
    const DateTimeValue fraction = ComposeTime(c.hour, c.minute, c.second, c.millisecond);
    EXPECT_EQ(fraction, c.fraction) << c.hour << ":" << c.minute << ":" << c.second << "."
                                    << c.millisecond << " gives " << std::hexfloat << fraction;
  }
}

// A clock, through the platform's call table, that is read just as
// midnight passes: the first reading is the last millisecond of 6 December,
// every later one the first of 7 December.
class MidnightClock {
 public:
  MidnightClock() {
    readings = 0;
    calls_->GetLocalTime = &Read;
  }
  static inline int readings = 0;

 private:
  static void Read(platform::SYSTEMTIME* now) {
    *now = ++readings == 1 ? platform::SYSTEMTIME{2026, 12, 0, 6, 23, 59, 59, 999}
                           : platform::SYSTEMTIME{2026, 12, 1, 7, 0, 0, 0, 0};
  }
  testing::ScopedCalls calls_;
};

TEST(DateTime, EachClockValueIsOneReadingOfTheLocalClock) {
  const DateTimeValue lastMillisecond = ComposeDate(2026, 12, 6) + ComposeTime(23, 59, 59, 999);
  struct Case {
    const char* what;
    DateTimeValue (*read)();
    DateTimeValue expected;
  };
  const Case cases[] = {
      {"CurrentDateTime", &CurrentDateTime, lastMillisecond},
      {"CurrentDate", &CurrentDate, ComposeDate(2026, 12, 6)},
      {"CurrentTimeOfDay", &CurrentTimeOfDay, ComposeTime(23, 59, 59, 999)},
  };
  for (const Case& c : cases) {
    MidnightClock clock;
    EXPECT_EQ(c.read(), c.expected) << c.what;
    EXPECT_EQ(MidnightClock::readings, 1) << c.what;
  }
}

}  // namespace
}  // namespace tidemark
