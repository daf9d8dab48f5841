// The simulated registry calls (model.h), over Wine's registry files.
// Each open reads the file afresh, so a key's values are those on disk at
// the time it was opened; it reads only the keys on the way to the one
// opened, following registry links as Wine does. The store is read-only.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/simulated/registry_file.h"

namespace tidemark::platform {

namespace {

constexpr LONG kErrorBadPathname = 161;
constexpr DWORD kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x00040000 | 0x00080000 | 0x00010000;

struct OpenKey {
  HKEY Root;
  std::string Path;  // lower case, from the root, where any links led
  std::map<std::string, simulated::RegistryValue> Values;
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

// The registry file's text, mapped rather than read: a prefix's system.reg
// runs to megabytes, of which an open looks at a few keys.
class MappedText {
 public:
  explicit MappedText(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return;
    struct stat status {};
    if (fstat(descriptor, &status) == 0 && status.st_size > 0) {
      void* mapped = mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE,
                          descriptor, 0);
      if (mapped != MAP_FAILED) {
        data_ = mapped;
        size_ = static_cast<std::size_t>(status.st_size);
      }
    }
    close(descriptor);
  }
  ~MappedText() {
    if (data_ != nullptr) munmap(data_, size_);
  }
  MappedText(const MappedText&) = delete;
  MappedText& operator=(const MappedText&) = delete;
  std::string_view Text() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

LONG os::RegOpenKeyExA(HKEY key, const char* subKey, DWORD, DWORD desired, HKEY* result) {
  *result = nullptr;
  const std::string sub = subKey == nullptr ? "" : simulated::LowerCase(subKey);
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
  const MappedText mapped(RegistryFileFor(root));
  const std::string_view text = mapped.Text();
  // A 32-bit program in a 64-bit prefix sees HKLM\Software through Wow6432Node.
  if (root == HKeyLocalMachine() && simulated::IsWin64Registry(text) &&
      path.starts_with("software\\") && !path.starts_with("software\\wow6432node")) {
    path = "software\\wow6432node\\" + path.substr(9);
  }
  simulated::RegistryKeyLookup found = simulated::LookUpRegistryKey(text, path);
  if (!found.Exists) return static_cast<LONG>(kErrorFileNotFound);
  auto opened =
      std::make_unique<OpenKey>(OpenKey{root, std::move(found.Path), std::move(found.Values)});
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
  const auto value =
      opened->Values.find(simulated::LowerCase(valueName == nullptr ? "" : valueName));
  if (value == opened->Values.end()) return static_cast<LONG>(kErrorFileNotFound);
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
