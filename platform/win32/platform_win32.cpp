// Forwards the platform table to the real Win32 calls. Only type adaptation
// happens here; every answer is passed up unchanged.
#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace tidemark::platform {

static_assert(sizeof(WIN32_FIND_DATAA) == sizeof(::WIN32_FIND_DATAA));
static_assert(sizeof(CPINFO) == sizeof(::CPINFO));
static_assert(sizeof(FILETIME) == sizeof(::FILETIME));
static_assert(sizeof(SYSTEMTIME) == sizeof(::SYSTEMTIME));

DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size) {
  return ::GetModuleFileNameA(static_cast<::HMODULE>(module), fileName, size);
}

const char* GetCommandLineA() { return ::GetCommandLineA(); }

HMODULE GetModuleHandleA(const char* moduleName) { return ::GetModuleHandleA(moduleName); }

HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData) {
  ::WIN32_FIND_DATAA found{};
  ::HANDLE handle = ::FindFirstFileA(fileName, &found);
  std::memcpy(findData, &found, sizeof found);
  return handle;
}

BOOL FindClose(HANDLE findFile) { return ::FindClose(findFile); }

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime) {
  return ::FileTimeToLocalFileTime(reinterpret_cast<const ::FILETIME*>(fileTime),
                                   reinterpret_cast<::FILETIME*>(localFileTime));
}

BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime) {
  return ::FileTimeToDosDateTime(reinterpret_cast<const ::FILETIME*>(fileTime), fatDate, fatTime);
}

DWORD GetFileAttributesA(const char* fileName) { return ::GetFileAttributesA(fileName); }

BOOL CreateDirectoryA(const char* pathName, void* securityAttributes) {
  return ::CreateDirectoryA(pathName, static_cast<::LPSECURITY_ATTRIBUTES>(securityAttributes));
}

DWORD GetLastError() { return ::GetLastError(); }

void SetLastError(DWORD errorCode) { ::SetLastError(errorCode); }

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

BOOL GetCPInfo(UINT codePage, CPINFO* cpInfo) {
  return ::GetCPInfo(codePage, reinterpret_cast<::CPINFO*>(cpInfo));
}

LCID GetSystemDefaultLCID() { return ::GetSystemDefaultLCID(); }

LANGID GetSystemDefaultLangID() { return ::GetSystemDefaultLangID(); }

void GetLocalTime(SYSTEMTIME* systemTime) {
  ::SYSTEMTIME now{};
  ::GetLocalTime(&now);
  std::memcpy(systemTime, &now, sizeof now);
}

int GetLocaleInfoA(LCID locale, DWORD type, char* data, int size) {
  return ::GetLocaleInfoA(locale, type, data, size);
}

int GetCalendarInfoA(LCID locale, DWORD calendar, DWORD type, char* data, int size) {
  return ::GetCalendarInfoA(locale, calendar, type, data, size, nullptr);
}

int LoadStringA(HMODULE instance, UINT id, char* buffer, int bufferMax) {
  return ::LoadStringA(static_cast<::HINSTANCE>(instance), id, buffer, bufferMax);
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return ::MessageBoxA(static_cast<::HWND>(owner), text, caption, type);
}

HANDLE GetCurrentProcess() { return ::GetCurrentProcess(); }

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  return ::TerminateProcess(process, exitCode);
}

}  // namespace tidemark::platform
