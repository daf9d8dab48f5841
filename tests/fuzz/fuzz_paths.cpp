// Folder parts with random lead-byte sets: a separator found is never the
// second byte of a double-byte character, and the folder part is a prefix
// that ends with a separator.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "support/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 13) return 0;
  std::uint8_t ranges[12];
  std::memcpy(ranges, data + 1, sizeof ranges);
  tidemark::AdoptCodePageFacts(tidemark::CodePageFactsFrom((data[0] & 1) != 0, ranges));
  const tidemark::TextValue path(reinterpret_cast<const char*>(data + 13),
                                 static_cast<std::int32_t>(size - 13));
  const std::int32_t found = tidemark::FindLastSeparator("\\:", path);
  if (found < 0 || found > path.Length()) __builtin_trap();
  if (found > 0) {
    if (tidemark::ByteKindAt(path, found) == tidemark::ByteKind::Trail) __builtin_trap();
    const char separator = path.At(found - 1);
    if (separator != '\\' && separator != ':') __builtin_trap();
  }
  const tidemark::TextValue folder = tidemark::FolderPartOf(path);
  if (folder.Length() != found || std::memcmp(folder.Bytes(), path.Bytes(), folder.Length()) != 0) {
    __builtin_trap();
  }
  if (path.Length() > 0 && tidemark::ByteKindAt(path, 1) == tidemark::ByteKind::Trail)
    __builtin_trap();
  return 0;
}
