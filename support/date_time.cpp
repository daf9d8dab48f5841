#include "support/date_time.h"

#include <cmath>

#include "platform/platform.h"
#include "support/errors.h"
#include "support/messages.h"

namespace tidemark {

namespace {

constexpr std::int32_t kMillisecondsPerDay = 86400000;
constexpr std::int32_t kDaysPer400Years = 146097;
constexpr std::int32_t kDaysPer100Years = 36524;
constexpr std::int32_t kDaysPer4Years = 1461;
constexpr std::int32_t kDaysPerYear = 365;

constexpr std::uint16_t kMonthLengths[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

bool IsLeap(std::int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

const std::uint16_t (&MonthLengthsOf(std::int32_t year))[12] {
  return kMonthLengths[IsLeap(year) ? 1 : 0];
}

// The last day that the calendar split can show: 31 December 65535, the
// last of a 16-bit year.
constexpr std::int64_t kLastDayNumber = 23936166;

// Values beyond the days the split can show are held at the nearest one: the
// last millisecond of 31 December 65535 above, and a day as far below day 0
// (which splits into zeros like every day before it) beneath. A value that is
// no number counts as 0. So the day number always fits 32 bits, the year 16
// bits, and nothing wraps.
std::int64_t MillisecondsOf(DateTimeValue value) {
  constexpr double kHighest = static_cast<double>(
      (kLastDayNumber - DaysToEpoch + 1) * std::int64_t{kMillisecondsPerDay} - 1);
  constexpr double kLowest =
      static_cast<double>((-kLastDayNumber - DaysToEpoch) * std::int64_t{kMillisecondsPerDay});
  const double product = value * kMillisecondsPerDay;
  if (std::isnan(product)) return 0;
  return static_cast<std::int64_t>(
      std::nearbyint(std::fmax(kLowest, std::fmin(kHighest, product))));
}

// The time of day as a fraction of a day: the reciprocal of a day in
// extended precision, the product narrowed to double once. This is the one
// computation that asks for long double; it stays out of line so that the
// 32-bit build's check (tools/check-x87) can tell it from everything else,
// which must compute in double.
[[gnu::noinline]] DateTimeValue DayFractionOf(std::int32_t milliseconds) {
  constexpr long double kDayReciprocal = 1.0L / kMillisecondsPerDay;
  return static_cast<double>(static_cast<long double>(milliseconds) * kDayReciprocal);
}

DateTimeValue DateOf(const platform::SYSTEMTIME& now) {
  return ComposeDate(now.wYear, now.wMonth, now.wDay);
}

DateTimeValue TimeOf(const platform::SYSTEMTIME& now) {
  return ComposeTime(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

}  // namespace

bool YearIsLeap(std::uint16_t year) { return IsLeap(year); }

DateTimeValue CurrentDateTime() {
  platform::SYSTEMTIME now{};
  platform::GetLocalTime(&now);
  return DateOf(now) + TimeOf(now);
}

DateTimeValue CurrentDate() {
  platform::SYSTEMTIME now{};
  platform::GetLocalTime(&now);
  return DateOf(now);
}

DateTimeValue CurrentTimeOfDay() {
  platform::SYSTEMTIME now{};
  platform::GetLocalTime(&now);
  return TimeOf(now);
}

DateTimeValue ComposeDate(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > MonthLengthsOf(year)[month - 1]) {
    throw EConvertError(LoadMessage(MessageId::InvalidDate));
  }
  std::int32_t dayOfYear = day;
  for (int before = 0; before < month - 1; ++before) dayOfYear += MonthLengthsOf(year)[before];
  const std::int32_t i = year - 1;
  const std::int32_t days = i * 365 + i / 4 - i / 100 + i / 400 + dayOfYear - DaysToEpoch;
  return static_cast<double>(days);
}

DateTimeValue ComposeTime(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                          std::uint16_t millisecond) {
  if (hour >= 24 || minute >= 60 || second >= 60 || millisecond >= 1000) {
    throw EConvertError(LoadMessage(MessageId::InvalidTime));
  }
  return DayFractionOf(hour * 3600000 + minute * 60000 + second * 1000 + millisecond);
}

DayStamp ToDayStamp(DateTimeValue value) {
  // nearbyint rounds by the current mode: to nearest, ties to even.
  const std::int64_t m = MillisecondsOf(value);
  if (m >= 0) {
    return {static_cast<std::int32_t>(m % kMillisecondsPerDay),
            static_cast<std::int32_t>(m / kMillisecondsPerDay + DaysToEpoch)};
  }
  const std::int64_t a = -m;
  return {static_cast<std::int32_t>(a % kMillisecondsPerDay),
          static_cast<std::int32_t>(DaysToEpoch - a / kMillisecondsPerDay)};
}

void SplitTimeOfDay(DateTimeValue value, std::uint16_t& hour, std::uint16_t& minute,
                    std::uint16_t& second, std::uint16_t& millisecond) {
  const std::int32_t t = ToDayStamp(value).MillisecondOfDay;
  const std::int32_t minutes = t / 60000;
  const std::int32_t rest = t % 60000;
  hour = static_cast<std::uint16_t>(minutes / 60);
  minute = static_cast<std::uint16_t>(minutes % 60);
  second = static_cast<std::uint16_t>(rest / 1000);
  millisecond = static_cast<std::uint16_t>(rest % 1000);
}

void SplitCalendarDate(DateTimeValue value, std::uint16_t& year, std::uint16_t& month,
                       std::uint16_t& day) {
  std::int32_t d = ToDayStamp(value).DayNumber;
  if (d <= 0) {
    year = month = day = 0;
    return;
  }
  d -= 1;
  std::int32_t y = 1;
  while (d >= kDaysPer400Years) {
    d -= kDaysPer400Years;
    y += 400;
  }
  std::int32_t q = d / kDaysPer100Years;
  std::int32_t r = d % kDaysPer100Years;
  if (q == 4) {  // the last day of a 400-year cycle
    q = 3;
    r += kDaysPer100Years;
  }
  y += q * 100;
  d = r;
  y += (d / kDaysPer4Years) * 4;
  d %= kDaysPer4Years;
  q = d / kDaysPerYear;
  r = d % kDaysPerYear;
  if (q == 4) {  // the last day of a leap year
    q = 3;
    r += kDaysPerYear;
  }
  y += q;
  d = r;
  const auto& lengths = MonthLengthsOf(y);
  int m = 0;
  while (d >= lengths[m]) d -= lengths[m++];
  year = static_cast<std::uint16_t>(y);
  month = static_cast<std::uint16_t>(m + 1);
  day = static_cast<std::uint16_t>(d + 1);
}

int DayOfWeek(DateTimeValue value) {
  // Day 1 (1 January of year 1) was a Monday.
  const std::int32_t d = ToDayStamp(value).DayNumber;
  return ((d % 7) + 7) % 7;
}

}  // namespace tidemark
