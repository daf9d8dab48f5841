#include "support/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/program_start.h"
#include "support/paths.h"

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

}  // namespace
}  // namespace tidemark
