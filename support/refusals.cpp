#include "support/refusals.h"

namespace tidemark {

namespace {

// The pauses before each try after the first: short at first, for a scanner
// that looks at a new file, then longer; 2,011 ms in all. (Windows rounds a
// pause up to its clock tick, 15.6 ms by default, so there a little more.)
constexpr platform::DWORD kPauses[] = {1, 2, 4, 8, 16, 32, 64, 128, 256, 500, 500, 500};
// A brief wait takes the first five of them: 31 ms in all where a pause is
// as long as asked for. Windows rounds each up to its clock tick, so there
// it is about 0.1 s, the cost of a refusal that lasts.
constexpr platform::DWORD kBriefPauses = 5;

}  // namespace

bool IsInUse(platform::DWORD error) {
  return error == platform::kErrorSharingViolation || error == platform::kErrorLockViolation;
}

Refusal RefusalOfMove(platform::DWORD error) {
  if (IsInUse(error)) return Refusal::Passing;
  return error == platform::kErrorAccessDenied ? Refusal::Brief : Refusal::Lasting;
}

bool WaitOutRefusals(const std::function<bool()>& attempt,
                     const std::function<Refusal(platform::DWORD)>& refusal) {
  if (attempt()) return true;
  platform::DWORD tries = 0;
  for (const platform::DWORD pause : kPauses) {
    const platform::DWORD error = platform::GetLastError();
    const Refusal kind = refusal(error);
    platform::SetLastError(error);  // the question may have asked the system
    if (kind == Refusal::Lasting || (kind == Refusal::Brief && tries >= kBriefPauses)) return false;
    platform::Sleep(pause);
    ++tries;
    if (attempt()) return true;
  }
  return false;
}

platform::HANDLE OpenWaitingOutHolds(const char* path, platform::DWORD access,
                                     platform::DWORD share, platform::DWORD disposition) {
  platform::HANDLE handle = platform::InvalidHandleValue();
  WaitOutRefusals(
      [&] {
        handle = platform::CreateFileA(path, access, share, nullptr, disposition,
                                       platform::kFileAttributeNormal, nullptr);
        return handle != platform::InvalidHandleValue();
      },
      [](platform::DWORD error) { return IsInUse(error) ? Refusal::Passing : Refusal::Lasting; });
  return handle;
}

}  // namespace tidemark
