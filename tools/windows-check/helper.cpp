// The check program's one elevated copy. It makes the folder under Program
// Files that only an elevated program may write, with a client folder for
// each situation, then waits, elevated, until the check is done (a file in
// the scratch folder) or has ended however it ended, and removes the folder
// again. One prompt thus covers both. Where an earlier run's folder is
// still there, it removes it first, but only a folder holding the marker
// it makes first: a folder of that name that is not this program's is left
// alone, and the situations under Program Files are not run.
#include <windows.h>

#include "windows-check/files.h"
#include "windows-check/modes.h"
#include "windows-check/places.h"
#include "windows-check/token.h"

namespace tidemark::check {

namespace {

constexpr int kNotMade = 4;
constexpr DWORD kLongestWaitMs = 60 * 60 * 1000;

bool MakeClientFolders(const std::string& root) {
  for (const ProgramFilesFolder& each : kProgramFilesFolders) {
    const std::string folder = root + "\\" + each.name + "\\";
    if (!MakeFolders(folder) || !CopyAs(CheckFolder() + "tidemark.exe", folder + "tidemark.exe") ||
        !CopyAs(Self(), folder + "uo.exe") ||
        (each.assistant && !CopyAs(Self(), folder + "uomon.exe")) ||
        !WriteAll(folder + "uo.cfg", kClientConfiguration)) {
      return false;
    }
  }
  return true;
}

}  // namespace

int RunHelper(unsigned long parentProcessId) {
  const std::string root = ProgramFilesRoot();
  if (Exists(root)) {
    if (!Exists(root + "\\" + kMarker)) return kFolderNotOurs;
    RemoveTree(root);
  }
  if (!MakeFolders(root) || !WriteAll(root + "\\" + kMarker, "") ||
      !WriteAll(root + "\\helper.txt", Rights() + "\n" + CurrentFolder() + "\n") ||
      !MakeClientFolders(root) || !WriteAll(root + "\\ready", "")) {
    RemoveTree(root);
    return kNotMade;
  }
  // The check's end, however it comes: a crash or "End task" ends its
  // process. Where this copy may not wait for it (it runs as another
  // account), the done file or the longest wait ends it.
  const HANDLE parent = ::OpenProcess(SYNCHRONIZE, FALSE, parentProcessId);
  const std::string done = Scratch() + "\\done";
  for (DWORD waited = 0; waited < kLongestWaitMs && !Exists(done); waited += 100) {
    if (parent == nullptr) {
      ::Sleep(100);
    } else if (::WaitForSingleObject(parent, 100) != WAIT_TIMEOUT) {
      break;
    }
  }
  if (parent != nullptr) ::CloseHandle(parent);
  return RemoveTree(root) ? 0 : 1;
}

int RunWithoutFolder() {
  return WriteAll(FolderWithoutFile(), Rights() + "\n" + CurrentFolder() + "\n") ? 0 : 1;
}

}  // namespace tidemark::check
