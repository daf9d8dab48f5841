#include "launcher/launch_sequence.h"

#include <gtest/gtest.h>

#include <string>

#include "launcher/program_start.h"
#include "support/errors.h"

namespace tidemark {
namespace {

TEST(LaunchSequence, OnlyAnExactSwitchSuppressesTheLaunch) {
  struct Case {
    TextValue parameter;
    bool suppressed;
  };
  const Case cases[] = {
      {"/N", true},
      {"/n", true},
      {"", false},
      {"/N ", false},
      {"/Nx", false},
      {"-N", false},
      {"/", false},
      {"N", false},
      {"//N", false},
      {"\\N", false},
      {TextValue("/N\0", 3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LaunchSuppressedBy(c.parameter), c.suppressed) << c.parameter.View();
  }
}

TEST(LaunchSequence, JournalFolderLiesBesideTheProgram) {
  struct Case {
    const char* modulePath;
    const char* programFolder;
    const char* journalFolder;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\tidemark.exe", "C:\\Games\\Client\\", "C:\\Games\\Client\\Journals\\"},
      {"C:\\My Games\\tidemark.exe", "C:\\My Games\\", "C:\\My Games\\Journals\\"},
      {"C:tidemark.exe", "C:", "C:Journals\\"},
      {"tidemark.exe", "", "Journals\\"},
  };
  for (const Case& c : cases) {
    LaunchSequence sequence;
    sequence.FindFolders(c.modulePath);
    EXPECT_EQ(sequence.ProgramFolder.View(), c.programFolder);
    EXPECT_EQ(sequence.JournalFolder.View(), c.journalFolder);
    EXPECT_TRUE(sequence.AppendNeeded);
  }
}

TEST(LaunchSequence, JournalLineNamesTheDayAndRollsOverFrom23) {
  struct Case {
    const char* modulePath;
    std::uint16_t year, month, day, hour, minute, second, millisecond;
    const char* line;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\tidemark.exe", 2018, 4, 29, 23, 15, 0, 0,
       "JournalSaveFile=C:\\Games\\Client\\Journals\\Journal(2018-04-30).txt"},
      {"C:\\x\\t.exe", 2026, 12, 6, 22, 59, 59, 999,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-12-06).txt"},
      {"C:\\x\\t.exe", 2026, 12, 6, 23, 0, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-12-07).txt"},
      {"C:\\x\\t.exe", 2026, 12, 6, 0, 0, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-12-06).txt"},
      {"C:\\x\\t.exe", 2024, 2, 28, 23, 30, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2024-02-29).txt"},
      {"C:\\x\\t.exe", 2026, 2, 28, 23, 30, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-03-01).txt"},
      {"C:\\x\\t.exe", 2026, 12, 31, 23, 0, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2027-01-01).txt"},
      {"C:\\x\\t.exe", 2026, 4, 30, 23, 59, 59, 999,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-05-01).txt"},
      {"D:\\My Games\\UO Client\\t.exe", 2026, 1, 1, 12, 0, 0, 0,
       "JournalSaveFile=D:\\My Games\\UO Client\\Journals\\Journal(2026-01-01).txt"},
  };
  for (const Case& c : cases) {
    LaunchSequence sequence;
    sequence.FindFolders(c.modulePath);
    sequence.ComputeJournalLine(ComposeDate(c.year, c.month, c.day) +
                                ComposeTime(c.hour, c.minute, c.second, c.millisecond));
    EXPECT_EQ(sequence.JournalLine.View(), c.line);
  }
}

TEST(ProgramStart, AbnormalEndCaptionIsTheFileNameOfTheFirst79Bytes) {
  const std::string longFolder = "C:\\" + std::string(70, 'f') + "\\";  // 74 bytes
  struct Case {
    std::string modulePath;
    std::string caption;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\tidemark.exe", "tidemark.exe"},
      {"C:tidemark.exe", "tidemark.exe"},
      {"tidemark.exe", "tidemark.exe"},
      {"C:\\a:b\\c:d", "c:d"},                          // a backslash wins over a later colon
      {longFolder + "tidemark.exe", "tidem"},           // cut to 79 bytes first
      {"C:\\" + std::string(75, 'g') + "\\x.exe", ""},  // the cut ends right after a backslash
      {std::string(100, 'n'), std::string(79, 'n')},
  };
  for (const Case& c : cases) {
    char workArea[80];
    EXPECT_EQ(std::string(AbnormalEndCaption(workArea, c.modulePath.c_str())), c.caption)
        << c.modulePath;
  }
}

TEST(ProgramStartDeathTest, AnErrorEndsTheProcessWithExitCode3) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RunGuarded([]() -> int { throw Exception("ﾌｧｲﾙ uo.cfg は開けません"); }),
              ::testing::ExitedWithCode(3), "");
  EXPECT_EXIT(RunGuarded([]() -> int { throw std::bad_alloc(); }), ::testing::ExitedWithCode(3),
              "");
}

}  // namespace
}  // namespace tidemark
