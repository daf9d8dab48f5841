// Date formatting, as strftime does it, in the system's locale.
// Date-time values as text, by a pattern of tokens (yyyy, mm, dd, hh, nn, ss,
// month and day names, AM/PM and more), with the names and patterns of the
// system's default locale.
#pragma once

#include <cstdint>

#include "support/date_time.h"
#include "support/text_value.h"

namespace tidemark {

// The locale's texts that rendering uses, filled once at start-up.
struct LocaleTexts {
  TextValue ShortMonthNames[12];  // January first
  TextValue LongMonthNames[12];
  TextValue ShortDayNames[7];  // Sunday first
  TextValue LongDayNames[7];
  TextValue ShortDatePattern;  // in this renderer's tokens
  TextValue LongDatePattern;
  TextValue ShortTimePattern;
  TextValue LongTimePattern;
  TextValue MorningText;    // "AM"
  TextValue AfternoonText;  // "PM"
  TextValue DateSeparator;
  TextValue TimeSeparator;
  TextValue EraName;  // of the Gregorian calendar
};

// Reads the texts of the system's default locale (GetLocaleInfoA), turning
// its Windows date and time formats into this renderer's tokens.
void PrepareLocaleTexts();

// A Windows time format ("h:mm:ss tt") in this renderer's tokens ("h:mm:ss AMPM").
TextValue TimePatternOf(const TextValue& windowsFormat);

// The long time pattern without its seconds ("h:mm:ss AMPM" gives "h:mm AMPM"),
// for systems that do not report a short time format.
TextValue ShortTimePatternOf(const TextValue& longTimePattern);

// The texts in force; AdoptLocaleTexts replaces them (for tests).
const LocaleTexts& CurrentLocaleTexts();
void AdoptLocaleTexts(const LocaleTexts& texts);

// The value as text by the pattern; an empty pattern is "C". At most 256
// bytes: what does not fit is dropped.
TextValue RenderDateTime(DateTimeValue value, const TextValue& pattern);

}  // namespace tidemark
