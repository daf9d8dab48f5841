#include "platform/simulated/registry_file.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace tidemark::platform::simulated {

namespace {

void AppendUtf8(std::string& out, std::uint32_t unit) {
  if (unit < 0x80) {
    out += static_cast<char>(unit);
  } else if (unit < 0x800) {
    out += static_cast<char>(0xC0 | (unit >> 6));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (unit >> 12));
    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted string at `at` (on its opening quote), with Wine's escapes; `at`
// ends past the closing quote. False when the string does not close.
bool ReadQuoted(std::string_view line, std::size_t& at, std::string& out) {
  if (at >= line.size() || line[at] != '"') return false;
  ++at;
  while (at < line.size()) {
    const char c = line[at++];
    if (c == '"') return true;
    if (c != '\\' || at >= line.size()) {
      out += c;
      continue;
    }
    const char escaped = line[at++];
    switch (escaped) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case '0':
        out += '\0';
        break;
      case 'x': {
        std::uint32_t unit = 0;
        int digits = 0;
        while (digits < 4 && at < line.size() && HexDigit(line[at]) >= 0) {
          unit = unit * 16 + static_cast<std::uint32_t>(HexDigit(line[at++]));
          ++digits;
        }
        AppendUtf8(out, unit);
        break;
      }
      default:
        out += escaped;
        break;  // \\ and \" and anything else stand for themselves
    }
  }
  return false;
}

// Comma-separated hex bytes: "01,02,ff".
std::string ReadHexBytes(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) {
      high = -1;
      continue;
    }
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  return bytes;
}

// UTF-16LE string data as the narrow bytes the A calls give.
std::string NarrowOf(const std::string& wide) {
  std::string narrow;
  for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
    const auto unit = static_cast<std::uint32_t>(static_cast<unsigned char>(wide[i]) |
                                                 (static_cast<unsigned char>(wide[i + 1]) << 8));
    AppendUtf8(narrow, unit);
  }
  return narrow;
}

bool IsStringType(DWORD type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

bool ParseValue(std::string_view line, std::string& name, RegistryValue& value) {
  std::size_t at = 0;
  if (line.starts_with('@')) {
    at = 1;
  } else if (!ReadQuoted(line, at, name)) {
    return false;
  }
  if (at >= line.size() || line[at] != '=') return false;
  std::string_view data = line.substr(at + 1);
  std::size_t position = 0;
  if (data.starts_with('"')) {
    value.Type = kRegSz;
    if (!ReadQuoted(data, position, value.Data)) return false;
    value.Data += '\0';
    return true;
  }
  // "str(N):" and "hex(N):" name the type code N in hex before their data.
  const bool typedText = data.starts_with("str(");
  if (typedText || data.starts_with("hex(")) {
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos) return false;
    value.Type = static_cast<DWORD>(
        std::strtoul(std::string(data.substr(4, close - 4)).c_str(), nullptr, 16));
    if (typedText) {
      position = close + 2;
      if (!ReadQuoted(data, position, value.Data)) return false;
      value.Data += '\0';
    } else {
      value.Data = ReadHexBytes(data.substr(close + 2));
      if (IsStringType(value.Type)) value.Data = NarrowOf(value.Data);
    }
    return true;
  }
  if (data.starts_with("dword:")) {
    const std::uint32_t number =
        static_cast<std::uint32_t>(std::strtoul(std::string(data.substr(6)).c_str(), nullptr, 16));
    value.Type = kRegDword;
    for (int shift = 0; shift < 32; shift += 8) {
      value.Data += static_cast<char>((number >> shift) & 0xFF);
    }
    return true;
  }
  if (data.starts_with("hex:")) {
    value.Type = kRegBinary;
    value.Data = ReadHexBytes(data.substr(4));
    return true;
  }
  return false;
}

// The lines of the text one by one, as logical lines: long hex data goes on
// over several lines, each but the last ending in "\". A continuation line
// begins with blanks, never with "[", so a key's section starts afresh.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // The next physical line, without its line end; false at the end.
  bool NextPhysical(std::string_view& line) {
    if (start_ > text_.size()) return false;
    std::size_t end = text_.find('\n', start_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(start_, end - start_);
    if (line.ends_with('\r')) line.remove_suffix(1);
    start_ = end + 1;
    return true;
  }

  // Passes over the lines up to the next key's section.
  void SkipToNextSection() {
    if (start_ > text_.size()) return;
    const std::size_t found = text_.find("\n[", start_ == 0 ? 0 : start_ - 1);
    start_ = found == std::string_view::npos ? text_.size() + 1 : found + 1;
  }

  // The logical line that `first` begins.
  std::string Complete(std::string_view first) {
    std::string line;
    std::string_view piece = first;
    while (piece.ends_with('\\')) {
      line.append(piece.substr(0, piece.size() - 1));
      if (!NextPhysical(piece)) return line;
      while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t')) {
        piece.remove_prefix(1);
      }
    }
    line.append(piece);
    return line;
  }

 private:
  std::string_view text_;
  std::size_t start_ = 0;
};

