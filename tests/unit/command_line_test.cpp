#include "support/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "helpers/scripted_path.h"
#include "launcher/program_start.h"
#include "platform/platform.h"
#include "support/paths.h"
#include "unit/scoped_calls.h"

namespace tidemark {
namespace {

std::vector<std::string> ParametersOf(const std::string& commandLine) {
  std::vector<std::string> parameters;
  for (std::int32_t index = 1;; ++index) {
    TextValue parameter = CommandParameterIn(commandLine.c_str(), index);
    if (parameter.IsEmpty()) return parameters;
    parameters.emplace_back(parameter.View());
  }
}

struct ScanCase {
  std::string tail;  // the command line after the program name
  std::vector<std::string> parameters;
};

// The scanner's rules, written with the command-line tail as it stands.
const ScanCase kScanCases[] = {
    {" /N", {"/N"}},
    {" \"/N\"", {"/N"}},
    {" /\"N\"", {"/N"}},
    {" ab\"c d\"e", {"abc de"}},
    {" a\"b\"c d", {"abc", "d"}},
    {" a\"\"b", {"ab"}},
    {" \"a\"\"b\"", {"ab"}},
    {" \"\" x", {"x"}},
    {" \"\"\" x", {" x"}},
    {" \" \"", {" "}},
    {" \"a b", {"a b"}},
    {" a\\\"b c\"", {"a\\b c"}},
    {" \"C:\\x\\\" y", {"C:\\x\\", "y"}},
    {" x \"", {"x"}},
    {" \"\"\"\"", {}},
    {" \"\" \"\"", {}},
    {"\t a   b ", {"a", "b"}},
    {"", {}},
    {" a\r\nb\x01"
     "c",
     {"a", "b", "c"}},                                 // every byte up to 0x20 separates
    {" \x95\x5c \x83\xA0", {"\x95\x5c", "\x83\xA0"}},  // bytes from 0x80 belong to parameters
    {" /N /n", {"/N", "/n"}},
};

TEST(CommandLine, ScannerCutsParametersByItsRules) {
  for (const char* program : {"tidemark", "\"C:\\My Games\\tidemark.exe\"", "\"\"tidemark"}) {
    for (const ScanCase& c : kScanCases) {
      const std::string line = program + c.tail;
      EXPECT_EQ(ParametersOf(line), c.parameters) << "command line: [" << line << "]";
      EXPECT_EQ(CountParametersIn(line.c_str()), static_cast<std::int32_t>(c.parameters.size()))
          << "command line: [" << line << "]";
    }
  }
}

TEST(CommandLine, IndexBeyondTheParametersOrNegativeGivesTheEmptyText) {
  const char* line = "prog a b";
  EXPECT_TRUE(CommandParameterIn(line, 5).IsEmpty());
  EXPECT_TRUE(CommandParameterIn(line, 3).IsEmpty());
  EXPECT_TRUE(CommandParameterIn(line, -1).IsEmpty());
  EXPECT_TRUE(CommandParameterIn("prog", 1).IsEmpty());
  EXPECT_TRUE(CommandParameter(-1).IsEmpty());
}

TEST(CommandLine, QuotePairIsPassedOverAndDoesNotEndTheCount) {
  EXPECT_EQ(CountParametersIn("prog a \"\" b"), 2);
  EXPECT_EQ(CommandParameterIn("prog a \"\" b", 2).View(), "b");
}

TEST(CommandLine, LongParametersAreCollectedWhole) {
  const std::string longParameter(5000, 'x');
  const std::string line = "\"" + std::string(300, 'p') + "\" " + longParameter + " /N";
  EXPECT_EQ(CommandParameterIn(line.c_str(), 1).View(), longParameter);
  EXPECT_EQ(CommandParameterIn(line.c_str(), 2).View(), "/N");
}

TEST(CommandLine, ParameterZeroIsTheWholeModulePathNotTheScannedName) {
  const TextValue path = CommandParameter(0);
  ASSERT_FALSE(path.IsEmpty());
  EXPECT_EQ(path.View(), ModulePath().View());
  // A full Windows path: a drive, then the folder part ends with a backslash.
  EXPECT_EQ(path.At(1), ':');
  const TextValue folder = FolderPartOf(path);
  ASSERT_FALSE(folder.IsEmpty());
  EXPECT_EQ(folder.At(folder.Length() - 1), '\\');
  EXPECT_NE(path.View().find("command_line_tests"), std::string_view::npos);
}

// Parameter 0 is the program's own file, whatever its command line says:
// the folder of uo.cfg is found from it.
TEST(CommandLine, ParameterZeroIsTheProgramsOwnFile) {
  const TextValue self = CommandParameter(0);
  EXPECT_TRUE(FileIsPresent(self)) << self.View();
  EXPECT_NE(self.View().find("command_line_tests"), std::string_view::npos) << self.View();
  EXPECT_TRUE(self.View().find('\\') != std::string_view::npos) << "a full Windows path";
}

TEST(CommandLine, TailForTheEntryProcedureFollowsTheProgramName) {
  struct Case {
    const char* line;
    const char* tail;
  };
  const Case cases[] = {
      {"prog /N", "/N"},
      {"  prog   /N x", "/N x"},
      {"\"C:\\My Games\\prog.exe\" /N", "/N"},
      {"\"C:\\My Games\\prog.exe\"/N", "/N"},
      {"prog\t/N", "/N"},
      {"prog", ""},
      {"\"unclosed", ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(CommandTail(c.line), c.tail) << c.line;
  }
}

// The module path and the current folder for the ANSI calls, with the wide
// path and its short form scripted: a path the ANSI code page shows is used
// as the ANSI call gives it; one
// it cannot show is reached through its short form; where there is none, or
// it has lost characters too, no ANSI path reaches the folder. (Code page
// 1252 under Wine; the stand-in shows any unit below 0x100.)
namespace scripted_paths {
std::u16string wide;
std::u16string shortForm;  // empty: the call fails
using testing::AnswerWithPath;
platform::DWORD ModuleFileName(platform::HMODULE, platform::WCHAR* buffer, platform::DWORD size) {
  // As GetModuleFileNameW: a path that does not fit is cut, and its size given.
  if (size <= wide.size()) return size;
  return AnswerWithPath(wide, buffer, size);
}
platform::DWORD CurrentDirectory(platform::DWORD size, platform::WCHAR* buffer) {
  return AnswerWithPath(wide, buffer, size);
}
platform::DWORD ShortPathName(const platform::WCHAR*, platform::WCHAR* buffer,
                              platform::DWORD size) {
  return AnswerWithPath(shortForm, buffer, size);
}
}  // namespace scripted_paths

TEST(CommandLine, PathsForTheAnsiCallsAreTheShortFormWhereCharactersAreLost) {
  const std::string unchanged = "(the module path)";
  const std::string unreachable = "(no ANSI path)";
  struct Case {
    std::u16string wide;
    std::u16string shortForm;
    std::string expected;
  };
  const std::u16string cyrillic =
      u"Z:\\\u0418\u0433\u0440\u0430 \u043a\u043b\u0438\u0435\u043d\u0442\\tidemark.exe";
  const Case cases[] = {
      {cyrillic, u"Z:\\____~AH1\\tidemark.exe", "Z:\\____~AH1\\tidemark.exe"},
      {cyrillic + std::u16string(600, u'x'), u"Z:\\____~AH1\\TIDEMA~1.EXE",
       "Z:\\____~AH1\\TIDEMA~1.EXE"},     // longer than a first buffer
      {cyrillic, cyrillic, unreachable},  // no short names on that volume
      {cyrillic, u"", unreachable},       // the short form cannot be had
      {u"Z:\\Caf\u00e9\\tidemark.exe", u"Z:\\CAFE~1\\tidemark.exe", unchanged},
      {u"Z:\\\u0141\u00f3d\u017a\\tidemark.exe", u"Z:\\LODZ~1\\tidemark.exe",
       "Z:\\LODZ~1\\tidemark.exe"},  // no best-fit "L" for the Polish letter
  };
  for (const Case& c : cases) {
    std::optional<TextValue> module, folder;
    {
      const testing::ScopedCalls calls;
      calls->GetModuleFileNameW = &scripted_paths::ModuleFileName;
      calls->GetCurrentDirectoryW = &scripted_paths::CurrentDirectory;
      calls->GetShortPathNameW = &scripted_paths::ShortPathName;
      scripted_paths::wide = c.wide;
      scripted_paths::shortForm = c.shortForm;
      module = ReachableModulePath();
      folder = ReachableCurrentFolder();
    }
    const auto text = [&](const std::optional<TextValue>& reached) {
      return reached ? std::string(reached->View()) : unreachable;
    };
    char ansiFolder[4096] = "";
    platform::GetCurrentDirectoryA(sizeof ansiFolder, ansiFolder);
    EXPECT_EQ(text(module), c.expected == unchanged ? std::string(ModulePath().View()) : c.expected)
        << c.expected;
    EXPECT_EQ(text(folder), c.expected == unchanged ? std::string(ansiFolder) : c.expected)
        << "current folder: " << c.expected;
  }
}

}  // namespace
}  // namespace tidemark
