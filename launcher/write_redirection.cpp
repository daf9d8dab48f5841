#include "launcher/write_redirection.h"

#include <string>
#include <string_view>

#include "launcher/access_token.h"
#include "launcher/elevated_path.h"
#include "platform/platform.h"
#include "support/paths.h"

namespace tidemark {

namespace {

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

// The folder's long form (GetLongPathNameA), or the folder as given where
// the system cannot say. Only its start is compared: a name the ANSI code
// page cannot show, which comes back lossy, lies below Program Files. The
// fallback errs towards "not redirected": a short form of Program Files
// ("C:\PROGRA~2\...") left so is not recognized (the worst case is in
// write_redirection.h).
std::string LongForm(const std::string& folder) {
  std::string reached(260, '\0');
  platform::DWORD length = platform::GetLongPathNameA(folder.c_str(), reached.data(),
                                                      static_cast<platform::DWORD>(reached.size()));
  if (length >= reached.size()) {  // the size needed, its zero included
    reached.resize(length);
    length = platform::GetLongPathNameA(folder.c_str(), reached.data(), length);
  }
  if (length == 0 || length >= reached.size()) return folder;
  reached.resize(length);
  return reached;
}

// `folder` (existing, ending with "\") as Windows reaches it: through its
// subst letters (QueryDosDeviceA) and in its long form (GetLongPathNameA;
// where the folder is there but has no long form, it answers the path as
// given: GetLongPathName's page). What the system cannot say stays as given.
TextValue FolderWindowsReaches(const TextValue& folder) {
  return TextValue(LongForm(std::string(ThroughSubstLetters(folder).View())));
}

}  // namespace

bool InVirtualizedFolder(const TextValue& path) {
  for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
    if (Within(path.View(), Variable(name))) return true;
  }
  return false;
}

bool WritesAreRedirected(const TextValue& path) {
  if (!RunsWithoutRights() || !TokenIsVirtualized()) return false;
  const TextValue folder = FolderPartOf(path);
  const TextValue name(path.View().substr(folder.View().size()));
  return InVirtualizedFolder(FolderWindowsReaches(folder) + name);
}

}  // namespace tidemark
