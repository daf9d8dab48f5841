// The simulated VirtualAlloc and VirtualFree (model.h states them). Committed
// parts of 2 MiB and more are offered transparent huge pages because a file's
// lines touch tens of megabytes, and a page fault each 4 KiB would cost more
// than everything else the load does.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/platform.h"

namespace tidemark::platform {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr DWORD kErrorNotEnoughMemory = 8;
constexpr DWORD kErrorInvalidAddress = 487;

// The reservations' sizes, by their first address: VirtualFree releases a
// whole reservation from its first address alone.
std::mutex reservationsGuard;
std::map<void*, std::size_t>& Reservations() {
  static std::map<void*, std::size_t> reservations;
  return reservations;
}

// Commits the pages that hold the bytes given, as Windows does.
bool Commit(void* address, std::size_t size) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(address) / page * page;
  const std::uintptr_t end =
      (reinterpret_cast<std::uintptr_t>(address) + size + page - 1) / page * page;
  void* pages = reinterpret_cast<void*>(first);
  if (mprotect(pages, end - first, PROT_READ | PROT_WRITE) != 0) return false;
  // A hint; one refused does no harm.
  if (end - first >= kHugePage) madvise(pages, end - first, MADV_HUGEPAGE);
  return true;
}

}  // namespace

void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD) {
  if (size == 0) {
    SetLastError(87);  // ERROR_INVALID_PARAMETER
    return nullptr;
  }
  if (address != nullptr) {
    // A part of a reservation, committed.
    if ((allocationType & kMemCommit) == 0 || !Commit(address, size)) {
      SetLastError(kErrorInvalidAddress);
      return nullptr;
    }
    return address;
  }
  void* reserved =
      mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (reserved == MAP_FAILED) {
    SetLastError(kErrorNotEnoughMemory);
    return nullptr;
  }
  if ((allocationType & kMemCommit) != 0 && !Commit(reserved, size)) {
    munmap(reserved, size);
    SetLastError(kErrorNotEnoughMemory);
    return nullptr;
  }
  const std::lock_guard<std::mutex> lock(reservationsGuard);
  Reservations()[reserved] = size;
  return reserved;
}

BOOL VirtualFree(void* address, std::size_t size, DWORD freeType) {
  const std::lock_guard<std::mutex> lock(reservationsGuard);
  const auto reservation = Reservations().find(address);
  if (freeType != kMemRelease || size != 0 || reservation == Reservations().end()) {
    SetLastError(kErrorInvalidAddress);
    return 0;
  }
  munmap(address, reservation->second);
  Reservations().erase(reservation);
  return 1;
}

}  // namespace tidemark::platform
