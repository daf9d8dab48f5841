// Splitting text into lines and joining them again: loading never loses a
// byte other than line ends, and joining then splitting gives the same lines
// whenever no line holds CR or LF. Loading the text from a stream that hands
// it out in pieces (of a size the input's first byte picks) gives the lines
// that splitting it whole does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "support/string_list.h"

using tidemark::SeekOrigin;
using tidemark::TextValue;
using tidemark::TStream;
using tidemark::TStringList;

namespace {

class PieceStream : public TStream {
 public:
  PieceStream(const std::string& text, std::int32_t piece) : text_(text), piece_(piece) {}
  std::int32_t ReadBytes(void* buffer, std::int32_t count) override {
    const auto left = static_cast<std::int64_t>(text_.size()) - position_;
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>({count, piece_, left}));
    if (n > 0) std::memcpy(buffer, text_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
  }
  std::int32_t WriteBytes(const void*, std::int32_t) override { return 0; }
  std::int64_t MoveTo(std::int64_t offset, SeekOrigin origin) override {
    if (origin == SeekOrigin::FromStart) position_ = offset;
    if (origin == SeekOrigin::FromCurrent) position_ += offset;
    if (origin == SeekOrigin::FromEnd) position_ = static_cast<std::int64_t>(text_.size()) + offset;
    return position_;
  }

 private:
  const std::string& text_;
  std::int32_t piece_;
  std::int64_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TStringList lines;
  lines.SplitTextIntoLines(TextValue(text));

  std::string kept;
  for (char byte : text) {
    if (byte != '\r' && byte != '\n') kept += byte;
  }
  std::string joined;
  for (std::int32_t i = 0; i < lines.LineCount(); ++i) joined += lines.LineAt(i).View();
  if (joined != kept) __builtin_trap();

  TStringList again;
  again.SplitTextIntoLines(lines.JoinLinesAsText());
  if (again.LineCount() != lines.LineCount()) __builtin_trap();
  for (std::int32_t i = 0; i < lines.LineCount(); ++i) {
    if (!(again.LineAt(i) == lines.LineAt(i))) __builtin_trap();
  }

  PieceStream stream(text, size == 0 ? 1 : 1 + data[0] % 16);
  TStringList loaded;
  loaded.LoadLinesFromStream(stream);
  if (loaded.LineCount() != lines.LineCount()) __builtin_trap();
  for (std::int32_t i = 0; i < lines.LineCount(); ++i) {
    if (!(loaded.LineAt(i) == lines.LineAt(i))) __builtin_trap();
  }
  return 0;
}
