// What Windows answers the file calls that the save and the turn decide on:
// the one table in tools/windows-check/answers_table.cpp, which the check
// program also runs on a real Windows. Here it runs over the Linux
// stand-in, which must answer as Windows does on every row, and, built for
// Windows, under Wine: where Wine answers otherwise, the row says so and
// that lane checks Wine's answer.
#include <gtest/gtest.h>

#include <cstdio>

#include "unit/scratch_folder.h"
#include "windows-check/answers_table.h"

namespace tidemark {
namespace {

TEST(WindowsAnswers, EachRowAsWindowsAnswers) {
  const bool wine = answers::UnderWine();
  int differing = 0;
  for (const answers::Row& row : answers::Rows()) {
    const testing::ScratchFolder scratch;
    const std::optional<platform::DWORD> answer = answers::Answer(row);
    ASSERT_TRUE(answer) << row.situation << ": a hold could not be placed";
    if (row.wine) ++differing;
    EXPECT_EQ(answers::Named(*answer), answers::Named(answers::Expected(row, wine)))
        << row.situation << (wine ? " (Wine)" : "") << "; source: " << row.source;
  }
  std::printf("windows answers: %zu rows, %d where Wine answers otherwise\n",
              answers::Rows().size(), differing);
}

}  // namespace
}  // namespace tidemark
