// Date rendering with any value and any pattern, on a single-byte and on a
// double-byte system: never more than 256 bytes, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "support/date_text.h"
#include "support/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool prepared = (tidemark::PrepareLocaleTexts(), true);
  (void)prepared;
  if (size < 9) return 0;
  double value = 0;
  std::memcpy(&value, data, sizeof value);
  const std::uint8_t japanese[12] = {0x81, 0x9F, 0xE0, 0xFC};
  tidemark::AdoptCodePageFacts(tidemark::CodePageFactsFrom((data[8] & 1) != 0, japanese));
  const std::string pattern(reinterpret_cast<const char*>(data + 9), size - 9);
  const tidemark::TextValue text = tidemark::RenderDateTime(value, tidemark::TextValue(pattern));
  if (text.Length() > 256) __builtin_trap();
  return 0;
}
