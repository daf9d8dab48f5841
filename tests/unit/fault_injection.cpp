#include "unit/fault_injection.h"

#include <cstdlib>

namespace tidemark::testing {

namespace {

namespace os = platform::os;
using platform::BOOL;
using platform::DWORD;
using platform::HANDLE;

constexpr DWORD kErrorReadFault = 30;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorIoDevice = 1117;

FaultInjector* active = nullptr;

bool Fail(const char* call, const char* path, DWORD error) {
  if (!active->PoweredOff && !active->Fails(call, path) && !active->Refuses(call, path, error)) {
    return false;
  }
  platform::SetLastError(error);
  return true;
}

HANDLE FindFirstFileA(const char* name, platform::WIN32_FIND_DATAA* data) {
  if (Fail("FindFirstFileA", name, platform::kErrorAccessDenied)) {
    return platform::InvalidHandleValue();
  }
  return os::FindFirstFileA(name, data);
}

BOOL FindNextFileA(HANDLE search, platform::WIN32_FIND_DATAA* data) {
  return Fail("FindNextFileA", nullptr, kErrorInvalidHandle) ? 0 : os::FindNextFileA(search, data);
}

BOOL FindClose(HANDLE search) {
  const BOOL closed = os::FindClose(search);  // never left open
  return Fail("FindClose", nullptr, kErrorInvalidHandle) ? 0 : closed;
}

DWORD GetFileAttributesA(const char* name) {
  if (Fail("GetFileAttributesA", name, platform::kErrorAccessDenied)) {
    return platform::kInvalidFileAttributes;
  }
  return os::GetFileAttributesA(name);
}

BOOL CreateDirectoryA(const char* name, void* security) {
  if (Fail("CreateDirectoryA", name, platform::kErrorAccessDenied)) return 0;
  if (active->RefuseNewFiles) {
    platform::SetLastError(platform::kErrorAccessDenied);
    return 0;
  }
  return os::CreateDirectoryA(name, security);
}

HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD attributes, HANDLE model) {
  // Refused, or the device failed.
  const DWORD error =
      active->Failure == WriteFailure::DiskFull ? platform::kErrorAccessDenied : kErrorIoDevice;
  if (Fail("CreateFileA", name, error)) return platform::InvalidHandleValue();
  if (active->RefuseNewFiles && disposition != platform::kOpenExisting &&
      os::GetFileAttributesA(name) == platform::kInvalidFileAttributes) {
    platform::SetLastError(platform::kErrorAccessDenied);
    return platform::InvalidHandleValue();
  }
  return os::CreateFileA(name, access, share, security, disposition, attributes, model);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void* overlapped) {
  if (Fail("ReadFile", nullptr, kErrorReadFault)) {
    *read = 0;
    return 0;
  }
  return os::ReadFile(file, buffer, count, read, overlapped);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void* overlapped) {
  if (Fail("WriteFile", nullptr, active->WriteError())) {
    *written = 0;
    return 0;
  }
  return os::WriteFile(file, buffer, count, written, overlapped);
}

BOOL SetFilePointerEx(HANDLE file, std::int64_t distance, std::int64_t* position, DWORD method) {
  if (Fail("SetFilePointerEx", nullptr, kErrorInvalidParameter)) return 0;
  return os::SetFilePointerEx(file, distance, position, method);
}

BOOL SetEndOfFile(HANDLE file) {
  if (Fail("SetEndOfFile", nullptr, active->WriteError())) return 0;
  return os::SetEndOfFile(file);
}

BOOL FlushFileBuffers(HANDLE file) {
  if (Fail("FlushFileBuffers", nullptr, active->WriteError())) return 0;
  return os::FlushFileBuffers(file);
}

BOOL GetFileInformationByHandle(HANDLE file, platform::BY_HANDLE_FILE_INFORMATION* information) {
  if (Fail("GetFileInformationByHandle", nullptr, platform::kErrorAccessDenied)) return 0;
  return os::GetFileInformationByHandle(file, information);
}

// A start is held (suspended) as a handle that numbers its command line,
// far above any descriptor; it counts as ended when terminated, and as
// started where it is not suspended.
constexpr std::size_t kHeldBase = 0x40000000;
std::size_t HeldIndex(HANDLE handle) { return reinterpret_cast<std::size_t>(handle) - kHeldBase; }
BOOL CreateProcessA(const char*, char* commandLine, void*, void*, BOOL, DWORD flags, void*,
                    const char*, platform::STARTUPINFOA*,
                    platform::PROCESS_INFORMATION* information) {
  const auto handle = reinterpret_cast<HANDLE>(kHeldBase + active->Held.size());
  active->Held.emplace_back(commandLine);
  if ((flags & platform::kCreateSuspended) == 0) active->Started.emplace_back(commandLine);
  *information = {handle, handle, 0, 0};
  return 1;
}
BOOL TerminateProcess(HANDLE process, platform::UINT exitCode) {
  if (process == platform::GetCurrentProcess()) return os::TerminateProcess(process, exitCode);
  active->Ended.push_back(active->Held.at(HeldIndex(process)));
  return 1;
}

// A close that reports a failure has still closed the handle, as a close
// that reports a late write error does.
BOOL CloseHandle(HANDLE object) {
  if (HeldIndex(object) < active->Held.size()) return 1;  // a held start's
  const BOOL closed = os::CloseHandle(object);
  return Fail("CloseHandle", nullptr, active->WriteError()) ? 0 : closed;
}

BOOL MoveFileExA(const char* from, const char* to, DWORD flags) {
  const DWORD error =
      active->Failure == WriteFailure::DiskFull ? platform::kErrorAccessDenied : kErrorIoDevice;
  if (Fail("MoveFileExA", to, error)) return 0;
  if (active->CutReplace && (flags & platform::kMoveFileReplaceExisting) != 0) {
    os::DeleteFileA(to);
    active->PoweredOff = true;
    platform::SetLastError(kErrorIoDevice);
    return 0;
  }
  return os::MoveFileExA(from, to, flags);
}

BOOL DeleteFileA(const char* name) {
  if (Fail("DeleteFileA", name, platform::kErrorAccessDenied)) return 0;
  return os::DeleteFileA(name);
}

platform::LONG RegOpenKeyExA(platform::HKEY, const char*, DWORD, DWORD, platform::HKEY* result) {
  *result = nullptr;
  return static_cast<platform::LONG>(platform::kErrorFileNotFound);
}

void GetLocalTime(platform::SYSTEMTIME* now) { *now = active->Now; }

void Sleep(DWORD milliseconds) { active->Paused += milliseconds; }

HANDLE CreateMutexA(void* security, BOOL initialOwner, const char* name) {
  if (Fail("CreateMutexA", nullptr, platform::kErrorAccessDenied)) return nullptr;
  return os::CreateMutexA(security, initialOwner, name);
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  if (Fail("WaitForSingleObject", nullptr, kErrorInvalidHandle)) return platform::kWaitFailed;
  if (HeldIndex(object) < active->Held.size()) return platform::kWaitObject0;  // an ended start
  if (active->TurnWait != platform::kWaitObject0) return active->TurnWait;
  return os::WaitForSingleObject(object, milliseconds);
}

int MessageBoxA(platform::HWND, const char* text, const char* caption, platform::UINT) {
  active->Boxes.push_back(std::string(caption) + ": " + text);
  return 1;  // IDOK
}

}  // namespace

