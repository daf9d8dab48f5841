#include "platform/simulated/account_control.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "platform/simulated/host_path.h"

namespace tidemark::platform::simulated {

namespace {

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The path from the root, without a closing "/" (a folder's path names it
// with or without one).
std::string Absolute(const std::string& hostPath) {
  std::string path = hostPath;
  if (!path.starts_with('/')) {
    char folder[PATH_MAX] = {};
    if (getcwd(folder, sizeof folder) != nullptr) path = std::string(folder) + "/" + path;
  }
  while (path.size() > 1 && path.ends_with('/')) path.pop_back();
  return path;
}

// The protected folder, resolved once: the paths the file calls are given
// are compared with it byte for byte.
const std::string& ProtectedFolder() {
  static const std::string folder = [] {
    const std::string given = Setting("TIDEMARK_UAC_PROTECTED");
    if (given.empty()) return std::string();
    char resolved[PATH_MAX] = {};
    return realpath(given.c_str(), resolved) != nullptr ? std::string(resolved) : given;
  }();
  return folder;
}

// The store's path for a path under the protected folder; empty where the
// model does not redirect (no protected folder, or an elevated process).
std::string StorePathOf(const std::string& hostPath) {
  const std::string& guarded = ProtectedFolder();
  static const std::string store = Setting("TIDEMARK_UAC_STORE");
  if (guarded.empty() || store.empty() || RunsElevated()) return {};
  const std::string path = Absolute(hostPath);
  if (path != guarded && !path.starts_with(guarded + "/")) return {};
  return store + path;
}

bool Exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of('/');
  return cut == std::string::npos || cut == 0 ? std::string("/") : path.substr(0, cut);
}

// The store's folders for a real folder that exists: made as needed.
void MirrorFolder(const std::string& storeFolder, const std::string& realFolder) {
  struct stat status {};
  if (stat(realFolder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return;
  if (Exists(storeFolder)) return;
  MirrorFolder(FolderOf(storeFolder), FolderOf(realFolder));
  mkdir(storeFolder.c_str(), 0777);
}

void CopyFile(const std::string& from, const std::string& to) {
  struct stat status {};
  if (stat(from.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return;
  std::ifstream source(from, std::ios::binary);
  std::ofstream(to, std::ios::binary) << source.rdbuf();
  chmod(to.c_str(), status.st_mode & 07777);
}

}  // namespace

bool RunsElevated() { return Setting("TIDEMARK_UAC_ELEVATED") == "1"; }

bool NeedsAdministrator(const std::string& hostProgram) {
  return Exists(hostProgram + ".requireAdministrator");
}

bool ConsentGiven(const std::string& hostProgram) {
  if (const std::string prompts = Setting("TIDEMARK_UAC_PROMPTS"); !prompts.empty()) {
    std::ofstream(prompts, std::ios::app) << WindowsPathOf(Absolute(hostProgram)) << '\n';
  }
  return Setting("TIDEMARK_UAC_CONSENT") == "yes";
}

std::string Virtualized(const std::string& hostPath, Reach reach) {
  std::string stored = StorePathOf(hostPath);
  if (stored.empty()) return hostPath;
  if (reach == Reach::Read) return Exists(stored) ? stored : hostPath;
  const std::string real = Absolute(hostPath);
  MirrorFolder(FolderOf(stored), FolderOf(real));
  if (reach == Reach::Write && !Exists(stored)) CopyFile(real, stored);
  return stored;
}

std::optional<std::string> FilePathOf(const char* windowsPath, Reach reach, DWORD& error) {
  auto path = HostPathOf(windowsPath, false, error);
  if (path) *path = Virtualized(*path, reach);
  return path;
}

bool RemovalRefused(const std::string& hostPath) {
  const std::string stored = StorePathOf(hostPath);
  return !stored.empty() && !Exists(stored) && Exists(hostPath);
}

bool RenameOverRefused(const std::string& hostPath) {
  const std::string& guarded = ProtectedFolder();
  const std::string path = Absolute(hostPath);
  return Setting("TIDEMARK_UAC_RENAME") == "denied" && !RunsElevated() && !guarded.empty() &&
         path.starts_with(guarded + "/");
}

namespace {

std::string Account() {
  const std::string account = Setting("TIDEMARK_UAC_ACCOUNT");
  return account.empty() ? std::string("player") : account;
}

}  // namespace

std::string MutexSecurityOfMaker(std::optional<DWORD> granted) {
  if (granted) {
    char text[16];
    std::snprintf(text, sizeof text, "G%08x", static_cast<unsigned>(*granted));
    return text;
  }
  // The account, kept to what a socket's name may carry.
  std::string account;
  for (const char c : Account()) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 && account.size() < 24) account += c;
  }
  return (RunsElevated() ? "E" : "U") + account;
}

bool MutexAccessGranted(const std::string& security, DWORD access) {
  if (security.starts_with('G')) {
    const DWORD granted = static_cast<DWORD>(std::strtoul(security.c_str() + 1, nullptr, 16));
    return (access & ~granted) == 0;
  }
  const bool sameAccount = security.substr(1) == MutexSecurityOfMaker(std::nullopt).substr(1);
  if (security.starts_with('E')) {
    return RunsElevated() || (sameAccount && (access & ~kSynchronize) == 0);
  }
  return sameAccount;
}

std::optional<std::string> SessionDrive(char letter) {
  if (RunsElevated()) return std::nullopt;
  const std::string drives = Setting("TIDEMARK_UAC_DRIVES");
  std::size_t at = 0;
  while (at < drives.size()) {
    std::size_t end = drives.find(';', at);
    if (end == std::string::npos) end = drives.size();
    const std::string entry = drives.substr(at, end - at);
    if (entry.size() > 2 && entry[1] == '=' &&
        std::toupper(static_cast<unsigned char>(entry[0])) ==
            std::toupper(static_cast<unsigned char>(letter))) {
      return entry.substr(2);
    }
    at = end + 1;
  }
  return std::nullopt;
}

std::string StartedThrough(const std::string& windowsPath) {
  for (char letter = 'A'; letter < 'Z'; ++letter) {
    const std::optional<std::string> folder = SessionDrive(letter);
    if (folder && folder->starts_with("Z:\\") && windowsPath.starts_with(*folder + "\\")) {
      return std::string{letter, ':'} + windowsPath.substr(folder->size());
    }
  }
  return windowsPath;
}

DWORD TIDEMARK_WINAPI StandInWNetGetConnectionA(const char* localName, char* remoteName,
                                                DWORD* length) {
  if (localName == nullptr || length == nullptr || std::strlen(localName) != 2 ||
      localName[1] != ':') {
    return kErrorBadDevice;
  }
  const std::optional<std::string> target = SessionDrive(localName[0]);
  if (!target || !target->starts_with("\\\\")) return kErrorNotConnected;
  if (remoteName == nullptr || *length <= target->size()) {
    *length = static_cast<DWORD>(target->size() + 1);
    return kErrorMoreData;
  }
  std::memcpy(remoteName, target->c_str(), target->size() + 1);
  return 0;
}

}  // namespace tidemark::platform::simulated

namespace tidemark::platform {

UINT os::GetDriveTypeA(const char* rootPathName) {
  const std::string root = rootPathName == nullptr ? "" : rootPathName;
  if (root.size() != 3 || root.substr(1) != ":\\") return kDriveNoRootDir;
  if (std::toupper(static_cast<unsigned char>(root[0])) == 'Z') return kDriveFixed;
  const auto target = simulated::SessionDrive(root[0]);
  if (!target) return kDriveNoRootDir;
  return target->starts_with("\\\\") ? kDriveRemote : kDriveFixed;
}

DWORD os::QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD size) {
  if (deviceName == nullptr || std::strlen(deviceName) != 2 || deviceName[1] != ':') {
    SetLastError(kErrorFileNotFound);
    return 0;
  }
  std::string answer;
  if (std::toupper(static_cast<unsigned char>(deviceName[0])) == 'Z') {
    answer = "\\Device\\HarddiskVolume1";
  } else if (const auto target = simulated::SessionDrive(deviceName[0])) {
    // A subst letter answers its folder; a mapped one, the redirector's
    // device with the letter and the share.
    answer = target->starts_with("\\\\") ? "\\Device\\LanmanRedirector\\;" +
                                               std::string(deviceName) + "0" + target->substr(1)
                                         : "\\??\\" + *target;
  } else {
    SetLastError(kErrorFileNotFound);
    return 0;
  }
  // The answer is a list: the mapping, then an empty string.
  if (targetPath == nullptr || size < answer.size() + 2) {
    SetLastError(kErrorInsufficientBuffer);
    return 0;
  }
  std::memcpy(targetPath, answer.c_str(), answer.size() + 1);
  targetPath[answer.size() + 1] = '\0';
  return static_cast<DWORD>(answer.size() + 2);
}

BOOL os::OpenProcessToken(HANDLE process, DWORD, HANDLE* token) {
  if (process != GetCurrentProcess()) {
    SetLastError(kErrorAccessDenied);
    return 0;
  }
  // A descriptor of its own, so that CloseHandle closes it as any handle.
  const int descriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    SetLastError(simulated::Win32ErrorOf(errno));
    return 0;
  }
  *token = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
  return 1;
}

BOOL os::GetTokenInformation(HANDLE, DWORD informationClass, void* information, DWORD length,
                             DWORD* returnLength) {
  constexpr DWORD kErrorInvalidParameter = 87;
  // Both classes answer a DWORD.
  if (returnLength != nullptr) *returnLength = sizeof(DWORD);
  if (informationClass != kTokenElevation && informationClass != kTokenVirtualizationEnabled) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  if (length < sizeof(DWORD) || information == nullptr) {
    SetLastError(kErrorInsufficientBuffer);
    return 0;
  }
  // Every process here is a 32-bit one without a manifest: its writes are
  // virtualized exactly when it is not elevated.
  const DWORD answer = informationClass == kTokenElevation ? (simulated::RunsElevated() ? 1u : 0u)
                                                           : (simulated::RunsElevated() ? 0u : 1u);
  std::memcpy(information, &answer, sizeof answer);
  return 1;
}

}  // namespace tidemark::platform
