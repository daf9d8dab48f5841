#include "support/refusals.h"

namespace tidemark {

namespace {

// The pauses before each try after the first: short at first, for a scanner
// that looks at a new file, then longer; 2,011 ms in all. (Windows rounds a
// pause up to its clock tick, 15.6 ms by default, so there a little more.)
constexpr platform::DWORD kPauses[] = {1, 2, 4, 8, 16, 32, 64, 128, 256, 500, 500, 500};
// A brief refusal's pauses stop short of this: the first six, 63 ms (on
// Windows six clock ticks, about 0.1 s).
constexpr platform::DWORD kBriefWait = 100;

bool IsGone(platform::DWORD error) {
  return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
}

}  // namespace

CallError ErrorOf(bool succeeded) {
  if (succeeded) return std::nullopt;
  return platform::GetLastError();
}

bool IsInUse(platform::DWORD error) {
  return error == platform::kErrorSharingViolation || error == platform::kErrorLockViolation;
}

CallError WaitOutRefusals(const std::function<CallError()>& attempt,
                          const std::function<Refusal(platform::DWORD)>& refusal) {
  CallError error = attempt();
  platform::DWORD paused = 0;
  for (const platform::DWORD pause : kPauses) {
    if (!error) return error;
    const Refusal kind = refusal(*error);
    if (kind == Refusal::Lasting || (kind == Refusal::Brief && paused + pause > kBriefWait)) {
      return error;
    }
    platform::Sleep(pause);
    paused += pause;
    error = attempt();
  }
  return error;
}

platform::HANDLE OpenWaitingOutHolds(const char* path, platform::DWORD access,
                                     platform::DWORD share, platform::DWORD disposition) {
  platform::HANDLE handle = platform::InvalidHandleValue();
  WaitOutRefusals(
      [&] {
        handle = platform::CreateFileA(path, access, share, nullptr, disposition,
                                       platform::kFileAttributeNormal, nullptr);
        return ErrorOf(handle != platform::InvalidHandleValue());
      },
      [](platform::DWORD error) { return IsInUse(error) ? Refusal::Passing : Refusal::Lasting; });
  return handle;
}

// How Windows shows a file waiting to be deleted (removed while another
// program still has it open): it goes when that program lets go. On NTFS
// under Windows 10 1903 and later, DeleteFile removes the name at once
// (POSIX semantics) and only a delete-on-close handle leaves it waiting; a
// name already gone lets CREATE_NEW succeed.
bool BeingRemoved(const char* path) {
  const platform::DWORD attributes = platform::GetFileAttributesA(path);
  if (ErrorOf(attributes != platform::kInvalidFileAttributes) != platform::kErrorAccessDenied) {
    return false;
  }
  platform::WIN32_FIND_DATAA found{};
  const platform::HANDLE search = platform::FindFirstFileA(path, &found);
  if (search == platform::InvalidHandleValue()) return false;
  platform::FindClose(search);
  return true;
}

CallError RemoveWaitingOutHolds(const char* path, bool once) {
  const auto remove = [&] { return ErrorOf(platform::DeleteFileA(path) != 0); };
  // "Access denied" on a removal is a file being removed, which passes, or
  // a rule of the folder or the file, which lasts.
  const CallError error = once ? remove() : WaitOutRefusals(remove, [&](platform::DWORD met) {
    if (IsInUse(met)) return Refusal::Passing;
    return met == platform::kErrorAccessDenied && BeingRemoved(path) ? Refusal::Passing
                                                                     : Refusal::Lasting;
  });
  return error && IsGone(*error) ? std::nullopt : error;
}

}  // namespace tidemark
