// The local clock and the date-time value: a double count of days since
// 30 December 1899, local time, whose fraction is the time of day. Adding 1.0
// gives the same time on the next day. Calendar: proleptic Gregorian, years
// 1 to 9999.
#pragma once

#include <cstdint>

namespace tidemark {

using DateTimeValue = double;

// The integer form of a date-time value.
struct DayStamp {
  std::int32_t MillisecondOfDay;  // 0 to 86399999
  std::int32_t DayNumber;         // 1 January of year 1 is day 1
};

inline constexpr std::int32_t DaysToEpoch = 693594;  // the day number of 1899-12-30

// The local date and time from one reading of the clock, so that the date
// and the time of day always belong together (two readings could straddle
// midnight).
DateTimeValue CurrentDateTime();
DateTimeValue CurrentDate();       // today at 00:00
DateTimeValue CurrentTimeOfDay();  // 0 up to, not including, 1

// Raise EConvertError for an invalid date or time.
DateTimeValue ComposeDate(std::uint16_t year, std::uint16_t month, std::uint16_t day);
DateTimeValue ComposeTime(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                          std::uint16_t millisecond);

// Rounds to the nearest millisecond, ties to even.
DayStamp ToDayStamp(DateTimeValue value);

void SplitTimeOfDay(DateTimeValue value, std::uint16_t& hour, std::uint16_t& minute,
                    std::uint16_t& second, std::uint16_t& millisecond);
// Year, month and day are all 0 for a day number of 0 or less.
void SplitCalendarDate(DateTimeValue value, std::uint16_t& year, std::uint16_t& month,
                       std::uint16_t& day);

bool YearIsLeap(std::uint16_t year);

// 0 for Sunday to 6 for Saturday.
int DayOfWeek(DateTimeValue value);

}  // namespace tidemark
