#include "support/file_lines.h"

#include <emmintrin.h>  // SSE2, which every build of the program has (x86-64, and -msse2)

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "support/errors.h"
#include "support/large_memory.h"
#include "support/messages.h"

namespace tidemark {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';

// The read's piece: each is split while it is fresh in the cache.
constexpr std::size_t kPieceSize = std::size_t{1} << 20;
// The fewest and the most entries a block holds: a page of them, 2 MiB of them.
constexpr unsigned kSmallestShift = 10;
constexpr unsigned kLargestShift = 19;
// A large region's alignment: where the system offers huge pages (the Linux
// stand-in does), the whole region is made of them.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

void* Region(std::size_t size) { return AllocateRegion(size, size >= kHugePage ? kHugePage : 64); }

[[noreturn]] void FailRead() { throw EReadError(LoadMessage(MessageId::StreamReadError)); }

// A scan's step: as many bytes as a machine word has bits, one bit a byte.
using Mask = std::size_t;
constexpr std::size_t kStep = sizeof(Mask) * 8;

// Bit i set where bytes[i] is a CR or an LF, for 16 bytes: compared at once.
Mask LineEnds16(const char* bytes) {
  const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  return static_cast<std::uint16_t>(
      _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(piece, _mm_set1_epi8(kCarriageReturn)),
                                     _mm_cmpeq_epi8(piece, _mm_set1_epi8(kLineFeed)))));
}

// The same for the `count` bytes from `bytes` (at most kStep); a whole step
// written out, which the compilers do not unroll themselves.
Mask LineEnds(const char* bytes, std::size_t count) {
  Mask mask = 0;
  if (count == kStep) {
    mask = LineEnds16(bytes) | LineEnds16(bytes + 16) << 16;
    if (kStep == 64) {
      // (Shifted twice: in a 32-bit word, which has no second half, no shift
      // goes past its width.)
      mask |= (LineEnds16(bytes + 32) | LineEnds16(bytes + 48) << 16) << 16 << 16;
    }
    return mask;
  }
  for (std::size_t i = 0; i < count; ++i) {
    mask |= Mask{bytes[i] == kCarriageReturn || bytes[i] == kLineFeed} << i;
  }
  return mask;
}

// The first CR or LF in bytes[0, count), or `count`.
std::size_t FirstLineEnd(const char* bytes, std::size_t count) {
  for (std::size_t base = 0; base < count; base += kStep) {
    const Mask mask = LineEnds(bytes + base, std::min(count - base, kStep));
    if (mask != 0) return base + static_cast<std::size_t>(std::countr_zero(mask));
  }
  return count;
}

}  // namespace

FileLines::~FileLines() {
  FreeRegion(bytes_);
  for (std::uint32_t* block : entries_) FreeRegion(block);
}

void FileLines::Read(TStream& stream) {
  // A seek that failed (-1) is no size: taken as one, a file would load as
  // empty, and its save would then lose every line.
  const std::int64_t size = stream.TotalSize();
  const std::int64_t position = stream.CurrentPosition();
  if (size < 0 || position < 0) FailRead();
  // Offsets and lengths are 32-bit (a text value's length is).
  if (size - position > std::numeric_limits<std::int32_t>::max()) FailRead();
  size_ = static_cast<std::size_t>(size - position);
  // Blocks of entries sized for lines of about 32 bytes: a small file takes
  // one small block, a large one blocks of 2 MiB.
  shift_ = kSmallestShift;
  while (shift_ < kLargestShift && (std::size_t{1} << shift_) * 32 < size_) ++shift_;
  if (size_ == 0) return;
  bytes_ = static_cast<char*>(Region(size_));
  std::size_t filled = 0;
  while (filled < size_) {
    if (apart_.IsOpen()) {
      ReadApart(stream, filled);
      continue;
    }
    const auto wanted = static_cast<std::int32_t>(std::min(size_ - filled, kPieceSize));
    const std::int32_t received = stream.ReadBytes(bytes_ + filled, wanted);
    if (received <= 0) FailRead();
    Scan(filled, filled + static_cast<std::size_t>(received));
    filled += static_cast<std::size_t>(received);
    if (filled - lineStart_ >= kLongLine && filled < size_) {
      // Given room for the longest it can still grow to, it never moves.
      apart_.Open(size_ - lineStart_);
      apart_.Extend({bytes_ + lineStart_, filled - lineStart_});
      apartIndexes_.push_back(count_);
    }
  }
  if (apart_.IsOpen()) apart_.Close();
  if (lineStart_ < size_) Add(static_cast<std::uint32_t>(lineStart_));
}

// The long line's next piece, read into its text. Where the line ends there,
// the rest of the piece goes where it lies in the file, and is split as usual.
void FileLines::ReadApart(TStream& stream, std::size_t& filled) {
  const std::size_t wanted = std::min(size_ - filled, kPieceSize);
  char* into = apart_.Space(wanted);
  const std::int32_t received = stream.ReadBytes(into, static_cast<std::int32_t>(wanted));
  if (received <= 0) FailRead();
  const auto length = static_cast<std::size_t>(received);
  const std::size_t end = FirstLineEnd(into, length);
  apart_.Extended(end);
  if (end < length) {
    // Moved before the text is closed: closing writes its zero byte over the line end.
    std::memcpy(bytes_ + filled + end, into + end, length - end);
    apart_.Close();
    Scan(filled + end, filled + length);
  }
  filled += length;
}

