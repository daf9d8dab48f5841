#include "launcher/suspended_start.h"

namespace tidemark {

namespace {

// What a program ended before it ran exits with: no documented reader of
// it is known.
constexpr platform::UINT kNeverRan = 1;

// The longest wait for it to be gone: no source gives how long an end
// takes (under Wine here, less than 1 ms); past this the program is
// started again all the same.
constexpr platform::DWORD kEndWait = 1000;

}  // namespace

// CreateProcessA rather than WinExec: CreateProcess's page documents the
// last error (ERROR_ELEVATION_REQUIRED, 740, where the program needs rights:
// "How User Account Control works", its architecture part), WinExec's
// documents none. The path in double quotes, so that Windows never tries
// "C:\Program.exe" for "C:\Program Files\..."; a writable buffer, which only
// CreateProcessW needs, costs nothing here.
//
// Ended at once, not held until the save is done. Held, it would need a
// job object to end it with Tidemark (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE,
// cleared when it is let go), and a process never leaves its job ("Job
// Objects"): the program would run its whole life in Tidemark's. Before
// Windows 8 a process has one job at most ("Nested Jobs"): there the
// program could use none of its own, and AssignProcessToJobObject fails
// with ERROR_ACCESS_DENIED (its page; Wine's dlls/kernel32/tests/process.c,
// test_BreakawayOk) wherever Tidemark itself runs in a job, as when a
// launcher starts it, or Explorer on Vista and 7 starts it without a
// manifest (Chris Jackson, "How to Work Around Program Compatibility
// Assistant (PCA) JobObjects Interfering with Your JobObjects", MSDN
// blogs), unless that job lets its processes break away ("Process Creation
// Flags", CREATE_BREAKAWAY_FROM_JOB). The price: one CreateProcessA more
// per start, 17 ms under Wine here (35 ms on a loaded machine).
//
// What remains: a kill of Tidemark after the system has made the process,
// inside CreateProcessA, and before the TerminateProcess right after it
// leaves the program suspended: a window of at most one CreateProcessA and
// one TerminateProcess, those 17 ms under Wine; no source gives its length
// on Windows. Once called, TerminateProcess needs Tidemark no longer: it
// starts the end and returns (its page).
//
// What the question leaves on Windows: each refusal with 740 adds an entry
// to the UAC/Operational event log ("Using the ElevateCreateProcess Fix").
// PCA's "might not have installed correctly" box follows only a program
// Windows detected as an installer, once it ends without registering
// itself ("Install Failure and Application Failure Automation for PCA",
// MSDN blogs); such a program needs rights, so an unelevated start is
// refused with 740, and only the elevated copy starts and ends one. The
// worst case: an assistant that Vista or 7 takes for an installer, asked
// about by the elevated copy, may bring that box up. Whether Windows Error
// Reporting reacts to TerminateProcess, no source says.
SuspendedStart::SuspendedStart(const TextValue& path, const TextValue& workingFolder)
    : commandLine_('"' + std::string(path.View()) + '"'), workingFolder_(workingFolder.View()) {
  platform::PROCESS_INFORMATION started{};
  if (!Create(platform::kCreateSuspended, started)) {
    error_ = platform::GetLastError();
    return;
  }
  // No code of it has run: its primary thread "does not run until the
  // ResumeThread function is called" ("Process Creation Flags",
  // CREATE_SUSPENDED), and the loader, DLLs' start-up, TLS callbacks,
  // shims and AppInit DLLs would all run on that thread (an inference: no
  // page lists them). The handle CreateProcess gives has every right
  // ("Process Handles and Identifiers"). TerminateProcess "is asynchronous"
  // (its page): waited for, the end is done before the second start. A
  // failed one ended nothing to wait for: its page names one cause, a
  // process already ended (ERROR_ACCESS_DENIED); under any other the
  // program stays suspended, never run.
  if (platform::TerminateProcess(started.hProcess, kNeverRan) != 0) {
    platform::WaitForSingleObject(started.hProcess, kEndWait);
  }
  platform::CloseHandle(started.hThread);
  platform::CloseHandle(started.hProcess);
  started_ = true;
}

bool SuspendedStart::NeedsRights() const {
  return !started_ && error_ == platform::kErrorElevationRequired;
}

bool SuspendedStart::Run() {
  platform::PROCESS_INFORMATION started{};
  if (!started_ || !Create(0, started)) return false;
  platform::CloseHandle(started.hThread);
  platform::CloseHandle(started.hProcess);
  return true;
}

bool SuspendedStart::Create(platform::DWORD flags, platform::PROCESS_INFORMATION& started) {
  platform::STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = platform::kStartfUseShowWindow;
  startup.wShowWindow = platform::kSwShow;
  return platform::CreateProcessA(nullptr, commandLine_.data(), nullptr, nullptr, 0, flags, nullptr,
                                  workingFolder_.empty() ? nullptr : workingFolder_.c_str(),
                                  &startup, &started) != 0;
}

}  // namespace tidemark
