#include "support/crc32.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tidemark {
namespace {

// The check value every CRC-32 of zip and gzip gives for "123456789", and
// what they give for it twenty times (long enough for every step).
TEST(Crc32, GivesTheCheckValue) {
  constexpr std::string_view kCheck = "123456789";
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += kCheck;
  EXPECT_EQ(Crc32(0, kCheck.data(), kCheck.size()), 0xCBF43926U);
  EXPECT_EQ(crc32_detail::ByTable(0, twenty.data(), twenty.size()), 0xE7D710C5U);
  EXPECT_EQ(Crc32(0, twenty.data(), twenty.size()), 0xE7D710C5U);
  EXPECT_EQ(Crc32(0, nullptr, 0), 0U);
}

// Folding and the table give one answer at every length around the
// folding's steps (under one step, one step, the block left over, four
// steps and a tail), from any alignment, and taken in two pieces.
TEST(Crc32, FoldingAgreesWithTheTable) {
  if (!crc32_detail::FoldingAvailable()) GTEST_SKIP() << "no carry-less multiplication here";
  std::vector<unsigned char> bytes(4096 + 3 + 64);
  std::uint32_t state = 12345;
  for (unsigned char& byte : bytes) {
    state = state * 1103515245U + 12345U;
    byte = static_cast<unsigned char>(state >> 24);
  }
  for (const std::size_t length :
       {0, 15, 63, 64, 65, 79, 80, 127, 128, 255, 256, 1000, 4096 + 63}) {
    for (std::size_t offset = 0; offset < 4; ++offset) {
      const unsigned char* start = bytes.data() + offset;
      const std::uint32_t expected = crc32_detail::ByTable(0, start, length);
      EXPECT_EQ(crc32_detail::ByFolding(0, start, length), expected)
          << length << " from " << offset;
      const std::size_t first = length / 3;
      EXPECT_EQ(crc32_detail::ByFolding(crc32_detail::ByFolding(0, start, first), start + first,
                                        length - first),
                expected)
          << length << " in two pieces from " << offset;
    }
  }
}

}  // namespace
}  // namespace tidemark
