// Splitting text into lines and joining them again: loading never loses a
// byte other than line ends, and joining then splitting gives the same lines
// whenever no line holds CR or LF. Loading the text from a stream that hands
// it out in pieces (of a size the input's first byte picks) gives the lines
// that splitting it whole does, and saving them, one replaced (the line the
// second byte picks), gives what joining them does; seeking them by a
// prefix finds what seeking their texts does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "helpers/scripted_stream.h"
#include "support/string_list.h"

using tidemark::TextValue;
using tidemark::TStringList;

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

  // Pieces of 1 to 16 bytes, or of 257 to 511 (many 64-byte steps of the scan, and a tail).
  const int piece = size == 0 ? 1 : data[0] < 128 ? 1 + data[0] % 16 : 1 + 2 * data[0];
  tidemark::testing::ScriptedStream stream(text, static_cast<std::int64_t>(size), piece);
  TStringList loaded;
  loaded.LoadLinesFromStream(stream);
  if (loaded.LineCount() != lines.LineCount()) __builtin_trap();
  for (std::int32_t i = 0; i < lines.LineCount(); ++i) {
    if (!(loaded.LineAt(i) == lines.LineAt(i))) __builtin_trap();
  }

  if (lines.LineCount() > 0) {
    const std::int32_t replaced = size < 2 ? 0 : data[1] % lines.LineCount();
    lines.ReplaceLine(replaced, "replaced");
    loaded.ReplaceLine(replaced, "replaced");
  }
  loaded.SaveLinesToStream(stream);
  if (stream.written != lines.JoinLinesAsText().View()) __builtin_trap();

  // Seeking the loaded lines by a prefix (up to 7 bytes, from the fourth on)
  // finds, match after match, what seeking their texts finds.
  const std::size_t length = size < 3 ? 0 : std::min<std::size_t>(data[2] % 8, size - 3);
  const std::string_view prefix(text.data() + std::min<std::size_t>(size, 3), length);
  for (std::int32_t from = 0;;) {
    const std::int32_t found = loaded.NextLineStartingWith(prefix, from);
    if (found != loaded.tidemark::TStrings::NextLineStartingWith(prefix, from)) __builtin_trap();
    if (found < 0) break;
    from = found + 1;
  }
  return 0;
}
