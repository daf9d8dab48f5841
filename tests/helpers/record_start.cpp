// Test helper that stands in for the programs Tidemark starts (the assistant,
// the monitor, the client): it writes the command line it was started with
// to a file beside itself, named after it with ".started" added, and the
// show state it was asked to open its window in to one with ".shown" added:
// "1 5" when the startup information says to use show state 5, "0 0" when
// it names none. Each start also leaves the command line in a file of its
// own, named after it with ".started-" and the process number added, where
// the folder lets it be made, so that starts made at the same moment can be
// counted.
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
  // The count where the folder lets it be made (a read-only one does not).
  Record(self + ".started-" + std::to_string(platform::GetCurrentProcessId()),
         platform::GetCommandLineA());
  return shown && Record(self + ".started", platform::GetCommandLineA()) ? 0 : 1;
}
