#include "windows-check/table_rows.h"

#include <string>

#include "windows-check/answers_table.h"
#include "windows-check/files.h"
#include "windows-check/places.h"

namespace tidemark::check {

void ReportTable(Report& report, bool underWine, bool expectWrongAnswer) {
  report.Section("The answers table, in a scratch folder");
  const std::string folder = Scratch() + "\\rows\\";
  int index = 0;
  for (const answers::Row& row : answers::Rows()) {
    const std::string here = folder + std::to_string(index);
    const bool entered = MakeFolders(here) && EnterFolder(here);
    std::optional<answers::DWORD> answer;
    if (entered) answer = answers::Answer(row);
    EnterFolder(CheckFolder());
    RemoveTree(here);
    answers::DWORD expected = answers::Expected(row, underWine);
    if (expectWrongAnswer && index == 0) expected ^= 1;
    std::string expectedText = answers::Named(expected);
    if (underWine && row.wine) {
      expectedText += " (Wine's answer; Windows answers " + answers::Named(row.answer) + ")";
    }
    const answers::DWORD got = answer.value_or(answers::kSentinel);
    report.Compare(row.situation, expectedText,
                   answer    ? answers::Named(got)
                   : entered ? "a hold could not be placed"
                             : "its folder could not be made",
                   row.source, answer.has_value() && got == expected);
    ++index;
  }
  RemoveTree(Scratch() + "\\rows");
}

}  // namespace tidemark::check
