#include "launcher/elevated_path.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tidemark {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The network share a mapped letter stands for ("\\server\share"), by
// mpr.dll's WNetGetConnectionA, loaded here only (a run that never restarts
// itself loads it not) and from the system's folder: it is no KnownDLL, and
// by its plain name it would be looked for in the program's folder first
// ("Dynamic-Link Library Search Order"). For a 32-bit program on 64-bit
// Windows the system folder leads to SysWOW64's 32-bit copy ("File System
// Redirector").
// Empty where the letter is no network drive (GetDriveTypeA's DRIVE_REMOTE,
// or WNetGetConnection's ERROR_NOT_CONNECTED, "not a redirected device";
// or no mpr.dll to ask);
// none where it is one but its share cannot be had (a remembered
// connection that is down, no network...).
std::optional<std::string> ShareOf(const char* letter) {
  // Only a network drive is asked about: WNetGetConnection fails for any
  // letter where the network is unavailable ("ERROR_NO_NETWORK").
  const std::string root = std::string(letter) + "\\";
  if (platform::GetDriveTypeA(root.c_str()) != platform::kDriveRemote) return std::string();
  char system[260];
  const platform::DWORD length = platform::GetSystemDirectoryA(system, sizeof system);
  if (length == 0 || length >= sizeof system - 9) return std::string();
  const std::string dll = std::string(system, length) + "\\mpr.dll";
  const platform::HMODULE mpr = platform::LoadLibraryA(dll.c_str());
  const auto connection = mpr == nullptr ? nullptr
                                         : reinterpret_cast<platform::WNetGetConnectionAFunction>(
                                               platform::GetProcAddress(mpr, "WNetGetConnectionA"));
  if (connection == nullptr) return std::string();
  char remote[1024];
  platform::DWORD size = sizeof remote;
  const platform::DWORD answer = connection(letter, remote, &size);
  if (answer == 0) return std::string(remote);
  if (answer == platform::kErrorNotConnected) return std::string();
  return std::nullopt;
}

// The folder a subst letter stands for: QueryDosDevice answers such a
// letter with "\??\" and the folder, in its DOS form (Wine's kernel32
// volume.c test_dos_devices, which runs on Windows too), or "\??\UNC\" and
// a network path; a volume's letter answers its device ("\Device\...").
std::optional<std::string> SubstOf(const char* letter) {
  char target[1024];
  if (platform::QueryDosDeviceA(letter, target, sizeof target) == 0) return std::nullopt;
  std::string_view folder = target;
  if (!folder.starts_with("\\??\\")) return std::nullopt;
  folder.remove_prefix(4);
  // Only a DOS path or a network one; Wine answers its own forms too.
  const bool dos = folder.size() >= 3 && IsLetter(folder[0]) && folder.substr(1, 2) == ":\\";
  if (!dos && !folder.starts_with("UNC\\")) return std::nullopt;
  std::string path =
      folder.starts_with("UNC\\") ? "\\\\" + std::string(folder.substr(4)) : std::string(folder);
  if (path.ends_with('\\')) path.pop_back();
  return path;
}

// Only "X:\..." names a letter's folder; "X:" alone or "X:name" is
// relative to the letter's current folder, which no other session has.
bool NamesLettersFolder(const std::string& path) {
  return path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

// One path as the elevated copy reaches it; a letter that stands in the
// way is added to `missing`.
TextValue Reached(const TextValue& given, std::vector<TextValue>& missing) {
  std::string path(ThroughSubstLetters(given).View());
  if (!NamesLettersFolder(path)) return TextValue(path);
  const TextValue letter(path.substr(0, 2));
  const std::optional<std::string> share = ShareOf(letter.Bytes());
  if (!share) {
    if (std::find(missing.begin(), missing.end(), letter) == missing.end()) {
      missing.push_back(letter);
    }
  } else if (!share->empty()) {
    path = *share + path.substr(2);
  }
  return TextValue(path);
}

}  // namespace

// Subst letters may stand on others: each is followed, never more often
// than there are letters.
TextValue ThroughSubstLetters(const TextValue& given) {
  std::string path(given.View());
  for (int step = 0; step < 26 && NamesLettersFolder(path); ++step) {
    const std::optional<std::string> folder = SubstOf(path.substr(0, 2).c_str());
    if (!folder) break;
    path = *folder + path.substr(2);
  }
  return TextValue(path);
}

ElevatedStart ForElevatedCopy(const TextValue& file, const std::optional<TextValue>& directory) {
  ElevatedStart start;
  start.File = Reached(file, start.MissingLetters);
  if (directory) start.Directory = Reached(*directory, start.MissingLetters);
  return start;
}

}  // namespace tidemark
