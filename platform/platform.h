// The Win32 calls that the support library and the launcher make, and what
// the program relies on each to answer. Every call keeps its Win32 name,
// arguments and answers, so the core reads like the Windows program it is.
// Two implementations stand behind this header and CMake links exactly one:
//   win32/      forwards each call to the real Win32 function;
//   simulated/  a model of Windows on Linux for the tests, answering as
//               Windows does (simulated/model.h states it).
// A test may swap the calls of the CallTable below, those declared in `os`,
// which the core reaches through Calls(). Every other call goes to the
// system itself (or its model), and no test can swap it.
//
// The win32 implementation includes <windows.h> after this header; the
// constants below therefore carry names that <windows.h> does not define as
// macros.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tidemark::platform {

using BOOL = std::int32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LCID = std::uint32_t;
using LANGID = std::uint16_t;
using HANDLE = void*;
using HMODULE = void*;
using HWND = void*;
using HKEY = void*;
using LONG = std::int32_t;
using WCHAR = char16_t;  // a UTF-16 unit, as Windows' wchar_t

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[260];
  char cAlternateFileName[14];
};

struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
};

struct STARTUPINFOA {
  DWORD cb;
  char* lpReserved;
  char* lpDesktop;
  char* lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
inline constexpr DWORD kStartfUseShowWindow = 0x1;
inline constexpr WORD kSwShow = 5;  // SW_SHOW: shown at its current size and place

// What CreateProcessA gives back: the new process and its first thread.
struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
// The first thread waits, running none of the program's code, until it is
// let go or the process is ended.
inline constexpr DWORD kCreateSuspended = 0x4;

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

struct CPINFO {
  UINT MaxCharSize;
  BYTE DefaultChar[2];
  BYTE LeadByte[12];
};

// What ShellExecuteExA is given: the shell starts a program as Explorer
// does, asking for consent where the program needs administrator rights.
struct SHELLEXECUTEINFOA {
  DWORD cbSize;
  DWORD fMask;
  HWND hwnd;
  const char* lpVerb;
  const char* lpFile;
  const char* lpParameters;
  const char* lpDirectory;
  int nShow;
  HMODULE hInstApp;
  void* lpIDList;
  const char* lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
inline constexpr DWORD kSeeMaskNoAsync = 0x100;            // done before the call returns
inline constexpr DWORD kSeeMaskFlagNoUi = 0x400;           // no error dialog of the shell's own
inline constexpr DWORD kSeeMaskNoZoneChecks = 0x00800000;  // no download-zone check
// Whether a process runs with administrator rights: its access token's
// elevation (advapi32's OpenProcessToken and GetTokenInformation).
struct TOKEN_ELEVATION {
  DWORD TokenIsElevated;
};
inline constexpr DWORD kTokenQuery = 0x0008;
inline constexpr DWORD kTokenElevation = 20;  // TOKEN_INFORMATION_CLASS
// What CreateMutexA is given: a security descriptor for a new mutex, as
// ConvertStringSecurityDescriptorToSecurityDescriptorA makes one from its
// text form (SDDL, revision 1), freed with LocalFree.
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  void* lpSecurityDescriptor;
  BOOL bInheritHandle;
};
inline constexpr DWORD kSddlRevision1 = 1;
inline constexpr UINT kDriveNoRootDir = 1;  // GetDriveTypeA: no such drive
inline constexpr UINT kDriveFixed = 3;
inline constexpr UINT kDriveRemote = 4;  // a network drive
// Access rights to a mutex: waiting for it, and "modify state".
inline constexpr DWORD kSynchronize = 0x00100000;
inline constexpr DWORD kMutexModifyState = 0x0001;
inline constexpr DWORD kMutexAllAccess = 0x001F0001;
// A DWORD, nonzero where the token's file and registry writes are
// virtualized (sent to the player's VirtualStore).
inline constexpr DWORD kTokenVirtualizationEnabled = 24;
// A DWORD (TOKEN_ELEVATION_TYPE): 1 a token with no linked one (a standard
// user's, or any where User Account Control is off), 2 an administrator's
// elevated one, 3 an administrator's filtered one.
inline constexpr DWORD kTokenElevationType = 18;
inline constexpr DWORD kTokenElevationTypeDefault = 1;
inline constexpr DWORD kTokenElevationTypeLimited = 3;
// LoadLibraryExA: the file mapped only to read its resources, none of its
// code prepared; RT_MANIFEST, and the manifest a program is started with.
inline constexpr DWORD kLoadLibraryAsDatafile = 0x2;
inline constexpr std::uintptr_t kRtManifest = 24;
inline constexpr std::uintptr_t kProcessManifestId = 1;
inline constexpr DWORD kCoinitApartmentThreaded = 0x2;
inline constexpr DWORD kCoinitDisableOle1Dde = 0x4;

// The calling convention of the system's DLL functions, for the ones found
// by name at run time: stdcall on 32-bit Windows, the only one elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define TIDEMARK_WINAPI __attribute__((stdcall))
#else
#define TIDEMARK_WINAPI
#endif
using ShellExecuteExAFunction = BOOL(TIDEMARK_WINAPI*)(SHELLEXECUTEINFOA* info);
using CoInitializeExFunction = LONG(TIDEMARK_WINAPI*)(void* reserved, DWORD concurrency);
using CoUninitializeFunction = void(TIDEMARK_WINAPI*)();
// mpr.dll's name of the network share a mapped drive letter stands for.
using WNetGetConnectionAFunction = DWORD(TIDEMARK_WINAPI*)(const char* localName, char* remoteName,
                                                           DWORD* length);

// Values of the calls' arguments and answers that the core relies on.
inline HANDLE InvalidHandleValue() {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}
inline constexpr DWORD kInvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr DWORD kFileAttributeReadOnly = 0x01;
inline constexpr DWORD kFileAttributeDirectory = 0x10;
inline constexpr DWORD kFileAttributeHidden = 0x02;
inline constexpr DWORD kFileAttributeSystem = 0x04;
inline constexpr DWORD kFileAttributeNormal = 0x80;
inline constexpr DWORD kFileAttributeReparsePoint = 0x400;  // a symbolic link or junction
inline constexpr int kSmDbcsEnabled = 42;

// CreateFileA, SetFilePointerEx and MoveFileExA arguments.
inline constexpr DWORD kGenericRead = 0x80000000u;
inline constexpr DWORD kGenericWrite = 0x40000000u;
inline constexpr DWORD kFileShareRead = 0x1;
inline constexpr DWORD kFileShareWrite = 0x2;
inline constexpr DWORD kFileShareDelete = 0x4;
// The right to remove or rename the file: asked for alone, it tells whether
// this process may replace a file at all, whatever other programs hold.
inline constexpr DWORD kDelete = 0x00010000;
// The file waits to be deleted once this handle is closed; CreateFile adds
// kDelete to the access asked for.
inline constexpr DWORD kFileFlagDeleteOnClose = 0x04000000;
// Only the attributes, for a handle opened to ask who a file or folder is.
inline constexpr DWORD kFileReadAttributes = 0x80;
// Needed to open a folder at all; lets a file through as well.
inline constexpr DWORD kFileFlagBackupSemantics = 0x02000000;
inline constexpr DWORD kCreateNew = 1;
inline constexpr DWORD kCreateAlways = 2;
inline constexpr DWORD kOpenExisting = 3;
inline constexpr DWORD kFileBegin = 0;
inline constexpr DWORD kFileCurrent = 1;
inline constexpr DWORD kFileEnd = 2;
inline constexpr DWORD kMoveFileReplaceExisting = 0x1;
inline constexpr DWORD kMoveFileWriteThrough = 0x8;
inline constexpr UINT kCpAcp = 0;
inline constexpr DWORD kWcNoBestFitChars = 0x400;  // no "e" for "é": what is lost shows

// VirtualAlloc and VirtualFree arguments.
inline constexpr DWORD kMemCommit = 0x1000;
inline constexpr DWORD kMemReserve = 0x2000;
inline constexpr DWORD kMemRelease = 0x8000;
inline constexpr DWORD kPageNoAccess = 0x01;
inline constexpr DWORD kPageReadWrite = 0x04;

// GetLocaleInfoA and GetCalendarInfoA queries.
inline constexpr DWORD kLocaleDayName1 = 0x2A;          // Monday; 0x30 is Sunday
inline constexpr DWORD kLocaleAbbrevDayName1 = 0x31;    // Monday; 0x37 is Sunday
inline constexpr DWORD kLocaleMonthName1 = 0x38;        // January, up to 0x43
inline constexpr DWORD kLocaleAbbrevMonthName1 = 0x44;  // January, up to 0x4F
inline constexpr DWORD kLocaleDateSeparator = 0x1D;
inline constexpr DWORD kLocaleTimeSeparator = 0x1E;
inline constexpr DWORD kLocaleShortDate = 0x1F;
inline constexpr DWORD kLocaleLongDate = 0x20;
inline constexpr DWORD kLocaleMorning = 0x28;    // LOCALE_S1159
inline constexpr DWORD kLocaleAfternoon = 0x29;  // LOCALE_S2359
inline constexpr DWORD kLocaleShortTime = 0x79;
inline constexpr DWORD kLocaleTimeFormat = 0x1003;
inline constexpr DWORD kCalendarGregorian = 1;
inline constexpr DWORD kCalendarEraString = 0x04;  // CAL_SERASTRING

// Registry roots and access rights.
inline HKEY HKeyCurrentUser() {
  return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(std::int32_t(0x80000001u)));
}
inline HKEY HKeyLocalMachine() {
  return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(std::int32_t(0x80000002u)));
}
inline constexpr DWORD kKeyAllAccess = 0xF003F;
inline constexpr DWORD kKeyRead = 0x20019;
// The 32-bit registry view, whatever the program's own width: a no-op for a
// 32-bit program, and what makes a 64-bit build read what the 32-bit one does.
inline constexpr DWORD kKeyWow64_32Key = 0x0200;
// The 64-bit view, from a 32-bit program too; 32-bit Windows ignores it.
inline constexpr DWORD kKeyWow64_64Key = 0x0100;
inline constexpr DWORD kRegNone = 0;
inline constexpr DWORD kRegSz = 1;
inline constexpr DWORD kRegExpandSz = 2;
inline constexpr DWORD kRegBinary = 3;
inline constexpr DWORD kRegDword = 4;
inline constexpr DWORD kRegLink = 6;
inline constexpr DWORD kRegMultiSz = 7;

