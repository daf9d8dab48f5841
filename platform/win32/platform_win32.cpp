// Forwards the platform table to the real Win32 calls. Only type adaptation
// happens here; every answer is passed up unchanged.
#include <windows.h>
// The shell's structure only, to check the layout of ours; shell32 itself
// is loaded at run time where it is needed.
#include <shellapi.h>
// The security descriptor's text form (advapi32).
#include <sddl.h>

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "platform/platform.h"

namespace tidemark::platform {

static_assert(sizeof(WIN32_FIND_DATAA) == sizeof(::WIN32_FIND_DATAA));
static_assert(sizeof(CPINFO) == sizeof(::CPINFO));
static_assert(sizeof(FILETIME) == sizeof(::FILETIME));
static_assert(sizeof(SYSTEMTIME) == sizeof(::SYSTEMTIME));
static_assert(sizeof(STARTUPINFOA) == sizeof(::STARTUPINFOA));
static_assert(sizeof(BY_HANDLE_FILE_INFORMATION) == sizeof(::BY_HANDLE_FILE_INFORMATION));
static_assert(sizeof(SHELLEXECUTEINFOA) == sizeof(::SHELLEXECUTEINFOA));
static_assert(offsetof(SHELLEXECUTEINFOA, hProcess) == offsetof(::SHELLEXECUTEINFOA, hProcess));
static_assert(sizeof(TOKEN_ELEVATION) == sizeof(::TOKEN_ELEVATION));
static_assert(kTokenElevation == ::TokenElevation);
static_assert(kTokenVirtualizationEnabled == ::TokenVirtualizationEnabled);
static_assert(kCreateSuspended == CREATE_SUSPENDED);
static_assert(sizeof(PROCESS_INFORMATION) == sizeof(::PROCESS_INFORMATION));
static_assert(offsetof(PROCESS_INFORMATION, hThread) == offsetof(::PROCESS_INFORMATION, hThread));
static_assert(offsetof(SHELLEXECUTEINFOA, nShow) == offsetof(::SHELLEXECUTEINFOA, nShow));
// The functions found by name are called with the system's convention.
static_assert(std::is_same_v<ShellExecuteExAFunction, BOOL(WINAPI*)(SHELLEXECUTEINFOA*)>);
static_assert(std::is_same_v<CoInitializeExFunction, LONG(WINAPI*)(void*, DWORD)>);
static_assert(std::is_same_v<CoUninitializeFunction, void(WINAPI*)()>);
static_assert(sizeof(SECURITY_ATTRIBUTES) == sizeof(::SECURITY_ATTRIBUTES));
static_assert(offsetof(SECURITY_ATTRIBUTES, lpSecurityDescriptor) ==
              offsetof(::SECURITY_ATTRIBUTES, lpSecurityDescriptor));
static_assert(kSddlRevision1 == SDDL_REVISION_1);
static_assert(kSynchronize == SYNCHRONIZE && kMutexModifyState == MUTEX_MODIFY_STATE);
static_assert(kMutexAllAccess == MUTEX_ALL_ACCESS);
static_assert(kDriveRemote == DRIVE_REMOTE && kDriveFixed == DRIVE_FIXED);
static_assert(kTokenElevationType == ::TokenElevationType);
static_assert(kTokenElevationTypeDefault == ::TokenElevationTypeDefault);
static_assert(kTokenElevationTypeLimited == ::TokenElevationTypeLimited);
static_assert(kLoadLibraryAsDatafile == LOAD_LIBRARY_AS_DATAFILE);
static_assert(kKeyWow64_64Key == KEY_WOW64_64KEY);

DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size) {
  return ::GetModuleFileNameA(static_cast<::HMODULE>(module), fileName, size);
}

const char* os::GetCommandLineA() { return ::GetCommandLineA(); }

HMODULE GetModuleHandleA(const char* moduleName) { return ::GetModuleHandleA(moduleName); }

static_assert(sizeof(WCHAR) == sizeof(wchar_t));

int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wideText, int wideCount,
                        char* multiByteText, int multiByteCount, const char* defaultChar,
                        BOOL* usedDefaultChar) {
  ::BOOL used = FALSE;
  const int count = ::WideCharToMultiByte(
      codePage, flags, reinterpret_cast<const wchar_t*>(wideText), wideCount, multiByteText,
      multiByteCount, defaultChar, usedDefaultChar != nullptr ? &used : nullptr);
  if (usedDefaultChar != nullptr) *usedDefaultChar = used;
  return count;
}

DWORD os::GetModuleFileNameW(HMODULE module, WCHAR* fileName, DWORD size) {
  return ::GetModuleFileNameW(static_cast<::HMODULE>(module), reinterpret_cast<wchar_t*>(fileName),
                              size);
}

DWORD os::GetShortPathNameW(const WCHAR* longPath, WCHAR* shortPath, DWORD size) {
  return ::GetShortPathNameW(reinterpret_cast<const wchar_t*>(longPath),
                             reinterpret_cast<wchar_t*>(shortPath), size);
}

