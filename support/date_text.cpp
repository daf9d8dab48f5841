#include "support/date_text.h"

#include <cctype>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "support/paths.h"

namespace tidemark {

namespace {

constexpr int kOutputLimit = 256;
constexpr int kNestingLimit = 2;

LocaleTexts& Texts() {
  static LocaleTexts texts;
  return texts;
}

char UpperCase(char byte) {
  return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 32) : byte;
}

// True when `text` begins with `word`, letters compared in either case.
bool BeginsWith(const char* text, std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (text[i] == '\0' || UpperCase(text[i]) != word[i]) return false;
  }
  return true;
}

// The morning/afternoon tokens, by their length; 0 when none begins here.
int MorningAfternoonTokenAt(const char* text) {
  if (BeginsWith(text, "AM/PM")) return 5;
  if (BeginsWith(text, "A/P")) return 3;
  if (BeginsWith(text, "AMPM")) return 4;
  return 0;
}

const char* PastQuotedText(const char* position) {
  const char quote = *position++;
  while (*position != '\0' && *position != quote) ++position;
  return *position == quote ? position + 1 : position;
}

class Renderer {
 public:
  Renderer(DateTimeValue value, const LocaleTexts& texts, const CodePageFacts& facts)
      : value_(value), texts_(texts), facts_(facts) {}

  TextValue Result() const { return TextValue(buffer_, fill_); }

  void PatternStep(const char* pattern);

 private:
  // The value's fields, split at most once per pattern step.
  struct Fields {
    bool DateSplit = false;
    bool TimeSplit = false;
    std::uint16_t Year = 0, Month = 0, Day = 0;
    std::uint16_t Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  };

  void Append(std::string_view bytes);
  void Append(const TextValue& text) { Append(text.View()); }
  void AppendNumber(unsigned number, int minimumDigits);
  void SplitDate(Fields& fields) const;
  void SplitTime(Fields& fields) const;
  bool IsLeadByte(char byte) const {
    return facts_.DoubleByteSystem && facts_.LeadByteSet.test(static_cast<unsigned char>(byte));
  }
  bool TwelveHourClockAfter(const char* position) const;

  DateTimeValue value_;
  const LocaleTexts& texts_;
  const CodePageFacts& facts_;
  char buffer_[kOutputLimit] = {};
  int fill_ = 0;
  int depth_ = 0;
};

void Renderer::Append(std::string_view bytes) {
  for (char byte : bytes) {
    if (fill_ == kOutputLimit) return;  // what does not fit is dropped
    buffer_[fill_++] = byte;
  }
}

void Renderer::AppendNumber(unsigned number, int minimumDigits) {
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  for (int pad = count; pad < minimumDigits; ++pad) Append(std::string_view("0"));
  while (count > 0) Append(std::string_view(&digits[--count], 1));
}

void Renderer::SplitDate(Fields& fields) const {
  if (fields.DateSplit) return;
  SplitCalendarDate(value_, fields.Year, fields.Month, fields.Day);
  fields.DateSplit = true;
}

void Renderer::SplitTime(Fields& fields) const {
  if (fields.TimeSplit) return;
  SplitTimeOfDay(value_, fields.Hour, fields.Minute, fields.Second, fields.Millisecond);
  fields.TimeSplit = true;
}

// An hour is shown on the 12-hour clock when the first "a" outside quotes
// after it, before any further "h", begins a morning/afternoon token.
bool Renderer::TwelveHourClockAfter(const char* position) const {
  while (*position != '\0') {
    const char letter = UpperCase(*position);
    if (*position == '"' || *position == '\'') {
      position = PastQuotedText(position);
    } else if (letter == 'H') {
      return false;
    } else if (letter == 'A') {
      return MorningAfternoonTokenAt(position) != 0;
    } else if (IsLeadByte(*position) && position[1] != '\0') {
      position += 2;
    } else {
      ++position;
    }
  }
  return false;
}