// Win32 error codes that the core inspects or the simulated calls answer.
inline constexpr DWORD kErrorFileNotFound = 2;
inline constexpr DWORD kErrorPathNotFound = 3;
inline constexpr DWORD kErrorAccessDenied = 5;
inline constexpr DWORD kErrorSharingViolation = 32;
inline constexpr DWORD kErrorLockViolation = 33;
inline constexpr DWORD kErrorFileExists = 80;
inline constexpr DWORD kErrorNoMoreFiles = 18;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorHandleDiskFull = 39;
inline constexpr DWORD kErrorFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
inline constexpr DWORD kErrorInvalidName = 123;
inline constexpr DWORD kErrorAlreadyExists = 183;
inline constexpr DWORD kErrorMoreData = 234;
inline constexpr DWORD kErrorEnvvarNotFound = 203;
inline constexpr DWORD kErrorModNotFound = 126;
inline constexpr DWORD kErrorProcNotFound = 127;
inline constexpr DWORD kErrorElevationRequired = 740;
inline constexpr DWORD kErrorCancelled = 1223;  // the user said no
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorBadDevice = 1200;
inline constexpr DWORD kErrorNotConnected = 2250;  // no network share behind the letter

// WaitForSingleObject's answers: the object is this thread's now (an
// abandoned mutex: its owner ended without releasing it, and it is this
// thread's all the same), the time ran out, or the wait failed.
inline constexpr DWORD kWaitObject0 = 0;
inline constexpr DWORD kWaitAbandoned = 0x80;
inline constexpr DWORD kWaitTimeout = 0x102;
inline constexpr DWORD kWaitFailed = 0xFFFFFFFFu;

