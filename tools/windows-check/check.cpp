// The check as a person runs it: the rows, the runs of Tidemark, the
// read-back, the clean-up, and the report printed and written beside the
// program. Exit code 0 where no row differs, 1 where one does, 2 where the
// check cannot run at all.
#include <cstdio>

#include "windows-check/elevation_rows.h"
#include "windows-check/facts.h"
#include "windows-check/files.h"
#include "windows-check/leftovers.h"
#include "windows-check/modes.h"
#include "windows-check/places.h"
#include "windows-check/program_files.h"
#include "windows-check/report.h"
#include "windows-check/situations.h"
#include "windows-check/table_rows.h"

namespace tidemark::check {

namespace {

void SayTidied(Report& report, const Tidied& tidied, const char* what) {
  for (const std::string& removed : tidied.removed) report.Say(std::string(what) + removed);
  for (const std::string& left : tidied.left) {
    report.Say("Still there (only an elevated copy may remove it; the next one does): " + left);
  }
}

bool MakeClientFolder(const std::string& folder) {
  return MakeFolders(folder) && CopyAs(CheckFolder() + "tidemark.exe", folder + "tidemark.exe") &&
         CopyAs(Self(), folder + "uo.exe") && WriteAll(folder + "uo.cfg", kClientConfiguration);
}

}  // namespace

int RunCheck(bool expectWrongAnswer) {
  Report report;
  const Facts facts = ReadFacts();
  report.Heading = std::string("tidemark-check ") + TIDEMARK_VERSION + " on " +
                   (facts.wine.empty() ? "Windows " + facts.version : "Wine " + facts.wine);
  report.Say("Tidemark's check on a real Windows: " + report.Heading);
  report.Say("Paste all of this into the bug report. Each row says what was checked, what is");
  report.Say("expected and where that is written, what this PC answered, and whether they agree.");
  if (expectWrongAnswer)
    report.Say("Test switch /wrong: the first table row expects a wrong answer.");
  const Tidied earlier = TidyUp();
  SayTidied(report, earlier, "Removed, left by an earlier run stopped part-way: ");
  ReportFacts(facts, report);

  if (!RecordFolder(Scratch()) || !MakeFolders(Scratch())) {
    std::printf(
        "\nThe check cannot write beside itself (%s): copy it to a folder you may "
        "write, such as Downloads or Documents, and start it there.\n",
        CheckFolder().c_str());
    return 2;
  }
  ReportTable(report, !facts.wine.empty(), expectWrongAnswer);

  report.Section("Tidemark, the program checked");
  const bool haveTidemark = Exists(CheckFolder() + "tidemark.exe");
  report.Compare("tidemark.exe beside the check", "there", haveTidemark ? "there" : "not there",
                 "docs/windows-checklist.txt: unpack the release's tidemark.exe beside the check");
  report.Compare("an assistant registered on this PC", "none",
                 facts.assistant.empty() ? "none" : facts.assistant,
                 "Tidemark's README: it starts a registered assistant before uomon.exe and "
                 "uo.exe, so the stand-ins would not be started; the check leaves the "
                 "registration, which is the whole PC's, alone",
                 facts.assistant.empty());
  std::string notRun = !haveTidemark              ? "no tidemark.exe beside the check"
                       : !facts.assistant.empty() ? "an assistant is registered on this PC"
                                                  : "";
  if (notRun.empty() && !MakeClientFolder(Scratch() + "\\plain\\")) {
    notRun = "its client folder could not be made";
  }
  SituationRuns runs(report, facts);
  runs.RunAll(Place::Plain, notRun);

  ProgramFilesSetUp setUp;
  setUp.failure = notRun;
  if (notRun.empty()) {
    if (facts.withoutAccountControl.empty() && facts.withoutPrompt.empty()) {
      std::printf(
          "\n>>> The check asks for administrator rights twice now (to make and later "
          "remove its folder under Program Files, and to see the folder an elevated start "
          "gets): answer Yes both times. Press Enter. ");
      std::fflush(stdout);
      char line[64];
      if (std::fgets(line, sizeof line, stdin) == nullptr) std::puts("");
    }
    setUp = SetUpProgramFiles();
  }
  ReportElevatedFolder(report, facts, setUp);
  runs.RunAll(Place::ProgramFiles, setUp.failure);
  ReportVirtualizedRename(report, facts, setUp.failure);
  ReportLayers(report, facts, setUp.failure);

  report.Section("Clean-up");
  TakeDownProgramFiles(setUp);
  const Tidied tidied = TidyUp();
  SayTidied(report, tidied, "Removed: ");
  std::string left;
  for (const std::string& folder : tidied.left) left += (left.empty() ? "" : "; ") + folder;
  report.Compare("what the check made (folders, VirtualStore copies, compatibility values)",
                 "all removed", left.empty() ? "all removed" : "left: " + left,
                 "the check's own promise: it leaves nothing behind");
  report.Say("\n" + report.Summary());
  const bool written = WriteAll(ReportFile(), report.Text());
  std::printf("%s %s\n", written ? "This report is also in" : "The report could not be written to",
              ReportFile().c_str());
  return report.Count(Verdict::Differ) == 0 ? 0 : 1;
}

}  // namespace tidemark::check
