#include "windows-check/elevation_rows.h"

#include <windows.h>

#include <vector>

#include "windows-check/compat_values.h"
#include "windows-check/files.h"
#include "windows-check/places.h"
#include "windows-check/token.h"

namespace tidemark::check {

namespace {

void Row(Report& report, const std::string& notRun, const std::string& without,
         const std::string& what, const std::string& expected, const std::string& got,
         const std::string& source, bool agrees) {
  if (!notRun.empty()) {
    report.NotAvailable(what, expected, "not run: " + notRun, source);
  } else if (!without.empty()) {
    report.NotAvailable(what, expected, without + "; here: " + got, source);
  } else {
    report.Compare(what, expected, got, source, agrees);
  }
}

std::string WithoutLastSlash(std::string folder) {
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

// A rename of a new file over uo.cfg, as the save makes it, by this process
// with its writes virtualized as Tidemark's are.
std::string RenameAnswer(const std::string& folder) {
  const std::string temporary = folder + "uo.cfg.tidemark-save.tmp";
  if (!WriteAll(temporary, "Name=check\r\n")) return "the new file could not be made";
  ::SetLastError(0xdeadbeef);
  if (::MoveFileExA(temporary.c_str(), (folder + "uo.cfg").c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return "succeeded";
  }
  const DWORD error = ::GetLastError();
  ::DeleteFileA(temporary.c_str());
  return error == ERROR_ACCESS_DENIED ? "ERROR_ACCESS_DENIED (5)"
                                      : "error " + std::to_string(error);
}

}  // namespace

void ReportElevatedFolder(Report& report, const Facts& facts, const ProgramFilesSetUp& setUp) {
  report.Section("The check's own elevated copy");
  char system[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(system, sizeof system);
  const std::string systemFolder(system, length < sizeof system ? length : 0);
  // Neither answer is documented for the verb runas: either is taken, and
  // the row says which came.
  const struct {
    const char* what;
    std::string folder, kind, got, notRun, source;
  } starts[] = {
      {"the working folder an elevated start (the verb runas) got", WithoutLastSlash(CheckFolder()),
       "the folder it was given", setUp.folder, setUp.failure,
       "Microsoft, SHELLEXECUTEINFOA (lpDirectory: the working folder); no page says whether an "
       "elevated start keeps it. Tidemark's elevated copy is started so, and finds the client's "
       "folder from its own path"},
      {"the working folder an elevated start given none (lpDirectory NULL) got", Scratch(),
       "the check's current folder then", setUp.folderWithout,
       setUp.failure.empty() ? setUp.failureWithout : setUp.failure,
       "Microsoft, SHELLEXECUTEINFOA (lpDirectory NULL: the current directory is used); no page "
       "says whether an elevated start keeps it"}};
  for (const auto& start : starts) {
    const std::string kind = Lower(start.got) == Lower(start.folder)   ? " (" + start.kind + ")"
                             : Lower(start.got) == Lower(systemFolder) ? " (the system folder)"
                                                                       : "";
    Row(report, start.notRun, facts.withoutAccountControl, start.what,
        start.folder + " (" + start.kind + "), or " + systemFolder + " (the system folder)",
        start.got + kind, start.source, !kind.empty());
  }
  Row(report, setUp.failure, facts.withoutAccountControl, "its rights", "elevated", setUp.rights,
      "Microsoft, How User Account Control works (the verb runas starts a program elevated)",
      setUp.rights == "elevated");
}

void ReportVirtualizedRename(Report& report, const Facts& facts, const std::string& notRun) {
  report.Section("A rename over uo.cfg where writes are virtualized");
  const char* const source =
      "no Microsoft page says what MoveFileEx answers over a file in the VirtualStore; "
      "Tidemark's save takes either answer (README, What Tidemark reads and writes: a rule "
      "of the folder rewrites uo.cfg in place)";
  const char* const expected = "succeeded, or ERROR_ACCESS_DENIED (5)";
  const std::string folder = ProgramFilesRoot() + "\\rename\\";
  const bool ready = notRun.empty() && facts.withoutAccountControl.empty();
  std::string onlyReal = "not run";
  std::string inStore = "not run";
  if (ready && SetVirtualized(true)) {
    onlyReal = RenameAnswer(folder);
    // Now in the VirtualStore too (or put there, where the rename failed).
    if (!Exists(VirtualStoreOf(folder) + "uo.cfg")) WriteAll(folder + "uo.cfg", "Name=check\r\n");
    inStore = RenameAnswer(folder);
    SetVirtualized(false);
  }
  const auto handled = [](const std::string& got) {
    return got == "succeeded" || got == "ERROR_ACCESS_DENIED (5)";
  };
  Row(report, notRun, facts.withoutAccountControl, "uo.cfg only in the real folder", expected,
      onlyReal, source, handled(onlyReal));
  Row(report, notRun, facts.withoutAccountControl, "uo.cfg in the VirtualStore too", expected,
      inStore, source, handled(inStore));
}

void ReportLayers(Report& report, const Facts& facts, const std::string& notRun) {
  report.Section("After the runs");
  std::string got;
  for (const std::string& layer : LayersWithin(ProgramFilesRoot())) {
    if (Lower(layer).find("\\tidemark.exe =") == std::string::npos) continue;
    got += (got.empty() ? "" : "; ") + layer;
  }
  Row(report, notRun, facts.withoutAccountControl,
      "compatibility layers Windows gave the copies of Tidemark", "none",
      got.empty() ? "none" : got,
      "Microsoft, Using the ElevateCreateProcess Fix, and the Program Compatibility Assistant's "
      "policy \"Detect applications unable to launch installers under UAC\": a program whose "
      "child needs rights may be given the layer ElevateCreateProcess, after which its "
      "CreateProcess prompts instead of failing with 740 (documented for Vista and 7)",
      got.empty());
}

}  // namespace tidemark::check