DWORD os::GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
  return ::GetLongPathNameA(shortPath, longPath, size);
}

HANDLE os::FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData) {
  ::WIN32_FIND_DATAA found{};
  ::HANDLE handle = ::FindFirstFileA(fileName, &found);
  std::memcpy(findData, &found, sizeof found);
  return handle;
}

BOOL os::FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData) {
  ::WIN32_FIND_DATAA found{};
  const BOOL next = ::FindNextFileA(findFile, &found);
  std::memcpy(findData, &found, sizeof found);
  return next;
}

BOOL os::FindClose(HANDLE findFile) { return ::FindClose(findFile); }

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime) {
  return ::FileTimeToLocalFileTime(reinterpret_cast<const ::FILETIME*>(fileTime),
                                   reinterpret_cast<::FILETIME*>(localFileTime));
}

BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime) {
  return ::FileTimeToDosDateTime(reinterpret_cast<const ::FILETIME*>(fileTime), fatDate, fatTime);
}

DWORD os::GetFileAttributesA(const char* fileName) { return ::GetFileAttributesA(fileName); }

BOOL os::CreateDirectoryA(const char* pathName, void* securityAttributes) {
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

HANDLE os::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                       void* securityAttributes, DWORD creationDisposition,
                       DWORD flagsAndAttributes, HANDLE templateFile) {
  return ::CreateFileA(fileName, desiredAccess, shareMode,
                       static_cast<::LPSECURITY_ATTRIBUTES>(securityAttributes),
                       creationDisposition, flagsAndAttributes, templateFile);
}

BOOL os::ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                  void* overlapped) {
  ::DWORD count = 0;
  const ::BOOL done =
      ::ReadFile(file, buffer, bytesToRead, &count, static_cast<::LPOVERLAPPED>(overlapped));
  *bytesRead = count;
  return done;
}

BOOL os::WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                   void* overlapped) {
  ::DWORD count = 0;
  const ::BOOL done =
      ::WriteFile(file, buffer, bytesToWrite, &count, static_cast<::LPOVERLAPPED>(overlapped));
  *bytesWritten = count;
  return done;
}

BOOL os::SetFilePointerEx(HANDLE file, std::int64_t distanceToMove, std::int64_t* newFilePointer,
                          DWORD moveMethod) {
  ::LARGE_INTEGER distance{};
  distance.QuadPart = distanceToMove;
  ::LARGE_INTEGER position{};
  const ::BOOL done = ::SetFilePointerEx(file, distance, &position, moveMethod);
  if (newFilePointer != nullptr) *newFilePointer = position.QuadPart;
  return done;
}

BOOL os::FlushFileBuffers(HANDLE file) { return ::FlushFileBuffers(file); }

BOOL os::SetEndOfFile(HANDLE file) { return ::SetEndOfFile(file); }

BOOL os::GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) {
  return ::GetFileInformationByHandle(
      file, reinterpret_cast<::LPBY_HANDLE_FILE_INFORMATION>(information));
}

BOOL os::CloseHandle(HANDLE object) { return ::CloseHandle(object); }

BOOL os::MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
  return ::MoveFileExA(existingFileName, newFileName, flags);
}

BOOL os::DeleteFileA(const char* fileName) { return ::DeleteFileA(fileName); }

void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD protect) {
  return ::VirtualAlloc(address, size, allocationType, protect);
}

BOOL VirtualFree(void* address, std::size_t size, DWORD freeType) {
  return ::VirtualFree(address, size, freeType);
}

DWORD GetCurrentProcessId() { return ::GetCurrentProcessId(); }

void os::Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

HANDLE os::CreateMutexA(void* securityAttributes, BOOL initialOwner, const char* name) {
  return ::CreateMutexA(static_cast<::LPSECURITY_ATTRIBUTES>(securityAttributes), initialOwner,
                        name);
}

HANDLE os::OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, const char* name) {
  return ::OpenMutexA(desiredAccess, inheritHandle, name);
}

DWORD os::QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD size) {
  return ::QueryDosDeviceA(deviceName, targetPath, size);
}

UINT os::GetDriveTypeA(const char* rootPathName) { return ::GetDriveTypeA(rootPathName); }

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* text, DWORD revision,
                                                          void** descriptor, DWORD* size) {
  ::PSECURITY_DESCRIPTOR made = nullptr;
  ::ULONG length = 0;
  const ::BOOL done =
      ::ConvertStringSecurityDescriptorToSecurityDescriptorA(text, revision, &made, &length);
  *descriptor = made;
  if (size != nullptr) *size = length;
  return done;
}

void* LocalFree(void* memory) { return ::LocalFree(memory); }

UINT GetSystemDirectoryA(char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); }

DWORD os::WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return ::WaitForSingleObject(object, milliseconds);
}

