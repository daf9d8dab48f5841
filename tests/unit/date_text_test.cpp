#include "support/date_text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/paths.h"

namespace tidemark {
namespace {

// The texts of English (United States), the documented default locale.
LocaleTexts EnglishUnitedStates() {
  LocaleTexts texts;
  const char* shortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* longMonths[] = {"January",   "February", "March",    "April",
                              "May",       "June",     "July",     "August",
                              "September", "October",  "November", "December"};
  const char* shortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  const char* longDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                            "Thursday", "Friday", "Saturday"};
  for (int i = 0; i < 12; ++i) {
    texts.ShortMonthNames[i] = shortMonths[i];
    texts.LongMonthNames[i] = longMonths[i];
  }
  for (int i = 0; i < 7; ++i) {
    texts.ShortDayNames[i] = shortDays[i];
    texts.LongDayNames[i] = longDays[i];
  }
  texts.ShortDatePattern = "M/d/yyyy";
  texts.LongDatePattern = "dddd, MMMM d, yyyy";
  texts.ShortTimePattern = "h:mm AMPM";
  texts.LongTimePattern = "h:mm:ss AMPM";
  texts.MorningText = "AM";
  texts.AfternoonText = "PM";
  texts.DateSeparator = "/";
  texts.TimeSeparator = ":";
  texts.EraName = "A.D.";
  return texts;
}

class DateText : public ::testing::Test {
 protected:
  void SetUp() override {
    savedTexts_ = CurrentLocaleTexts();
    savedFacts_ = CurrentCodePageFacts();
    AdoptLocaleTexts(EnglishUnitedStates());
    AdoptCodePageFacts(CodePageFacts{});
  }
  void TearDown() override {
    AdoptLocaleTexts(savedTexts_);
    AdoptCodePageFacts(savedFacts_);
  }

