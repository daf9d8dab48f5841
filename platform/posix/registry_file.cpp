#include "platform/posix/registry_file.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tidemark::platform::posix {

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

std::vector<std::string> LogicalLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view piece = text.substr(start, end - start);
    if (piece.ends_with('\r')) piece.remove_suffix(1);
    if (!current.empty()) {
      while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t'))
        piece.remove_prefix(1);
    }
    // Long hex data goes on over several lines, each but the last ending in "\".
    if (piece.ends_with('\\')) {
      current.append(piece.substr(0, piece.size() - 1));
      start = end + 1;
      continue;
    }
    current.append(piece);
    lines.push_back(std::move(current));
    current.clear();
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

RegistryFile ParseRegistryFile(std::string_view text) {
  RegistryFile file;
  std::map<std::string, RegistryValue>* key = nullptr;
  for (const std::string& line : LogicalLines(text)) {
    if (line.starts_with("#arch=")) {
      file.Win64 = line == "#arch=win64";
      continue;
    }
    if (line.starts_with('[')) {
      // The key's path, "\\" standing for one separator, up to the closing bracket.
      std::string path;
      std::size_t at = 1;
      bool closed = false;
      while (at < line.size()) {
        const char c = line[at++];
        if (c == ']') {
          closed = true;
          break;
        }
        if (c == '\\' && at < line.size() && line[at] == '\\') ++at;
        path += c;
      }
      key = closed ? &file.Keys[LowerCase(path)] : nullptr;
      continue;
    }
    if (key == nullptr || line.empty() || line.starts_with(';') || line.starts_with('#')) continue;
    std::string name;
    RegistryValue value;
    if (ParseValue(line, name, value)) (*key)[LowerCase(name)] = std::move(value);
  }
  return file;
}

}  // namespace tidemark::platform::posix
