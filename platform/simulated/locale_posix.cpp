// The simulated clock and locale (model.h): the local time from the system
// clock (so faketime moves it), and the texts of English (United States) as
// Windows reports them for that locale.
#include <sys/time.h>

#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/platform.h"

namespace tidemark::platform {

namespace {

constexpr const char* kDayNames[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                      "Friday", "Saturday", "Sunday"};
constexpr const char* kShortDayNames[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonthNames[12] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
constexpr const char* kShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* EnglishUnitedStatesText(DWORD type) {
  if (type >= kLocaleDayName1 && type < kLocaleDayName1 + 7)
    return kDayNames[type - kLocaleDayName1];
  if (type >= kLocaleAbbrevDayName1 && type < kLocaleAbbrevDayName1 + 7) {
    return kShortDayNames[type - kLocaleAbbrevDayName1];
  }
  if (type >= kLocaleMonthName1 && type < kLocaleMonthName1 + 12) {
    return kMonthNames[type - kLocaleMonthName1];
  }
  if (type >= kLocaleAbbrevMonthName1 && type < kLocaleAbbrevMonthName1 + 12) {
    return kShortMonthNames[type - kLocaleAbbrevMonthName1];
  }
  switch (type) {
    case kLocaleDateSeparator:
      return "/";
    case kLocaleTimeSeparator:
      return ":";
    case kLocaleShortDate:
      return "M/d/yyyy";
    case kLocaleLongDate:
      return "dddd, MMMM d, yyyy";
    case kLocaleMorning:
      return "AM";
    case kLocaleAfternoon:
      return "PM";
    case kLocaleShortTime:
      return "h:mm tt";
    case kLocaleTimeFormat:
      return "h:mm:ss tt";
    default:
      return nullptr;
  }
}

// As the Win32 calls answer: the count with the terminating zero, or 0.
int CopyAnswer(const char* text, char* data, int size) {
  if (text == nullptr) {
    SetLastError(1004);  // ERROR_INVALID_FLAGS
    return 0;
  }
  const int needed = static_cast<int>(std::strlen(text)) + 1;
  if (size == 0) return needed;
  if (size < needed) {
    SetLastError(122);  // ERROR_INSUFFICIENT_BUFFER
    return 0;
  }
  std::memcpy(data, text, static_cast<std::size_t>(needed));
  return needed;
}

}  // namespace

void os::GetLocalTime(SYSTEMTIME* systemTime) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  systemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
  systemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
  systemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  systemTime->wDay = static_cast<WORD>(local.tm_mday);
  systemTime->wHour = static_cast<WORD>(local.tm_hour);
  systemTime->wMinute = static_cast<WORD>(local.tm_min);
  systemTime->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
  systemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

int GetLocaleInfoA(LCID, DWORD type, char* data, int size) {
  return CopyAnswer(EnglishUnitedStatesText(type), data, size);
}

int GetCalendarInfoA(LCID, DWORD calendar, DWORD type, char* data, int size) {
  const bool eraName = calendar == kCalendarGregorian && type == kCalendarEraString;
  return CopyAnswer(eraName ? "A.D." : nullptr, data, size);
}

}  // namespace tidemark::platform
