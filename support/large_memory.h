// Allocator for large buffers: whole pages from the system, not the heap.
// Memory in whole regions from the system (VirtualAlloc), for the few large
// pieces that a big uo.cfg needs: the chunks its lines are carved from and
// the list's entries. Taken so, they cost far fewer page faults than heap
// memory does (the Linux stand-in backs them with huge pages).
#pragma once

#include <cstddef>

namespace tidemark {

// `size` bytes starting at a multiple of `alignment` (a power of two, at
// least 16). Raises std::bad_alloc when the system has no room.
void* AllocateRegion(std::size_t size, std::size_t alignment);
// Gives back what AllocateRegion gave.
void FreeRegion(void* memory) noexcept;

}  // namespace tidemark
