// The simulated CreateProcessA and shell (model.h states what they answer),
// elevated or not as account_control.h models it.
//
// The documented rules it follows for a start:
//   - CREATE_SUSPENDED: the new process's first thread "is created in a
//     suspended state, and does not run until the ResumeThread function is
//     called" (Process Creation Flags, learn.microsoft.com/windows/win32/
//     procthread/process-creation-flags; Wine's dlls/kernel32/tests/
//     process.c, test_SuspendFlag, sees the child still unrun after a
//     pause). Here the program is checked as CreateProcessA checks it
//     (present, a program, rights) and never started: Tidemark lets no
//     suspended process go. TerminateProcess of one ends it unrun; of one
//     started, it kills it.
//   - a suspended process stays until it is ended, whatever becomes of its
//     handles ("closing a handle does not terminate the associated
//     process", CloseHandle's page): one left so is reported on standard
//     error when this process ends, so a test sees the leak.
//   - lpCurrentDirectory: the new process's current folder; one that is
//     not a folder fails the start with ERROR_DIRECTORY (267; Wine's
//     process.c, test_Directory).
// What it leaves out: a suspended process here has no process id, no
// loaded image and no hold on its file; handles are inherited by no one;
// an ended process is gone at once, where TerminateProcess only starts the
// end (its page), and a running one is never waited for.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/simulated/account_control.h"
#include "platform/simulated/host_path.h"

extern char** environ;

#ifdef TIDEMARK_COVERAGE
extern "C" void __gcov_dump();  // NOLINT(bugprone-reserved-identifier): gcc's own
#endif

namespace tidemark::platform {

namespace {

constexpr UINT kErrorBadFormat = 11;
constexpr UINT kErrorInvalidParameter = 87;
constexpr UINT kErrorNoAssociation = 1155;
constexpr UINT kErrorGeneralFailure = 31;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorBadExeFormat = 193;
// Where a started program finds the show state it was started with.
constexpr const char* kShowStateVariable = "TIDEMARK_SHOW_STATE";

std::vector<std::string> TokensOf(const char* commandLine) {
  std::vector<std::string> tokens;
  const std::string line = commandLine == nullptr ? "" : commandLine;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size()) break;
    std::string token;
    if (line[at] == '"') {
      const std::size_t close = line.find('"', at + 1);
      token = line.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
      at = close == std::string::npos ? line.size() : close + 1;
    } else {
      const std::size_t end = line.find_first_of(" \t", at);
      token = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
      at = end == std::string::npos ? line.size() : end;
    }
    tokens.push_back(token);
  }
  return tokens;
}

// What Windows checks before it starts a file: that it is one, that it may be
// run and that it is a program. Checked here too, since posix_spawn cannot
// always report a failed exec (under valgrind it never does).
UINT ReasonNotToStart(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0)
    return errno == ENOTDIR ? kErrorPathNotFound : kErrorFileNotFound;
  if (!S_ISREG(status.st_mode) || access(path.c_str(), X_OK) != 0) return kErrorAccessDenied;
  char magic[4] = {};
  std::ifstream(path, std::ios::binary).read(magic, sizeof magic);
  const bool program =
      (magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') ||
      (magic[0] == '#' && magic[1] == '!');
  return program ? 0 : kErrorBadFormat;
}

}  // namespace

void GetStartupInfoA(STARTUPINFOA* startupInfo) {
  *startupInfo = STARTUPINFOA{};
  startupInfo->cb = sizeof *startupInfo;
  if (const char* shown = std::getenv(kShowStateVariable); shown != nullptr) {
    startupInfo->dwFlags = kStartfUseShowWindow;
    startupInfo->wShowWindow = static_cast<WORD>(std::atoi(shown));
  }
}

