#include "support/turn.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "support/paths.h"

namespace tidemark {

namespace {

// The innermost turn this thread holds; the program takes one at a time.
// A mutex is owned by a thread, and so is a turn.
thread_local const TTurn* innermost = nullptr;

// FNV-1a over bytes with ASCII letters folded to upper case: 64 bits make
// two names that differ as good as never alike, and such a pair would only
// wait for each other, never lose anything.
std::uint64_t FoldedHashOf(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    hash = (hash ^ byte) * 1099511628211ull;
  }
  return hash;
}

// The path as this copy spells it, in any letter case.
std::string SpellingNameFor(const TextValue& path) {
  char name[40];
  std::snprintf(name, sizeof name, "Tidemark.turn.%016llx",
                static_cast<unsigned long long>(FoldedHashOf(path.View())));
  return name;
}

struct FolderIdentity {
  platform::DWORD VolumeSerialNumber;
  std::uint64_t FileIndex;
};

// Who the folder is, whatever the path that reaches it. The folder is
// opened only to be asked, for its attributes and sharing everything, so
// that no other program's use of it is refused for that moment.
std::optional<FolderIdentity> IdentityOf(const TextValue& folder) {
  // No folder part is the current folder, and "C:" drive C:'s current one.
  const bool relative = folder.IsEmpty() || folder.View().ends_with(':');
  const TextValue opened = relative ? folder + "." : folder;
  const platform::HANDLE handle = platform::CreateFileA(
      opened.Bytes(), platform::kFileReadAttributes,
      platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete, nullptr,
      platform::kOpenExisting, platform::kFileFlagBackupSemantics, nullptr);
  if (handle == platform::InvalidHandleValue()) return std::nullopt;
  platform::BY_HANDLE_FILE_INFORMATION information{};
  const bool answered = platform::GetFileInformationByHandle(handle, &information) != 0;
  platform::CloseHandle(handle);
  const std::uint64_t index =
      (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  // A file system that keeps no index answers 0 for every folder.
  if (!answered || index == 0) return std::nullopt;
  return FolderIdentity{information.dwVolumeSerialNumber, index};
}

// Who may use the turn: synchronize and modify-state rights (0x00100001)
// for every signed-in account ("AU"): this list decides who may wait.
// And a medium label ("ME", no write up), the lowest integrity a copy runs
// at: "Mandatory Integrity Control" (learn.microsoft.com/windows/win32/
// secauthz) says standard users run at medium and elevated ones at high,
// and that what a process makes gets its level. No write up refuses only
// write rights, which the turn never asks for (SYNCHRONIZE is none), so
// the label refuses no copy; it keeps the mutex the same whichever copy
// made it. The text form: "Security Descriptor String Format", "ACE
// Strings". Windows XP knows no label: there the text is refused, and the
// mutex gets the default security.
constexpr char kTurnSecurity[] = "D:(A;;0x00100001;;;AU)S:(ML;;NW;;;ME)";

// The mutex of the turn, made or, where another copy made it, opened.
// CreateMutexA asks for MUTEX_ALL_ACCESS on an existing mutex, and "if the
// caller has limited access rights, the function will fail with
// ERROR_ACCESS_DENIED and the caller should use the OpenMutex function"
// (CreateMutexW's page). The wait needs SYNCHRONIZE; ReleaseMutex needs no
// right of the handle, only ownership (Wine's kernel32 sync.c test_mutex:
// a handle opened with any one right that opens it releases the mutex).
// Wine differs (seen under Wine 8.0; none of its conformance tests says
// so): it gives a process of the same token the existing mutex
// (ERROR_ALREADY_EXISTS) where Windows refuses it, so there the open is
// never needed.
platform::HANDLE MutexOfTurn(const std::string& name) {
  void* descriptor = nullptr;
  const bool described = platform::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                             kTurnSecurity, platform::kSddlRevision1, &descriptor, nullptr) != 0;
  platform::SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, 0};
  platform::HANDLE mutex =
      platform::CreateMutexA(described ? &attributes : nullptr, 0, name.c_str());
  const platform::DWORD error = platform::GetLastError();
  if (described) platform::LocalFree(descriptor);
  if (mutex == nullptr && error == platform::kErrorAccessDenied) {
    mutex = platform::OpenMutexA(platform::kSynchronize, 0, name.c_str());
  }
  return mutex;
}

}  // namespace

std::string TurnNameFor(const TextValue& path) {
  const TextValue folder = FolderPartOf(path);
  const std::optional<FolderIdentity> identity = IdentityOf(folder);
  if (!identity) return SpellingNameFor(path);
  const std::string_view fileName = path.View().substr(folder.View().size());
  char name[64];
  std::snprintf(name, sizeof name, "Tidemark.turn.%08lx-%016llx-%016llx",
                static_cast<unsigned long>(identity->VolumeSerialNumber),
                static_cast<unsigned long long>(identity->FileIndex),
                static_cast<unsigned long long>(FoldedHashOf(fileName)));
  return name;
}

TTurn::TTurn(const TextValue& path, platform::DWORD longestWait)
    : name_(TurnNameFor(path)), spelling_(SpellingNameFor(path)), outer_(innermost) {
  mutex_ = MutexOfTurn("Global\\" + name_);
  if (mutex_ != nullptr) {
    const platform::DWORD waited = platform::WaitForSingleObject(mutex_, longestWait);
    // Abandoned: the copy that held it ended without giving it back. The
    // turn is this copy's all the same, and whatever that copy left (its
    // temporary file) is now this copy's to clear.
    held_ = waited == platform::kWaitObject0 || waited == platform::kWaitAbandoned;
  }
  innermost = this;
}

TTurn::~TTurn() {
  innermost = outer_;
  if (mutex_ == nullptr) return;
  if (held_) platform::ReleaseMutex(mutex_);
  platform::CloseHandle(mutex_);
}

bool TTurn::HeldFor(const TextValue& path) {
  // Asked by spelling: the save names the file as the turn's taker did,
  // and the question must not cost another look at the folder.
  const std::string spelling = SpellingNameFor(path);
  for (const TTurn* turn = innermost; turn != nullptr; turn = turn->outer_) {
    if (turn->held_ && turn->spelling_ == spelling) return true;
  }
  return false;
}

}  // namespace tidemark