// The key's path in a section line, "\\" standing for one separator, up to
// the closing bracket; false when it does not close.
bool SectionPath(std::string_view line, std::string& path) {
  std::size_t at = 1;
  while (at < line.size()) {
    const char c = line[at++];
    if (c == ']') return true;
    if (c == '\\' && at < line.size() && line[at] == '\\') ++at;
    path += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return false;
}

enum class Relation : std::uint8_t { None, Same, Below, OnTheWay };

// How the key of a section line stands to a lower-case path, compared as the
// line is read, so that the many unrelated keys cost a few bytes each: the
// same key, a key below it, a key on the way to it, or none of these.
Relation SectionRelation(std::string_view line, std::string_view path) {
  std::size_t at = 1;
  std::size_t matched = 0;
  while (at < line.size()) {
    char c = line[at++];
    if (c == ']') {
      if (matched == path.size()) return Relation::Same;
      return path[matched] == '\\' ? Relation::OnTheWay : Relation::None;
    }
    if (c == '\\' && at < line.size() && line[at] == '\\') ++at;
    if (matched == path.size()) return c == '\\' ? Relation::Below : Relation::None;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != path[matched++]) return Relation::None;
  }
  return Relation::None;  // the line does not close
}

// Registry links name their target from the root of all keys; the part
// that names the machine's root is what this file's paths leave out.
constexpr std::string_view kMachineRoot = "\\registry\\machine\\";

}  // namespace

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

RegistryFile ParseRegistryFile(std::string_view text,
                               const std::function<bool(std::string_view)>& wanted) {
  RegistryFile file;
  std::map<std::string, RegistryValue>* key = nullptr;
  std::string path;
  LineReader reader(text);
  std::string_view physical;
  while (reader.NextPhysical(physical)) {
    if (physical.starts_with('[')) {
      path.clear();
      key = nullptr;
      if ((!wanted || wanted(physical)) && SectionPath(physical, path)) {
        key = &file.Keys[path];
      } else {
        reader.SkipToNextSection();
      }
      continue;
    }
    if (key == nullptr) {
      if (physical.starts_with("#arch=")) file.Win64 = physical == "#arch=win64";
      continue;  // outside any key, or in one not wanted
    }
    const std::string line = reader.Complete(physical);
    if (line == "#link") file.Links.insert(path);
    if (line.empty() || line.starts_with(';') || line.starts_with('#')) continue;
    std::string name;
    RegistryValue value;
    if (ParseValue(line, name, value)) (*key)[LowerCase(name)] = std::move(value);
  }
  return file;
}

bool IsWin64Registry(std::string_view text) {
  LineReader reader(text);
  std::string_view line;
  while (reader.NextPhysical(line) && !line.starts_with('[')) {
    if (line.starts_with("#arch=")) return line == "#arch=win64";
  }
  return false;
}

RegistryKeyLookup LookUpRegistryKey(std::string_view text, std::string path) {
  RegistryKeyLookup found;
  for (int followed = 0; followed <= kMostLinks; ++followed) {
    // The key itself, and the keys on its way that may be links.
    bool exists = path.empty();
    const RegistryFile file = ParseRegistryFile(text, [&](std::string_view section) {
      switch (SectionRelation(section, path)) {
        case Relation::Same:
          exists = true;
          return true;
        case Relation::Below:
          exists = true;
          return false;
        case Relation::OnTheWay:
          return true;
        case Relation::None:
          break;
      }
      return false;
    });
    // The first link on the way leads elsewhere: what is left of the path
    // goes on from its target.
    std::string target;
    std::size_t linkLength = 0;
    for (const std::string& link : file.Links) {
      const auto values = file.Keys.find(link);
      const auto named = values->second.find("symboliclinkvalue");
      if (named == values->second.end() || named->second.Type != kRegLink) continue;
      std::string narrow;
      const std::string& wide = named->second.Data;
      for (std::size_t i = 0; i + 1 < wide.size(); i += 2) narrow += wide[i];
      narrow = LowerCase(narrow);
      if (!narrow.starts_with(kMachineRoot)) continue;
      if (linkLength == 0 || link.size() < linkLength) {
        target = narrow.substr(kMachineRoot.size());
        linkLength = link.size();
      }
    }
    if (linkLength == 0) {
      found.Exists = exists;
      found.Path = path;
      if (const auto values = file.Keys.find(path); values != file.Keys.end()) {
        found.Values = values->second;
      }
      return found;
    }
    target.append(path, linkLength);
    path = std::move(target);
  }
  return found;  // a loop of links, or too long a chain: no key
}

}  // namespace tidemark::platform::simulated
