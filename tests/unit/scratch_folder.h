// Temporary directory for one test, made its current folder and removed after it.
// A fresh folder that a test works in. The test's current folder is moved
// into it, so files are named by relative paths, which mean the same thing to
// the host's file library and to the program's Windows-path calls.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace tidemark::testing {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Creates a file (and any missing folders) holding `content`.
  static void WriteFile(const std::string& relativePath, const std::string& content = "x");
  // Sets a file's last-write time to the given local calendar time.
  static void SetLocalWriteTime(const std::string& relativePath, int year, int month, int day,
                                int hour, int minute, int second);

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

}  // namespace tidemark::testing