FaultInjector::FaultInjector() {
  if (active != nullptr) std::abort();  // one at a time
  active = this;
  platform::CallTable& calls = platform::Calls();
  calls.FindFirstFileA = &FindFirstFileA;
  calls.FindNextFileA = &FindNextFileA;
  calls.FindClose = &FindClose;
  calls.GetFileAttributesA = &GetFileAttributesA;
  calls.CreateDirectoryA = &CreateDirectoryA;
  calls.CreateFileA = &CreateFileA;
  calls.ReadFile = &ReadFile;
  calls.WriteFile = &WriteFile;
  calls.SetFilePointerEx = &SetFilePointerEx;
  calls.SetEndOfFile = &SetEndOfFile;
  calls.FlushFileBuffers = &FlushFileBuffers;
  calls.GetFileInformationByHandle = &GetFileInformationByHandle;
  calls.CloseHandle = &CloseHandle;
  calls.MoveFileExA = &MoveFileExA;
  calls.DeleteFileA = &DeleteFileA;
  calls.RegOpenKeyExA = &RegOpenKeyExA;
  calls.CreateProcessA = &CreateProcessA;
  calls.TerminateProcess = &TerminateProcess;
  calls.GetLocalTime = &GetLocalTime;
  calls.Sleep = &Sleep;
  calls.CreateMutexA = &CreateMutexA;
  calls.WaitForSingleObject = &WaitForSingleObject;
  calls.MessageBoxA = &MessageBoxA;
}

FaultInjector::~FaultInjector() { active = nullptr; }

bool FaultInjector::Fails(const char* call, const char* path) {
  ++CallCount;
  if (CallCount != FailCall && AlwaysFail.count(call) == 0) return false;
  if (FailedCall.empty()) {
    FailedCall = call;
    FailedPath = path == nullptr ? "" : path;
  }
  return true;
}

bool FaultInjector::Refuses(const char* call, const char* path, DWORD& error) {
  for (Refusal& refusal : Refusals) {
    if (refusal.Times == 0 || refusal.Call != call || path == nullptr || refusal.Path != path) {
      continue;
    }
    if (refusal.Spared > 0) {
      --refusal.Spared;
      continue;
    }
    if (refusal.Times > 0) --refusal.Times;
    error = refusal.Error;
    return true;
  }
  return false;
}

DWORD FaultInjector::WriteError() const {
  return Failure == WriteFailure::DiskFull ? platform::kErrorDiskFull : kErrorIoDevice;
}

}  // namespace tidemark::testing