BOOL os::ReleaseMutex(HANDLE mutex) { return ::ReleaseMutex(mutex); }

LONG os::RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD desired, HKEY* result) {
  ::HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(static_cast<::HKEY>(key), subKey, options, desired, &opened);
  *result = opened;
  return status;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     DWORD desired, void* securityAttributes, HKEY* result, DWORD* disposition) {
  ::HKEY opened = nullptr;
  ::DWORD created = 0;
  const LONG status = ::RegCreateKeyExA(
      static_cast<::HKEY>(key), subKey, reserved, keyClass, options, desired,
      static_cast<::LPSECURITY_ATTRIBUTES>(securityAttributes), &opened, &created);
  *result = opened;
  if (disposition != nullptr) *disposition = created;
  return status;
}

LONG os::RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* dataSize) {
  ::DWORD kind = 0;
  ::DWORD size = dataSize != nullptr ? *dataSize : 0;
  const LONG status =
      ::RegQueryValueExA(static_cast<::HKEY>(key), valueName, reinterpret_cast<::LPDWORD>(reserved),
                         &kind, data, dataSize != nullptr ? &size : nullptr);
  if (type != nullptr) *type = kind;
  if (dataSize != nullptr) *dataSize = size;
  return status;
}

LONG os::RegCloseKey(HKEY key) { return ::RegCloseKey(static_cast<::HKEY>(key)); }

BOOL os::CreateProcessA(const char* applicationName, char* commandLine, void* processAttributes,
                        void* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                        void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                        PROCESS_INFORMATION* processInformation) {
  ::PROCESS_INFORMATION started{};
  const ::BOOL done = ::CreateProcessA(
      applicationName, commandLine, static_cast<::LPSECURITY_ATTRIBUTES>(processAttributes),
      static_cast<::LPSECURITY_ATTRIBUTES>(threadAttributes), inheritHandles, creationFlags,
      environment, currentDirectory, reinterpret_cast<::LPSTARTUPINFOA>(startupInfo), &started);
  std::memcpy(processInformation, &started, sizeof started);
  return done;
}

DWORD os::GetEnvironmentVariableA(const char* name, char* buffer, DWORD size) {
  return ::GetEnvironmentVariableA(name, buffer, size);
}

HMODULE os::LoadLibraryA(const char* fileName) { return ::LoadLibraryA(fileName); }

HMODULE os::LoadLibraryExA(const char* fileName, HANDLE file, DWORD flags) {
  return ::LoadLibraryExA(fileName, file, flags);
}

HANDLE os::FindResourceA(HMODULE module, const char* name, const char* type) {
  return ::FindResourceA(static_cast<::HMODULE>(module), name, type);
}

DWORD os::SizeofResource(HMODULE module, HANDLE resource) {
  return ::SizeofResource(static_cast<::HMODULE>(module), static_cast<::HRSRC>(resource));
}

HANDLE os::LoadResource(HMODULE module, HANDLE resource) {
  return ::LoadResource(static_cast<::HMODULE>(module), static_cast<::HRSRC>(resource));
}

void* LockResource(HANDLE resourceData) { return ::LockResource(resourceData); }

BOOL os::FreeLibrary(HMODULE module) { return ::FreeLibrary(static_cast<::HMODULE>(module)); }

void* os::GetProcAddress(HMODULE module, const char* procName) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<::HMODULE>(module), procName));
}

BOOL os::OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
  ::HANDLE opened = nullptr;
  const ::BOOL done = ::OpenProcessToken(process, desiredAccess, &opened);
  *token = opened;
  return done;
}

BOOL os::GetTokenInformation(HANDLE token, DWORD informationClass, void* information, DWORD length,
                             DWORD* returnLength) {
  ::DWORD needed = 0;
  const ::BOOL done =
      ::GetTokenInformation(token, static_cast<::TOKEN_INFORMATION_CLASS>(informationClass),
                            information, length, &needed);
  if (returnLength != nullptr) *returnLength = needed;
  return done;
}

DWORD os::GetCurrentDirectoryA(DWORD size, char* buffer) {
  return ::GetCurrentDirectoryA(size, buffer);
}

DWORD os::GetCurrentDirectoryW(DWORD size, WCHAR* buffer) {
  return ::GetCurrentDirectoryW(size, reinterpret_cast<wchar_t*>(buffer));
}

void os::GetLocalTime(SYSTEMTIME* systemTime) {
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

int os::MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return ::MessageBoxA(static_cast<::HWND>(owner), text, caption, type);
}

HANDLE GetCurrentProcess() { return ::GetCurrentProcess(); }

void GetStartupInfoA(STARTUPINFOA* startupInfo) {
  ::GetStartupInfoA(reinterpret_cast<::LPSTARTUPINFOA>(startupInfo));
}

BOOL os::TerminateProcess(HANDLE process, UINT exitCode) {
  return ::TerminateProcess(process, exitCode);
}

}  // namespace tidemark::platform
