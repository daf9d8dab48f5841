#include "windows-check/program_files.h"

#include <windows.h>

#include "windows-check/files.h"
#include "windows-check/leftovers.h"
#include "windows-check/modes.h"
#include "windows-check/places.h"

namespace tidemark::check {

namespace {

constexpr DWORD kReadyWithinMs = 120 * 1000;  // a person answers the prompt meanwhile
constexpr DWORD kGoneWithinMs = 60 * 1000;

// ShellExecuteExA from shell32, loaded at run time as Tidemark loads it,
// in a single-threaded COM apartment as its page asks.
DWORD StartElevated(const std::string& parameters, const char* folder, HANDLE& process) {
  using Execute = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
  using Initialize = HRESULT(WINAPI*)(void*, DWORD);
  const auto execute = reinterpret_cast<Execute>(FunctionOf("shell32.dll", "ShellExecuteExA"));
  const auto initialize = reinterpret_cast<Initialize>(FunctionOf("ole32.dll", "CoInitializeEx"));
  if (execute == nullptr) return ERROR_PROC_NOT_FOUND;
  if (initialize != nullptr) initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::string self = Self();
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask =
      SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
  info.lpVerb = "runas";
  info.lpFile = self.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = folder;
  info.nShow = SW_HIDE;
  if (execute(&info) == 0) return ::GetLastError();
  process = info.hProcess;
  return process != nullptr ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// What an elevated copy wrote of itself: its rights, then its working folder.
void ReadSaid(const std::string& file, std::string& rights, std::string& folder) {
  const std::string said = ReadAll(file).value_or("");
  rights = said.substr(0, said.find('\n'));
  folder = said.substr(said.find('\n') + 1);
  if (!folder.empty() && folder.back() == '\n') folder.pop_back();
}

// The second elevated start, without a working folder: it writes what it
// got and ends. The check's current folder is then the scratch folder, so
// that it is neither the folder the first start was given nor the system
// folder.
void StartWithoutFolder(ProgramFilesSetUp& setUp) {
  HANDLE process = nullptr;
  EnterFolder(Scratch());
  const DWORD error = StartElevated("/folder", nullptr, process);
  EnterFolder(CheckFolder());
  if (error != ERROR_SUCCESS) {
    setUp.failureWithout = error == ERROR_CANCELLED
                               ? "you answered No at the check's second prompt"
                               : "not started (error " + std::to_string(error) + ")";
    return;
  }
  ::WaitForSingleObject(process, kReadyWithinMs);
  ::CloseHandle(process);
  std::string rights;
  ReadSaid(FolderWithoutFile(), rights, setUp.folderWithout);
  if (rights.empty()) setUp.failureWithout = "it wrote nothing within two minutes";
}

std::string Failure(DWORD exitCode) {
  if (exitCode == kFolderNotOurs) {
    return "a folder " + ProgramFilesRoot() + " is there that this check did not make";
  }
  return "the check's elevated copy could not make " + ProgramFilesRoot() + " (exit code " +
         std::to_string(exitCode) + ")";
}

}  // namespace

ProgramFilesSetUp SetUpProgramFiles() {
  ProgramFilesSetUp setUp;
  const std::string root = ProgramFilesRoot();
  if (!RecordFolder(root) || !RecordFolder(VirtualStoreOf(root)) ||
      !RecordMissingAbove(VirtualStoreOf(root), Variable("LOCALAPPDATA")) ||
      !RecordMissingLayerKeys()) {
    setUp.failure = "the record of what the check makes cannot be written";
    return setUp;
  }
  HANDLE process = nullptr;
  const std::string folder = CheckFolder();
  const DWORD error =
      StartElevated("/helper " + std::to_string(::GetCurrentProcessId()), folder.c_str(), process);
  if (error == ERROR_CANCELLED) {
    setUp.failure = "you answered No at the check's own prompt";
    return setUp;
  }
  if (error != ERROR_SUCCESS) {
    setUp.failure =
        "Windows did not start the check's elevated copy (error " + std::to_string(error) + ")";
    return setUp;
  }
  setUp.process = process;
  for (DWORD waited = 0; waited < kReadyWithinMs; waited += 50) {
    if (Exists(root + "\\ready")) {
      ReadSaid(root + "\\helper.txt", setUp.rights, setUp.folder);
      StartWithoutFolder(setUp);
      return setUp;
    }
    if (::WaitForSingleObject(process, 50) == WAIT_OBJECT_0) {
      DWORD exitCode = 0;
      ::GetExitCodeProcess(process, &exitCode);
      setUp.failure = Failure(exitCode);
      if (exitCode == kFolderNotOurs) ForgetFolder(root), ForgetFolder(VirtualStoreOf(root));
      return setUp;
    }
  }
  setUp.failure = "the check's elevated copy did not make its folder within two minutes";
  return setUp;
}

bool TakeDownProgramFiles(ProgramFilesSetUp& setUp) {
  if (setUp.process == nullptr) return !Exists(ProgramFilesRoot());
  WriteAll(Scratch() + "\\done", "");
  ::WaitForSingleObject(setUp.process, kGoneWithinMs);
  ::CloseHandle(setUp.process);
  setUp.process = nullptr;
  return !Exists(ProgramFilesRoot());
}

}  // namespace tidemark::check