// The calls that go to the system itself: no test can swap these.

// Command line and module (kernel32).
DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);
HMODULE GetModuleHandleA(const char* moduleName);
// UTF-16 to the ANSI code page (kernel32): a character the code page lacks
// is lost (the default character, and `usedDefaultChar` set).
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wideText, int wideCount,
                        char* multiByteText, int multiByteCount, const char* defaultChar,
                        BOOL* usedDefaultChar);

// File times and the last error (kernel32).
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime);
BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime);
DWORD GetLastError();
void SetLastError(DWORD errorCode);

// Code page and locale facts (kernel32, user32).
int GetSystemMetrics(int index);
BOOL GetCPInfo(UINT codePage, CPINFO* cpInfo);
LCID GetSystemDefaultLCID();
LANGID GetSystemDefaultLangID();

// Memory in large regions (kernel32), for the chunks that a file's lines are
// carved from: reserved as address space, then committed where it is used.
void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD protect);
BOOL VirtualFree(void* address, std::size_t size, DWORD freeType);

// Process (kernel32).
DWORD GetCurrentProcessId();

// The registry (advapi32; opening and reading are in the table below).
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     DWORD desired, void* securityAttributes, HKEY* result, DWORD* disposition);

// Locale and the program's string table (kernel32, user32).
int GetLocaleInfoA(LCID locale, DWORD type, char* data, int size);
int GetCalendarInfoA(LCID locale, DWORD calendar, DWORD type, char* data, int size);
int LoadStringA(HMODULE instance, UINT id, char* buffer, int bufferMax);

