// Test helper: holds a file open with sole access (share mode 0), as another
// program using the client's files would, until it is ended or a time passes.
// Usage: hold_file PATH READY-MARKER MILLISECONDS
// The marker file is made once the file is held.
#include <cstdlib>

#include "platform/platform.h"

namespace platform = tidemark::platform;

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  platform::HANDLE held =
      platform::CreateFileA(argv[1], platform::kGenericRead, 0, nullptr, platform::kOpenExisting,
                            platform::kFileAttributeNormal, nullptr);
  if (held == platform::InvalidHandleValue()) return 1;
  platform::HANDLE marker =
      platform::CreateFileA(argv[2], platform::kGenericWrite, 0, nullptr, platform::kCreateAlways,
                            platform::kFileAttributeNormal, nullptr);
  if (marker == platform::InvalidHandleValue()) return 1;
  platform::CloseHandle(marker);
  platform::Sleep(static_cast<platform::DWORD>(std::atoi(argv[3])));
  platform::CloseHandle(held);
  return 0;
}
