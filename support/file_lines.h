// A file's lines as they were read: its bytes in one region, unchanged, and
// where each line begins. A line ends at CR LF, a lone CR or a lone LF, as
// TStrings reads them. Kept so, a file costs its size and 4 bytes a line,
// and a save writes its unchanged lines straight from where they were read.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "support/file_stream.h"
#include "support/text_value.h"

namespace tidemark {

class FileLines {
 public:
  FileLines() = default;
  ~FileLines();
  FileLines(const FileLines&) = delete;
  FileLines& operator=(const FileLines&) = delete;

  // Reads the stream from its position to its end, splitting it as it comes.
  // Raises EReadError when its size cannot be told, is 2 GiB or more, or
  // fewer bytes arrive than it holds.
  void Read(TStream& stream);

  std::int32_t Count() const noexcept { return count_; }
  // Line `index`'s bytes, without its line end. (A line kept apart, see
  // TakeApart, has its bytes elsewhere.)
  std::string_view Line(std::int32_t index) const noexcept {
    const std::uint32_t entry = Entry(index);
    const std::size_t start = entry & ~kCrLf;
    const std::string_view line(bytes_ + start, Start(index + 1) - start);
    return (entry & kCrLf) != 0 ? line.substr(0, line.size() - 2) : WithoutEnd(line);
  }
  // The first line from `from` (not below 0) on that does not end in CR LF,
  // or Count(): a save writes the lines before it as they lie.
  std::int32_t NextWithoutCrLf(std::int32_t from) const noexcept;
  // The first line in [from, to) (`from` not below 0) that begins with
  // `prefix`, or `to`. A line kept apart is sought only in the piece of it
  // read into the region (1 MiB or more): its text is the one to ask.
  std::int32_t NextStartingWith(std::string_view prefix, std::int32_t from,
                                std::int32_t to) const noexcept;
  // The bytes from line `first`'s start to line `last`'s, line ends included.
  std::string_view Span(std::int32_t first, std::int32_t last) const noexcept {
    return {bytes_ + Start(first), Start(last) - Start(first)};
  }
  // A line of kLongLine bytes or more is read into a text of its own, not
  // into the region: a long line then costs its size once, and never moves.
  // Hands each such line to `take` with its index.
  void TakeApart(const std::function<void(std::int32_t, TextValue&&)>& take);

  static constexpr std::size_t kLongLine = std::size_t{1} << 20;

 private:
  // A line's bytes without the line end that follows them: CR LF, CR, LF
  // or none.
  static std::string_view WithoutEnd(std::string_view line) noexcept {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }
  // An entry: where the line begins; its top bit set when it ends in CR LF.
  static constexpr std::uint32_t kCrLf = 0x80000000u;
  std::uint32_t Entry(std::int32_t index) const noexcept {
    const auto at = static_cast<std::uint32_t>(index);
    return entries_[at >> shift_][at & ((1u << shift_) - 1)];
  }
  std::size_t Start(std::int32_t index) const noexcept {
    return index == count_ ? size_ : Entry(index) & ~kCrLf;
  }
  void Scan(std::size_t from, std::size_t to);
  void Add(std::uint32_t entry) {
    if (next_ == blockEnd_) AddBlock();
    *next_++ = entry;
    ++count_;
  }
  void AddBlock();
  void ReadApart(TStream& stream, std::size_t& filled);

  char* bytes_ = nullptr;
  std::size_t size_ = 0;
  // The entries, in blocks of 2^shift_ each.
  std::vector<std::uint32_t*> entries_;
  unsigned shift_ = 0;
  std::uint32_t* next_ = nullptr;  // where the next entry goes in the last block
  std::uint32_t* blockEnd_ = nullptr;
  std::int32_t count_ = 0;
  // The splitting's state between pieces: where the unended line begins, and
  // whether the last piece ended in a CR, whose LF may begin the next.
  std::size_t lineStart_ = 0;
  bool afterCarriageReturn_ = false;
  // The lines kept apart, and their indexes.
  TextArena apart_;
  std::vector<std::int32_t> apartIndexes_;
};

}  // namespace tidemark
