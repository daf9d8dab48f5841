// Wine's registry files (system.reg, user.reg) read into memory, as the
// simulated registry calls need them. Keys and value names are
// matched without regard to ASCII case; values hold their data as
// RegQueryValueExA hands it out (strings as narrow bytes, UTF-8 for
// characters beyond ASCII, with their terminating zero).
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tidemark::platform::simulated {

struct RegistryValue {
  DWORD Type = kRegNone;
  std::string Data;
};

struct RegistryFile {
  // Key paths in lower case, components joined by "\"; value names in lower
  // case, "" for a key's default value.
  std::map<std::string, std::map<std::string, RegistryValue>> Keys;
  // Registry links: keys marked "#link", whose "SymbolicLinkValue" (type
  // REG_LINK, 6) names the key that stands in their place.
  std::set<std::string> Links;
  bool Win64 = false;  // a 64-bit prefix: 32-bit programs see HKLM\Software\Wow6432Node
};

// Never fails: what it cannot make sense of is passed over. With `wanted`,
// only the keys it answers true for are read (it is given each key's line,
// "[Software\\\\Key] 1700000000", as it stands in the file); the others
// cost no more than a glance at their lines.
RegistryFile ParseRegistryFile(std::string_view text,
                               const std::function<bool(std::string_view)>& wanted = nullptr);

// Whether the file is a 64-bit prefix's ("#arch=win64" before its first key).
bool IsWin64Registry(std::string_view text);

// One key as a program opening it sees it: the registry links on its way
// followed (at most kMostLinks of them), and only the keys on that way read.
struct RegistryKeyLookup {
  bool Exists = false;  // the key has values, or keys below it
  std::string Path;     // where the links led, lower case
  std::map<std::string, RegistryValue> Values;
};
inline constexpr int kMostLinks = 16;
RegistryKeyLookup LookUpRegistryKey(std::string_view text, std::string path);

std::string LowerCase(std::string_view text);

}  // namespace tidemark::platform::simulated