// A security descriptor from its text form (advapi32), and freeing what
// the system allocated for it (kernel32).
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* text, DWORD revision,
                                                          void** descriptor, DWORD* size);
void* LocalFree(void* memory);

// The system's folder, where its DLLs are (kernel32).
UINT GetSystemDirectoryA(char* buffer, UINT size);

// Process (kernel32). The startup information's show state is the one the
// starting program asked for.
HANDLE GetCurrentProcess();
void GetStartupInfoA(STARTUPINFOA* startupInfo);

// The bytes of a resource that LoadResource gave (kernel32).
void* LockResource(HANDLE resourceData);

// The calls that tests may stand between the core and the system, as SQLite
// tests its I/O through its VFS: the file system, the registry reads, the
// clock and pauses, the turn-taking mutex and program starts. `os` holds the system's own (from
// win32/ or simulated/); the core calls them through the table that Calls() returns, which
// holds exactly those unless a test has put others in for a while.
namespace os {
// The module path in UTF-16, and a path's short (8.3) form, whose names are
// ASCII wherever the volume keeps short names (kernel32).
DWORD GetModuleFileNameW(HMODULE module, WCHAR* fileName, DWORD size);
DWORD GetShortPathNameW(const WCHAR* longPath, WCHAR* shortPath, DWORD size);
// A path's long form, each short (8.3) name in it replaced by the long one
// (kernel32); the path as given where it has none.
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size);
// File-system queries.
HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData);
// The next entry of a search; 0 with ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData);
BOOL FindClose(HANDLE findFile);
DWORD GetFileAttributesA(const char* fileName);
BOOL CreateDirectoryA(const char* pathName, void* securityAttributes);
// Files. Windows' sharing rule holds across processes: each open's access
// against every other open's share mode, deleting included, a folder's opens
// too. A file removed while open waits to be deleted until its last handle
// goes (refused to every open and attribute query, still listed); DeleteFileA
// keeps its name until then before Windows 10 1903 and off NTFS, where NTFS
// there removes the name at once (delete-on-close keeps the older way). A
// read-only file is refused for writing and replacing, also to an
// administrator. A replace of a symbolic link replaces the link itself, which
// reports as a reparse point. SetEndOfFile reserves the room when it grows a
// file. A folder opens only with kFileFlagBackupSemantics; its
// GetFileInformationByHandle, as a file's, gives the volume's serial number
// and the file index.
HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               void* overlapped);
BOOL SetFilePointerEx(HANDLE file, std::int64_t distanceToMove, std::int64_t* newFilePointer,
                      DWORD moveMethod);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE object);
BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags);
BOOL DeleteFileA(const char* fileName);
BOOL SetEndOfFile(HANDLE file);
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* information);
// The registry's reads.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD desired, HKEY* result);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegCloseKey(HKEY key);
// Starting a program, suspended where asked, and ending a process (this
// one, or one it started).
BOOL CreateProcessA(const char* applicationName, char* commandLine, void* processAttributes,
                    void* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation);
