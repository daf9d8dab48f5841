// The Linux stand-in for WinExec: the command line's first token, quoted or
// not, names the program; it is started without a shell and not waited for,
// with the show state in its environment for GetStartupInfoA.
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
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

UINT os::WinExec(const char* commandLine, UINT showCommand) {
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
  // The show state goes where GetStartupInfoA finds it.
  std::vector<std::string> settings;
  for (char** setting = environ; *setting != nullptr; ++setting) {
    if (!std::string_view(*setting).starts_with(kShowStateVariable))
      settings.emplace_back(*setting);
  }
  settings.push_back(std::string(kShowStateVariable) + "=" + std::to_string(showCommand));
  std::vector<char*> environment;
  environment.reserve(settings.size() + 1);
  for (std::string& setting : settings) environment.push_back(setting.data());
  environment.push_back(nullptr);
  pid_t child = 0;
  switch (posix_spawn(&child, program->c_str(), nullptr, nullptr, arguments.data(),
                      environment.data())) {
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

namespace {

// The DLLs the stand-in knows, as module handles: the address of a name.
constexpr const char kShell32[] = "shell32.dll";
constexpr const char kOle32[] = "ole32.dll";
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

// The shell starts a program as WinExec does here (there is no consent to
// ask for): the file, quoted, then its parameters. Only the default verb
// and "open" start anything, as for a program on Windows.
BOOL StandInShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (info == nullptr || info->cbSize != sizeof *info || info->lpFile == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  if (info->lpVerb != nullptr && *info->lpVerb != '\0' &&
      !SameNameIgnoringCase(info->lpVerb, "open")) {
    SetLastError(kErrorNoAssociation);
    return 0;
  }
  std::string commandLine = std::string("\"") + info->lpFile + "\"";
  if (info->lpParameters != nullptr && *info->lpParameters != '\0') {
    commandLine += std::string(" ") + info->lpParameters;
  }
  const UINT started = os::WinExec(commandLine.c_str(), static_cast<UINT>(info->nShow));
  if (started <= 31) {
    SetLastError(started);
    return 0;
  }
  return 1;
}

LONG StandInCoInitializeEx(void*, DWORD) { return kSOk; }
void StandInCoUninitialize() {}

}  // namespace

HMODULE os::LoadLibraryA(const char* fileName) {
  if (fileName != nullptr && SameNameIgnoringCase(fileName, kShell32)) {
    return const_cast<char*>(kShell32);
  }
  if (fileName != nullptr && SameNameIgnoringCase(fileName, kOle32)) {
    return const_cast<char*>(kOle32);
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
  if (module == kOle32 && name == "CoUninitialize") {
    return reinterpret_cast<void*>(&StandInCoUninitialize);
  }
  SetLastError(kErrorProcNotFound);
  return nullptr;
}

}  // namespace tidemark::platform
