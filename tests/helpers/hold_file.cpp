// Test helper: holds a file open, as another program using the client's
// files would, until it is ended or a time passes.
// Usage: hold_file PATH READY-MARKER MILLISECONDS [HOW]
// HOW: "sole" (default) reads it sharing nothing; "attributes" opens it for
// its attributes only, sharing everything; "new" waits for the file to
// appear and holds it as a scanner does, reading and sharing reading and
// writing but not deleting; it makes the marker's name + ".watching" once it
// watches, and holds uo.cfg in the current folder for its attributes until
// then, which holds up a rename over it: the new file waits to be found.
// The marker file is made once the file is held.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform = tidemark::platform;

// Makes an empty file: a sign to the test that waits for it.
bool Touch(const char* path) {
  platform::HANDLE file =
      platform::CreateFileA(path, platform::kGenericWrite, 0, nullptr, platform::kCreateAlways,
                            platform::kFileAttributeNormal, nullptr);
  if (file == platform::InvalidHandleValue()) return false;
  platform::CloseHandle(file);
  return true;
}

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  const char* how = argc == 5 ? argv[4] : "sole";
  platform::DWORD access = platform::kGenericRead;
  platform::DWORD share = 0;
  bool watch = false;
  if (std::strcmp(how, "attributes") == 0) {
    access = platform::kFileReadAttributes;
    share = platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete;
  } else if (std::strcmp(how, "new") == 0) {
    share = platform::kFileShareRead | platform::kFileShareWrite;
    watch = true;
  }
  platform::HANDLE target = platform::InvalidHandleValue();
  if (watch) {
    target = platform::CreateFileA(
        "uo.cfg", platform::kFileReadAttributes,
        platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete, nullptr,
        platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
    Touch((std::string(argv[2]) + ".watching").c_str());
  }
  // Watched for a minute, without a pause: the file may be there only while
  // it is written. A count of tries would not do: a failed open takes a
  // microsecond on one system and fifty on another.
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  platform::HANDLE held = platform::InvalidHandleValue();
  do {
    held = platform::CreateFileA(argv[1], access, share, nullptr, platform::kOpenExisting,
                                 platform::kFileAttributeNormal, nullptr);
  } while (watch && held == platform::InvalidHandleValue() &&
           std::chrono::steady_clock::now() < until);
  if (target != platform::InvalidHandleValue()) platform::CloseHandle(target);
  if (held == platform::InvalidHandleValue() || !Touch(argv[2])) return 1;
  platform::Sleep(static_cast<platform::DWORD>(std::atoi(argv[3])));
  platform::CloseHandle(held);
  return 0;
}
