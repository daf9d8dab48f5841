// Test helper: holds a file open, as another program using the client's
// files would, until it is ended or a time passes.
// Usage: hold_file PATH READY-MARKER MILLISECONDS [HOW]
// HOW: "sole" (default) reads it sharing nothing; "attributes" opens it for
// its attributes only, sharing everything; "new" waits for the file to
// appear and holds it as a scanner does, reading and sharing reading and
// writing but not deleting. The marker file is made once the file is held.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace platform = tidemark::platform;

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  const char* how = argc == 5 ? argv[4] : "sole";
  platform::DWORD access = platform::kGenericRead;
  platform::DWORD share = 0;
  int tries = 1;
  if (std::strcmp(how, "attributes") == 0) {
    access = platform::kFileReadAttributes;
    share = platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete;
  } else if (std::strcmp(how, "new") == 0) {
    share = platform::kFileShareRead | platform::kFileShareWrite;
    tries = 3000000;  // without a pause: the file may be held only while it is written
  }
  platform::HANDLE held = platform::InvalidHandleValue();
  for (int attempt = 0; attempt < tries && held == platform::InvalidHandleValue(); ++attempt) {
    held = platform::CreateFileA(argv[1], access, share, nullptr, platform::kOpenExisting,
                                 platform::kFileAttributeNormal, nullptr);
  }
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
