// The simulated calls of platform.h that no other file here answers: the
// module and command line, paths and finding files, code page, times and the
// message box, as model.h states them.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/simulated/account_control.h"
#include "platform/simulated/host_path.h"

namespace tidemark::platform {

namespace {

thread_local DWORD lastError = 0;

constexpr std::int64_t kTicksPerSecond = 10'000'000;  // FILETIME counts 100 ns.
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

std::int64_t TicksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
}

FILETIME FileTimeOf(std::int64_t ticks) {
  auto bits = static_cast<std::uint64_t>(ticks);
  return FILETIME{static_cast<DWORD>(bits & 0xFFFFFFFFu), static_cast<DWORD>(bits >> 32)};
}

FILETIME FileTimeOf(const timespec& time) {
  return FileTimeOf((time.tv_sec + kSecondsFrom1601To1970) * kTicksPerSecond + time.tv_nsec / 100);
}

void FillFindData(const struct stat& status, const std::string& name, WIN32_FIND_DATAA* data) {
  *data = WIN32_FIND_DATAA{};
  data->dwFileAttributes = simulated::AttributesOf(status);
  data->ftCreationTime = FileTimeOf(status.st_ctim);
  data->ftLastAccessTime = FileTimeOf(status.st_atim);
  data->ftLastWriteTime = FileTimeOf(status.st_mtim);
  auto size = static_cast<std::uint64_t>(status.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  std::snprintf(data->cFileName, sizeof data->cFileName, "%s", name.c_str());
}

// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's algorithm).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0));
}

std::string BuildCommandLine() {
  std::ifstream source("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
  std::string line;
  std::size_t start = 0;
  bool first = true;
  while (start < raw.size()) {
    std::size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    std::string argument = raw.substr(start, end - start);
    // The Windows form: the program name always in quotes, an argument only
    // when it is empty or holds a blank or a tab.
    bool quote = first || argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    if (!first) line += ' ';
    line += quote ? '"' + argument + '"' : argument;
    first = false;
    start = end + 1;
  }
  return line;
}

// A search's entries after the one already given, listed when it began.
struct FindHandle {
  std::vector<WIN32_FIND_DATAA> rest;
};

}  // namespace

DWORD GetModuleFileNameA(HMODULE, char* fileName, DWORD size) {
  std::string target(4096, '\0');
  for (;;) {
    ssize_t count = readlink("/proc/self/exe", target.data(), target.size());
    if (count < 0) {
      lastError = simulated::Win32ErrorOf(errno);
      return 0;
    }
    if (static_cast<std::size_t>(count) < target.size()) {
      target.resize(static_cast<std::size_t>(count));
      break;
    }
    target.resize(target.size() * 2);
  }
  const std::string path = simulated::StartedThrough(simulated::WindowsPathOf(target));
  if (size == 0) return 0;
  // As Windows does: a path that does not fit is cut to size - 1 bytes and a
  // zero, and the answer is the full size.
  if (path.size() >= size) {
    std::memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = '\0';
    lastError = 122;  // ERROR_INSUFFICIENT_BUFFER
    return size;
  }
  std::memcpy(fileName, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

int WideCharToMultiByte(UINT, DWORD, const WCHAR* wideText, int wideCount, char* multiByteText,
                        int multiByteCount, const char* defaultChar, BOOL* usedDefaultChar) {
  const std::size_t units = wideCount >= 0
                                ? static_cast<std::size_t>(wideCount)
                                : std::char_traits<WCHAR>::length(wideText) + 1;  // with its zero
  if (usedDefaultChar != nullptr) *usedDefaultChar = 0;
  if (multiByteCount == 0) return static_cast<int>(units);
  if (static_cast<std::size_t>(multiByteCount) < units) {
    lastError = 122;  // ERROR_INSUFFICIENT_BUFFER
    return 0;
  }
  for (std::size_t i = 0; i < units; ++i) {
    if (wideText[i] < 0x100) {
      multiByteText[i] = static_cast<char>(wideText[i]);
    } else {
      multiByteText[i] = defaultChar != nullptr ? *defaultChar : '?';
      if (usedDefaultChar != nullptr) *usedDefaultChar = 1;
    }
  }
  return static_cast<int>(units);
}

DWORD os::GetModuleFileNameW(HMODULE module, WCHAR* fileName, DWORD size) {
  if (size == 0) return 0;
  std::string path(size, '\0');
  const DWORD count = GetModuleFileNameA(module, path.data(), size);
  // The bytes as they are, the zero included; a cut path is cut the same.
  for (DWORD i = 0; i < std::min(count + 1, size); ++i) {
    fileName[i] = static_cast<unsigned char>(path[i]);
  }
  return count;
}

DWORD os::GetShortPathNameW(const WCHAR* longPath, WCHAR* shortPath, DWORD size) {
  const std::size_t length = std::char_traits<WCHAR>::length(longPath);
  std::string narrow(length + 1, '\0');
  BOOL lost = 0;
  WideCharToMultiByte(kCpAcp, 0, longPath, -1, narrow.data(), static_cast<int>(narrow.size()),
                      nullptr, &lost);
  if (lost != 0) {
    lastError = kErrorFileNotFound;  // no host name holds such a unit
    return 0;
  }
  if (os::GetFileAttributesA(narrow.c_str()) == kInvalidFileAttributes) return 0;
  if (size <= length) return static_cast<DWORD>(length + 1);
  std::copy(longPath, longPath + length + 1, shortPath);
  return static_cast<DWORD>(length);
}

DWORD os::GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
  if (os::GetFileAttributesA(shortPath) == kInvalidFileAttributes) return 0;
  const std::size_t length = std::strlen(shortPath);
  if (longPath == nullptr || size <= length) return static_cast<DWORD>(length + 1);
  std::memmove(longPath, shortPath, length + 1);  // the one buffer may be both
  return static_cast<DWORD>(length);
}

DWORD os::GetCurrentDirectoryA(DWORD size, char* buffer) {
  std::string folder(4096, '\0');
  while (getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) {
      lastError = simulated::Win32ErrorOf(errno);
      return 0;
    }
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  const std::string path = simulated::WindowsPathOf(folder);
  // As Windows answers: the size needed, its zero included, when it does not fit.
  if (buffer == nullptr || path.size() >= size) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

DWORD os::GetCurrentDirectoryW(DWORD size, WCHAR* buffer) {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return 0;
  std::string path(needed, '\0');
  GetCurrentDirectoryA(needed, path.data());
  if (buffer == nullptr || needed > size) return needed;
  // The bytes as they are, as the stand-in's other wide calls give them.
  for (DWORD i = 0; i < needed; ++i) buffer[i] = static_cast<unsigned char>(path[i]);
  return needed - 1;
}

const char* os::GetCommandLineA() {
  static const std::string line = BuildCommandLine();
  return line.c_str();
}

HMODULE GetModuleHandleA(const char*) {
  static int module = 0;
  return &module;
}

HANDLE os::FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData) {
  DWORD error = 0;
  auto path = simulated::HostPathOf(fileName, true, error);
  if (!path) {
    lastError = error;
    return InvalidHandleValue();
  }
  *path = simulated::Virtualized(*path, simulated::Reach::Read);
  if (path->ends_with('/')) {
    lastError = kErrorFileNotFound;  // A search names an entry, never a folder's inside.
    return InvalidHandleValue();
  }
  std::size_t cut = path->find_last_of('/');
  std::string folder = cut == std::string::npos ? "./" : path->substr(0, cut + 1);
  std::string name = cut == std::string::npos ? *path : path->substr(cut + 1);
  if (folder.find_first_of("*?") != std::string::npos) {
    lastError = kErrorInvalidName;
    return InvalidHandleValue();
  }

  struct stat status {};
  if (name.find_first_of("*?") == std::string::npos) {
    // Still listed while it waits to be deleted, unless its holders are all gone.
    simulated::WaitsToBeDeleted(*path);
    if (stat(path->c_str(), &status) != 0) {
      lastError = simulated::Win32ErrorOf(errno);
      return InvalidHandleValue();
    }
    FillFindData(status, name, findData);
    return new FindHandle;
  }
  // A pattern in the last component: the matching entries, as the folder lists them.
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) {
    lastError = simulated::Win32ErrorOf(errno);
    return InvalidHandleValue();
  }
  auto* search = new FindHandle;
  for (dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
    if (fnmatch(name.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
    if (stat((folder + entry->d_name).c_str(), &status) != 0) continue;
    FillFindData(status, entry->d_name, &search->rest.emplace_back());
  }
  closedir(listing);
  if (search->rest.empty()) {
    delete search;
    lastError = kErrorFileNotFound;
    return InvalidHandleValue();
  }
  *findData = search->rest.front();
  search->rest.erase(search->rest.begin());
  return search;
}

BOOL os::FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData) {
  auto* search = static_cast<FindHandle*>(findFile);
  if (search->rest.empty()) {
    lastError = kErrorNoMoreFiles;
    return 0;
  }
  *findData = search->rest.front();
  search->rest.erase(search->rest.begin());
  return 1;
}

BOOL os::FindClose(HANDLE findFile) {
  if (findFile == nullptr || findFile == InvalidHandleValue()) return 0;
  delete static_cast<FindHandle*>(findFile);
  return 1;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime) {
  const std::int64_t ticks = TicksOf(*fileTime);
  const time_t seconds = static_cast<time_t>(ticks / kTicksPerSecond - kSecondsFrom1601To1970);
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return 0;
  *localFileTime = FileTimeOf(ticks + static_cast<std::int64_t>(local.tm_gmtoff) * kTicksPerSecond);
  return 1;
}

BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime) {
  const std::int64_t seconds = TicksOf(*fileTime) / kTicksPerSecond - kSecondsFrom1601To1970;
  const std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const std::int64_t secondOfDay = seconds - days * 86400;
  int year = 0, month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  if (year < 1980 || year > 2107) {
    lastError = 87;  // ERROR_INVALID_PARAMETER: outside the MS-DOS range.
    return 0;
  }
  *fatDate = static_cast<WORD>(((year - 1980) << 9) | (month << 5) | day);
  *fatTime = static_cast<WORD>(((secondOfDay / 3600) << 11) | (((secondOfDay / 60) % 60) << 5) |
                               ((secondOfDay % 60) / 2));
  return 1;
}

DWORD os::GetFileAttributesA(const char* fileName) {
  DWORD error = 0;
  auto path = simulated::FilePathOf(fileName, simulated::Reach::Read, error);
  if (!path) {
    lastError = error;
    return kInvalidFileAttributes;
  }
  // A file waiting to be deleted refuses to be asked about, as on Windows.
  if (simulated::WaitsToBeDeleted(*path)) {
    lastError = kErrorAccessDenied;
    return kInvalidFileAttributes;
  }
  struct stat status {};
  if (stat(path->c_str(), &status) != 0) {
    lastError = simulated::Win32ErrorOf(errno);
    return kInvalidFileAttributes;
  }
  // Windows answers for a symbolic link itself: a reparse point.
  struct stat link {};
  const bool isLink = lstat(path->c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  return simulated::AttributesOf(status) | (isLink ? kFileAttributeReparsePoint : 0);
}

BOOL os::CreateDirectoryA(const char* pathName, void*) {
  DWORD error = 0;
  auto path = simulated::HostPathOf(pathName, false, error);
  if (!path) {
    lastError = error;
    return 0;
  }
  // A folder that exists in the real folder or in the store exists.
  struct stat status {};
  if (stat(simulated::Virtualized(*path, simulated::Reach::Read).c_str(), &status) == 0) {
    lastError = kErrorAlreadyExists;
    return 0;
  }
  if (mkdir(simulated::Virtualized(*path, simulated::Reach::Replace).c_str(), 0777) != 0) {
    lastError = errno == ENOENT ? kErrorPathNotFound : simulated::Win32ErrorOf(errno);
    return 0;
  }
  return 1;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD errorCode) { lastError = errorCode; }

int GetSystemMetrics(int) { return 0; }

BOOL GetCPInfo(UINT, CPINFO* cpInfo) {
  *cpInfo = CPINFO{};
  cpInfo->MaxCharSize = 1;
  cpInfo->DefaultChar[0] = '?';
  return 1;
}

LCID GetSystemDefaultLCID() { return 0x409; }

LANGID GetSystemDefaultLangID() { return 0x409; }

int os::MessageBoxA(HWND, const char* text, const char* caption, UINT) {
  std::fprintf(stderr, "%s: %s\n", caption == nullptr ? "Error" : caption,
               text == nullptr ? "" : text);
  std::fflush(stderr);
  return 1;  // IDOK: the box is closed at once.
}

HANDLE GetCurrentProcess() { return InvalidHandleValue(); }

// The host's environment, whose names are case-sensitive (Windows' are not).
DWORD os::GetEnvironmentVariableA(const char* name, char* buffer, DWORD size) {
  const char* value = name == nullptr ? nullptr : std::getenv(name);
  if (value == nullptr) {
    lastError = kErrorEnvvarNotFound;
    return 0;
  }
  const std::size_t length = std::strlen(value);
  if (buffer == nullptr || length >= size) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, value, length + 1);
  return static_cast<DWORD>(length);
}

}  // namespace tidemark::platform
