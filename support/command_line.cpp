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

TextValue ModulePath() {
  // Grown until the whole path fits: a cut path would name the wrong folder.
  for (platform::DWORD capacity = 261; capacity <= 1u << 20; capacity *= 2) {
    std::vector<char> buffer(capacity + 3, '\0');
    const platform::DWORD count = platform::GetModuleFileNameA(nullptr, buffer.data(), capacity);
    if (count == 0) return {};
    if (count < capacity) return TextValue(buffer.data(), static_cast<std::int32_t>(count));
  }
  return {};
}

TextValue CommandParameter(std::int32_t index) {
  if (index == 0) return ModulePath();
  return CommandParameterIn(platform::GetCommandLineA(), index);
}

std::int32_t CountParameters() { return CountParametersIn(platform::GetCommandLineA()); }

}  // namespace tidemark
