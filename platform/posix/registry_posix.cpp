// The Linux stand-in for the registry calls, over Wine's registry files.
// Each open reads the file afresh, so a key's values are those on disk at
// the time it was opened. The store is read-only.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/posix/registry_file.h"

namespace tidemark::platform {

namespace {

constexpr LONG kErrorBadPathname = 161;
constexpr DWORD kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x00040000 | 0x00080000 | 0x00010000;

struct OpenKey {
  HKEY Root;
  std::string Path;  // lower case, from the root
  posix::RegistryFile File;
};

bool IsRoot(HKEY key) { return key == HKeyCurrentUser() || key == HKeyLocalMachine(); }

std::string RegistryFileFor(HKEY root) {
  std::string prefix;
  if (const char* configured = std::getenv("WINEPREFIX"); configured != nullptr && *configured) {
    prefix = configured;
  } else if (const char* home = std::getenv("HOME"); home != nullptr) {
    prefix = std::string(home) + "/.wine";
  }
  return prefix + (root == HKeyLocalMachine() ? "/system.reg" : "/user.reg");
}

posix::RegistryFile Load(HKEY root) {
  std::ifstream source(RegistryFileFor(root), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(source)),
                         std::istreambuf_iterator<char>());
  return posix::ParseRegistryFile(text);
}

bool KeyExists(const posix::RegistryFile& file, const std::string& path) {
  if (path.empty() || file.Keys.count(path) != 0) return true;
  const auto below = file.Keys.lower_bound(path + "\\");
  return below != file.Keys.end() && below->first.starts_with(path + "\\");
}

}  // namespace

LONG os::RegOpenKeyExA(HKEY key, const char* subKey, DWORD, DWORD desired, HKEY* result) {
  *result = nullptr;
  const std::string sub = subKey == nullptr ? "" : posix::LowerCase(subKey);
  if (sub.starts_with('\\')) return kErrorBadPathname;
  HKEY root = key;
  std::string path = sub;
  if (!IsRoot(key)) {
    if (key == nullptr) return static_cast<LONG>(6);  // ERROR_INVALID_HANDLE
    const auto* base = static_cast<const OpenKey*>(key);
    root = base->Root;
    path = base->Path.empty() ? sub : sub.empty() ? base->Path : base->Path + "\\" + sub;
  }
  if (root == HKeyLocalMachine() && (desired & kWriteRights) != 0 && geteuid() != 0) {
    return static_cast<LONG>(kErrorAccessDenied);
  }
  auto opened = std::make_unique<OpenKey>(OpenKey{root, path, Load(root)});
  // A 32-bit program in a 64-bit prefix sees HKLM\Software through Wow6432Node.
  if (root == HKeyLocalMachine() && opened->File.Win64 && path.starts_with("software\\") &&
      !path.starts_with("software\\wow6432node")) {
    opened->Path = "software\\wow6432node\\" + path.substr(9);
  }
  if (!KeyExists(opened->File, opened->Path)) return static_cast<LONG>(kErrorFileNotFound);
  *result = opened.release();
  return 0;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, DWORD desired, void*,
                     HKEY* result, DWORD* disposition) {
  if (disposition != nullptr) *disposition = 2;  // REG_OPENED_EXISTING_KEY
  const LONG status = RegOpenKeyExA(key, subKey, 0, desired, result);
  // The files are only read: a key that is not there cannot be made.
  return status == static_cast<LONG>(kErrorFileNotFound) ? static_cast<LONG>(kErrorAccessDenied)
                                                         : status;
}

LONG os::RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                          DWORD* dataSize) {
  if (key == nullptr || IsRoot(key)) return static_cast<LONG>(kErrorFileNotFound);
  const auto* opened = static_cast<const OpenKey*>(key);
  const auto values = opened->File.Keys.find(opened->Path);
  if (values == opened->File.Keys.end()) return static_cast<LONG>(kErrorFileNotFound);
  const auto value = values->second.find(posix::LowerCase(valueName == nullptr ? "" : valueName));
  if (value == values->second.end()) return static_cast<LONG>(kErrorFileNotFound);
  const std::string& bytes = value->second.Data;
  if (type != nullptr) *type = value->second.Type;
  if (dataSize == nullptr) return data == nullptr ? 0 : static_cast<LONG>(87);
  const auto size = static_cast<DWORD>(bytes.size());
  if (data != nullptr && *dataSize < size) {
    *dataSize = size;
    return static_cast<LONG>(kErrorMoreData);
  }
  // Registry data is bytes; a string brings its own terminating zero.
  if (data != nullptr)
    std::memcpy(data, bytes.data(), bytes.size());  // NOLINT(bugprone-not-null-terminated-result)
  *dataSize = size;
  return 0;
}

LONG os::RegCloseKey(HKEY key) {
  if (key == nullptr) return 6;
  if (!IsRoot(key)) delete static_cast<OpenKey*>(key);
  return 0;
}

}  // namespace tidemark::platform
