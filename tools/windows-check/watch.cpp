#include "windows-check/watch.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <set>

#include "windows-check/files.h"

namespace tidemark::check {

namespace {

struct Seen {
  std::set<DWORD> all;
  std::set<DWORD> consent;
  bool tidemark = false;  // a copy of Tidemark runs
  bool program = false;   // a program it started runs
};

// The processes that run now, and which of those not in `before` are
// Tidemark, its programs and the consent prompt.
Seen Look(const std::set<DWORD>& before) {
  Seen seen;
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return seen;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot, &entry); more != 0;
       more = ::Process32Next(snapshot, &entry)) {
    seen.all.insert(entry.th32ProcessID);
    if (before.count(entry.th32ProcessID) != 0) continue;
    const std::string name = Lower(entry.szExeFile);
    if (name == "consent.exe") seen.consent.insert(entry.th32ProcessID);
    seen.tidemark = seen.tidemark || name == "tidemark.exe";
    seen.program = seen.program || name == "uo.exe" || name == "uomon.exe";
  }
  ::CloseHandle(snapshot);
  return seen;
}

}  // namespace

Run RunTidemark(const std::string& folder, std::uint32_t limitMs) {
  Run run;
  const std::set<DWORD> before = Look({}).all;
  std::string commandLine = "\"" + folder + "tidemark.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const ULONGLONG began = ::GetTickCount64();
  if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &process) == 0) {
    return run;
  }
  run.started = true;
  ::CloseHandle(process.hThread);
  std::set<DWORD> prompts;
  bool firstEnded = false;
  // Each copy hands over to the next before it ends (the elevated copy is
  // made before ShellExecuteEx returns, a program before Tidemark ends), so
  // one of them runs at every look until all are done.
  for (;;) {
    const bool limitReached = ::GetTickCount64() - began > limitMs;
    firstEnded = firstEnded || ::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    const Seen seen = Look(before);
    prompts.insert(seen.consent.begin(), seen.consent.end());
    if (firstEnded && !seen.tidemark && run.milliseconds == 0) {
      run.milliseconds = ::GetTickCount64() - began;
    }
    if (firstEnded && !seen.tidemark && !seen.program) {
      run.ended = true;
      break;
    }
    if (limitReached) break;
    ::Sleep(10);
  }
  DWORD exitCode = STILL_ACTIVE;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  // Not ended in time (a box nobody answered): ended here, so that it
  // holds nothing the clean-up removes.
  if (exitCode == STILL_ACTIVE) ::TerminateProcess(process.hProcess, 1);
  ::CloseHandle(process.hProcess);
  run.exitCode = exitCode;
  run.prompts = static_cast<int>(prompts.size());
  return run;
}

}  // namespace tidemark::check
