#include "launcher/suspended_start.h"

#include <string>

namespace tidemark {

namespace {

// What a program ended before it ran exits with.
constexpr platform::UINT kNeverRan = 1;

}  // namespace

// CreateProcessA rather than WinExec: CreateProcess's page documents the
// last error (ERROR_ELEVATION_REQUIRED, 740, where the program needs rights:
// "How User Account Control works", its architecture part), WinExec's
// documents none. The path in double quotes, so that Windows never tries
// "C:\Program.exe" for "C:\Program Files\..."; a writable buffer, which only
// CreateProcessW needs, costs nothing here.
SuspendedStart::SuspendedStart(const TextValue& path, const TextValue& workingFolder) {
  std::string commandLine(1, '"');
  commandLine.append(path.View()).push_back('"');
  platform::STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = platform::kStartfUseShowWindow;
  startup.wShowWindow = platform::kSwShow;
  platform::PROCESS_INFORMATION started{};
  if (platform::CreateProcessA(
          nullptr, commandLine.data(), nullptr, nullptr, 0, platform::kCreateSuspended, nullptr,
          workingFolder.IsEmpty() ? nullptr : workingFolder.Bytes(), &startup, &started) == 0) {
    error_ = platform::GetLastError();
    return;
  }
  process_ = started.hProcess;
  thread_ = started.hThread;
}

SuspendedStart::~SuspendedStart() {
  // No code of it has run: "Process Creation Flags", CREATE_SUSPENDED.
  if (Started()) platform::TerminateProcess(process_, kNeverRan);
  Close();
}

bool SuspendedStart::NeedsRights() const {
  return !Started() && error_ == platform::kErrorElevationRequired;
}

bool SuspendedStart::Resume() {
  if (!Started()) return false;
  // ResumeThread answers the thread's former suspend count, or -1.
  if (platform::ResumeThread(thread_) == 0xFFFFFFFFu) return false;
  Close();
  return true;
}

void SuspendedStart::Close() {
  if (thread_ != nullptr) platform::CloseHandle(thread_);
  if (process_ != nullptr) platform::CloseHandle(process_);
  thread_ = nullptr;
  process_ = nullptr;
}

}  // namespace tidemark
