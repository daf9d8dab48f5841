// The simulated string table: the same entries as the Windows
// resource, compiled in, handed out as LoadStringA hands them out.
#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace tidemark::platform {

namespace {

struct StringEntry {
  UINT Id;
  const char* Text;
};

#define TIDEMARK_MESSAGE(id, text) {id, text},
constexpr StringEntry kStringTable[] = {
#include "resources/messages.inc"
};
#undef TIDEMARK_MESSAGE

}  // namespace

int LoadStringA(HMODULE, UINT id, char* buffer, int bufferMax) {
  if (buffer == nullptr || bufferMax <= 0) return 0;
  for (const StringEntry& entry : kStringTable) {
    if (entry.Id != id) continue;
    // As LoadStringA: cut to the buffer, always terminated, the count without the zero.
    const std::size_t length =
        std::min(std::strlen(entry.Text), static_cast<std::size_t>(bufferMax - 1));
    std::memcpy(buffer, entry.Text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
  buffer[0] = '\0';
  return 0;
}

}  // namespace tidemark::platform
