// The Linux stand-in for a named mutex. A mutex is a file of its own in the
// temporary folder, named after the mutex, and owning it is holding an
// exclusive flock on it: the handle is the file's descriptor, so a process
// that ends, however it ends, lets go, as Windows abandons the mutex of a
// process that ends without releasing it. The file itself stays; it holds
// nothing and blocks nobody.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/posix/host_path.h"

namespace tidemark::platform {

namespace {

constexpr DWORD kInfinite = 0xFFFFFFFFu;

std::string MutexFileOf(const std::string& name) {
  const char* folder = std::getenv("TMPDIR");
  std::string path = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  path += "/tidemark-mutex-";
  for (const char c : name) path += c == '/' ? '_' : c;
  return path;
}

}  // namespace

HANDLE os::CreateMutexA(void*, BOOL initialOwner, const char* name) {
  // Only named mutexes that nobody owns at first: what turn-taking needs.
  if (name == nullptr || *name == '\0' || initialOwner != 0) {
    SetLastError(kErrorInvalidName);
    return nullptr;
  }
  // Readable by all, so that copies run by other users share it; never
  // through a link that someone else put in the shared folder.
  const int descriptor =
      open(MutexFileOf(name).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (descriptor < 0) {
    SetLastError(posix::Win32ErrorOf(errno));
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
}

DWORD os::WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  const int descriptor = static_cast<int>(reinterpret_cast<std::intptr_t>(object));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  // flock cannot wait for a bounded time: it is tried, with short pauses
  // that grow to a few milliseconds, until the time is up.
  DWORD pause = 1;
  while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      SetLastError(posix::Win32ErrorOf(errno));
      return kWaitFailed;
    }
    if (milliseconds != kInfinite && std::chrono::steady_clock::now() >= deadline) {
      return kWaitTimeout;
    }
    os::Sleep(pause);
    pause = std::min<DWORD>(pause * 2, 8);
  }
  return kWaitObject0;
}

BOOL os::ReleaseMutex(HANDLE mutex) {
  if (flock(static_cast<int>(reinterpret_cast<std::intptr_t>(mutex)), LOCK_UN) != 0) {
    SetLastError(posix::Win32ErrorOf(errno));
    return 0;
  }
  return 1;
}

}  // namespace tidemark::platform
