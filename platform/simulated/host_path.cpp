#include "platform/simulated/host_path.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/simulated/account_control.h"

namespace tidemark::platform::simulated {

namespace {

bool IsForbiddenByte(char byte, bool allowWildcards) {
  if (byte == '*' || byte == '?') return !allowWildcards;
  return byte == '"' || byte == '<' || byte == '>' || byte == '|';
}

}  // namespace

std::optional<std::string> HostPathOf(const char* windowsPath, bool allowWildcards, DWORD& error) {
  std::string path = windowsPath == nullptr ? "" : windowsPath;
  if (path.empty()) {
    error = kErrorPathNotFound;
    return std::nullopt;
  }
  for (char byte : path) {
    if (IsForbiddenByte(byte, allowWildcards)) {
      error = kErrorInvalidName;
      return std::nullopt;
    }
  }
  std::string_view rest = path;
  if (path.size() >= 2 && path[1] == ':') {
    if (path[0] != 'Z' && path[0] != 'z') {
      // A letter of this logon session that stands for a folder on Z: (only
      // there, so that no two letters can stand for each other).
      const std::optional<std::string> drive = SessionDrive(path[0]);
      if (drive && drive->size() >= 2 && (*drive)[1] == ':' &&
          ((*drive)[0] == 'Z' || (*drive)[0] == 'z')) {
        return HostPathOf((*drive + path.substr(2)).c_str(), allowWildcards, error);
      }
      error = kErrorPathNotFound;  // Only drive Z: is mapped.
      return std::nullopt;
    }
    rest.remove_prefix(2);
  } else if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    error = kErrorPathNotFound;  // No network shares here.
    return std::nullopt;
  }
  if (rest.empty()) return std::string(".");  // "Z:" alone is the current folder of drive Z:.
  std::string host;
  host.reserve(rest.size());
  for (char byte : rest) host += byte == '\\' ? '/' : byte;
  return host;
}

std::string WindowsPathOf(const std::string& hostPath) {
  std::string path = hostPath.starts_with('/') ? std::string("Z:") : std::string();
  for (char byte : hostPath) path += byte == '/' ? '\\' : byte;
  return path;
}

DWORD AttributesOf(const struct stat& status) {
  DWORD attributes = S_ISDIR(status.st_mode) ? kFileAttributeDirectory : 0x20;  // archive
  // A file that nobody may write is what Windows calls read-only.
  if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= kFileAttributeReadOnly;
  return attributes;
}

DWORD Win32ErrorOf(int posixError) {
  switch (posixError) {
    case 0:
      return 0;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kErrorPathNotFound;
    case EEXIST:
      return kErrorAlreadyExists;
    default:  // EACCES, EPERM, EROFS, EISDIR and whatever else refuses the call
      return kErrorAccessDenied;
  }
}

}  // namespace tidemark::platform::simulated