// Adds the lines that end in bytes_[from, to), the bytes before them read.
// A step's CRs and LFs are found at once; the LF of a CR LF is then passed
// over, its CR having ended the line.
void FileLines::Scan(std::size_t from, std::size_t to) {
  std::size_t lineStart = lineStart_;
  Mask passed = 0;  // bit 0: the step's first byte is the LF of a CR LF
  if (afterCarriageReturn_ && bytes_[from] == kLineFeed) {
    // The CR LF that the last piece's end cut in two.
    next_[-1] |= kCrLf;
    lineStart = from + 1;
    passed = 1;
  }
  for (std::size_t base = from; base < to; base += kStep) {
    Mask ends = LineEnds(bytes_ + base, std::min(to - base, kStep)) & ~passed;
    passed = 0;
    for (; ends != 0; ends &= ends - 1) {
      const std::size_t end = base + static_cast<std::size_t>(std::countr_zero(ends));
      std::uint32_t entry = static_cast<std::uint32_t>(lineStart);
      lineStart = end + 1;
      if (bytes_[end] == kCarriageReturn && lineStart < to && bytes_[lineStart] == kLineFeed) {
        entry |= kCrLf;
        // Its LF: the next bit, or the next step's first.
        const std::size_t lineFeed = lineStart++ - base;
        if (lineFeed < kStep) {
          ends &= ~(Mask{1} << lineFeed);
        } else {
          passed = 1;
        }
      }
      Add(entry);
    }
  }
  lineStart_ = lineStart;
  afterCarriageReturn_ = bytes_[to - 1] == kCarriageReturn;
}

std::int32_t FileLines::NextWithoutCrLf(std::int32_t from) const noexcept {
  const std::size_t blockSize = std::size_t{1} << shift_;
  auto index = static_cast<std::size_t>(from);
  const auto count = static_cast<std::size_t>(count_);
  while (index < count) {
    const std::uint32_t* const block = entries_[index >> shift_];
    std::size_t at = index & (blockSize - 1);
    const std::size_t end = std::min(blockSize, at + (count - index));
    // Sixteen entries a step: their top bits at once, all set while every
    // line ends in CR LF.
    for (; at + 16 <= end; at += 16) {
      int mask = 0;
      for (int quarter = 0; quarter < 4; ++quarter) {
        const __m128i four =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at) + quarter);
        mask |= _mm_movemask_ps(_mm_castsi128_ps(four)) << (4 * quarter);
      }
      if (mask != 0xFFFF) {
        at += static_cast<std::size_t>(std::countr_one(static_cast<unsigned>(mask)));
        return static_cast<std::int32_t>((index & ~(blockSize - 1)) + at);
      }
    }
    for (; at < end; ++at) {
      if ((block[at] & kCrLf) == 0)
        return static_cast<std::int32_t>((index & ~(blockSize - 1)) + at);
    }
    index = (index & ~(blockSize - 1)) + end;
  }
  return count_;
}

std::int32_t FileLines::NextStartingWith(std::string_view prefix, std::int32_t from,
                                         std::int32_t to) const noexcept {
  // No line holds a CR or an LF: bytes that match such a prefix end the
  // line. Without them, a match from a line's start lies within the line.
  if (prefix.find_first_of("\r\n") != std::string_view::npos) return to;
  if (prefix.empty() || from >= to) return from < to ? from : to;
  const std::size_t blockSize = std::size_t{1} << shift_;
  auto index = static_cast<std::size_t>(from);
  const auto last = static_cast<std::size_t>(to);
  while (index < last) {
    const std::uint32_t* const block = entries_[index >> shift_];
    const std::size_t base = index & ~(blockSize - 1);
    const std::size_t end = std::min(blockSize, last - base);
    for (std::size_t at = index - base; at < end; ++at) {
      const std::size_t start = block[at] & ~kCrLf;
      // (A last line without a line end may be shorter than the prefix:
      // nothing past the file's bytes is compared.)
      if (bytes_[start] == prefix[0] && size_ - start >= prefix.size() &&
          std::memcmp(bytes_ + start, prefix.data(), prefix.size()) == 0) {
        return static_cast<std::int32_t>(base + at);
      }
    }
    index = base + end;
  }
  return to;
}

void FileLines::AddBlock() {
  // Reserved first: the region is then never lost.
  entries_.reserve(entries_.size() + 1);
  next_ = static_cast<std::uint32_t*>(Region(std::size_t{sizeof(std::uint32_t)} << shift_));
  entries_.push_back(next_);
  blockEnd_ = next_ + (std::size_t{1} << shift_);
}

void FileLines::TakeApart(const std::function<void(std::int32_t, TextValue&&)>& take) {
  std::size_t next = 0;
  apart_.TakeAll([&](TextValue&& text) { take(apartIndexes_[next++], std::move(text)); });
  apartIndexes_.clear();
}

}  // namespace tidemark