BOOL TerminateProcess(HANDLE process, UINT exitCode);
// An environment variable's value (kernel32): the bytes copied, or the
// size needed (its zero included) where it does not fit; 0 where unset.
DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size);
// A system DLL by its plain name, and a function of it by name (kernel32):
// for calls made only on a rare path, whose DLL is then not imported.
HMODULE LoadLibraryA(const char* fileName);
void* GetProcAddress(HMODULE module, const char* procName);
// The process's own access token and what it holds (advapi32), for whether
// it runs elevated; and its current folder (kernel32).
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token);
BOOL GetTokenInformation(HANDLE token, DWORD informationClass, void* information, DWORD length,
                         DWORD* returnLength);
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);
DWORD GetCurrentDirectoryW(DWORD size, WCHAR* buffer);
// The command line this process was started with (kernel32).
const char* GetCommandLineA();
// A program file mapped to read its resources (kernel32), with
// kLoadLibraryAsDatafile: its manifest, found as a resource by number; a
// file that is no Windows image fails with ERROR_BAD_EXE_FORMAT.
HMODULE LoadLibraryExA(const char* fileName, HANDLE file, DWORD flags);
HANDLE FindResourceA(HMODULE module, const char* name, const char* type);
DWORD SizeofResource(HMODULE module, HANDLE resource);
HANDLE LoadResource(HMODULE module, HANDLE resource);
BOOL FreeLibrary(HMODULE module);
// The clock, and pausing.
void GetLocalTime(SYSTEMTIME* systemTime);
void Sleep(DWORD milliseconds);
// What a drive letter stands for (kernel32): a subst letter answers
// "\??\" and the folder.
DWORD QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD size);
// What kind of drive a root ("X:\\") is: kDriveRemote for a network drive.
UINT GetDriveTypeA(const char* rootPathName);
// A named mutex: copies of the program take turns through it. Windows
// abandons the mutex of a process that ends, however it ends.
HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, const char* name);
HANDLE OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, const char* name);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL ReleaseMutex(HANDLE mutex);
// A message box (user32).
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
}  // namespace os

