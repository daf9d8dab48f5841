// The Linux stand-in's reader of Wine's registry files, on any text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/simulated/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto file = tidemark::platform::simulated::ParseRegistryFile(text);
  for (const auto& [path, values] : file.Keys) {
    for (const auto& [name, value] : values) {
      // Nothing comes from nowhere: a value is never longer than three bytes
      // per byte of text (the longest escape yields three UTF-8 bytes).
      if (value.Data.size() > 3 * size + 4) __builtin_trap();
    }
  }
  // Looking a key up, links and all, ends and finds only what the file holds.
  const auto found = tidemark::platform::simulated::LookUpRegistryKey(text, "software\\k");
  if (!found.Exists && !found.Values.empty()) __builtin_trap();
  return 0;
}
