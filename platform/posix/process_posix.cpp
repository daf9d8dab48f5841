// The Linux stand-in for WinExec and the shell: the command line's first
// token, quoted or not, names the program; it is started without a shell
// and not waited for, with the show state in its environment for
// GetStartupInfoA, and elevated or not as account_control.h models it.
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/account_control.h"
#include "platform/posix/host_path.h"

extern char** environ;

namespace tidemark::platform {

namespace {

constexpr UINT kErrorBadFormat = 11;
constexpr UINT kErrorInvalidParameter = 87;
constexpr UINT kErrorNoAssociation = 1155;
constexpr UINT kErrorGeneralFailure = 31;
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

// Starts the program the command line names, elevated or as this process
// runs, in `hostFolder` when one is given (else in this process's folder).
UINT Spawn(const char* commandLine, UINT showCommand, bool elevated, const char* hostFolder) {
  std::vector<std::string> tokens = TokensOf(commandLine);
  if (tokens.empty()) return kErrorFileNotFound;
  DWORD error = 0;
  const auto program = posix::HostPathOf(tokens.front().c_str(), false, error);
  if (!program) return error;
  if (const UINT reason = ReasonNotToStart(*program); reason != 0) return reason;
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
      tokens.empty() ? std::nullopt : posix::HostPathOf(tokens.front().c_str(), false, error);
  return program.value_or(std::string());
}

}  // namespace

UINT os::WinExec(const char* commandLine, UINT showCommand) {
  // CreateProcess never asks for consent: a program that needs
  // administrator rights is refused to a process that has none. WinExec
  // answers 11 for an error above 31, which the last error keeps.
  if (!posix::RunsElevated() && posix::NeedsAdministrator(ProgramOf(commandLine))) {
    SetLastError(kErrorElevationRequired);
    return kErrorBadFormat;
  }
  const UINT answer = Spawn(commandLine, showCommand, posix::RunsElevated(), nullptr);
  if (answer <= kErrorGeneralFailure) SetLastError(answer);
  return answer;
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
      !posix::RunsElevated() && (!defaultVerb || posix::NeedsAdministrator(program));
  if (elevates && !posix::ConsentGiven(program)) {
    SetLastError(kErrorCancelled);
    return 0;
  }
  const bool elevated = elevates || posix::RunsElevated();
  DWORD error = 0;
  std::optional<std::string> folder;
  if (info->lpDirectory != nullptr && *info->lpDirectory != '\0') {
    folder = posix::HostPathOf(info->lpDirectory, false, error);
  } else if (elevates) {
    folder = "/";
  }
  const UINT started = Spawn(commandLine.c_str(), static_cast<UINT>(info->nShow), elevated,
                             folder ? folder->c_str() : nullptr);
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
    return reinterpret_cast<void*>(&posix::StandInWNetGetConnectionA);
  }
  if (module == kOle32 && name == "CoUninitialize") {
    return reinterpret_cast<void*>(&StandInCoUninitialize);
  }
  SetLastError(kErrorProcNotFound);
  return nullptr;
}

}  // namespace tidemark::platform