struct CallTable {
  decltype(&os::GetModuleFileNameW) GetModuleFileNameW = &os::GetModuleFileNameW;
  decltype(&os::GetShortPathNameW) GetShortPathNameW = &os::GetShortPathNameW;
  decltype(&os::GetLongPathNameA) GetLongPathNameA = &os::GetLongPathNameA;
  decltype(&os::FindFirstFileA) FindFirstFileA = &os::FindFirstFileA;
  decltype(&os::FindNextFileA) FindNextFileA = &os::FindNextFileA;
  decltype(&os::FindClose) FindClose = &os::FindClose;
  decltype(&os::GetFileAttributesA) GetFileAttributesA = &os::GetFileAttributesA;
  decltype(&os::CreateDirectoryA) CreateDirectoryA = &os::CreateDirectoryA;
  decltype(&os::CreateFileA) CreateFileA = &os::CreateFileA;
  decltype(&os::ReadFile) ReadFile = &os::ReadFile;
  decltype(&os::WriteFile) WriteFile = &os::WriteFile;
  decltype(&os::SetFilePointerEx) SetFilePointerEx = &os::SetFilePointerEx;
  decltype(&os::SetEndOfFile) SetEndOfFile = &os::SetEndOfFile;
  decltype(&os::FlushFileBuffers) FlushFileBuffers = &os::FlushFileBuffers;
  decltype(&os::GetFileInformationByHandle) GetFileInformationByHandle =
      &os::GetFileInformationByHandle;
  decltype(&os::CloseHandle) CloseHandle = &os::CloseHandle;
  decltype(&os::MoveFileExA) MoveFileExA = &os::MoveFileExA;
  decltype(&os::DeleteFileA) DeleteFileA = &os::DeleteFileA;
  decltype(&os::RegOpenKeyExA) RegOpenKeyExA = &os::RegOpenKeyExA;
  decltype(&os::RegQueryValueExA) RegQueryValueExA = &os::RegQueryValueExA;
  decltype(&os::RegCloseKey) RegCloseKey = &os::RegCloseKey;
  decltype(&os::CreateProcessA) CreateProcessA = &os::CreateProcessA;
  decltype(&os::TerminateProcess) TerminateProcess = &os::TerminateProcess;
  decltype(&os::GetEnvironmentVariableA) GetEnvironmentVariableA = &os::GetEnvironmentVariableA;
  decltype(&os::LoadLibraryA) LoadLibraryA = &os::LoadLibraryA;
  decltype(&os::GetProcAddress) GetProcAddress = &os::GetProcAddress;
  decltype(&os::OpenProcessToken) OpenProcessToken = &os::OpenProcessToken;
  decltype(&os::GetTokenInformation) GetTokenInformation = &os::GetTokenInformation;
  decltype(&os::GetCurrentDirectoryA) GetCurrentDirectoryA = &os::GetCurrentDirectoryA;
  decltype(&os::GetCurrentDirectoryW) GetCurrentDirectoryW = &os::GetCurrentDirectoryW;
  decltype(&os::GetLocalTime) GetLocalTime = &os::GetLocalTime;
  decltype(&os::Sleep) Sleep = &os::Sleep;
  decltype(&os::CreateMutexA) CreateMutexA = &os::CreateMutexA;
  decltype(&os::OpenMutexA) OpenMutexA = &os::OpenMutexA;
  decltype(&os::WaitForSingleObject) WaitForSingleObject = &os::WaitForSingleObject;
  decltype(&os::ReleaseMutex) ReleaseMutex = &os::ReleaseMutex;
  decltype(&os::MessageBoxA) MessageBoxA = &os::MessageBoxA;
  decltype(&os::QueryDosDeviceA) QueryDosDeviceA = &os::QueryDosDeviceA;
  decltype(&os::GetDriveTypeA) GetDriveTypeA = &os::GetDriveTypeA;
  decltype(&os::GetCommandLineA) GetCommandLineA = &os::GetCommandLineA;
  decltype(&os::LoadLibraryExA) LoadLibraryExA = &os::LoadLibraryExA;
  decltype(&os::FindResourceA) FindResourceA = &os::FindResourceA;
  decltype(&os::SizeofResource) SizeofResource = &os::SizeofResource;
  decltype(&os::LoadResource) LoadResource = &os::LoadResource;
  decltype(&os::FreeLibrary) FreeLibrary = &os::FreeLibrary;
  bool operator==(const CallTable&) const = default;
};

// The table in force for the whole process.
CallTable& Calls();

