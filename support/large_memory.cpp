#include "support/large_memory.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace tidemark {

namespace {

// Room before the memory handed out, for the reservation's first address.
constexpr std::size_t kHeader = 16;

std::uintptr_t RoundUp(std::uintptr_t value, std::size_t unit) {
  return (value + unit - 1) / unit * unit;
}

}  // namespace

void* AllocateRegion(std::size_t size, std::size_t alignment) {
  // The reservation has room to put the memory at its alignment; only the
  // part handed out is committed.
  void* reservation = platform::VirtualAlloc(nullptr, size + alignment + kHeader,
                                             platform::kMemReserve, platform::kPageNoAccess);
  if (reservation == nullptr) throw std::bad_alloc();
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(reservation);
  const std::uintptr_t memory = RoundUp(first + kHeader, alignment);
  const std::uintptr_t committed = memory - kHeader;
  if (platform::VirtualAlloc(reinterpret_cast<void*>(committed), size + kHeader,
                             platform::kMemCommit, platform::kPageReadWrite) == nullptr) {
    platform::VirtualFree(reservation, 0, platform::kMemRelease);
    throw std::bad_alloc();
  }
  std::memcpy(reinterpret_cast<void*>(committed), &reservation, sizeof reservation);
  return reinterpret_cast<void*>(memory);
}

void FreeRegion(void* memory) noexcept {
  if (memory == nullptr) return;
  void* reservation = nullptr;
  std::memcpy(&reservation, static_cast<char*>(memory) - kHeader, sizeof reservation);
  platform::VirtualFree(reservation, 0, platform::kMemRelease);
}

}  // namespace tidemark
