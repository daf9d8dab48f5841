#include "windows-check/start_probe.h"

#include <windows.h>

#include "windows-check/files.h"
#include "windows-check/places.h"

namespace tidemark::check {

std::uint32_t StartAnswer(const std::string& program) {
  const std::string folder = Scratch() + "\\probe\\";
  const std::string copy = folder + "tidemark-check.exe";
  if (!Exists(copy) && (!MakeFolders(folder) || !CopyAs(Self(), copy))) return ERROR_FILE_NOT_FOUND;
  std::string commandLine = "\"" + copy + "\" /start \"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                       nullptr, folder.c_str(), &startup, &process) == 0) {
    return ::GetLastError();
  }
  ::CloseHandle(process.hThread);
  DWORD answer = WAIT_TIMEOUT;
  if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.hProcess, &answer);
  }
  ::CloseHandle(process.hProcess);
  return answer;
}

int RunStartProbe(const std::string& program) {
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                       nullptr, nullptr, &startup, &process) == 0) {
    return static_cast<int>(::GetLastError());
  }
  ::TerminateProcess(process.hProcess, 1);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return 0;
}

}  // namespace tidemark::check
