#include "windows-check/places.h"

#include <windows.h>

#include "windows-check/files.h"

namespace tidemark::check {

std::string Variable(const char* name) {
  char value[MAX_PATH * 2] = {};
  const DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string Self() {
  char path[MAX_PATH * 2] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

std::string CheckFolder() { return FolderOf(Self()); }
std::string Scratch() { return CheckFolder() + "tidemark-check-scratch"; }
std::string LeftoversRecord() { return CheckFolder() + "tidemark-check-leftovers.txt"; }
std::string ReportFile() { return CheckFolder() + "tidemark-check-report.txt"; }
std::string ProgramFilesRoot() { return Variable("ProgramFiles") + "\\TidemarkCheck"; }

// In the folder under Program Files, which the first elevated copy made and
// holds until the end: the second may run as another account (a standard
// user's prompt asks for an administrator's), which may not write beside
// the check.
std::string FolderWithoutFile() { return ProgramFilesRoot() + "\\no-folder.txt"; }

std::string VirtualStoreOf(const std::string& path) {
  return Variable("LOCALAPPDATA") + "\\VirtualStore\\" + path.substr(3);
}

}  // namespace tidemark::check
