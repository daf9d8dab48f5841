#include "windows-check/files.h"

#include <windows.h>

namespace tidemark::check {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::optional<std::string> ReadAll(const std::string& path) {
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string text;
  char buffer[4096];
  DWORD count = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &count, nullptr) != 0 && count > 0) {
    text.append(buffer, count);
  }
  ::CloseHandle(file);
  return text;
}

bool WriteAll(const std::string& path, std::string_view text) {
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool wrote =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
      ::FlushFileBuffers(file) != 0;
  ::CloseHandle(file);
  return wrote && written == text.size();
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> FileId(const std::string& path) {
  const HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = ::GetFileInformationByHandle(file, &information) != 0;
  ::CloseHandle(file);
  if (!known) return std::nullopt;
  return std::to_string(information.dwVolumeSerialNumber) + ":" +
         std::to_string(information.nFileIndexHigh) + ":" +
         std::to_string(information.nFileIndexLow);
}

bool CopyAs(const std::string& from, const std::string& to) {
  if (::CopyFileA(from.c_str(), to.c_str(), TRUE) == 0) return false;
  ::DeleteFileA((to + ":Zone.Identifier").c_str());
  return true;
}

bool MakeFolders(const std::string& path) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0 || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found{};
  const HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string inside = path + "\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(inside);
      } else {
        ::SetFileAttributesA(inside.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(inside.c_str());
      }
    } while (::FindNextFileA(search, &found) != 0);
    ::FindClose(search);
  }
  ::RemoveDirectoryA(path.c_str());
  return !Exists(path);
}

bool EnterFolder(const std::string& path) { return ::SetCurrentDirectoryA(path.c_str()) != 0; }

std::string CurrentFolder() {
  char folder[MAX_PATH * 2] = {};
  const DWORD count = ::GetCurrentDirectoryA(sizeof folder, folder);
  return count > 0 && count < sizeof folder ? std::string(folder, count) : std::string();
}

void* FunctionOf(const char* dll, const char* name) {
  HMODULE module = ::GetModuleHandleA(dll);
  if (module == nullptr) module = ::LoadLibraryA(dll);
  return module == nullptr ? nullptr : reinterpret_cast<void*>(::GetProcAddress(module, name));
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\') + 1); }

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& byte : lower) {
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte + 32);
  }
  return lower;
}

bool Within(std::string_view path, std::string_view folder) {
  while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
  if (path.size() < folder.size() || Lower(path.substr(0, folder.size())) != Lower(folder)) {
    return false;
  }
  return path.size() == folder.size() || path[folder.size()] == '\\';
}

}  // namespace tidemark::check
