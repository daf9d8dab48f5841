// Test helper that stands in for the programs Tidemark starts (the assistant,
// the monitor, the client): it writes the command line it was started with
// to a file beside itself, named after it with ".started" added.
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform = tidemark::platform;

int main() {
  char module[4096] = {};
  const platform::DWORD length = platform::GetModuleFileNameA(nullptr, module, sizeof module);
  if (length == 0 || length >= sizeof module) return 1;
  const std::string record = std::string(module, length) + ".started";
  platform::HANDLE file =
      platform::CreateFileA(record.c_str(), platform::kGenericWrite, 0, nullptr,
                            platform::kCreateAlways, platform::kFileAttributeNormal, nullptr);
  if (file == platform::InvalidHandleValue()) return 1;
  const char* line = platform::GetCommandLineA();
  platform::DWORD written = 0;
  platform::WriteFile(file, line, static_cast<platform::DWORD>(std::strlen(line)), &written,
                      nullptr);
  platform::CloseHandle(file);
  return 0;
}