void Renderer::PatternStep(const char* pattern) {
  if (depth_ == kNestingLimit) return;
  ++depth_;
  Fields fields;
  char previousLetter = ' ';
  bool morningAfternoonSeen = false;
  const char* position = pattern;
  while (*position != '\0') {
    const char* const start = position;
    const char starter = *position++;
    // A double-byte character is copied whole: its second byte may look like a letter.
    if (IsLeadByte(starter) && *position != '\0') {
      Append(std::string_view(start, 2));
      ++position;
      continue;
    }
    char token = UpperCase(starter);
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && previousLetter == 'H') token = 'N';
      previousLetter = token;
    }
    // The run of bytes equal to the starter (case matters) makes the count.
    auto countRun = [&] {
      int count = 1;
      while (*position == starter) {
        ++position;
        ++count;
      }
      return count;
    };
    switch (token) {
      case 'Y': {
        const int count = countRun();
        SplitDate(fields);
        if (count <= 2) {
          AppendNumber(fields.Year % 100u, 2);
        } else {
          AppendNumber(fields.Year, 4);
        }
        break;
      }
      case 'M': {
        const int count = countRun();
        SplitDate(fields);
        if (count <= 2) {
          AppendNumber(fields.Month, count);
        } else if (fields.Month >= 1) {
          Append(count == 3 ? texts_.ShortMonthNames[fields.Month - 1]
                            : texts_.LongMonthNames[fields.Month - 1]);
        }
        break;
      }
      case 'D': {
        const int count = countRun();
        if (count <= 2) {
          SplitDate(fields);
          AppendNumber(fields.Day, count);
        } else if (count == 3) {
          Append(texts_.ShortDayNames[DayOfWeek(value_)]);
        } else if (count == 4) {
          Append(texts_.LongDayNames[DayOfWeek(value_)]);
        } else {
          PatternStep(count == 5 ? texts_.ShortDatePattern.Bytes()
                                 : texts_.LongDatePattern.Bytes());
        }
        break;
      }
      case 'H': {
        const int count = countRun();
        SplitTime(fields);
        unsigned hour = fields.Hour;
        if (morningAfternoonSeen || TwelveHourClockAfter(position)) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        AppendNumber(hour, count >= 2 ? 2 : 1);
        break;
      }
      case 'N':
      case 'S': {
        const int count = countRun();
        SplitTime(fields);
        AppendNumber(token == 'N' ? fields.Minute : fields.Second, count >= 2 ? 2 : 1);
        break;
      }
      case 'T':
        PatternStep(countRun() == 1 ? texts_.ShortTimePattern.Bytes()
                                    : texts_.LongTimePattern.Bytes());
        break;
      case 'A': {
        const int length = MorningAfternoonTokenAt(start);
        if (length != 0) {
          SplitTime(fields);
          const bool morning = fields.Hour < 12;
          if (length == 5) {
            Append(std::string_view(morning ? start : start + 3, 2));
          } else if (length == 3) {
            Append(std::string_view(morning ? start : start + 2, 1));
          } else {
            Append(morning ? texts_.MorningText : texts_.AfternoonText);
          }
          morningAfternoonSeen = true;
          position = start + length;
        } else if (BeginsWith(start, "AAAA")) {
          Append(texts_.LongDayNames[DayOfWeek(value_)]);
          position = start + 4;
        } else if (BeginsWith(start, "AAA")) {
          Append(texts_.ShortDayNames[DayOfWeek(value_)]);
          position = start + 3;
        } else {
          Append(std::string_view(start, 1));
        }
        break;
      }
      case 'C': {
        countRun();
        PatternStep(texts_.ShortDatePattern.Bytes());
        SplitTime(fields);
        if (fields.Hour != 0 || fields.Minute != 0 || fields.Second != 0) {
          Append(std::string_view(" "));
          PatternStep(texts_.LongTimePattern.Bytes());
        }
        break;
      }
      case 'E': {
        const int count = countRun();
        SplitDate(fields);
        AppendNumber(fields.Year, count > 4 ? 4 : count);  // the Gregorian era counts from year 1
        break;
      }
      case 'G':
        countRun();
        Append(texts_.EraName);
        break;
      case '/':
        Append(texts_.DateSeparator);
        break;
      case ':':
        Append(texts_.TimeSeparator);
        break;
      case '"':
      case '\'': {
        position = PastQuotedText(start);
        const char* end = position;
        if (end > start + 1 && end[-1] == starter) --end;
        Append(std::string_view(start + 1, static_cast<std::size_t>(end - start - 1)));
        break;
      }
      default:
        Append(std::string_view(start, 1));
        break;
    }
  }
  --depth_;
}