 private:
  LocaleTexts savedTexts_;
  CodePageFacts savedFacts_;
};

struct RenderCase {
  const char* pattern;
  double value;
  std::string result;
};

const double k20261206 = 46362;                            // a Sunday
const double kAfternoon = 46362 + 52205123 / 86400000.0;   // 14:30:05.123
const double kPastMidnight = 46362 + 900000 / 86400000.0;  // 00:15:00.000

TEST_F(DateText, TheLaunchersPatternAndItsNeighbours) {
  const RenderCase cases[] = {
      {"yyyy-mm-dd", 0, "1899-12-30"},
      {"yyyy-mm-dd", 46362.75, "2026-12-06"},
      {"yyyy-mm-dd", 46387 + 1.0, "2027-01-01"},
      {"yyyy-mm-dd", 36584 + 1.0, "2000-02-29"},
      {"yyyy-mm-dd", 73109 + 1.0, "2100-03-01"},
      {"YYYY-MM-DD", 46362.75, "2026-12-06"},
      {"yy.m.d", 46362.75, "26.12.6"},
      {"hh-mm", 46362 + 0.6041666666666666, "14-30"},
      {"hh x mm", 46362 + 0.6041666666666666, "14 x 12"},
      {"yYyy", 46362.75, "262626"},
      {"yyyy-mm-dd", -693593, "0001-01-01"},
      {"yyyy-mm-dd", -693594, "0000-00-00"},
      {"mmm|mmmm", -693594, "|"},  // no month: no name
  };
  for (const RenderCase& c : cases) {
    EXPECT_EQ(RenderDateTime(c.value, c.pattern).View(), c.result) << c.pattern << " @" << c.value;
  }
}

TEST_F(DateText, EveryToken) {
  const RenderCase cases[] = {
      {"d/m/yy", k20261206, "6/12/26"},
      {"dd.mm.yyyyy", k20261206, "06.12.2026"},
      {"ddd|dddd", k20261206, "Sun|Sunday"},
      {"ddddd", kAfternoon, "12/6/2026"},
      {"dddddd", kAfternoon, "Sunday, December 6, 2026"},
      {"mmm|mmmm|mmmmm", k20261206, "Dec|December|December"},
      {"hh:nn:ss", kAfternoon, "14:30:05"},
      {"h:n:s", kPastMidnight, "0:15:0"},
      {"hhh:nnn:sss", kAfternoon, "14:30:05"},  // at most two digits
      {"h:mm", kAfternoon, "14:30"},
      {"h AM/PM", kAfternoon, "2 PM"},
      {"h am/pm", kAfternoon, "2 pm"},
      {"h aM/Pm", kPastMidnight, "12 aM"},
      {"h a/p", kAfternoon, "2 p"},
      {"h A/P", kPastMidnight, "12 A"},
      {"h ampm", kAfternoon, "2 PM"},
      {"hh:nn AMPM", kPastMidnight, "12:15 AM"},
      {"AM/PM h", kAfternoon, "PM 2"},             // the token came earlier in the pattern
      {"h 'a' ampm", kAfternoon, "2 a PM"},        // quoted text is passed over
      {"hh:nn a ampm", kAfternoon, "14:30 a PM"},  // the first a decides
      {"h h ampm", kAfternoon, "14 2 PM"},         // a further h comes first
      {"t", kAfternoon, "2:30 PM"},
      {"tt", kAfternoon, "2:30:05 PM"},
      {"c", kAfternoon, "12/6/2026 2:30:05 PM"},
      {"ccc", kAfternoon, "12/6/2026 2:30:05 PM"},
      {"c", k20261206, "12/6/2026"},             // midnight: the date alone
      {"", kAfternoon, "12/6/2026 2:30:05 PM"},  // an empty pattern is "c"
      {"aaa|aaaa|AAAA", kAfternoon, "Sun|Sunday|Sunday"},
      {"a|ab", kAfternoon, "a|ab"},
      {"e|ee|g|gg", k20261206, "2026|2026|A.D.|A.D."},
      {"yyyy/mm/dd hh:nn", kAfternoon, "2026/12/06 14:30"},
      {"'yyyy' \"hh\"", kAfternoon, "yyyy hh"},
      {"'it''s'", kAfternoon, "its"},
      {"'open", kAfternoon, "open"},
      {"zz #!", kAfternoon, "zz #!"},
      {"hh\"x\"mm", kAfternoon, "14x30"},  // the previous letter is still h
  };
  for (const RenderCase& c : cases) {
    EXPECT_EQ(RenderDateTime(c.value, c.pattern).View(), c.result) << "[" << c.pattern << "]";
  }
}

TEST_F(DateText, NestingStopsAtTwoLevels) {
  LocaleTexts texts = EnglishUnitedStates();
  texts.ShortDatePattern = "[ddddd]";  // refers to itself
  texts.LongTimePattern = "<t>";
  texts.ShortTimePattern = "hh";
  AdoptLocaleTexts(texts);
  EXPECT_EQ(RenderDateTime(kAfternoon, "ddddd").View(), "[]");
  EXPECT_EQ(RenderDateTime(kAfternoon, "tt").View(), "<>");
  EXPECT_EQ(RenderDateTime(kAfternoon, "c").View(), "[] <>");
}

TEST_F(DateText, OutputIsCutAt256Bytes) {
  EXPECT_EQ(RenderDateTime(kAfternoon, TextValue(std::string(300, 'x'))).Length(), 256);
  std::string manyNames;
  for (int i = 0; i < 60; ++i) manyNames += "dddd ";
  const TextValue rendered = RenderDateTime(kAfternoon, TextValue(manyNames));
  EXPECT_EQ(rendered.Length(), 256);
  EXPECT_EQ(rendered.View().substr(0, 14), "Sunday Sunday ");
}

TEST_F(DateText, DoubleByteCharactersAreCopiedWhole) {
  const std::uint8_t japanese[12] = {0x81, 0x9F, 0xE0, 0xFC};
  AdoptCodePageFacts(CodePageFactsFrom(true, japanese));
  // 年 is 0x94 0x4E in code page 932: its second byte is the letter N.
  EXPECT_EQ(RenderDateTime(kAfternoon, "yyyy\x94Nmm").View(), "2026\x94N12");
  // The search for a morning/afternoon token after an hour steps over them
  // whole too: a trail byte "H" ends no search, a trail byte "A" starts no token.
  EXPECT_EQ(RenderDateTime(kAfternoon, "h\x82HAM/PM").View(), "2\x82HPM");
  EXPECT_EQ(RenderDateTime(kAfternoon,
                           "h\x82"
                           "A/P")
                .View(),
            "14\x82"
            "A/P");
  AdoptCodePageFacts(CodePageFacts{});
  EXPECT_EQ(RenderDateTime(kAfternoon, "yyyy\x94N").View(),
            "2026\x94"
            "30");
}

TEST(LocaleTexts, TimeFormatsBecomeTokens) {
  struct Case {
    const char* windowsFormat;
    const char* pattern;
  };
  const Case cases[] = {{"h:mm:ss tt", "h:mm:ss AMPM"},
                        {"tt h:mm", "AMPM h:mm"},
                        {"H:mm:ss", "H:mm:ss"},
                        {"h 't' t", "h 't' AMPM"}};
  for (const Case& c : cases) EXPECT_EQ(TimePatternOf(c.windowsFormat).View(), c.pattern);
}

TEST(LocaleTexts, ShortTimeIsTheLongTimeWithoutSeconds) {
  struct Case {
    const char* longTime;
    const char* shortTime;
  };
  const Case cases[] = {{"h:mm:ss AMPM", "h:mm AMPM"},
                        {"H:mm:ss", "H:mm"},
                        {"AMPM h:mm:ss", "AMPM h:mm"},
                        {"h:mm", "h:mm"}};
  for (const Case& c : cases) EXPECT_EQ(ShortTimePatternOf(c.longTime).View(), c.shortTime);
}

TEST(LocaleTexts, TheDefaultLocaleIsEnglishUnitedStates) {
  PrepareCodePageFacts();
  PrepareLocaleTexts();
  const LocaleTexts& prepared = CurrentLocaleTexts();
  const LocaleTexts expected = EnglishUnitedStates();
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(prepared.ShortMonthNames[i], expected.ShortMonthNames[i]);
    EXPECT_EQ(prepared.LongMonthNames[i], expected.LongMonthNames[i]);
  }
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(prepared.ShortDayNames[i], expected.ShortDayNames[i]);
    EXPECT_EQ(prepared.LongDayNames[i], expected.LongDayNames[i]);
  }
  EXPECT_EQ(prepared.ShortDatePattern.View(), expected.ShortDatePattern.View());
  EXPECT_EQ(prepared.LongDatePattern.View(), expected.LongDatePattern.View());
  EXPECT_EQ(prepared.ShortTimePattern.View(), expected.ShortTimePattern.View());
  EXPECT_EQ(prepared.LongTimePattern.View(), expected.LongTimePattern.View());
  EXPECT_EQ(prepared.MorningText.View(), "AM");
  EXPECT_EQ(prepared.AfternoonText.View(), "PM");
  EXPECT_EQ(prepared.DateSeparator.View(), "/");
  EXPECT_EQ(prepared.TimeSeparator.View(), ":");
  // Windows names the era "A.D.", Wine "AD": either is the system's own text.
  EXPECT_TRUE(prepared.EraName.View() == "A.D." || prepared.EraName.View() == "AD")
      << prepared.EraName.View();
}

}  // namespace
}  // namespace tidemark