inline DWORD GetModuleFileNameW(HMODULE module, WCHAR* fileName, DWORD size) {
  return Calls().GetModuleFileNameW(module, fileName, size);
}
inline DWORD GetShortPathNameW(const WCHAR* longPath, WCHAR* shortPath, DWORD size) {
  return Calls().GetShortPathNameW(longPath, shortPath, size);
}
inline DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
  return Calls().GetLongPathNameA(shortPath, longPath, size);
}
inline HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData) {
  return Calls().FindFirstFileA(fileName, findData);
}
inline BOOL FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData) {
  return Calls().FindNextFileA(findFile, findData);
}
inline BOOL FindClose(HANDLE findFile) { return Calls().FindClose(findFile); }
inline DWORD GetFileAttributesA(const char* fileName) {
  return Calls().GetFileAttributesA(fileName);
}
inline BOOL CreateDirectoryA(const char* pathName, void* securityAttributes) {
  return Calls().CreateDirectoryA(pathName, securityAttributes);
}
inline HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                          void* securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
  return Calls().CreateFileA(fileName, desiredAccess, shareMode, securityAttributes,
                             creationDisposition, flagsAndAttributes, templateFile);
}
inline BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                     void* overlapped) {
  return Calls().ReadFile(file, buffer, bytesToRead, bytesRead, overlapped);
}
inline BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                      void* overlapped) {
  return Calls().WriteFile(file, buffer, bytesToWrite, bytesWritten, overlapped);
}
inline BOOL SetFilePointerEx(HANDLE file, std::int64_t distanceToMove, std::int64_t* newFilePointer,
                             DWORD moveMethod) {
  return Calls().SetFilePointerEx(file, distanceToMove, newFilePointer, moveMethod);
}
inline BOOL SetEndOfFile(HANDLE file) { return Calls().SetEndOfFile(file); }
inline BOOL FlushFileBuffers(HANDLE file) { return Calls().FlushFileBuffers(file); }
inline BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) {
  return Calls().GetFileInformationByHandle(file, information);
}
inline BOOL CloseHandle(HANDLE object) { return Calls().CloseHandle(object); }
inline BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
  return Calls().MoveFileExA(existingFileName, newFileName, flags);
}
inline BOOL DeleteFileA(const char* fileName) { return Calls().DeleteFileA(fileName); }
inline LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD desired,
                          HKEY* result) {
  return Calls().RegOpenKeyExA(key, subKey, options, desired, result);
}
inline LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                             BYTE* data, DWORD* dataSize) {
  return Calls().RegQueryValueExA(key, valueName, reserved, type, data, dataSize);
}
inline LONG RegCloseKey(HKEY key) { return Calls().RegCloseKey(key); }
inline BOOL CreateProcessA(const char* applicationName, char* commandLine, void* processAttributes,
                           void* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                           void* environment, const char* currentDirectory,
                           STARTUPINFOA* startupInfo, PROCESS_INFORMATION* processInformation) {
  return Calls().CreateProcessA(applicationName, commandLine, processAttributes, threadAttributes,
                                inheritHandles, creationFlags, environment, currentDirectory,
                                startupInfo, processInformation);
}
inline BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  return Calls().TerminateProcess(process, exitCode);
}
inline DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size) {
  return Calls().GetEnvironmentVariableA(name, buffer, size);
}
inline HMODULE LoadLibraryA(const char* fileName) { return Calls().LoadLibraryA(fileName); }
inline void* GetProcAddress(HMODULE module, const char* procName) {
  return Calls().GetProcAddress(module, procName);
}
inline BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
  return Calls().OpenProcessToken(process, desiredAccess, token);
}
inline BOOL GetTokenInformation(HANDLE token, DWORD informationClass, void* information,
                                DWORD length, DWORD* returnLength) {
  return Calls().GetTokenInformation(token, informationClass, information, length, returnLength);
}
inline DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  return Calls().GetCurrentDirectoryA(size, buffer);
}
inline DWORD GetCurrentDirectoryW(DWORD size, WCHAR* buffer) {
  return Calls().GetCurrentDirectoryW(size, buffer);
}
inline void GetLocalTime(SYSTEMTIME* systemTime) { Calls().GetLocalTime(systemTime); }
inline void Sleep(DWORD milliseconds) { Calls().Sleep(milliseconds); }
inline HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, const char* name) {
  return Calls().CreateMutexA(securityAttributes, initialOwner, name);
}
inline HANDLE OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, const char* name) {
  return Calls().OpenMutexA(desiredAccess, inheritHandle, name);
}
inline DWORD QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD size) {
  return Calls().QueryDosDeviceA(deviceName, targetPath, size);
}
inline UINT GetDriveTypeA(const char* rootPathName) { return Calls().GetDriveTypeA(rootPathName); }
inline const char* GetCommandLineA() { return Calls().GetCommandLineA(); }
inline HMODULE LoadLibraryExA(const char* fileName, HANDLE file, DWORD flags) {
  return Calls().LoadLibraryExA(fileName, file, flags);
}
inline HANDLE FindResourceA(HMODULE module, const char* name, const char* type) {
  return Calls().FindResourceA(module, name, type);
}
inline DWORD SizeofResource(HMODULE module, HANDLE resource) {
  return Calls().SizeofResource(module, resource);
}
inline HANDLE LoadResource(HMODULE module, HANDLE resource) {
  return Calls().LoadResource(module, resource);
}
inline BOOL FreeLibrary(HMODULE module) { return Calls().FreeLibrary(module); }
inline DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return Calls().WaitForSingleObject(object, milliseconds);
}
inline BOOL ReleaseMutex(HANDLE mutex) { return Calls().ReleaseMutex(mutex); }
inline int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return Calls().MessageBoxA(owner, text, caption, type);
}

}  // namespace tidemark::platform

namespace tidemark {
// The program proper, defined by the launcher. The platform's process entry
// (WinMain on Windows, main on Linux) hands over to it and returns its result.
int RunProgram();
}  // namespace tidemark
