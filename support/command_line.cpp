#include "support/command_line.h"

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tidemark {

namespace {

constexpr char kQuote = '"';

// Bytes 0x01 to 0x20 separate parameters; bytes from 0x80 belong to them.
bool IsSeparator(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x01 && value <= 0x20;
}

bool IsParameterByte(char byte) { return static_cast<unsigned char>(byte) > 0x20; }

}  // namespace

TextValue NextParameter(const char*& position) {
  for (;;) {
    while (IsSeparator(*position)) ++position;
    // A pair of quotes where a parameter would begin is passed over like white space.
    if (position[0] == kQuote && position[1] == kQuote) {
      position += 2;
      continue;
    }
    break;
  }
  std::string collected;
  while (IsParameterByte(*position)) {
    if (*position != kQuote) {
      collected += *position++;
      continue;
    }
    ++position;  // The opening quote is not part of the parameter.
    while (*position != '\0' && *position != kQuote) collected += *position++;
    if (*position == kQuote) ++position;
  }
  return TextValue(collected);
}

TextValue CommandParameterIn(const char* commandLine, std::int32_t index) {
  if (index < 0) return {};
  const char* position = commandLine;
  for (;;) {
    TextValue parameter = NextParameter(position);
    if (index == 0 || parameter.IsEmpty()) return parameter;
    --index;
  }
}

std::int32_t CountParametersIn(const char* commandLine) {
  const char* position = commandLine;
  NextParameter(position);  // The program name.
  std::int32_t count = 0;
  while (!NextParameter(position).IsEmpty()) ++count;
  return count;
}

namespace {

// A path from a call that answers as GetModuleFileName and GetShortPathName
// do (the count without the zero, or the whole size when it does not fit),
// grown until the whole path fits: a cut path would name the wrong folder.
// Empty when the call failed.
template <typename Char, typename Call>
std::basic_string<Char> WholePathFrom(Call call) {
  for (platform::DWORD capacity = 261; capacity <= 1u << 20; capacity *= 2) {
    std::basic_string<Char> buffer(capacity, Char());
    const platform::DWORD count = call(buffer.data(), capacity);
    if (count == 0) return {};
    if (count < capacity) return buffer.substr(0, count);
  }
  return {};
}

enum class Conversion : std::uint8_t {
  Whole,
  Lost,        // a character has no exact form in the ANSI code page
  NotAnswered  // the system would not convert (where the ANSI code page is UTF-8, say)
};

// The path in the ANSI code page, into `text`. Best-fit forms ("e" for "é")
// count as lost: they name another file.
Conversion ToAnsi(const std::u16string& wide, TextValue& text) {
  const int units = static_cast<int>(wide.size()) + 1;  // with its zero
  const int size = platform::WideCharToMultiByte(platform::kCpAcp, platform::kWcNoBestFitChars,
                                                 wide.c_str(), units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return Conversion::NotAnswered;
  std::vector<char> bytes(static_cast<std::size_t>(size), '\0');
  platform::BOOL lost = 0;
  if (platform::WideCharToMultiByte(platform::kCpAcp, platform::kWcNoBestFitChars, wide.c_str(),
                                    units, bytes.data(), size, nullptr, &lost) != size) {
    return Conversion::NotAnswered;
  }
  if (lost != 0) return Conversion::Lost;
  text = TextValue(bytes.data(), size - 1);
  return Conversion::Whole;
}

}  // namespace

TextValue ModulePath() {
  const std::string path = WholePathFrom<char>([](char* buffer, platform::DWORD size) {
    return platform::GetModuleFileNameA(nullptr, buffer, size);
  });
  return TextValue(path.data(), static_cast<std::int32_t>(path.size()));
}

namespace {

// The path as the ANSI call gave it (`ansi`) where its wide form converts
// whole (or the system will not convert it); else the wide form's short
// form, where that converts whole; else nothing.
std::optional<TextValue> ReachableFormOf(const TextValue& ansi, const std::u16string& wide) {
  TextValue converted;
  if (wide.empty() || ToAnsi(wide, converted) != Conversion::Lost) return ansi;
  const std::u16string shortForm =
      WholePathFrom<platform::WCHAR>([&](platform::WCHAR* buffer, platform::DWORD size) {
        return platform::GetShortPathNameW(wide.c_str(), buffer, size);
      });
  if (shortForm.empty() || ToAnsi(shortForm, converted) != Conversion::Whole) return std::nullopt;
  return converted;
}

}  // namespace

std::optional<TextValue> ReachableModulePath() {
  const std::u16string wide =
      WholePathFrom<platform::WCHAR>([](platform::WCHAR* buffer, platform::DWORD size) {
        return platform::GetModuleFileNameW(nullptr, buffer, size);
      });
  return ReachableFormOf(ModulePath(), wide);
}

std::optional<TextValue> ReachableCurrentFolder() {
  const std::string ansi = WholePathFrom<char>([](char* buffer, platform::DWORD size) {
    return platform::GetCurrentDirectoryA(size, buffer);
  });
  if (ansi.empty()) return std::nullopt;
  const std::u16string wide =
      WholePathFrom<platform::WCHAR>([](platform::WCHAR* buffer, platform::DWORD size) {
        return platform::GetCurrentDirectoryW(size, buffer);
      });
  return ReachableFormOf(TextValue(ansi.data(), static_cast<std::int32_t>(ansi.size())), wide);
}

TextValue CommandParameter(std::int32_t index) {
  if (index == 0) return ModulePath();
  return CommandParameterIn(platform::GetCommandLineA(), index);
}

std::int32_t CountParameters() { return CountParametersIn(platform::GetCommandLineA()); }

}  // namespace tidemark
