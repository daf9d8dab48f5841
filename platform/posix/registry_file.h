// Wine's registry files (system.reg, user.reg) read into memory, as the Linux
// stand-in for the registry calls needs them. Keys and value names are
// matched without regard to ASCII case; values hold their data as
// RegQueryValueExA hands it out (strings as narrow bytes, UTF-8 for
// characters beyond ASCII, with their terminating zero).
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tidemark::platform::posix {

struct RegistryValue {
  DWORD Type = kRegNone;
  std::string Data;
};

struct RegistryFile {
  // Key paths in lower case, components joined by "\"; value names in lower
  // case, "" for a key's default value.
  std::map<std::string, std::map<std::string, RegistryValue>> Keys;
  bool Win64 = false;  // a 64-bit prefix: 32-bit programs see HKLM\Software\Wow6432Node
};

// Never fails: what it cannot make sense of is passed over.
RegistryFile ParseRegistryFile(std::string_view text);

std::string LowerCase(std::string_view text);

}  // namespace tidemark::platform::posix
