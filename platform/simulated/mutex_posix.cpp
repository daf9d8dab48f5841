// The simulated named mutex (model.h), leaving nothing behind anywhere: no
// file, in the temporary folder or elsewhere. Its objects live in Linux's
// abstract socket namespace (unix(7)), whose names vanish with the last
// socket bound to them:
//   - a handle is a socket bound to a name of its own, "tidemark.mutex/",
//     the mutex's name, "#", its security (what its maker gave it) and
//     "#", this process and a count: the mutex exists while any handle's
//     name is listed (/proc/net/unix), and every later handle carries the
//     security its maker gave, as Windows keeps an object's descriptor
//     while any handle to it is open;
//   - owning the mutex is holding a second socket bound to the mutex's own
//     name, which only one socket at a time may be; releasing closes it.
// A process that ends, however it ends, closes its sockets: its handles
// go, and a mutex it owned is free again, as Windows abandons it.
// Who may create or open an existing mutex follows account_control.h.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/simulated/account_control.h"
#include "platform/simulated/host_path.h"

namespace tidemark::platform {

namespace {

constexpr DWORD kInfinite = 0xFFFFFFFFu;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorNotOwner = 288;
constexpr char kPrefix[] = "tidemark.mutex/";

// A descriptor made by the stand-in's ConvertStringSecurityDescriptorToSecurityDescriptorA.
struct Descriptor {
  std::uint32_t Magic;
  DWORD Granted;  // what every account is allowed
};
constexpr std::uint32_t kDescriptorMagic = 0x5344444Cu;  // "SDDL"

// The owned sockets, by handle: a handle's own socket says which mutex it
// is. Threads of the process wait and release at once: one at the table at
// a time.
std::map<int, int>& Owners() {
  static std::map<int, int> owners;
  return owners;
}
std::mutex& OwnersGuard() {
  static std::mutex guard;
  return guard;
}

// Names are case-sensitive; "Local\" is this session's namespace, the
// one a plain name is in, and the stand-in has one session. The name
// is hashed (FNV-1a, 64 bits) to fit a socket's name with room to spare.
std::string KeyOf(const char* name) {
  std::string_view whole = name;
  if (whole.starts_with("Local\\")) whole.remove_prefix(6);
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : whole) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char key[17];
  std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
  return key;
}

int BoundSocket(const std::string& name) {
  const int descriptor = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // A leading NUL puts the name in the abstract namespace.
  const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (bind(descriptor, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    const int error = errno;
    close(descriptor);
    errno = error;
    return -1;
  }
  return descriptor;
}

std::string NameOfSocket(int descriptor) {
  sockaddr_un address{};
  socklen_t size = sizeof address;
  if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      size <= offsetof(sockaddr_un, sun_path) + 1 || address.sun_path[0] != '\0') {
    return {};
  }
  return std::string(address.sun_path + 1, size - offsetof(sockaddr_un, sun_path) - 1);
}

// The security of the existing mutex with this key, if there is one: what
// a listed handle of it carries.
std::optional<std::string> SecurityOfExisting(const std::string& key) {
  std::ifstream sockets("/proc/net/unix");
  const std::string wanted = "@" + std::string(kPrefix) + key + "#";
  std::string line;
  while (std::getline(sockets, line)) {
    const std::size_t at = line.find(wanted);
    if (at == std::string::npos) continue;
    const std::size_t from = at + wanted.size();
    const std::size_t to = line.find('#', from);
    if (to != std::string::npos) return line.substr(from, to - from);
  }
  return std::nullopt;
}

HANDLE NewHandle(const std::string& key, const std::string& security) {
  static std::atomic<unsigned> count{0};
  const std::string name = std::string(kPrefix) + key + "#" + security + "#" +
                           std::to_string(getpid()) + "." + std::to_string(++count);
  const int descriptor = BoundSocket(name);
  if (descriptor < 0) {
    SetLastError(simulated::Win32ErrorOf(errno));
    return nullptr;
  }
  {
    const std::lock_guard lock(OwnersGuard());
    Owners().erase(descriptor);
  }
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
}

bool ValidName(const char* name) { return name != nullptr && *name != '\0'; }

}  // namespace

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* text, DWORD revision,
                                                          void** descriptor, DWORD* size) {
  constexpr DWORD kErrorInvalidParameter = 87;
  if (text == nullptr || revision != kSddlRevision1 || descriptor == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  DWORD granted = 0;
  // Every "allow" entry for every account: "(A;;<rights>;;;AU)", "WD", "IU".
  const std::string sddl = text;
  for (std::size_t at = sddl.find("(A;;"); at != std::string::npos;
       at = sddl.find("(A;;", at + 1)) {
    const std::size_t end = sddl.find(')', at);
    if (end == std::string::npos) break;
    const std::string ace = sddl.substr(at + 4, end - at - 4);
    const std::size_t trustee = ace.rfind(';');
    const std::string who = ace.substr(trustee + 1);
    if (who == "AU" || who == "WD" || who == "IU") granted |= std::strtoul(ace.c_str(), nullptr, 0);
  }
  auto* made = static_cast<Descriptor*>(std::malloc(sizeof(Descriptor)));
  if (made == nullptr) return 0;
  *made = Descriptor{kDescriptorMagic, granted};
  *descriptor = made;
  if (size != nullptr) *size = sizeof(Descriptor);
  return 1;
}

void* LocalFree(void* memory) {
  std::free(memory);
  return nullptr;
}

HANDLE os::CreateMutexA(void* securityAttributes, BOOL initialOwner, const char* name) {
  // Only named mutexes that nobody owns at first: what turn-taking needs.
  if (!ValidName(name) || initialOwner != 0) {
    SetLastError(kErrorInvalidName);
    return nullptr;
  }
  const std::string key = KeyOf(name);
  if (const std::optional<std::string> security = SecurityOfExisting(key)) {
    // An existing mutex is opened for every right it has.
    if (!simulated::MutexAccessGranted(*security, kMutexAllAccess)) {
      SetLastError(kErrorAccessDenied);
      return nullptr;
    }
    HANDLE handle = NewHandle(key, *security);
    if (handle != nullptr) SetLastError(kErrorAlreadyExists);
    return handle;
  }
  const auto* attributes = static_cast<const SECURITY_ATTRIBUTES*>(securityAttributes);
  const auto* given = attributes == nullptr
                          ? nullptr
                          : static_cast<const Descriptor*>(attributes->lpSecurityDescriptor);
  const std::optional<DWORD> granted = given != nullptr && given->Magic == kDescriptorMagic
                                           ? std::optional(given->Granted)
                                           : std::nullopt;
  HANDLE handle = NewHandle(key, simulated::MutexSecurityOfMaker(granted));
  if (handle != nullptr) SetLastError(0);
  return handle;
}

HANDLE os::OpenMutexA(DWORD desiredAccess, BOOL, const char* name) {
  if (!ValidName(name)) {
    SetLastError(kErrorInvalidName);
    return nullptr;
  }
  const std::string key = KeyOf(name);
  const std::optional<std::string> security = SecurityOfExisting(key);
  if (!security) {
    SetLastError(kErrorFileNotFound);
    return nullptr;
  }
  if (desiredAccess == 0 || !simulated::MutexAccessGranted(*security, desiredAccess)) {
    SetLastError(kErrorAccessDenied);
    return nullptr;
  }
  return NewHandle(key, *security);
}

DWORD os::WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  const int descriptor = static_cast<int>(reinterpret_cast<std::intptr_t>(object));
  const std::string own = NameOfSocket(descriptor);
  const std::size_t cut = own.find('#');
  if (!own.starts_with(kPrefix) || cut == std::string::npos) {
    if (const std::optional<DWORD> process = simulated::WaitForProcess(object)) return *process;
    SetLastError(kErrorInvalidHandle);
    return kWaitFailed;
  }
  const std::string mutexName = own.substr(0, cut);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  // A bind cannot wait: it is tried, with short pauses that grow to a few
  // milliseconds, until the time is up.
  DWORD pause = 1;
  int owner = -1;
  while ((owner = BoundSocket(mutexName)) < 0) {
    if (errno != EADDRINUSE) {
      SetLastError(simulated::Win32ErrorOf(errno));
      return kWaitFailed;
    }
    if (milliseconds != kInfinite && std::chrono::steady_clock::now() >= deadline) {
      return kWaitTimeout;
    }
    os::Sleep(pause);
    pause = std::min<DWORD>(pause * 2, 8);
  }
  const std::lock_guard lock(OwnersGuard());
  if (const auto held = Owners().find(descriptor); held != Owners().end()) close(held->second);
  Owners()[descriptor] = owner;
  return kWaitObject0;
}

BOOL os::ReleaseMutex(HANDLE mutex) {
  int owner = -1;
  {
    const std::lock_guard lock(OwnersGuard());
    const auto held = Owners().find(static_cast<int>(reinterpret_cast<std::intptr_t>(mutex)));
    if (held == Owners().end()) {
      SetLastError(kErrorNotOwner);
      return 0;
    }
    owner = held->second;
    Owners().erase(held);
  }
  close(owner);
  return 1;
}

}  // namespace tidemark::platform
