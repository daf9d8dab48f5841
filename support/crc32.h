// CRC-32 as zip and gzip compute it (the reflected polynomial 0xEDB88320,
// all bits set before and inverted after), at the speed of memory: the save
// of a large uo.cfg computes one over every byte it is about to write.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tidemark {

// The CRC-32 of `previous`'s bytes followed by `count` more: 0 for none, so
// Crc32(Crc32(0, a, m), b, n) is the CRC-32 of a then b.
std::uint32_t Crc32(std::uint32_t previous, const void* bytes, std::size_t count);

// The two ways Crc32 takes, for the test that holds them to one answer:
// sixteen table lookups a step of sixteen bytes, and, on a processor with
// carry-less multiplication (FoldingAvailable), sixty-four bytes folded a step.
namespace crc32_detail {
std::uint32_t ByTable(std::uint32_t previous, const void* bytes, std::size_t count);
bool FoldingAvailable();
std::uint32_t ByFolding(std::uint32_t previous, const void* bytes, std::size_t count);
}  // namespace crc32_detail

}  // namespace tidemark
