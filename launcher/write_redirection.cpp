#include "launcher/write_redirection.h"

#include <optional>
#include <string>

#include "launcher/self_elevation.h"
#include "platform/platform.h"

namespace tidemark {

namespace {

// The token's TokenVirtualizationEnabled: a DWORD, nonzero where its
// writes are virtualized (TOKEN_INFORMATION_CLASS's page). No answer: not
// virtualized, so that nothing is asked on a guess.
bool TokenIsVirtualized() {
  const std::optional<platform::DWORD> enabled = TokenAnswer(platform::kTokenVirtualizationEnabled);
  return enabled && *enabled != 0;
}

std::string Variable(const char* name) {
  std::string value(260, '\0');
  platform::DWORD length = platform::GetEnvironmentVariableA(
      name, value.data(), static_cast<platform::DWORD>(value.size()));
  if (length >= value.size()) {  // the size needed, its zero included
    value.resize(length);
    length = platform::GetEnvironmentVariableA(name, value.data(), length);
  }
  value.resize(length < value.size() ? length : 0);
  return value;
}

char Folded(char byte) { return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 32) : byte; }

// Whether `path` lies in `folder`: its bytes, ASCII letters in either case,
// then a "\".
bool Within(std::string_view path, std::string folder) {
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (folder.empty() || path.size() <= folder.size() || path[folder.size()] != '\\') return false;
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (Folded(path[i]) != Folded(folder[i])) return false;
  }
  return true;
}

}  // namespace

bool InVirtualizedFolder(const TextValue& path) {
  for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
    if (Within(path.View(), Variable(name))) return true;
  }
  return false;
}

bool WritesAreRedirected(const TextValue& path) {
  return RunsWithoutRights() && TokenIsVirtualized() && InVirtualizedFolder(path);
}

}  // namespace tidemark