namespace {

constexpr const char* kElevatedVariable = "TIDEMARK_UAC_ELEVATED";

constexpr int kNoShowState = -1;

// Why the program a command line names cannot be started; 0 when it can.
UINT ReasonNotToStartCommand(const char* commandLine, std::string& hostProgram) {
  const std::vector<std::string> tokens = TokensOf(commandLine);
  if (tokens.empty()) return kErrorFileNotFound;
  DWORD error = 0;
  const auto program = simulated::HostPathOf(tokens.front().c_str(), false, error);
  if (!program) return error;
  hostProgram = *program;
  return ReasonNotToStart(*program);
}

// Starts the program the command line names, elevated or as this process
// runs, in `hostFolder` when one is given (else in this process's folder),
// with the show state given (none: kNoShowState).
UINT Spawn(const char* commandLine, int showCommand, bool elevated, const char* hostFolder,
           pid_t* started = nullptr) {
  std::string hostProgram;
  if (const UINT reason = ReasonNotToStartCommand(commandLine, hostProgram); reason != 0)
    return reason;
  const std::optional<std::string> program = hostProgram;
  std::vector<std::string> tokens = TokensOf(commandLine);
  // argv[0] keeps the name as the command line gave it, so the program
  // sees the command line that Windows would hand it.
  std::vector<char*> arguments;
  arguments.reserve(tokens.size() + 1);
  for (std::string& token : tokens) arguments.push_back(token.data());
  arguments.push_back(nullptr);
  // The show state goes where GetStartupInfoA finds it; the elevation
  // where the program's own calls find it.
  std::vector<std::string> settings;
  for (char** setting = environ; *setting != nullptr; ++setting) {
    const std::string_view name(*setting);
    if (!name.starts_with(kShowStateVariable) && !name.starts_with(kElevatedVariable))
      settings.emplace_back(*setting);
  }
  if (showCommand != kNoShowState)
    settings.push_back(std::string(kShowStateVariable) + "=" + std::to_string(showCommand));
  if (elevated) settings.push_back(std::string(kElevatedVariable) + "=1");
  std::vector<char*> environment;
  environment.reserve(settings.size() + 1);
  for (std::string& setting : settings) environment.push_back(setting.data());
  environment.push_back(nullptr);
  posix_spawn_file_actions_t actions{};
  posix_spawn_file_actions_init(&actions);
  if (hostFolder != nullptr) posix_spawn_file_actions_addchdir_np(&actions, hostFolder);
  pid_t child = 0;
  const int failure = posix_spawn(&child, program->c_str(), &actions, nullptr, arguments.data(),
                                  environment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (started != nullptr) *started = child;
  switch (failure) {
    case 0:
      return 33;  // started
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
      return kErrorAccessDenied;
    case ENOEXEC:
      return kErrorBadFormat;
    default:
      return kErrorGeneralFailure;
  }
}

// The host path of the program a command line names; empty when none.
std::string ProgramOf(const char* commandLine) {
  const std::vector<std::string> tokens = TokensOf(commandLine);
  DWORD error = 0;
  const auto program =
      tokens.empty() ? std::nullopt : simulated::HostPathOf(tokens.front().c_str(), false, error);
  return program.value_or(std::string());
}

}  // namespace

namespace {

// A process that CreateProcessA made: what it starts, and how far it got.
struct Child {
  std::string CommandLine;
  int Show = kNoShowState;
  bool Elevated = false;
  std::optional<std::string> Folder;
  bool Running = false;  // never suspended
  bool Ended = false;    // by TerminateProcess
  pid_t Pid = 0;
};

// The children by their handles (process and thread), which are
// descriptors of /dev/null, so that CloseHandle closes them as any handle.
// A closed handle's entry stays until its number is given out again.
std::map<int, std::shared_ptr<Child>>& Children() {
  static std::map<int, std::shared_ptr<Child>> children;
  return children;
}

std::shared_ptr<Child> ChildOf(HANDLE handle) {
  const auto found = Children().find(static_cast<int>(reinterpret_cast<std::intptr_t>(handle)));
  return found == Children().end() ? nullptr : found->second;
}

HANDLE NewHandleFor(const std::shared_ptr<Child>& child) {
  const int descriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  Children()[descriptor] = child;
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
}

// A suspended process that was never ended stays on Windows.
void ReportLeftSuspended() {
  for (const auto& [handle, child] : Children()) {
    if (child->Running || child->Ended) continue;
    std::fprintf(stderr, "stand-in: a suspended process was left behind: %s\n",
                 child->CommandLine.c_str());
    child->Ended = true;  // reported once
  }
  std::fflush(stderr);
}

}  // namespace

BOOL os::CreateProcessA(const char* applicationName, char* commandLine, void*, void*, BOOL,
                        DWORD creationFlags, void*, const char* currentDirectory,
                        STARTUPINFOA* startupInfo, PROCESS_INFORMATION* processInformation) {
  constexpr DWORD kErrorDirectory = 267;
  // What the program passes only: the command line names the program.
  if (applicationName != nullptr || commandLine == nullptr || startupInfo == nullptr ||
      processInformation == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  // CreateProcess never asks for consent: a program that needs
  // administrator rights is refused to a process that has none.
  if (!simulated::RunsElevated() && simulated::NeedsAdministrator(ProgramOf(commandLine))) {
    SetLastError(kErrorElevationRequired);
    return 0;
  }
  auto child = std::make_shared<Child>();
  child->CommandLine = commandLine;
  child->Elevated = simulated::RunsElevated();
  if ((startupInfo->dwFlags & kStartfUseShowWindow) != 0) child->Show = startupInfo->wShowWindow;
  if (currentDirectory != nullptr) {
    DWORD error = 0;
    child->Folder = simulated::HostPathOf(currentDirectory, false, error);
    struct stat status {};
    if (!child->Folder || stat(child->Folder->c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
      SetLastError(kErrorDirectory);
      return 0;
    }
  }
  std::string hostProgram;
  UINT answer = ReasonNotToStartCommand(commandLine, hostProgram);
  if (answer == 0 && (creationFlags & kCreateSuspended) == 0) {
    answer = Spawn(commandLine, child->Show, child->Elevated,
                   child->Folder ? child->Folder->c_str() : nullptr, &child->Pid);
    answer = answer > kErrorGeneralFailure ? 0 : answer;
    child->Running = true;
  }
  if (answer != 0) {
    SetLastError(answer);
    return 0;
  }
  *processInformation = PROCESS_INFORMATION{NewHandleFor(child), NewHandleFor(child), 0, 0};
  // Registered after the table was made, so that it runs before the table goes.
  static const bool reportsAtExit = std::atexit(&ReportLeftSuspended) == 0;
  (void)reportsAtExit;
  return 1;
}

BOOL os::TerminateProcess(HANDLE process, UINT exitCode) {
  if (process == GetCurrentProcess()) {
    ReportLeftSuspended();
    std::fflush(stderr);
#ifdef TIDEMARK_COVERAGE
    __gcov_dump();  // a coverage build counts what ran before the abrupt end too
#endif
    _exit(static_cast<int>(exitCode));
  }
  const std::shared_ptr<Child> child = ChildOf(process);
  if (child == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return 0;
  }
  if (child->Running && !child->Ended && child->Pid > 0) kill(child->Pid, SIGKILL);
  child->Ended = true;
  return 1;
}

std::optional<DWORD> simulated::WaitForProcess(HANDLE process) {
  const std::shared_ptr<Child> child = ChildOf(process);
  if (child == nullptr) return std::nullopt;
  return child->Ended ? kWaitObject0 : kWaitTimeout;
}

namespace {

// The DLLs the stand-in knows, as module handles: the address of a name.
constexpr const char kShell32[] = "shell32.dll";
constexpr const char kOle32[] = "ole32.dll";
constexpr const char kMpr[] = "mpr.dll";
constexpr LONG kSOk = 0;

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The shell starts a program as Explorer does: the file, quoted, then its
// parameters. The default verb and "open" start it as this process runs,
// unless it needs administrator rights; "runas" starts it elevated. An
// elevation that this process does not have asks for consent first; an
// elevated start with no working folder given starts in the system folder.
BOOL StandInShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (info == nullptr || info->cbSize != sizeof *info || info->lpFile == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  const bool defaultVerb = info->lpVerb == nullptr || *info->lpVerb == '\0' ||
                           SameNameIgnoringCase(info->lpVerb, "open");
  if (!defaultVerb && !SameNameIgnoringCase(info->lpVerb, "runas")) {
    SetLastError(kErrorNoAssociation);
    return 0;
  }
  std::string commandLine = std::string("\"") + info->lpFile + "\"";
  if (info->lpParameters != nullptr && *info->lpParameters != '\0') {
    commandLine += std::string(" ") + info->lpParameters;
  }
  const std::string program = ProgramOf(commandLine.c_str());
  const bool elevates =
      !simulated::RunsElevated() && (!defaultVerb || simulated::NeedsAdministrator(program));
  if (elevates && !simulated::ConsentGiven(program)) {
    SetLastError(kErrorCancelled);
    return 0;
  }
  const bool elevated = elevates || simulated::RunsElevated();
  DWORD error = 0;
  std::optional<std::string> folder;
  if (info->lpDirectory != nullptr && *info->lpDirectory != '\0') {
    folder = simulated::HostPathOf(info->lpDirectory, false, error);
  } else if (elevates) {
    folder = "/";
  }
  const UINT started =
      Spawn(commandLine.c_str(), info->nShow, elevated, folder ? folder->c_str() : nullptr);
  if (started <= kErrorGeneralFailure) {
    SetLastError(started);
    return 0;
  }
  return 1;
}

LONG StandInCoInitializeEx(void*, DWORD) { return kSOk; }
void StandInCoUninitialize() {}

}  // namespace

UINT GetSystemDirectoryA(char* buffer, UINT size) {
  constexpr std::string_view kSystem = "Z:\\windows\\system32";
  if (buffer == nullptr || size <= kSystem.size()) return static_cast<UINT>(kSystem.size() + 1);
  kSystem.copy(buffer, kSystem.size());
  buffer[kSystem.size()] = '\0';
  return static_cast<UINT>(kSystem.size());
}

HMODULE os::LoadLibraryA(const char* fileName) {
  // A DLL of the system's folder is known as by its plain name.
  const std::string_view given = fileName == nullptr ? "" : fileName;
  if (given.starts_with("Z:\\windows\\system32\\")) fileName += 20;
  if (fileName != nullptr && SameNameIgnoringCase(fileName, kShell32)) {
    return const_cast<char*>(kShell32);
  }
  if (fileName != nullptr && SameNameIgnoringCase(fileName, kOle32)) {
    return const_cast<char*>(kOle32);
  }
  if (fileName != nullptr && SameNameIgnoringCase(fileName, kMpr)) {
    return const_cast<char*>(kMpr);
  }
  SetLastError(kErrorModNotFound);
  return nullptr;
}

void* os::GetProcAddress(HMODULE module, const char* procName) {
  const std::string_view name = procName == nullptr ? "" : procName;
  if (module == kShell32 && name == "ShellExecuteExA") {
    return reinterpret_cast<void*>(&StandInShellExecuteExA);
  }
  if (module == kOle32 && name == "CoInitializeEx") {
    return reinterpret_cast<void*>(&StandInCoInitializeEx);
  }
  if (module == kMpr && name == "WNetGetConnectionA") {
    return reinterpret_cast<void*>(&simulated::StandInWNetGetConnectionA);
  }
  if (module == kOle32 && name == "CoUninitialize") {
    return reinterpret_cast<void*>(&StandInCoUninitialize);
  }
  SetLastError(kErrorProcNotFound);
  return nullptr;
}

// The programs here are Linux ones, no Windows images: none is mapped for
// its resources (ERROR_BAD_EXE_FORMAT), so no module handle reaches the
// resource calls but one that is not valid (ERROR_INVALID_HANDLE).
HMODULE os::LoadLibraryExA(const char*, HANDLE, DWORD) {
  SetLastError(kErrorBadExeFormat);
  return nullptr;
}

HANDLE os::FindResourceA(HMODULE, const char*, const char*) {
  SetLastError(kErrorInvalidHandle);
  return nullptr;
}

DWORD os::SizeofResource(HMODULE, HANDLE) {
  SetLastError(kErrorInvalidHandle);
  return 0;
}

HANDLE os::LoadResource(HMODULE, HANDLE) {
  SetLastError(kErrorInvalidHandle);
  return nullptr;
}

void* LockResource(HANDLE resourceData) { return resourceData; }

BOOL os::FreeLibrary(HMODULE) {
  SetLastError(kErrorInvalidHandle);
  return 0;
}

}  // namespace tidemark::platform
