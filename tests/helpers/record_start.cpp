// Test helper that stands in for the programs Tidemark starts (the assistant,
// the monitor, the client): it writes the command line it was started with
// to a file beside itself, named after it with ".started" added, and the
// show state it was asked to open its window in to one with ".shown" added:
// "1 5" when the startup information says to use show state 5, "0 0" when
// it names none. Each start also leaves the command line in a file of its
// own, named after it with ".started-" and the process number added, where
// the folder lets it be made, so that starts made at the same moment can be
// counted. What it sees goes to one with ".sees" added, three lines:
// "elevated" or "not elevated", the JournalSaveFile line of the uo.cfg
// beside it as it reads it (empty when there is none), and its current
// folder.
#include <optional>
#include <string>

#include "platform/platform.h"
#include "support/command_line.h"

namespace platform = tidemark::platform;

namespace {

bool Record(const std::string& path, const std::string& text) {
  platform::HANDLE file =
      platform::CreateFileA(path.c_str(), platform::kGenericWrite, 0, nullptr,
                            platform::kCreateAlways, platform::kFileAttributeNormal, nullptr);
  if (file == platform::InvalidHandleValue()) return false;
  platform::DWORD written = 0;
  platform::WriteFile(file, text.data(), static_cast<platform::DWORD>(text.size()), &written,
                      nullptr);
  platform::CloseHandle(file);
  return written == text.size();
}

std::string Elevation() {
  platform::HANDLE token = nullptr;
  if (platform::OpenProcessToken(platform::GetCurrentProcess(), platform::kTokenQuery, &token) ==
      0) {
    return "unknown";
  }
  platform::TOKEN_ELEVATION elevation{};
  platform::DWORD size = 0;
  const bool answered = platform::GetTokenInformation(token, platform::kTokenElevation, &elevation,
                                                      sizeof elevation, &size) != 0;
  platform::CloseHandle(token);
  if (!answered) return "unknown";
  return elevation.TokenIsElevated != 0 ? "elevated" : "not elevated";
}

// The JournalSaveFile line of a file, as a client reads it.
std::string JournalLineIn(const std::string& path) {
  platform::HANDLE file =
      platform::CreateFileA(path.c_str(), platform::kGenericRead, platform::kFileShareRead, nullptr,
                            platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
  if (file == platform::InvalidHandleValue()) return {};
  std::string text;
  char buffer[4096];
  platform::DWORD count = 0;
  while (platform::ReadFile(file, buffer, sizeof buffer, &count, nullptr) != 0 && count > 0) {
    text.append(buffer, count);
  }
  platform::CloseHandle(file);
  const std::size_t start = text.find("JournalSaveFile=");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_first_of("\r\n", start) - start);
}

std::string CurrentFolder() {
  char folder[1024] = {};
  const platform::DWORD count = platform::GetCurrentDirectoryA(sizeof folder, folder);
  return count > 0 && count < sizeof folder ? std::string(folder, count) : std::string();
}

}  // namespace

int main() {
  // Its own path as the ANSI calls can open it, also in a folder whose name
  // the ANSI code page cannot show.
  const std::optional<tidemark::TextValue> reachable = tidemark::ReachableModulePath();
  if (!reachable || reachable->IsEmpty()) return 1;
  const std::string self(reachable->View());
  platform::STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  platform::GetStartupInfoA(&startup);
  const bool usesShowWindow = (startup.dwFlags & platform::kStartfUseShowWindow) != 0;
  // The show state first: whoever waits for ".started" then finds both.
  const bool shown = Record(self + ".shown", std::to_string(usesShowWindow ? 1 : 0) + " " +
                                                 std::to_string(startup.wShowWindow));
  const std::string folder = self.substr(0, self.find_last_of('\\') + 1);
  Record(self + ".sees",
         Elevation() + "\n" + JournalLineIn(folder + "uo.cfg") + "\n" + CurrentFolder() + "\n");
  // The count where the folder lets it be made (a read-only one does not).
  Record(self + ".started-" + std::to_string(platform::GetCurrentProcessId()),
         platform::GetCommandLineA());
  return shown && Record(self + ".started", platform::GetCommandLineA()) ? 0 : 1;
}