TextValue QueryLocale(platform::LCID locale, platform::DWORD type) {
  char buffer[256];
  const int count = platform::GetLocaleInfoA(locale, type, buffer, sizeof buffer);
  return count > 1 ? TextValue(buffer, count - 1) : TextValue();
}

}  // namespace

TextValue TimePatternOf(const TextValue& windowsFormat) {
  std::string pattern;
  const char* position = windowsFormat.Bytes();
  while (*position != '\0') {
    if (*position == '\'' || *position == '"') {
      const char* end = PastQuotedText(position);
      pattern.append(position, end);
      position = end;
    } else if (*position == 't') {
      while (*position == 't') ++position;
      pattern += "AMPM";
    } else {
      pattern += *position++;
    }
  }
  return TextValue(pattern);
}

TextValue ShortTimePatternOf(const TextValue& longTimePattern) {
  const std::string_view pattern = longTimePattern.View();
  const std::size_t seconds = pattern.find_first_of("sS");
  if (seconds == std::string_view::npos) return longTimePattern;
  std::size_t cut = seconds;
  while (cut > 0 && !std::isalpha(static_cast<unsigned char>(pattern[cut - 1]))) --cut;
  std::size_t end = seconds;
  while (end < pattern.size() && (pattern[end] == 's' || pattern[end] == 'S')) ++end;
  return TextValue(std::string(pattern.substr(0, cut)) + std::string(pattern.substr(end)));
}

void PrepareLocaleTexts() {
  const platform::LCID locale = CurrentCodePageFacts().SystemDefaultLocale;
  LocaleTexts texts;
  for (platform::DWORD month = 0; month < 12; ++month) {
    texts.ShortMonthNames[month] = QueryLocale(locale, platform::kLocaleAbbrevMonthName1 + month);
    texts.LongMonthNames[month] = QueryLocale(locale, platform::kLocaleMonthName1 + month);
  }
  for (platform::DWORD day = 0; day < 7; ++day) {
    // The system lists Monday first, the renderer Sunday first.
    const platform::DWORD fromMonday = (day + 6) % 7;
    texts.ShortDayNames[day] = QueryLocale(locale, platform::kLocaleAbbrevDayName1 + fromMonday);
    texts.LongDayNames[day] = QueryLocale(locale, platform::kLocaleDayName1 + fromMonday);
  }
  texts.ShortDatePattern = QueryLocale(locale, platform::kLocaleShortDate);
  texts.LongDatePattern = QueryLocale(locale, platform::kLocaleLongDate);
  texts.LongTimePattern = TimePatternOf(QueryLocale(locale, platform::kLocaleTimeFormat));
  texts.ShortTimePattern = TimePatternOf(QueryLocale(locale, platform::kLocaleShortTime));
  if (texts.ShortTimePattern.IsEmpty())
    texts.ShortTimePattern = ShortTimePatternOf(texts.LongTimePattern);
  texts.MorningText = QueryLocale(locale, platform::kLocaleMorning);
  texts.AfternoonText = QueryLocale(locale, platform::kLocaleAfternoon);
  texts.DateSeparator = QueryLocale(locale, platform::kLocaleDateSeparator);
  texts.TimeSeparator = QueryLocale(locale, platform::kLocaleTimeSeparator);
  char era[64];
  const int count = platform::GetCalendarInfoA(locale, platform::kCalendarGregorian,
                                               platform::kCalendarEraString, era, sizeof era);
  texts.EraName = count > 1 ? TextValue(era, count - 1) : TextValue("A.D.");
  Texts() = texts;
}

const LocaleTexts& CurrentLocaleTexts() { return Texts(); }

void AdoptLocaleTexts(const LocaleTexts& texts) { Texts() = texts; }

TextValue RenderDateTime(DateTimeValue value, const TextValue& pattern) {
  Renderer renderer(value, Texts(), CurrentCodePageFacts());
  renderer.PatternStep(pattern.IsEmpty() ? "C" : pattern.Bytes());
  return renderer.Result();
}

}  // namespace tidemark
